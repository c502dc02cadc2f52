# Window benchmark: the main window's full-day reading (list, progress,
# Archive.txt, workbook) against the bare exchange loop, in one run.
add_executable(window_bench ${CMAKE_CURRENT_LIST_DIR}/window_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchDialogs.h)
target_link_libraries(window_bench PRIVATE zir_app zir_test_support Qt6::Widgets zir_build_flags)
