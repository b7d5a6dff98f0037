# Run by `cmake --install` (and cpack): puts the companion's host manifest where each
# Chromium-family browser reads system-wide manifests, naming the host where this
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
