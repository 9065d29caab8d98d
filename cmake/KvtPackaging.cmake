# Installing (cmake --install) and the .deb package (cpack in the build folder). The programs
# install themselves to bin/ in their own folders; this adds what a desktop and Debian expect
# around them: desktop entry, icons, AppStream metadata, man pages, bash completion, copyright and
# changelog, and the package description.
include(GNUInstallDirs)
set(KVT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kvt27-config)
set(KVT_APPSTREAM_ID example.c_seed_b5cc7250.kvt27_config)
set(KVT_MAINTAINER "KVT27 configuration program maintainers <maintainers@users.noreply.c-seed-b5cc7250.example>")

# The changelog and the AppStream releases are written by hand at a release; the version they
# name must be the project's, or the package would contradict its programs.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog _kvt_changelog_head LIMIT_COUNT 1)
string(REGEX MATCH "^kvt27-config \\(([^)]+)\\)" _kvt_match "${_kvt_changelog_head}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog: the latest entry is for \"${CMAKE_MATCH_1}\", the project "
    "is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION} at the top.")
endif()
file(READ ${PROJECT_SOURCE_DIR}/packaging/kvt27-config.metainfo.xml _kvt_metainfo)
string(FIND "${_kvt_metainfo}" "<release version=\"${PROJECT_VERSION}\"" _kvt_release)
if(_kvt_release EQUAL -1)
  message(FATAL_ERROR "packaging/kvt27-config.metainfo.xml: no <release> for ${PROJECT_VERSION}.")
endif()

if(TARGET kvt27-config)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvt27-config.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvt27-config.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME ${KVT_APPSTREAM_ID}.metainfo.xml)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvt27-config.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 48 128)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvt27-config-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME kvt27-config.png)
  endforeach()
endif()
if(TARGET kvt27ctl)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kvt27ctl.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kvt27ctl)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
  DESTINATION ${KVT_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kvt27-config)

# Compressed files built alike on every build: gzip -n leaves out the name and the time, and the
# man pages carry the date of the latest changelog entry instead of the build's.
find_program(KVT_GZIP gzip)
find_program(KVT_HELP2MAN help2man)
set(_kvt_generated ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_kvt_generated})
if(KVT_GZIP)
  add_custom_command(OUTPUT ${_kvt_generated}/changelog.gz
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${KVT_GZIP}
      ${PROJECT_SOURCE_DIR}/packaging/changelog ${_kvt_generated}/changelog.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
  set(_kvt_docs ${_kvt_generated}/changelog.gz)
  install(FILES ${_kvt_generated}/changelog.gz DESTINATION ${KVT_DOC_DIR})

  if(KVT_HELP2MAN AND NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
    file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog _kvt_trailer REGEX "^ -- " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" _kvt_release_date "${_kvt_trailer}")
    execute_process(COMMAND date -u -d "${_kvt_release_date}" +%s
      OUTPUT_VARIABLE _kvt_release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(_kvt_man_names
      "kvt27-config=configure KVT27 and KVT27L isolated analog signal converters"
      "kvt27ctl=configure a KVT27 or KVT27L converter from the command line"
      "kvt27-sim=a simulated KVT27 or KVT27L converter on a pseudo-terminal")
    foreach(entry IN LISTS _kvt_man_names)
      string(REGEX REPLACE "=.*" "" program "${entry}")
      string(REGEX REPLACE "^[^=]*=" "" name "${entry}")
      if(NOT TARGET ${program})
        continue()
      endif()
      set(page ${_kvt_generated}/${program}.1)
      add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${_kvt_release_epoch}
          ${KVT_HELP2MAN} --no-info --section=1 --name=${name} --output=${page} $<TARGET_FILE:${program}>
        COMMAND ${KVT_GZIP} -9nf ${page}
        DEPENDS ${program}
        VERBATIM)
      list(APPEND _kvt_docs ${page}.gz)
      install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
  else()
    message(STATUS "help2man not found: the programs install without manual pages")
  endif()
  add_custom_target(kvt_docs ALL DEPENDS ${_kvt_docs})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvt27-config)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KVT27 configuration program maintainers")
set(CPACK_PACKAGE_CONTACT ${KVT_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration program for KVT27 and KVT27L signal converters")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "kvt27-config configures KVT27 and KVT27L isolated analog signal converters"
  "over a serial line: identification, signal kinds, input calibration, output"
  "adjustment, filter, out-of-range reaction, numeric ranges, and datalogging"
  "with CSV export. kvt27ctl does the same from the command line and clones a"
  "configuration from one converter onto others; kvt27-sim simulates a"
  "converter on a pseudo-terminal.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KVT_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# The window asks for the DejaVu fonts by name. Library dependencies come from the binaries
# themselves where dpkg-shlibdeps is there (and are added to this list); stated otherwise.
find_program(KVT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KVT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
elseif(TARGET kvt27-config)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqt6gui6, libqt6core6, libstdc++6, libc6")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libstdc++6, libc6")
endif()
if(TARGET kvt27-config)
  list(PREPEND CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
  list(JOIN CPACK_DEBIAN_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
  # Qt's own dialogs (the save dialog, the box buttons) in Czech when the window is.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
endif()

include(CPack)
