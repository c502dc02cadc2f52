# The clock read from the main window, and the line monitor, against zir-sim
# through a pseudo-terminal.
zir_add_gtest(zir_app_e2e_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/ClockWindowTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/LineMonitorWindowTest.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/ScriptedDialogs.h
  LIBS zir_app zir_test_sim Qt6::Test
  QT_MAIN
  TIMEOUT 120)
