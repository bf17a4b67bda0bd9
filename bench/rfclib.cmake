# Throughput of the RFC library against a plain loopback socket.
add_executable(rfclib_bench ${CMAKE_CURRENT_LIST_DIR}/rfclib_bench.cc)
target_link_libraries(rfclib_bench PRIVATE rfclib qorrfc_warnings)
