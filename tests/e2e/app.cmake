# The clock read from the main window against zir-sim through a pseudo-terminal.
zir_add_gtest(e2e_clock_window_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/ClockWindowTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/SerialPortsFindTest.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/ScriptedDialogs.h
  LIBS zir_app zir_test_support Qt6::Test
  QT_MAIN
  TIMEOUT 120)
# The line monitor of the main window against zir-sim through a pseudo-terminal.
zir_add_gtest(e2e_line_monitor_window_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/LineMonitorWindowTest.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/ScriptedDialogs.h
  LIBS zir_app zir_test_support Qt6::Test
  QT_MAIN
  TIMEOUT 120)
# The history window open while the main window reads zir-sim.
zir_add_gtest(e2e_history_plot_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/HistoryPlotSimTest.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/ScriptedDialogs.h
  LIBS zir_app zir_test_support Qt6::Test
  QT_MAIN
  TIMEOUT 120)
