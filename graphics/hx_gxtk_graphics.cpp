// Batched renderer: primitives are collected into one client-side vertex
// array per kind and texture and submitted with a single draw call.
#include "graphics/hx_gxtk_graphics.h"

#include "graphics/hx_gl.h"
#include "host/hx_glfw_game.h"
#include <GLFW/glfw3.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

bool gxtkGraphics::timeSubmits = false;

namespace {

// The window's size in pixels: its framebuffer, which on a scaled display
// is larger than the window's size in the desktop's units. Viewport,
// projection, scissor and read-back all count in these pixels.
void CurrentWindowSize(int* w, int* h) {
  *w = *h = 0;
  if (GLFWwindow* win = glfwGetCurrentContext()) glfwGetFramebufferSize(win, w, h);
}

// One colour byte: value x alpha in double precision, truncated, kept to
// 0..255 so that out-of-range input never spills into the next byte.
inline uint32_t ColorByte(double v) {
  if (!(v > 0)) return 0;  // also NaN
  if (v >= 255) return 255;
  return static_cast<uint32_t>(v);
}

// Texture coordinates need the texture's real size: a surface that has no
// texture in this context yet gets it before its first vertices are made.
inline void Prepare(gxtkSurface* surface) {
  if (surface->seq != glfwGraphicsSeq) surface->Bind();
}

// True when pixel rows [offset + i*pitch, +w) for i < h lie inside n ints.
bool RowsInside(int n, int w, int h, int offset, int pitch) {
  if (w <= 0 || h <= 0 || offset < 0 || pitch < 0) return false;
  int64_t last = static_cast<int64_t>(offset) + static_cast<int64_t>(h - 1) * pitch + w;
  return last <= n;
}

}  // namespace

gxtkGraphics::gxtkGraphics() {
  CurrentWindowSize(&width, &height);
  for (int k = 0; k < MAX_QUADS; ++k) {
    unsigned short q = static_cast<unsigned short>(k * 4);
    unsigned short* p = quadIndices + k * 6;
    p[0] = q;
    p[1] = q + 1;
    p[2] = q + 2;
    p[3] = q;
    p[4] = q + 2;
    p[5] = q + 3;
  }
}

int gxtkGraphics::Width() { return width; }
int gxtkGraphics::Height() { return height; }

int gxtkGraphics::BeginRender() {
  CurrentWindowSize(&width, &height);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(gxtkVertex), &vertices[0].x);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, sizeof(gxtkVertex), &vertices[0].u);
  glEnableClientState(GL_COLOR_ARRAY);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(gxtkVertex), &vertices[0].color);

  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  blendMode = 0;
  glDisable(GL_TEXTURE_2D);
  textureOn = false;
  // Other code may have bound textures since the last frame.
  gxtkSurface::ForgetBinding();

  vertexCount = 0;
  return 1;
}

void gxtkGraphics::EndRender() {
  Flush();
  // Between frames texturing is off, as every frame starts.
  if (textureOn) {
    glDisable(GL_TEXTURE_2D);
    textureOn = false;
  }
}

void gxtkGraphics::DiscardGraphics() {}

void gxtkGraphics::Flush() {
  if (vertexCount == 0) return;
  std::chrono::steady_clock::time_point t0;
  if (timeSubmits) t0 = std::chrono::steady_clock::now();
  // Texturing and the texture change only where the batch needs it.
  if (primSurf) {
    if (!textureOn) {
      glEnable(GL_TEXTURE_2D);
      textureOn = true;
    }
    if (submitEachDraw || !primSurf->IsBound()) {
      primSurf->Bind();
      ++statTextureBinds;
    }
  } else if (textureOn) {
    glDisable(GL_TEXTURE_2D);
    textureOn = false;
  }
  switch (primType) {
    case 1:
      glDrawArrays(GL_POINTS, 0, vertexCount);
      ++statDrawCalls;
      break;
    case 2:
      glDrawArrays(GL_LINES, 0, vertexCount);
      ++statDrawCalls;
      break;
    case 3:
      glDrawArrays(GL_TRIANGLES, 0, vertexCount);
      ++statDrawCalls;
      break;
    case 4:
      glDrawElements(GL_TRIANGLES, vertexCount / 4 * 6, GL_UNSIGNED_SHORT, quadIndices);
      ++statDrawCalls;
      break;
    default:
      for (int first = 0; first < vertexCount; first += primType) {
        glDrawArrays(GL_TRIANGLE_FAN, first, primType);
        ++statDrawCalls;
      }
      break;
  }
  if (submitEachDraw) {
    // Unbatched: nothing carries over to the next submission.
    if (textureOn) glDisable(GL_TEXTURE_2D);
    textureOn = false;
    gxtkSurface::ForgetBinding();
  }
  if (timeSubmits)
    statSubmitNanos +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0).count();
  ++statBatches;
  statVertices += vertexCount;
  vertexCount = 0;
}

