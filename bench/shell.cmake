# Connection set-up rate and idle-connection memory of the server.
add_executable(connect_bench ${CMAKE_CURRENT_LIST_DIR}/connect_bench.cc)
target_link_libraries(connect_bench PRIVATE Threads::Threads qorrfc_warnings)
target_compile_definitions(connect_bench PRIVATE QORRFC_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(connect_bench qorrfc_server)
