# The decoder of the hexadecimal password text that clients send.
qorrfc_add_fuzz(password SOURCE ${CMAKE_CURRENT_LIST_DIR}/password_fuzz.cc LIBS qorrfc)
