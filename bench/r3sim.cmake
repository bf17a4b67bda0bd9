# Rows per second that r3sim delivers from a generated table through our
# RFC library, beside the raw loopback TCP rate of the same bytes.
add_executable(r3sim_bench ${CMAKE_CURRENT_LIST_DIR}/r3sim_bench.cc)
target_link_libraries(r3sim_bench PRIVATE rfclib r3sim_core qorrfc_warnings)
if(TARGET r3sim)
  add_dependencies(r3sim_bench r3sim)
endif()
