// OpenGL for the graphics device. Windows' own GL/gl.h stops at OpenGL
// 1.1; the few later constants the device uses (every current driver knows
// them) are named here.
#pragma once
#include <GL/gl.h>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif
#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

// Whether glTexImage2D can refuse a size (some desktop drivers take only
// powers of two), checked with glGetError after it. WebGL takes any size
// for a texture without mipmaps that clamps at its edges, as every surface
// is; and there each glGetError waits for the browser's GPU process, which
// made every image loaded at start-up a round trip.
#ifdef __EMSCRIPTEN__
constexpr bool kTexImageMayRefuseSize = false;
#else
constexpr bool kTexImageMayRefuseSize = true;
#endif
