# Run by `cmake --install` (and cpack): puts the companion's host manifest where each
# browser (the Chromium family, Firefox) reads system-wide manifests, naming the host where this
# installation puts it. Browsers look only under /etc, so an installation into /usr or
# /usr/local (the package's is /usr) writes there; one into any other prefix keeps them in
# <prefix>/etc, out of the way. The folders match the browsers' list in
# src/platform/companion/HostManifests.cpp.
# Writes the manifest naming the host, with `allow` the line that says which companion may
# start it, into the staging folder's `subfolder`, and installs it into each folder after.
function(tervane_install_host_manifest subfolder allow)
  set(_manifest "${TERVANE_MANIFEST_STAGING}/${subfolder}/now.tervane.companion.json")
  file(WRITE "${_manifest}" "{
  \"name\": \"now.tervane.companion\",
  \"description\": \"Tervane Now\",
  \"path\": \"${CMAKE_INSTALL_PREFIX}/${TERVANE_INSTALL_BINDIR}/tervane-now-host\",
  \"type\": \"stdio\",
  ${allow}
}
")
  foreach(_folder IN LISTS ARGN)
    file(INSTALL DESTINATION "${_folder}" TYPE FILE
         PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ FILES "${_manifest}")
  endforeach()
endfunction()

if(CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?/?$")
  set(_root /etc)
  set(_mozilla /usr/lib/mozilla)
else()
  set(_root "${CMAKE_INSTALL_PREFIX}/etc")
  set(_mozilla "${CMAKE_INSTALL_PREFIX}/lib/mozilla")
endif()
set(_chromium_folders)
foreach(_folder IN ITEMS chromium opt/chrome opt/brave opt/edge)
  list(APPEND _chromium_folders "${_root}/${_folder}/native-messaging-hosts")
endforeach()
tervane_install_host_manifest(chromium
  "\"allowed_origins\": [\"chrome-extension://edbimddlcdmnaiandepgmpcoddnomaak/\"]"
  ${_chromium_folders})

# Firefox reads system-wide manifests under /usr/lib/mozilla, which name the add-on's id,
# and Debian's Firefox ESR loads the add-ons it finds in its application folder there.
tervane_install_host_manifest(firefox "\"allowed_extensions\": [\"companion@tervane.now\"]"
  "${_mozilla}/native-messaging-hosts")
if(EXISTS "${TERVANE_COMPANION_XPI}")
  file(INSTALL DESTINATION "${_mozilla}/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}"
       TYPE FILE PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
       FILES "${TERVANE_COMPANION_XPI}")
endif()
