# The RFC library's frame decoder, with received values applied to the
# caller's parameter and table lists as a receive would. In a fuzzing build
# the library is compiled once more with coverage instrumentation, so the
# fuzzer sees inside the decoder.
if(QORRFC_FUZZ)
  get_target_property(_rfclib_sources rfclib SOURCES)
  add_library(rfclib_fuzzcov STATIC ${_rfclib_sources})
  target_include_directories(rfclib_fuzzcov PUBLIC ${CMAKE_SOURCE_DIR}/rfclib)
  target_compile_options(rfclib_fuzzcov PRIVATE -fsanitize=fuzzer-no-link)
  target_link_libraries(rfclib_fuzzcov PUBLIC Threads::Threads PRIVATE qorrfc_warnings)
  set(_rfc_frame_lib rfclib_fuzzcov)
else()
  set(_rfc_frame_lib rfclib)
endif()
qorrfc_add_fuzz(rfc_frame SOURCE ${CMAKE_CURRENT_LIST_DIR}/rfc_frame_fuzz.cc LIBS ${_rfc_frame_lib})
