# zelk.exe as Windows players expect it: a GUI program (no console window;
# its standard output still reaches a file or pipe it is redirected to),
# with version information, a manifest and, once the asset generator has
# made it, the game's icon.
set(ZELK_VERSION_MAJOR 1)
set(ZELK_VERSION_MINOR 0)
set(ZELK_VERSION_PATCH 0)
set(ZELK_MANIFEST ${CMAKE_SOURCE_DIR}/host/zelk.manifest)
set(ZELK_ICON ${CMAKE_SOURCE_DIR}/data/icons/zelk.ico)
if(EXISTS ${ZELK_ICON})
  set(ZELK_HAVE_ICON 1)
else()
  set(ZELK_HAVE_ICON 0)
endif()
# The resource compiler's command line loses quotes, so the values reach
# zelk.rc through a generated header.
configure_file(${CMAKE_SOURCE_DIR}/host/zelk_rc.h.in ${CMAKE_BINARY_DIR}/zelk_rc.h @ONLY)
target_sources(zelk PRIVATE ${CMAKE_SOURCE_DIR}/host/zelk.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/host/zelk.rc PROPERTIES
  INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}
  OBJECT_DEPENDS "${ZELK_MANIFEST};${CMAKE_BINARY_DIR}/zelk_rc.h")
set_target_properties(zelk PROPERTIES WIN32_EXECUTABLE ON)
# The release package carries no debug symbols, and no link time stamp (the
# same source gives the same file).
target_link_options(zelk PRIVATE $<$<CONFIG:Release>:-s> -Wl,--no-insert-timestamp)
