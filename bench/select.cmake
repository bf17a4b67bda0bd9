# Extractions through the server beside the same extraction read directly
# from r3sim through our RFC library (bench/run starts both programs).
add_executable(select_bench ${CMAKE_CURRENT_LIST_DIR}/select_bench.cc)
target_link_libraries(select_bench PRIVATE qorrfc qorclient r3sim_core qorrfc_warnings)
