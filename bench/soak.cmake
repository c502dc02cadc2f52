# Soak benchmark: auto refresh at its shortest period against zir-sim for ten
# minutes, the program's memory and CPU share.
add_executable(soak_bench ${CMAKE_CURRENT_LIST_DIR}/soak_bench.cpp)
target_link_libraries(soak_bench PRIVATE zir_app zir_test_support Qt6::Widgets zir_build_flags)
