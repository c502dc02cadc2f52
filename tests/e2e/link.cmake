# The request exchange and the serial port together, against zir-sim over
# real pseudo-terminals.
zir_add_gtest(e2e_link_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LinkSimTest.cpp
  LIBS zir_link zir_test_support)
# The exchange's line events against each fault of zir-sim.
zir_add_gtest(e2e_line_events_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LineEventsSimTest.cpp
  LIBS zir_link zir_test_support)
