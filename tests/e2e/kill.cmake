# kill -9 at any moment: the main window in a driver program of its own,
# killed while it reads banks, refreshes the current data or saves settings.
add_executable(zir_kill_driver ${CMAKE_CURRENT_LIST_DIR}/zir_kill_driver.cpp)
target_link_libraries(zir_kill_driver PRIVATE zir_app zir_build_flags)

zir_add_gtest(e2e_kill_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/KillTest.cpp
  LIBS zir_history zir_test_support Qt6::Core Qt6::Sql
  QT_MAIN
  TIMEOUT 300)
target_compile_definitions(e2e_kill_test PRIVATE ZIR_KILL_DRIVER_PATH="$<TARGET_FILE:zir_kill_driver>")
add_dependencies(e2e_kill_test zir_kill_driver)
