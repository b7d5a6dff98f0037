# Run by `cmake --install` (and cpack): puts the companion's host manifest where each
# browser (the Chromium family, Firefox) reads system-wide manifests, naming the host where this
# installation puts it. Browsers look only under /etc, so an installation into /usr or
# /usr/local (the package's is /usr) writes there; one into any other prefix keeps them in
# <prefix>/etc, out of the way. The folders match the browsers' list in
# src/platform/companion/HostManifests.cpp.
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?/?$")
  set(_root /etc)
else()
  set(_root "${CMAKE_INSTALL_PREFIX}/etc")
endif()
set(_manifest "${TERVANE_MANIFEST_STAGING}/now.tervane.companion.json")
file(WRITE "${_manifest}" "{
  \"name\": \"now.tervane.companion\",
  \"description\": \"Tervane Now\",
  \"path\": \"${CMAKE_INSTALL_PREFIX}/${TERVANE_INSTALL_BINDIR}/tervane-now-host\",
  \"type\": \"stdio\",
  \"allowed_origins\": [\"chrome-extension://edbimddlcdmnaiandepgmpcoddnomaak/\"]
}
")
foreach(_folder IN ITEMS chromium opt/chrome opt/brave opt/edge)
  file(INSTALL DESTINATION "${_root}/${_folder}/native-messaging-hosts" TYPE FILE
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ FILES "${_manifest}")
endforeach()

# Firefox reads system-wide manifests under /usr/lib/mozilla, which name the add-on's id,
# and Debian's Firefox ESR loads the add-ons it finds in its application folder there.
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?/?$")
  set(_mozilla /usr/lib/mozilla)
else()
  set(_mozilla "${CMAKE_INSTALL_PREFIX}/lib/mozilla")
endif()
set(_gecko_manifest "${TERVANE_MANIFEST_STAGING}/firefox/now.tervane.companion.json")
file(WRITE "${_gecko_manifest}" "{
  \"name\": \"now.tervane.companion\",
  \"description\": \"Tervane Now\",
  \"path\": \"${CMAKE_INSTALL_PREFIX}/${TERVANE_INSTALL_BINDIR}/tervane-now-host\",
  \"type\": \"stdio\",
  \"allowed_extensions\": [\"companion@tervane.now\"]
}
")
file(INSTALL DESTINATION "${_mozilla}/native-messaging-hosts" TYPE FILE
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ FILES "${_gecko_manifest}")
if(EXISTS "${TERVANE_COMPANION_XPI}")
  file(INSTALL DESTINATION "${_mozilla}/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}"
       TYPE FILE PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
       FILES "${TERVANE_COMPANION_XPI}")
endif()
