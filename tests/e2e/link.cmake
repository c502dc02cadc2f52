# The request exchange and the serial port together over real pseudo-terminals.
zir_add_gtest(zir_link_pty_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LinkPtyTest.cpp
  LIBS zir_link
  LABELS e2e)
zir_add_gtest(zir_link_sim_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LinkSimTest.cpp
  LIBS zir_link zir_test_sim
  LABELS e2e)
