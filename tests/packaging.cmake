# The desktop entry and the AppStream metainfo must pass their validators.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
find_program(APPSTREAMCLI appstreamcli REQUIRED)
add_test(NAME packaging_desktop_entry
         COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir.desktop)
add_test(NAME packaging_metainfo
         COMMAND ${APPSTREAMCLI} validate --no-net ${ZIR_METAINFO})
# Validators print warnings but exit 0 on them; any output line naming an error fails too.
set_tests_properties(packaging_desktop_entry packaging_metainfo PROPERTIES
  FAIL_REGULAR_EXPRESSION "error|E:")

# What `cmake --install` lays down: programs, menu entry, icons, metainfo, help.
add_test(NAME packaging_install_layout
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                 -DDEST=${CMAKE_CURRENT_BINARY_DIR}/install-layout -DVERSION=${PROJECT_VERSION}
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/packaging_layout.cmake)

# The manual pages render without a warning of the formatter.
find_program(GROFF groff REQUIRED)
foreach(page zir zir-sim zir-cli)
  add_test(NAME packaging_man_${page}
           COMMAND ${GROFF} -man -ww -z -Tutf8 ${PROJECT_BINARY_DIR}/man/${page}.1)
  set_tests_properties(packaging_man_${page} PROPERTIES FAIL_REGULAR_EXPRESSION "warning|error")
endforeach()

# The systemd user units of the examples are accepted by systemd, with the
# service starting the zir-cli of this build.
find_program(SYSTEMD_ANALYZE systemd-analyze REQUIRED)
add_test(NAME packaging_systemd_units
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}/packaging/systemd
                 -DDEST=${CMAKE_CURRENT_BINARY_DIR}/systemd-units -DZIR_CLI=$<TARGET_FILE:zir-cli>
                 -DSYSTEMD_ANALYZE=${SYSTEMD_ANALYZE}
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/packaging_units.cmake)
