# Installs the build into a private folder and checks that what the desktop
# needs is there and agrees with itself: the programs, the menu entry with the
# program and icon it names, both icon sizes, the metainfo naming the same entry
# and the project's version, the help page, a manual page per program, the
# Debian changelog whose newest entry is the project's version, and the
# examples for unattended use.
# cmake -DBUILD_DIR=<build> -DDEST=<empty folder> -DVERSION=<x.y.z> -P packaging_layout.cmake
cmake_minimum_required(VERSION 3.25)

set(errors "")
# expect(<if() condition as text> <message>): the condition is parsed as code.
macro(expect condition message)
  cmake_language(EVAL CODE "if(NOT (${condition}))\n set(failed TRUE)\n else()\n set(failed FALSE)\n endif()")
  if(failed)
    string(APPEND errors "  ${message}\n")
  endif()
endmacro()

file(REMOVE_RECURSE "${DEST}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DEST} ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix /usr
  RESULT_VARIABLE install_result OUTPUT_QUIET ERROR_VARIABLE install_errors)
if(NOT install_result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${install_errors}")
endif()
set(usr "${DEST}/usr")
set(id org.zirtool.Zir)

foreach(program zir zir-sim zir-cli)
  expect("EXISTS \"${usr}/bin/${program}\" AND NOT IS_DIRECTORY \"${usr}/bin/${program}\"" "bin/${program} missing")
  expect("EXISTS \"${usr}/share/man/man1/${program}.1.gz\"" "manual page share/man/man1/${program}.1.gz missing")
endforeach()
foreach(example zir-archive.service zir-archive.timer)
  expect("EXISTS \"${usr}/share/doc/zir/examples/${example}\"" "example share/doc/zir/examples/${example} missing")
endforeach()
set(changelog "${usr}/share/doc/zir/changelog.Debian.gz")
if(EXISTS "${changelog}")
  execute_process(COMMAND gzip -dc "${changelog}" OUTPUT_VARIABLE changelog_text RESULT_VARIABLE gunzip_result)
  string(REGEX MATCH "^zir \\(([^)]+)\\)" newest_entry "${changelog_text}")
  set(changelog_version "${CMAKE_MATCH_1}")
  expect("gunzip_result EQUAL 0" "changelog.Debian.gz is no gzip file")
  expect("\"${changelog_version}\" STREQUAL \"${VERSION}\"" "newest changelog entry '${changelog_version}' is not the project version ${VERSION}")
else()
  string(APPEND errors "  changelog share/doc/zir/changelog.Debian.gz missing\n")
endif()
expect("EXISTS \"${usr}/share/doc/zir/zir.html\"" "help page share/doc/zir/zir.html missing")

set(desktop "${usr}/share/applications/${id}.desktop")
if(EXISTS "${desktop}")
  file(STRINGS "${desktop}" exec_line REGEX "^Exec=")
  file(STRINGS "${desktop}" icon_line REGEX "^Icon=")
  string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec "${exec_line}")
  string(REGEX REPLACE "^Icon=" "" icon "${icon_line}")
  expect("EXISTS \"${usr}/bin/${exec}\"" "desktop entry starts '${exec}', not installed in bin/")
  expect("EXISTS \"${usr}/share/icons/hicolor/scalable/apps/${icon}.svg\"" "scalable icon '${icon}.svg' missing")
  set(png "${usr}/share/icons/hicolor/48x48/apps/${icon}.png")
  if(EXISTS "${png}")
    # PNG header: width and height are the two big-endian words after "IHDR".
    file(READ "${png}" size_hex OFFSET 16 LIMIT 8 HEX)
    expect("\"${size_hex}\" STREQUAL \"0000003000000030\"" "48x48 icon is not 48x48 (${size_hex})")
  else()
    string(APPEND errors "  48x48 icon '${icon}.png' missing\n")
  endif()
else()
  string(APPEND errors "  desktop entry ${id}.desktop missing\n")
endif()

set(metainfo "${usr}/share/metainfo/${id}.metainfo.xml")
if(EXISTS "${metainfo}")
  file(READ "${metainfo}" meta)
  expect("meta MATCHES \"<id>${id}</id>\"" "metainfo id is not ${id}")
  string(FIND "${meta}" "<launchable type=\"desktop-id\">${id}.desktop</launchable>" launchable_at)
  expect("launchable_at GREATER -1" "metainfo does not launch ${id}.desktop")
  string(REGEX MATCH "<release version=\"([^\"]+)\"" newest "${meta}")
  expect("\"${CMAKE_MATCH_1}\" STREQUAL \"${VERSION}\"" "newest metainfo release '${CMAKE_MATCH_1}' is not the project version ${VERSION}")
  string(REGEX MATCHALL "<binary>[^<]+</binary>" binaries "${meta}")
  foreach(entry IN LISTS binaries)
    string(REGEX REPLACE "</?binary>" "" binary "${entry}")
    expect("EXISTS \"${usr}/bin/${binary}\"" "metainfo names binary '${binary}', not installed")
  endforeach()
else()
  string(APPEND errors "  metainfo ${id}.metainfo.xml missing\n")
endif()

if(errors)
  message(FATAL_ERROR "Installed layout in ${DEST} is wrong:\n${errors}")
endif()
message(STATUS "installed layout complete")
