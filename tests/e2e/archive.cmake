# The archive actions of the main window against zir-sim through the real
# exchange and serial port.
zir_add_gtest(e2e_archive_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ArchiveWindowTest.cpp
  LIBS zir_app zir_test_support Qt6::Test
  QT_MAIN
  TIMEOUT 120)
