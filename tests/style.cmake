# Every C++ source of the tree follows the .clang-format at the root.
find_program(CLANG_FORMAT NAMES clang-format clang-format-14 REQUIRED)
add_test(NAME style_clang_format
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DCLANG_FORMAT=${CLANG_FORMAT}
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/style_check.cmake)
set_tests_properties(style_clang_format PROPERTIES LABELS style)
