# Installing the program and the simulator, and the Debian package built from them:
#   cmake --workflow --preset package      ->  build/package/lorvane_<version>_<arch>.deb
# The wiring diagram and the drawings are compiled into the program; only the two programs, the
# desktop entry and the icon are installed.
include(GNUInstallDirs)

install(TARGETS lorvane lorvane-sim lorvane-projects RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/lorvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

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
