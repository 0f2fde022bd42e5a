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
