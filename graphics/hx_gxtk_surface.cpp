// Surfaces: premultiplied pixels kept in memory and a texture created lazily
// in the current GL context, rebuilt after the context was re-created.
#include "graphics/hx_gl.h"

#include <cstdlib>
#include <cstring>

#include "graphics/hx_gxtk_graphics.h"
#include "host/hx_glfw_game.h"

bool gxtkSurface::forcePow2 = false;

namespace {

// The texture bound to GL_TEXTURE_2D as far as this code knows: its name
// and the context generation it was bound in (-1: not known).
unsigned int g_boundTexture = 0;
int g_boundSeq = -1;

void BindTexture(unsigned int texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  g_boundTexture = texture;
  g_boundSeq = glfwGraphicsSeq;
}

int FormatOf(int depth) {
  switch (depth) {
    case 1:
      return GL_LUMINANCE;
    case 2:
      return GL_LUMINANCE_ALPHA;
    case 3:
      return GL_RGB;
    case 4:
      return GL_RGBA;
    default:
      return 0;
  }
}

int Pow2AtLeast(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

bool IsPow2(int n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

gxtkSurface::~gxtkSurface() { Discard(); }

int gxtkSurface::Discard() {
  if (seq != -1 && seq == glfwGraphicsSeq) {
    // Deleting the bound texture leaves texture 0 bound.
    if (g_boundSeq == seq && g_boundTexture == texture) g_boundTexture = 0;
    glDeleteTextures(1, &texture);
    seq = -1;
  }
  free(data);
  data = nullptr;
  return 0;
}

void gxtkSurface::SetData(unsigned char* pixels, int w, int h, int d) {
  free(data);
  data = pixels;
  width = w;
  height = h;
  depth = d;
  format = FormatOf(d);
  size_t n = static_cast<size_t>(w) * h;
  if (!pixels || w <= 0 || h <= 0) return;
  if (d == 4) {
    for (unsigned char* p = pixels; n--; p += 4) {
      unsigned a = p[3];
      p[0] = static_cast<unsigned char>(p[0] * a / 255);
      p[1] = static_cast<unsigned char>(p[1] * a / 255);
      p[2] = static_cast<unsigned char>(p[2] * a / 255);
    }
  } else if (d == 2) {
    for (unsigned char* p = pixels; n--; p += 2) p[0] = static_cast<unsigned char>(p[0] * p[1] / 255);
  }
}

void gxtkSurface::SetSubData(int x, int y, int w, int h, const int* src, int pitch) {
  if (format != GL_RGBA || !src) return;
  // Keep the rectangle inside the surface.
  if (x < 0) {
    w += x;
    src -= x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    src -= static_cast<ptrdiff_t>(y) * pitch;
    y = 0;
  }
  if (w > width - x) w = width - x;
  if (h > height - y) h = height - y;
  if (w <= 0 || h <= 0) return;

  if (!data) {
    size_t bytes = static_cast<size_t>(width) * height * 4;
    data = static_cast<unsigned char*>(calloc(bytes, 1));
    if (!data) return;
    gc_ext_malloced(static_cast<int>(bytes));
  }
  for (int i = 0; i < h; ++i) {
    const uint32_t* s = reinterpret_cast<const uint32_t*>(src + static_cast<ptrdiff_t>(i) * pitch);
    unsigned char* d = data + (static_cast<size_t>(y + i) * width + x) * 4;
    for (int j = 0; j < w; ++j, d += 4) {
      uint32_t p = s[j];
      unsigned a = p >> 24;
      d[0] = static_cast<unsigned char>(((p >> 16) & 255) * a / 255);
      d[1] = static_cast<unsigned char>(((p >> 8) & 255) * a / 255);
      d[2] = static_cast<unsigned char>((p & 255) * a / 255);
      d[3] = static_cast<unsigned char>(a);
    }
  }

  if (seq != -1 && seq == glfwGraphicsSeq) {
    BindTexture(texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (w == width) {
      glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, format, GL_UNSIGNED_BYTE,
                      data + static_cast<size_t>(y) * width * 4);
    } else {
      for (int i = 0; i < h; ++i)
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y + i, w, 1, format, GL_UNSIGNED_BYTE,
                        data + (static_cast<size_t>(y + i) * width + x) * 4);
    }
  }
}

void gxtkSurface::Bind() {
  if (glfwGraphicsSeq == 0) return;
  if (seq == glfwGraphicsSeq) {
    BindTexture(texture);
    return;
  }
  seq = glfwGraphicsSeq;
  glGenTextures(1, &texture);
  BindTexture(texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

  // Drop errors left over from earlier calls, so only this allocation's
  // outcome decides on the fallback.
  if (kTexImageMayRefuseSize) {
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
  }
  int tw = width, th = height;
  bool refused = forcePow2 && !(IsPow2(tw) && IsPow2(th));
  if (!refused) {
    glTexImage2D(GL_TEXTURE_2D, 0, format, tw, th, 0, format, GL_UNSIGNED_BYTE, nullptr);
    refused = kTexImageMayRefuseSize && glGetError() != GL_NO_ERROR;
  }
  if (refused) {
    tw = Pow2AtLeast(width);
    th = Pow2AtLeast(height);
    glTexImage2D(GL_TEXTURE_2D, 0, format, tw, th, 0, format, GL_UNSIGNED_BYTE, nullptr);
  }
  uscale = tw > 0 ? 1.0f / tw : 0;
  vscale = th > 0 ? 1.0f / th : 0;

  if (data) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, data);
  }
}

bool gxtkSurface::IsBound() const {
  return seq != -1 && seq == glfwGraphicsSeq && g_boundSeq == seq && g_boundTexture == texture;
}

void gxtkSurface::ForgetBinding() { g_boundSeq = -1; }
