# Main window and auxiliary windows, real widgets under the offscreen platform.
zir_add_gtest(app_window_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/ScriptedDialogs.h
    ${CMAKE_CURRENT_SOURCE_DIR}/WindowTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/AuxWindowsTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/PaintPacingTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/EscapeKeyTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/FieldTextTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MinutesReadTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/SerialPortsWindowTest.cpp
  LIBS zir_app Qt6::Test
  QT_MAIN
  TIMEOUT 120)
# The line monitor window and its event log.
zir_add_gtest(app_line_monitor_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/ScriptedDialogs.h
    ${CMAKE_CURRENT_SOURCE_DIR}/LineMonitorTest.cpp
  LIBS zir_app Qt6::Test
  QT_MAIN
  TIMEOUT 120)
# What libX11 keeps of Qt's requests, on a real X server (Xvfb).
zir_add_gtest(app_xlib_requests_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/XlibRequestsTest.cpp
  LIBS zir_app zir_test_support Qt6::Test
  MAIN zir_x11_gtest_main
  TIMEOUT 120)
