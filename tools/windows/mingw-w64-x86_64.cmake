# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads):
#   cmake -DCMAKE_TOOLCHAIN_FILE=tools/windows/mingw-w64-x86_64.cmake ...
# Packages: g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
# mingw-w64-x86-64-dev (tools/install-deps.sh installs them).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZELK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZELK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELK_MINGW_PREFIX}-windres)
set(CMAKE_AR ${ZELK_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZELK_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

# Headers and libraries come from the MinGW tree and from the folders named
# in CMAKE_PREFIX_PATH / CMAKE_FIND_ROOT_PATH (the Windows dependencies);
# programs run at build time come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZELK_MINGW_PREFIX} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests built for Windows run under Wine.
find_program(ZELK_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZELK_WINE)
  find_program(ZELK_WINE NAMES wine64 wine)
endif()
if(ZELK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELK_WINE})
endif()
