# Installation layout and the Debian package.
include(GNUInstallDirs)

install(TARGETS zir zir-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.zirtool.Zir-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME org.zirtool.Zir.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zir)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ZIR tool developers <zir-tool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Service tool for ZIR measuring instruments on a serial port")
set(CPACK_PACKAGE_DESCRIPTION
  "Reads the clock, the current values and the archive of a ZIR instrument,\nwrites its unit text, coefficients and service parameters.\nIncludes the instrument simulator zir-sim.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
