# Archive benchmark: a full day from zir-sim at 19200 baud with all outputs,
# against the wire time, with a silence-rule sample and the peak memory.
add_executable(archive_bench ${CMAKE_CURRENT_LIST_DIR}/archive_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchSim.h)
target_link_libraries(archive_bench PRIVATE zir_archive zir_link Qt6::Core zir_build_flags)
target_compile_definitions(archive_bench PRIVATE ZIR_SIM_PATH="$<TARGET_FILE:zir-sim>")
add_dependencies(archive_bench zir-sim)
