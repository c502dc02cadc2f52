# Frame codec and value encodings.
zir_add_gtest(link_codec_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_codec.cpp
  LIBS zir_link)
zir_add_gtest(link_numformats_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_numformats.cpp
  LIBS zir_link)

