# History window benchmark: a generated year in the window; open to first
# paint, zoom and pan steps, memory.
add_executable(history_window_bench ${CMAKE_CURRENT_LIST_DIR}/history_window_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryYear.h)
target_link_libraries(history_window_bench PRIVATE zir_app zir_build_flags)
