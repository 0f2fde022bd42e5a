# The portable Linux build (tools/package-linux.sh): one program for every
# desktop distribution, built on an old C library (Debian 11) so that it
# asks for nothing newer than glibc 2.31. It carries its C++ runtime and
# libgcc inside, and finds its own GLFW and OpenAL Soft in lib/ beside it
# (RUNPATH $ORIGIN/lib). GL comes from the system through libGL.so.1, which
# every desktop has, glvnd or not.
# Included from the top-level CMakeLists.txt, before the subsystems, when
# ZELK_PORTABLE is on.
set(ZELK_PORTABLE_DEPS "" CACHE PATH "Prefix holding the private GLFW and OpenAL Soft of the portable build")
if(NOT ZELK_PORTABLE_DEPS OR NOT EXISTS "${ZELK_PORTABLE_DEPS}/lib/pkgconfig/glfw3.pc"
   OR NOT EXISTS "${ZELK_PORTABLE_DEPS}/lib/pkgconfig/openal.pc")
  message(FATAL_ERROR "ZELK_PORTABLE needs ZELK_PORTABLE_DEPS: the prefix with GLFW and OpenAL Soft (tools/linux/deps.sh)")
endif()

# stb's headers: the same ones every other build of the game uses (this
# machine's libstb-dev, copied in by tools/package-linux.sh); the old
# system's own lack the Vorbis decoder.
set(ZELK_PORTABLE_STB "" CACHE PATH "Folder holding stb/stb_image.h and stb/stb_vorbis.h")
if(NOT EXISTS "${ZELK_PORTABLE_STB}/stb/stb_vorbis.h")
  message(FATAL_ERROR "ZELK_PORTABLE needs ZELK_PORTABLE_STB: a folder with stb/stb_image.h and stb/stb_vorbis.h")
endif()
include_directories(BEFORE SYSTEM "${ZELK_PORTABLE_STB}")

# Only the private copies are found: glfw3.pc and openal.pc from the prefix.
set(ENV{PKG_CONFIG_PATH} "${ZELK_PORTABLE_DEPS}/lib/pkgconfig")
list(PREPEND CMAKE_PREFIX_PATH "${ZELK_PORTABLE_DEPS}")
# libGL.so.1 rather than glvnd's libOpenGL.so.0, which not every system has.
set(OpenGL_GL_PREFERENCE LEGACY)

add_link_options(-static-libstdc++ -static-libgcc LINKER:--as-needed LINKER:--enable-new-dtags)
# The program runs from wherever the archive was unpacked: its libraries
# are looked up beside it only, never in the build prefix.
set(CMAKE_BUILD_WITH_INSTALL_RPATH ON)
set(CMAKE_INSTALL_RPATH "\$ORIGIN/lib")
set(CMAKE_INSTALL_RPATH_USE_LINK_PATH OFF)
