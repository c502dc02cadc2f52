# Copies the example units, points the service at the zir-cli of the build
# and lets systemd-analyze verify both.
# cmake -DSOURCE_DIR=<packaging/systemd> -DDEST=<folder> -DZIR_CLI=<path>
#       -DSYSTEMD_ANALYZE=<path> -P packaging_units.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${DEST}")
file(MAKE_DIRECTORY "${DEST}")
foreach(unit zir-archive.service zir-archive.timer)
  file(READ "${SOURCE_DIR}/${unit}" text)
  string(REPLACE "/usr/bin/zir-cli" "${ZIR_CLI}" text "${text}")
  file(WRITE "${DEST}/${unit}" "${text}")
endforeach()
file(READ "${DEST}/zir-archive.service" service)
if(NOT service MATCHES "ExecStart=${ZIR_CLI} ")
  message(FATAL_ERROR "zir-archive.service does not start /usr/bin/zir-cli")
endif()
execute_process(
  COMMAND ${SYSTEMD_ANALYZE} verify --man=no zir-archive.service zir-archive.timer
  WORKING_DIRECTORY "${DEST}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
  message(FATAL_ERROR "systemd-analyze verify refuses the units:\n${output}")
endif()
message(STATUS "units verified")
