# Frame codec and value encodings.
zir_add_gtest(zir_codec_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_codec.cpp
  LIBS zir_link)
zir_add_gtest(zir_numformats_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_numformats.cpp
  LIBS zir_link)
zir_add_gtest(zir_cp1251_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cp1251.cpp
  LIBS zir_link)