int gxtkGraphics::Cls(float cr, float cg, float cb) {
  vertexCount = 0;
  glClearColor(cr / 255.0f, cg / 255.0f, cb / 255.0f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  return 0;
}

void gxtkGraphics::PackColor() {
  double a = alpha;
  color = ColorByte(r * a) | ColorByte(g * a) << 8 | ColorByte(b * a) << 16 | ColorByte(255.0 * a) << 24;
}

int gxtkGraphics::SetAlpha(float a) {
  alpha = a;
  PackColor();
  return 0;
}

int gxtkGraphics::SetColor(float cr, float cg, float cb) {
  r = cr;
  g = cg;
  b = cb;
  PackColor();
  return 0;
}

int gxtkGraphics::SetBlend(int blend) {
  // Mode 1 is additive; every other mode is premultiplied alpha. Asking for
  // the function already in effect changes nothing, so the pending batch
  // stays open.
  int mode = blend == 1 ? 1 : 0;
  if (mode == blendMode && !submitEachDraw) return 0;
  Flush();
  if (mode == 1)
    glBlendFunc(GL_ONE, GL_ONE);
  else
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  blendMode = mode;
  return 0;
}

int gxtkGraphics::SetScissor(int x, int y, int w, int h) {
  Flush();
  if (x == 0 && y == 0 && w == Width() && h == Height()) {
    glDisable(GL_SCISSOR_TEST);
  } else {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, Height() - y - h, w < 0 ? 0 : w, h < 0 ? 0 : h);
  }
  return 0;
}

int gxtkGraphics::SetMatrix(float mix, float miy, float mjx, float mjy, float mtx, float mty) {
  ix = mix;
  iy = miy;
  jx = mjx;
  jy = mjy;
  tx = mtx;
  ty = mty;
  // Comparisons with NaN are false, so a NaN anywhere counts as transformed.
  tformed = !(ix == 1 && iy == 0 && jx == 0 && jy == 1 && tx == 0 && ty == 0);
  return 0;
}

int gxtkGraphics::DrawPoint(float x, float y) {
  Put(Reserve(1, nullptr, 1), x, y);
  Drawn();
  return 0;
}

int gxtkGraphics::DrawRect(float x, float y, float w, float h) {
  gxtkVertex* v = Reserve(4, nullptr, 4);
  Put(v + 0, x, y);
  Put(v + 1, x + w, y);
  Put(v + 2, x + w, y + h);
  Put(v + 3, x, y + h);
  Drawn();
  return 0;
}

int gxtkGraphics::DrawLine(float x1, float y1, float x2, float y2) {
  gxtkVertex* v = Reserve(2, nullptr, 2);
  Put(v + 0, x1, y1);
  Put(v + 1, x2, y2);
  Drawn();
  return 0;
}

int gxtkGraphics::DrawOval(float x, float y, float w, float h) {
  float xr = w * 0.5f, yr = h * 0.5f;
  double d;
  if (tformed) {
    d = std::trunc(std::sqrt(double(ix * xr) * (ix * xr) + double(iy * xr) * (iy * xr)) +
                   std::sqrt(double(jx * yr) * (jx * yr) + double(jy * yr) * (jy * yr)));
  } else {
    d = std::fabs(std::trunc(double(xr))) + std::fabs(std::trunc(double(yr)));
  }
  int n;
  if (!(d >= 12))  // also NaN
    n = 12;
  else if (d > MAX_VERTICES)
    n = MAX_VERTICES;
  else
    n = static_cast<int>(d) & ~3;

  if (n != ovalSegs) {
    for (int i = 0; i < n; ++i) {
      float th = static_cast<float>(i) * 6.2831855f / static_cast<float>(n);
      ovalCos[i] = std::cos(th);
      ovalSin[i] = std::sin(th);
    }
    ovalSegs = n;
  }
  float cx = x + xr, cy = y + yr;
  gxtkVertex* v = Reserve(n, nullptr, n);
  for (int i = 0; i < n; ++i) Put(v + i, cx + ovalCos[i] * xr, cy - ovalSin[i] * yr);
  Drawn();
  return 0;
}

