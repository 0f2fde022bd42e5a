# What `cmake --install` puts under the prefix: the game, its data folder,
# the desktop entry, the menu icons and the AppStream metainfo. The game
# finds the data folder from its own place (../share/zelk/data/ seen from
# bin/), so any prefix works. Included from the top-level CMakeLists.txt.
include(GNUInstallDirs)

# Where the project's web page (and the screenshot the metainfo names)
# lives; set it when the game is published.
set(ZELK_WEB_URL "https://zelk.example" CACHE STRING "Home page named in the AppStream metainfo")

set(_desktop ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS zelk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zelk/data)

foreach(size 16 32 48 64 128 256)
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

# The Debian package (cpack -G DEB; tools/package-deb.sh builds it into
# dist/). Its run-time dependencies come from the executable itself
# (dpkg-shlibdeps: GLFW 3, OpenAL Soft, libOpenGL, the C and C++ libraries)
# plus a GLX implementation for GLFW's windows, Mesa's unless the system
# has another.
set(ZELK_MAINTAINER "Zelk developers <zelk@zelk.example>" CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_NAME zelk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zelk developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "single-screen arcade game of flapping creatures")
set(CPACK_PACKAGE_DESCRIPTION "Steer a small flapping creature across a field of brick platforms
under a drifting star field while baddies drop in from above. Whoever
lands on the other from above bounces off and knocks a life out of the one
below. Keyboard, mouse and game pads; best scores and badges are kept.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZELK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ZELK_WEB_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libglx-mesa0 | libglx-vendor")
set(CPACK_GENERATOR DEB)
include(CPack)
