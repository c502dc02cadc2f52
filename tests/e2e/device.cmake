# Device operations through the exchange and serial port against zir-sim.
zir_add_gtest(e2e_device_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DeviceSimTest.cpp
  LIBS zir_device zir_test_support
  TIMEOUT 120)