int gxtkGraphics::DrawPoly(Array<float> verts) {
  int n = verts.Length() / 2;
  if (n < 1 || n > MAX_VERTICES) return 0;
  const float* p = verts.Data();
  gxtkVertex* v = Reserve(n, nullptr, n);
  for (int i = 0; i < n; ++i) Put(v + i, p[i * 2], p[i * 2 + 1]);
  Drawn();
  return 0;
}

int gxtkGraphics::DrawPoly2(Array<float> verts, gxtkSurface* surface, int srcx, int srcy) {
  int n = verts.Length() / 4;
  if (n < 1 || n > MAX_VERTICES || !surface) return 0;
  Prepare(surface);
  const float* p = verts.Data();
  float us = surface->uscale, vs = surface->vscale;
  gxtkVertex* v = Reserve(n, surface, n);
  for (int i = 0; i < n; ++i, p += 4) Put(v + i, p[0], p[1], (p[2] + srcx) * us, (p[3] + srcy) * vs);
  Drawn();
  return 0;
}

int gxtkGraphics::DrawSurface(gxtkSurface* surface, float x, float y) {
  if (!surface) return 0;
  Prepare(surface);
  float w = static_cast<float>(surface->Width()), h = static_cast<float>(surface->Height());
  float u1 = w * surface->uscale, v1 = h * surface->vscale;
  gxtkVertex* v = Reserve(4, surface, 4);
  Put(v + 0, x, y, 0, 0);
  Put(v + 1, x + w, y, u1, 0);
  Put(v + 2, x + w, y + h, u1, v1);
  Put(v + 3, x, y + h, 0, v1);
  Drawn();
  return 0;
}

int gxtkGraphics::DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy, int srcw, int srch) {
  if (!surface) return 0;
  Prepare(surface);
  float us = surface->uscale, vs = surface->vscale;
  float u0 = srcx * us, v0 = srcy * vs;
  float u1 = (srcx + srcw) * us, v1 = (srcy + srch) * vs;
  float w = static_cast<float>(srcw), h = static_cast<float>(srch);
  gxtkVertex* v = Reserve(4, surface, 4);
  Put(v + 0, x, y, u0, v0);
  Put(v + 1, x + w, y, u1, v0);
  Put(v + 2, x + w, y + h, u1, v1);
  Put(v + 3, x, y + h, u0, v1);
  Drawn();
  return 0;
}

int gxtkGraphics::ReadPixels(Array<int> pixels, int x, int y, int w, int h, int offset, int pitch) {
  Flush();
  if (!RowsInside(pixels.Length(), w, h, offset, pitch)) return 0;
  int* tmp = static_cast<int*>(malloc(static_cast<size_t>(w) * h * 4));
  if (!tmp) return 0;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(x, Height() - y - h, w, h, GL_BGRA, GL_UNSIGNED_BYTE, tmp);
  // GL rows run bottom-up; the caller's run top-down.
  int* dst = pixels.Data() + offset;
  for (int i = 0; i < h; ++i, dst += pitch) memcpy(dst, tmp + static_cast<size_t>(h - 1 - i) * w, w * 4);
  free(tmp);
  return 0;
}

int gxtkGraphics::WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int w, int h, int offset,
                               int pitch) {
  Flush();
  if (!surface || !RowsInside(pixels.Length(), w, h, offset, pitch)) return 0;
  surface->SetSubData(x, y, w, h, pixels.Data() + offset, pitch);
  return 0;
}

gxtkSurface* gxtkGraphics::LoadSurface(String path) {
  gxtkSurface* surface = new gxtkSurface();
  if (!LoadSurface__UNSAFE__(surface, path)) return nullptr;
  surface->Bind();
  return surface;
}

gxtkSurface* gxtkGraphics::CreateSurface(int w, int h) {
  if (w < 0 || h < 0) return nullptr;
  gxtkSurface* surface = new gxtkSurface();
  surface->width = w;
  surface->height = h;
  surface->depth = 4;
  surface->format = GL_RGBA;
  surface->Bind();
  return surface;
}

bool gxtkGraphics::LoadSurface__UNSAFE__(gxtkSurface* surface, String path) {
  if (!surface || !HxGame::_game) return false;
  int w = 0, h = 0, d = 0;
  unsigned char* pixels = HxGame::_game->LoadImageData(path, &w, &h, &d);
  if (!pixels) return false;
  // A decoder may hand back a block for an image with no pixels at all.
  if (w <= 0 || h <= 0) {
    free(pixels);
    return false;
  }
  surface->SetData(pixels, w, h, d);
  return true;
}
