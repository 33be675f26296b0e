# Installing the program and the simulator, and the Debian package built from them:
#   cmake --workflow --preset package      ->  build/package/lorvane_<version>_<arch>.deb
# The wiring diagram and the drawings are compiled into the program; the three programs, the
# desktop entry, the icon, the manual pages, the copyright file and the changelog are installed.
include(GNUInstallDirs)

install(TARGETS lorvane lorvane-sim lorvane-projects RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/lorvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The documents a Debian package carries (the package preset turns this on; target lorvane-docs):
# a manual page of each program made by help2man from its --help (read as UTF-8: lorvane's help is
# Chinese), and the changelog, compressed as Debian compresses them (gzip -9n: no name or time
# inside, so two builds give the same files).
option(LORVANE_PACKAGE_DOCS "Make the manual pages and the compressed changelog of the package" OFF)
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelogTop LIMIT_COUNT 1)
if(NOT changelogTop MATCHES "^lorvane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: the first entry is not version ${PROJECT_VERSION}: ${changelogTop}")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(LORVANE_PACKAGE_DOCS)
  find_program(HELP2MAN help2man REQUIRED)
  find_program(GZIP gzip REQUIRED)
  set(docs ${CMAKE_BINARY_DIR}/docs)
  set(manpages "")
  foreach(page "lorvane:operator program for the Lorvane five-axis stepper controller"
               "lorvane-sim:simulated Lorvane controller on a pseudo-terminal"
               "lorvane-projects:back up, restore and show the projects of a Lorvane controller")
    string(REPLACE ":" ";" page "${page}")
    list(GET page 0 program)
    list(GET page 1 summary)
    add_custom_command(OUTPUT ${docs}/${program}.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}
      COMMAND ${HELP2MAN} --no-info --locale=C.UTF-8 --section=1 --version-string=${PROJECT_VERSION} --name=${summary}
              --output=${docs}/${program}.1 $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${docs}/${program}.1
      DEPENDS ${program} VERBATIM)
    list(APPEND manpages ${docs}/${program}.1.gz)
  endforeach()
  add_custom_command(OUTPUT ${docs}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${docs}/changelog
    COMMAND ${GZIP} -9nf ${docs}/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
  add_custom_target(lorvane-docs ALL DEPENDS ${manpages} ${docs}/changelog.gz)
  install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${docs}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lorvane)
set(CPACK_PACKAGE_VENDOR "Lorvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator program for the Lorvane five-axis stepper controller")
# The first line of the package's description is the summary above; CPack indents these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lorvane is the operator program for the Lorvane five-axis stepper motion
controller used on teaching and training rigs. It talks to the controller as
a Modbus ASCII master on one serial line (9600 8N1, slave 01). F12 opens a
traffic monitor; lorvane --trace FILE records every frame for a bug report.

The package also holds lorvane-sim, a controller simulator on a
pseudo-terminal, so that the program can be run and shown without the rig.

To use a serial port or a USB serial adapter the user must be in the dialout
group: sudo usermod -aG dialout $USER, then log in again.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lorvane developers <lorvane@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The shared libraries the two programs link, as dpkg-shlibdeps finds them (Qt, the C++ runtime),
# and a font with the Chinese characters of the screens.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk")

include(CPack)
