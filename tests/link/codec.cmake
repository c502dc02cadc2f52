# Frame codec and value encodings.
zir_add_gtest(link_codec_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_codec.cpp
  LIBS zir_link)
zir_add_gtest(link_numformats_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_numformats.cpp
  LIBS zir_link)

# Fuzz target (clang's libFuzzer); scripts/fuzz builds and runs it.
if(ZIR_BUILD_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(zir_fuzz_codec ${CMAKE_CURRENT_LIST_DIR}/fuzz_codec.cpp)
  target_include_directories(zir_fuzz_codec PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(zir_fuzz_codec PRIVATE -fsanitize=fuzzer)
  target_link_options(zir_fuzz_codec PRIVATE -fsanitize=fuzzer)
  target_link_libraries(zir_fuzz_codec PRIVATE zir_link)
endif()
