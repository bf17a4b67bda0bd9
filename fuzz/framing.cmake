qorrfc_add_fuzz(framing SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/framing_fuzz.cc LIBS qorrfc)
