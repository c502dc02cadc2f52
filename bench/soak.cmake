# Soak benchmark: auto refresh at its shortest period against zir-sim for ten
# minutes, the program's memory and CPU share.
add_executable(soak_bench ${CMAKE_CURRENT_LIST_DIR}/soak_bench.cpp)
# SQLite's own count of the memory it holds, beside the heap's.
find_package(SQLite3 REQUIRED)
target_link_libraries(soak_bench PRIVATE zir_app zir_test_support Qt6::Widgets SQLite::SQLite3 zir_build_flags)
