# Serial port driver and request exchange.
zir_add_gtest(zir_exchange_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ExchangeTest.cpp
  LIBS zir_link)
zir_add_gtest(zir_cpdrv_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CPDrvTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PortNamingTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/EscapeKeyTest.cpp
  LIBS zir_link)
# The exchange's line events, their text lines and counters.
zir_add_gtest(zir_line_observer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LineObserverTest.cpp
  LIBS zir_link)
