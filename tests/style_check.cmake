# Runs clang-format over the tree's C++ sources without changing them and
# fails naming each file that it would change.
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
     LIST_DIRECTORIES false
     ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
     ${SOURCE_DIR}/archive/*.cpp ${SOURCE_DIR}/archive/*.h
     ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h
     ${SOURCE_DIR}/cli/*.cpp ${SOURCE_DIR}/cli/*.h
     ${SOURCE_DIR}/core/*.cpp ${SOURCE_DIR}/core/*.h
     ${SOURCE_DIR}/device/*.cpp ${SOURCE_DIR}/device/*.h
     ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/fuzz/*.h
     ${SOURCE_DIR}/history/*.cpp ${SOURCE_DIR}/history/*.h
     ${SOURCE_DIR}/link/*.cpp ${SOURCE_DIR}/link/*.h
     ${SOURCE_DIR}/ports/*.cpp ${SOURCE_DIR}/ports/*.h
     ${SOURCE_DIR}/sim/*.cpp ${SOURCE_DIR}/sim/*.h
     ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h)
list(SORT sources)
set(unformatted "")
foreach(source IN LISTS sources)
  execute_process(COMMAND ${CLANG_FORMAT} --style=file --dry-run --Werror ${source}
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    list(APPEND unformatted ${source})
  endif()
endforeach()
list(LENGTH sources count)
if(unformatted)
  list(JOIN unformatted "\n  " listed)
  message(FATAL_ERROR "clang-format would change these files (run clang-format -i on them):\n  ${listed}")
endif()
message(STATUS "${count} files follow .clang-format")
