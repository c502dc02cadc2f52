# Looking for the instrument against zir-sim behind fake USB adapters.
zir_add_gtest(e2e_find_instrument_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FindInstrumentTest.cpp
  LIBS zir_ports zir_test_support
  TIMEOUT 120)
