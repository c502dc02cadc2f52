# A long operation keeps its port against other programs, against zir-sim.
zir_add_gtest(e2e_port_hold_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PortHoldTest.cpp
  LIBS zir_archive zir_test_support)
