# Settings benchmark: start (restore) and close (save) of the real main window
# with settings files of a few hundred bytes and of 50 MB.
add_executable(settings_bench ${CMAKE_CURRENT_LIST_DIR}/settings_bench.cpp)
target_link_libraries(settings_bench PRIVATE zir_app Qt6::Widgets zir_build_flags)
