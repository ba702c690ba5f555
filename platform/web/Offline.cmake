# The page as an installable app that comes up offline: its manifest, its
# home-screen icons (drawn by scripts/make-icons from the desktop's artwork;
# the 512-pixel one is the desktop's own), the script that registers its
# service worker, and the worker, whose cache is named after a hash of
# every file the page loads. Included by platform/web/CMakeLists.txt.

set(SCRAWLET_PAGE_ICONS
  ${SCRAWLET_WEB_DIR}/icons/scrawlet-192.png
  ${SCRAWLET_WEB_DIR}/icons/scrawlet-maskable-512.png
  ${PROJECT_SOURCE_DIR}/resources/icons/scrawlet-512.png)
set(installable_outputs
  ${CMAKE_BINARY_DIR}/manifest.webmanifest
  ${CMAKE_BINARY_DIR}/install.js
  ${CMAKE_BINARY_DIR}/apple-touch-icon.png)
foreach(icon IN LISTS SCRAWLET_PAGE_ICONS)
  get_filename_component(name ${icon} NAME)
  list(APPEND installable_outputs ${CMAKE_BINARY_DIR}/icons/${name})
endforeach()
add_custom_command(OUTPUT ${installable_outputs}
  COMMAND ${CMAKE_COMMAND} -E copy ${SCRAWLET_WEB_DIR}/manifest.webmanifest
          ${CMAKE_BINARY_DIR}/manifest.webmanifest
  COMMAND ${CMAKE_COMMAND} -E copy ${SCRAWLET_WEB_DIR}/Install.js ${CMAKE_BINARY_DIR}/install.js
  COMMAND ${CMAKE_COMMAND} -E copy ${SCRAWLET_WEB_DIR}/icons/apple-touch-icon.png
          ${CMAKE_BINARY_DIR}/apple-touch-icon.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
  COMMAND ${CMAKE_COMMAND} -E copy ${SCRAWLET_PAGE_ICONS} ${CMAKE_BINARY_DIR}/icons/
  DEPENDS ${SCRAWLET_WEB_DIR}/manifest.webmanifest ${SCRAWLET_WEB_DIR}/Install.js
          ${SCRAWLET_WEB_DIR}/icons/apple-touch-icon.png ${SCRAWLET_PAGE_ICONS})
add_custom_target(scrawlet_installable ALL DEPENDS ${installable_outputs})

# Every file the page loads, relative to the build folder. A file the page
# comes to load must be added here, or the page will not come up offline.
set(SCRAWLET_CACHED_FILES
  index.html texts.js install.js scrawlet.js scrawlet.wasm scrawlet.data
  manifest.webmanifest apple-touch-icon.png)
foreach(icon IN LISTS SCRAWLET_PAGE_ICONS)
  get_filename_component(name ${icon} NAME)
  list(APPEND SCRAWLET_CACHED_FILES icons/${name})
endforeach()
string(REPLACE ";" "," cached_files "${SCRAWLET_CACHED_FILES}")

# Run at every build (hashing the few megabytes takes no time), after the
# page and the program: sw.js changes only when one of the files did.
add_custom_target(scrawlet_offline_cache ALL
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DTEMPLATE=${SCRAWLET_WEB_DIR}/sw.js
          "-DFILES=${cached_files}" -P ${SCRAWLET_WEB_DIR}/OfflineCache.cmake
  BYPRODUCTS ${CMAKE_BINARY_DIR}/sw.js
  COMMENT "Naming the page's offline cache after this build"
  VERBATIM)
add_dependencies(scrawlet_offline_cache scrawlet scrawlet_page scrawlet_installable)
