# Exchange benchmark: record exchanges against zir-sim, early end of reply
# versus the pure silence rule.
add_executable(exchange_bench ${CMAKE_CURRENT_LIST_DIR}/exchange_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchSim.h)
target_link_libraries(exchange_bench PRIVATE zir_link Qt6::Core zir_build_flags)
target_compile_definitions(exchange_bench PRIVATE ZIR_SIM_PATH="$<TARGET_FILE:zir-sim>")
add_dependencies(exchange_bench zir-sim)
