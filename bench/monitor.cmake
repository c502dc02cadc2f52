# Line monitor benchmark: the window under the events of a bank reading,
# filling up to its capacity and beyond.
add_executable(line_monitor_bench ${CMAKE_CURRENT_LIST_DIR}/line_monitor_bench.cpp)
target_link_libraries(line_monitor_bench PRIVATE zir_app Qt6::Widgets zir_build_flags)
