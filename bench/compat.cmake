# One extraction through the dialog-compatibility port beside the same
# extraction read from r3sim directly through our RFC library.
add_executable(compat_bench ${CMAKE_CURRENT_LIST_DIR}/compat_bench.cc)
target_link_libraries(compat_bench PRIVATE qorclient rfclib r3sim_core qorrfc_warnings)
if(TARGET r3sim)
  add_dependencies(compat_bench r3sim qorrfc_server)
endif()
