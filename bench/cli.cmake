# Command-line benchmark: a full-day zir-cli read against zir-sim, beside the
# bare exchange loop, against the wire-time bound.
add_executable(cli_bench ${CMAKE_CURRENT_LIST_DIR}/cli_bench.cpp)
target_link_libraries(cli_bench PRIVATE zir_link zir_test_support Qt6::Core zir_build_flags)
target_compile_definitions(cli_bench PRIVATE ZIR_CLI_PATH="$<TARGET_FILE:zir-cli>")
add_dependencies(cli_bench zir-cli)
