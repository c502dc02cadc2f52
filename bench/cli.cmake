# Command-line benchmark: a full-day zir-cli read against zir-sim, beside the
# bare exchange loop, against the wire-time bound.
add_executable(cli_bench ${CMAKE_CURRENT_LIST_DIR}/cli_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchSim.h)
target_link_libraries(cli_bench PRIVATE zir_link Qt6::Core)
target_compile_definitions(cli_bench PRIVATE ZIR_SIM_PATH="$<TARGET_FILE:zir-sim>" ZIR_CLI_PATH="$<TARGET_FILE:zir-cli>")
add_dependencies(cli_bench zir-sim zir-cli)
