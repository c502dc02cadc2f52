# Frame codec and value encodings.
zir_add_gtest(zir_codec_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_codec.cpp
  LIBS zir_link)
