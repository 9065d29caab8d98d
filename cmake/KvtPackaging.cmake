# Installing (cmake --install) and the .deb package (cpack in the build folder). The programs
# install themselves to bin/ in their own folders; this adds the desktop entry, the icons and the
# package description.
include(GNUInstallDirs)

if(TARGET kvt27-config)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvt27-config.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvt27-config.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 48 128)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvt27-config-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME kvt27-config.png)
  endforeach()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kvt27-config)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvt27-config)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KVT27 configuration program")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration program for KVT27 and KVT27L signal converters")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "kvt27-config configures KVT27 and KVT27L isolated analog signal converters"
  "over a serial line: identification, signal kinds, input calibration, output"
  "adjustment, filter, out-of-range reaction, numeric ranges, and datalogging"
  "with CSV export. kvt27ctl does the same from the command line and clones a"
  "configuration from one converter onto others; kvt27-sim simulates a"
  "converter on a pseudo-terminal.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KVT27 configuration program maintainers <kvt27-config@example.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# Library dependencies from the binaries themselves where the tool is there; stated otherwise.
find_program(KVT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KVT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
elseif(TARGET kvt27-config)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqt6gui6, libqt6core6, libstdc++6, libc6")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libstdc++6, libc6")
endif()

include(CPack)
