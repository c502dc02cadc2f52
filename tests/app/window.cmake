# Main window and auxiliary windows, real widgets under the offscreen platform.
zir_add_gtest(zir_window_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/ScriptedDialogs.h
    ${CMAKE_CURRENT_SOURCE_DIR}/WindowTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/AuxWindowsTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/PaintPacingTest.cpp
  LIBS zir_app Qt6::Test
  QT_MAIN
  TIMEOUT 120)
