# History benchmark: a generated year of minute records; store cost of a
# full day against its wire time, year query, CSV export, file size.
add_executable(history_bench ${CMAKE_CURRENT_LIST_DIR}/history_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryYear.h)
target_link_libraries(history_bench PRIVATE zir_history zir_test_support Qt6::Core zir_build_flags)
