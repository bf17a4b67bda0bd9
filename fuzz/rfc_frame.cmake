# The RFC library's frame decoder, with received values applied to the
# caller's parameter and table lists as a receive would.
qorrfc_add_fuzz(rfc_frame SOURCE ${CMAKE_CURRENT_LIST_DIR}/rfc_frame_fuzz.cc LIBS rfclib)
