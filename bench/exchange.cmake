# Exchange benchmark: record exchanges against zir-sim, early end of reply
# versus the pure silence rule.
add_executable(exchange_bench ${CMAKE_CURRENT_LIST_DIR}/exchange_bench.cpp)
target_link_libraries(exchange_bench PRIVATE zir_link zir_test_support Qt6::Core zir_build_flags)
