# The request exchange and the serial port together, against zir-sim over
# real pseudo-terminals.
zir_add_gtest(zir_link_sim_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LinkSimTest.cpp
  LIBS zir_link zir_test_sim
  LABELS e2e)
# The exchange's line events against each fault of zir-sim.
zir_add_gtest(zir_line_events_sim_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LineEventsSimTest.cpp
  LIBS zir_link zir_test_sim
  LABELS e2e)
