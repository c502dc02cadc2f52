# Installation layout and the Debian package.
include(GNUInstallDirs)

install(TARGETS zir zir-sim zir-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages with the project's version, and the Debian changelog, both
# compressed as Debian installs them (gzip -n: no name or time in the header,
# so the same sources give the same package).
find_program(GZIP gzip REQUIRED)
set(ZIR_MAN_PAGES zir zir-sim zir-cli)
set(compressed_docs "")
foreach(page IN LISTS ZIR_MAN_PAGES)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${GZIP} -9 -n -c ${PROJECT_BINARY_DIR}/man/${page}.1 > ${PROJECT_BINARY_DIR}/man/${page}.1.gz
    DEPENDS ${PROJECT_BINARY_DIR}/man/${page}.1 VERBATIM)
  list(APPEND compressed_docs ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.Debian.gz
  COMMAND ${GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${PROJECT_BINARY_DIR}/changelog.Debian.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
list(APPEND compressed_docs ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
add_custom_target(zir_compressed_docs ALL DEPENDS ${compressed_docs})
install(FILES ${PROJECT_BINARY_DIR}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Unattended use: a systemd user service and timer that read the archive nightly.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/systemd/zir-archive.service
              ${PROJECT_SOURCE_DIR}/packaging/systemd/zir-archive.timer
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The metainfo names this version as its newest release.
set(ZIR_METAINFO ${PROJECT_BINARY_DIR}/packaging/org.zirtool.Zir.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir.metainfo.xml.in ${ZIR_METAINFO} @ONLY)
install(FILES ${ZIR_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME org.zirtool.Zir.png)

# The operator's guide and the help page (the program shows the same page from
# its built-in resources; this copy is for reading outside the program). The
# guide's pictures keep their relative place next to it.
install(FILES ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/app/resources/help/zir.html
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The Debian copyright file: the programs' licence (LICENSE) and those of the
# libraries they link.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.png")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zir)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ZIR tool developers <zir-tool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Service tool for ZIR measuring instruments on a serial port")
set(CPACK_PACKAGE_DESCRIPTION
  "Reads the clock, the current values and the archive of a ZIR instrument,\nwrites its unit text, coefficients and service parameters.\nIncludes the command-line tool zir-cli and the instrument simulator zir-sim.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_STRIP_FILES ON)
# Library dependencies come from the binaries; the platform plugin that draws
# the windows (xcb) and Qt SQL's SQLite driver of the history are loaded at
# run time, so no binary names their packages. Qt Charts (the history plot)
# and Qt SVG (the plot saved as SVG) are named as well.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, libqt6charts6, libqt6svg6")
# Opening a new workbook with the desktop's spreadsheet program goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
