# Serial port driver and request exchange.
zir_add_gtest(link_exchange_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ExchangeTest.cpp
  LIBS zir_link)
zir_add_gtest(link_port_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CPDrvTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PortNamingTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/LowLatencyTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PortAccessTest.cpp
  LIBS zir_link)
# The exchange's line events, their text lines and counters.
zir_add_gtest(link_line_observer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LineObserverTest.cpp
  LIBS zir_link)
