# Progress window benchmark: the heap while it is shown and closed again and
# again, as the program has it and as it was.
add_executable(progress_window_bench ${CMAKE_CURRENT_LIST_DIR}/progress_window_bench.cpp)
target_link_libraries(progress_window_bench PRIVATE zir_app zir_test_support Qt6::Widgets zir_build_flags)
