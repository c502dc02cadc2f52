# The clock read from the main window against zir-sim through a pseudo-terminal.
zir_add_gtest(zir_app_e2e_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/ClockWindowTest.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/ScriptedDialogs.h
  LIBS zir_app zir_test_sim Qt6::Test
  QT_MAIN
  TIMEOUT 120)
# The history window open while the main window reads zir-sim.
zir_add_gtest(history_plot_e2e_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/HistoryPlotSimTest.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/ScriptedDialogs.h
  LIBS zir_app zir_test_sim Qt6::Test
  QT_MAIN
  LABELS e2e
  TIMEOUT 120)
target_compile_options(history_plot_e2e_test PRIVATE -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast)
