# zelk.js, zelk.wasm and zelk.data (the data folder, packed) for the page
# tools/web/index.html; tools/build-web.sh puts them together in dist/web/.
# Included from the top-level CMakeLists.txt for the Emscripten build.
#
# The data folder is packed under /zelk/data, beside the program's own
# place (/zelk/zelk.wasm, hx_platform_web.cpp); the player's folder with the
# saved state is /home/zelk, kept in IndexedDB (hx_platform_web_pre.js).
# The application icons are not packed: a page has no window icon, and
# the page's own icons are files beside it (tools/build-web.sh).
set(_web_library ${CMAKE_SOURCE_DIR}/host/hx_platform_web.js)
set(_web_pre ${CMAKE_SOURCE_DIR}/host/hx_platform_web_pre.js)
file(GLOB_RECURSE _web_data CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)

target_link_options(zelk PRIVATE
  -lidbfs.js
  --js-library ${_web_library}
  --pre-js ${_web_pre}
  --preload-file ${CMAKE_SOURCE_DIR}/data@/zelk/data
  --exclude-file ${CMAKE_SOURCE_DIR}/data/icons
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1
  -sINITIAL_MEMORY=64MB
  -sFORCE_FILESYSTEM=1)
# The packed data and the JavaScript parts are part of the link.
set_property(TARGET zelk APPEND PROPERTY LINK_DEPENDS ${_web_library} ${_web_pre} ${_web_data})
