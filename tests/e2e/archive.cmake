# The archive against zir-sim through the real exchange and serial port.
zir_add_gtest(zir_archive_sim_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ArchiveSimTest.cpp
  LIBS zir_archive zir_test_sim
  LABELS e2e
  TIMEOUT 120)
