# Archive benchmark: a full day from zir-sim at 19200 baud with all outputs,
# against the wire time, with a silence-rule sample and the peak memory.
add_executable(archive_bench ${CMAKE_CURRENT_LIST_DIR}/archive_bench.cpp)
target_link_libraries(archive_bench PRIVATE zir_archive zir_test_support Qt6::Core zir_build_flags)
