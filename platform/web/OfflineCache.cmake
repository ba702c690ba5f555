# Writes the page's service worker (sw.js) into the build folder, naming its
# cache after a hash of every file the page loads, so that a new build of
# any of them makes the browser fetch them all again. Run by the build
# (platform/web/CMakeLists.txt) after the page and the program are built:
#   cmake -DBUILD_DIR=build-web -DTEMPLATE=platform/web/sw.js
#         -DFILES=index.html,scrawlet.js,… -P OfflineCache.cmake
# FILES are relative to BUILD_DIR, separated by commas. sw.js is rewritten only when it changes.

foreach(required BUILD_DIR TEMPLATE FILES)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "OfflineCache.cmake: ${required} is not set")
  endif()
endforeach()

string(REPLACE "," ";" FILES "${FILES}")
set(hashes "")
set(listed "")
foreach(file IN LISTS FILES)
  if(NOT EXISTS "${BUILD_DIR}/${file}")
    message(FATAL_ERROR "OfflineCache.cmake: the page's file ${BUILD_DIR}/${file} is missing")
  endif()
  file(SHA256 "${BUILD_DIR}/${file}" hash)
  string(APPEND hashes "${file} ${hash}\n")
  string(APPEND listed "\n  '${file}',")
endforeach()
string(SHA256 build "${hashes}")
string(SUBSTRING "${build}" 0 16 build)

# The page's address ("./") is the page too.
set(SCRAWLET_CACHE_NAME "scrawlet-${build}")
set(SCRAWLET_CACHED_FILES "[\n  './',${listed}\n]")
configure_file("${TEMPLATE}" "${BUILD_DIR}/sw.js" @ONLY)
