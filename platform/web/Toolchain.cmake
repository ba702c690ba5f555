# The toolchain of the browser build: Debian's Emscripten, plus the header-only
# libraries the shared code needs from Debian (nlohmann-json, stb).
# Their headers cannot be reached through /usr/include, whose C library
# headers would shadow Emscripten's, so the few that are needed are linked
# into a folder of their own that becomes the cross-compiler's package root.
# scripts/web-build hands this file to emcmake as CMAKE_TOOLCHAIN_FILE; the
# project then builds the same targets as natively, with the browser's host.

set(_scrawlet_emscripten_toolchain /usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
if(NOT EXISTS "${_scrawlet_emscripten_toolchain}")
  message(FATAL_ERROR "The browser build needs Debian's emscripten package (scripts/setup installs it)")
endif()
include("${_scrawlet_emscripten_toolchain}")

set(_scrawlet_host_headers "${CMAKE_BINARY_DIR}/host-headers")
foreach(header IN ITEMS nlohmann stb)
  get_filename_component(name "${header}" NAME)
  if(NOT EXISTS "/usr/include/${header}")
    message(FATAL_ERROR "The browser build needs /usr/include/${header} "
                        "(scripts/setup installs nlohmann-json3-dev and libstb-dev)")
  endif()
  if(NOT EXISTS "${_scrawlet_host_headers}/include/${name}")
    file(MAKE_DIRECTORY "${_scrawlet_host_headers}/include")
    file(CREATE_LINK "/usr/include/${header}" "${_scrawlet_host_headers}/include/${name}" SYMBOLIC)
  endif()
endforeach()
# nlohmann-json's package file finds its headers relative to where it is read
# from: read through this link, it finds the linked folder above.
if(NOT EXISTS "${_scrawlet_host_headers}/share/cmake/nlohmann_json")
  file(MAKE_DIRECTORY "${_scrawlet_host_headers}/share/cmake")
  file(CREATE_LINK /usr/share/cmake/nlohmann_json "${_scrawlet_host_headers}/share/cmake/nlohmann_json" SYMBOLIC)
endif()
list(PREPEND CMAKE_FIND_ROOT_PATH "${_scrawlet_host_headers}")
# Libraries are looked for only among the cross-compiler's own, never the
# machine's (whose cairo or SDL would otherwise be found and fail to link).
set(ENV{PKG_CONFIG_LIBDIR} "${EMSCRIPTEN_SYSROOT}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Everything in the browser build is compiled and linked with exceptions
# (the compiler's flags go to the link too): nlohmann-json reports malformed
# text by throwing, and the scene file and the scripts catch it. CMake reads
# this file more than once.
if(NOT CMAKE_CXX_FLAGS_INIT MATCHES "-fexceptions")
  string(APPEND CMAKE_CXX_FLAGS_INIT " -fexceptions")
endif()
# The browser's host is the one host here; the native hosts, their tests
# and the benchmarks cannot be built for the browser.
set(SCRAWLET_WEB ON CACHE BOOL "Build the browser host" FORCE)
foreach(native IN ITEMS SCRAWLET_DESKTOP SCRAWLET_HEADLESS SCRAWLET_TESTS SCRAWLET_BENCHMARKS)
  set(${native} OFF CACHE BOOL "Not in the browser build" FORCE)
endforeach()
