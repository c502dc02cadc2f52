# Stray bytes after every reply of zir-sim cost no retry.
zir_add_gtest(e2e_stray_bytes_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StrayBytesTest.cpp
  LIBS zir_link zir_test_support)
