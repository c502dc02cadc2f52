# Window benchmark: the main window's full-day reading (list, progress,
# Archive.txt, workbook) against the bare exchange loop, in one run.
add_executable(window_bench ${CMAKE_CURRENT_LIST_DIR}/window_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchSim.h)
target_link_libraries(window_bench PRIVATE zir_app)
target_compile_definitions(window_bench PRIVATE ZIR_SIM_PATH="$<TARGET_FILE:zir-sim>")
add_dependencies(window_bench zir-sim)
