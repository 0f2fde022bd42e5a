# What `cmake --install` puts under the prefix: the game, its data folder,
# the desktop entry, the menu icons and the AppStream metainfo. The game
# finds the data folder from its own place (../share/zelk/data/ beside
# bin/), so any prefix works. Included from the top-level CMakeLists.txt.
include(GNUInstallDirs)

# Where the project's web page (and the screenshot the metainfo names)
# lives; set it when the game is published.
set(ZELK_WEB_URL "https://zelk.example" CACHE STRING "Home page named in the AppStream metainfo")

set(_desktop ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS zelk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zelk/data)

foreach(size 32 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/zelk-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME zelk.png)
endforeach()

set(ZELK_VERSION ${PROJECT_VERSION})
configure_file(${_desktop}/zelk.metainfo.xml.in ${CMAKE_BINARY_DIR}/zelk.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zelk.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The desktop entry starts the installed game by its full path, which is
# known only when installing (`cmake --install --prefix` may choose it).
install(CODE "
  set(_prefix \"\${CMAKE_INSTALL_PREFIX}\")
  if(IS_ABSOLUTE \"${CMAKE_INSTALL_BINDIR}\")
    set(ZELK_EXEC \"${CMAKE_INSTALL_BINDIR}/zelk\")
  else()
    set(ZELK_EXEC \"\${_prefix}/${CMAKE_INSTALL_BINDIR}/zelk\")
  endif()
  set(_dir \"\$ENV{DESTDIR}\${_prefix}/${CMAKE_INSTALL_DATADIR}/applications\")
  message(STATUS \"Installing: \${_dir}/zelk.desktop\")
  configure_file(\"${_desktop}/zelk.desktop.in\" \"\${_dir}/zelk.desktop\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_dir}/zelk.desktop\")
")
