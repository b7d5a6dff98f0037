# Installation and the Debian package:
#
#   cmake --install <build> --prefix /usr/local
#   cd <build> && cpack -G DEB        (from a Release build folder)
#
# Programs go to bin (with the browser companion's host), the companion extension to
# share/tervane-now/companion, its host manifests where each browser reads them, the
# desktop entry to share/applications and the bee icon, drawn at build time from the
# core's own outline, to the hicolor theme.
include(GNUInstallDirs)

set(_tervane_programs)
foreach(_program IN ITEMS tervane-now tervane-script tervane-now-host)
  if(TARGET ${_program})
    list(APPEND _tervane_programs ${_program})
  endif()
endforeach()
install(TARGETS ${_tervane_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/data/org.tervane.now.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/companion/manifest.json
              ${PROJECT_SOURCE_DIR}/companion/background.js
              ${PROJECT_SOURCE_DIR}/companion/requests.js
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tervane-now/companion)
if(TARGET tervane_companion_xpi)
  install(FILES ${TERVANE_COMPANION_XPI} DESTINATION ${CMAKE_INSTALL_DATADIR}/tervane-now)
endif()

# The host manifests each browser reads system-wide (cmake/InstallHostManifests.cmake).
if(TARGET tervane-now-host)
  install(CODE "set(TERVANE_INSTALL_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
set(TERVANE_MANIFEST_STAGING \"${PROJECT_BINARY_DIR}/host-manifest\")
set(TERVANE_COMPANION_XPI \"${TERVANE_COMPANION_XPI}\")")
  install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallHostManifests.cmake)
endif()

# Every icon drawn at build time; the installation test waits for them. The drawing tools
# run without leak checks: in a sanitizer build a leak report from a library they use would
# otherwise fail the build.
add_custom_target(tervane_icons ALL)
set(_tervane_tool_env ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0)
if(TARGET tervane-bee-svg)
  set(TERVANE_ICON_SVG ${PROJECT_BINARY_DIR}/icons/tervane-now.svg)
  add_custom_command(OUTPUT ${TERVANE_ICON_SVG}
                     COMMAND ${_tervane_tool_env} $<TARGET_FILE:tervane-bee-svg> ${TERVANE_ICON_SVG}
                     DEPENDS tervane-bee-svg
                     COMMENT "Drawing the bee icon" VERBATIM)
  add_custom_target(tervane_icon_svg DEPENDS ${TERVANE_ICON_SVG})
  add_dependencies(tervane_icons tervane_icon_svg)
  install(FILES ${TERVANE_ICON_SVG}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Pixel sizes for the places that do not draw SVG, from the same outline through Qt.
if(TARGET tervane-bee-png)
  foreach(_size IN ITEMS 48 256)
    set(_png ${PROJECT_BINARY_DIR}/icons/${_size}x${_size}/tervane-now.png)
    add_custom_command(OUTPUT ${_png}
                       COMMAND ${CMAKE_COMMAND} -E make_directory
                               ${PROJECT_BINARY_DIR}/icons/${_size}x${_size}
                       COMMAND ${_tervane_tool_env} $<TARGET_FILE:tervane-bee-png> ${_size} ${_png}
                       DEPENDS tervane-bee-png
                       COMMENT "Drawing the ${_size} pixel bee icon" VERBATIM)
    add_custom_target(tervane_icon_${_size} DEPENDS ${_png})
    add_dependencies(tervane_icons tervane_icon_${_size})
    install(FILES ${_png}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tervane-now)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tervane Now team")
set(CPACK_PACKAGE_CONTACT "Tervane Now team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Focus tool: write the one thing you are doing, and the rest is put away")
set(CPACK_PACKAGE_DESCRIPTION
    "Tervane Now asks for the one thing you are doing, then hides the applications and \
minimizes the browser windows that thing does not need. Nothing is quit or closed, and \
everything comes back on request.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Staged with DESTDIR under the package's own prefix, so the host manifests under /etc land
# in the package and name /usr/bin.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tervane Now team")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library packages the programs need are worked out by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
