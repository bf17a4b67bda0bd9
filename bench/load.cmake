# Many clients at once against one server and one r3sim, every row checked
# (bench/load starts both programs).
add_executable(load_bench ${CMAKE_CURRENT_LIST_DIR}/load_bench.cc)
target_link_libraries(load_bench PRIVATE qorclient r3sim_core qorrfc_warnings)
