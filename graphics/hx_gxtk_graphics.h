// The graphics device: a batched OpenGL 1.x renderer for 2D primitives and
// the texture-backed surfaces it draws from.
#pragma once
#include <cstdint>
#include "runtime/hx_runtime.h"

class gxtkSurface;

// One batched vertex: position, texture coordinates and a premultiplied
// colour (bytes R, G, B, A in memory). 20 bytes, the stride given to GL.
struct gxtkVertex {
  float x, y;
  float u, v;
  uint32_t color;
};
static_assert(sizeof(gxtkVertex) == 20, "vertex records are 20 bytes");

class gxtkGraphics : public Object {
 public:
  enum { MAX_VERTICES = 1024, MAX_QUADS = MAX_VERTICES / 4 };

  int width = 0, height = 0;
  uint32_t color = 0;
  float r = 0, g = 0, b = 0;
  float alpha = 0;
  float ix = 1, iy = 0, jx = 0, jy = 1, tx = 0, ty = 0;
  bool tformed = false;
  gxtkVertex vertices[MAX_VERTICES];
  unsigned short quadIndices[MAX_QUADS * 6];
  int primType = 0;
  int vertexCount = 0;
  gxtkSurface* primSurf = nullptr;

  // GL state as the device last set it, so that a call that changes
  // nothing submits nothing: the blend function in effect (0 premultiplied
  // alpha, 1 additive, -1 not known) and whether GL_TEXTURE_2D is enabled.
  int blendMode = -1;
  bool textureOn = false;

  // Unbatched reference mode: every draw operation submits its primitive at
  // once and every submission enables texturing, binds its texture and sets
  // the blend function again, as a renderer without batching would. Tests
  // compare its pixels with the batched ones.
  bool submitEachDraw = false;

  // Running totals for tests and benchmarks: batches submitted, GL draw
  // calls issued and vertices submitted since construction (or ResetStats).
  int64_t statBatches = 0;
  int64_t statDrawCalls = 0;
  int64_t statVertices = 0;
  // Time spent inside the GL draw calls, counted only while timeSubmits is
  // set (benchmarks separate the renderer's own work from the driver's).
  int64_t statSubmitNanos = 0;
  // Textures bound by submissions (a batch whose texture is already bound
  // binds nothing).
  int64_t statTextureBinds = 0;
  static bool timeSubmits;
  void ResetStats() { statBatches = statDrawCalls = statVertices = statSubmitNanos = statTextureBinds = 0; }

  gxtkGraphics();

  virtual int Width();
  virtual int Height();
  virtual int BeginRender();
  virtual void EndRender();
  virtual void DiscardGraphics();
  virtual gxtkSurface* LoadSurface(String path);
  virtual gxtkSurface* CreateSurface(int width, int height);
  virtual bool LoadSurface__UNSAFE__(gxtkSurface* surface, String path);
  virtual int Cls(float r, float g, float b);
  virtual int SetAlpha(float alpha);
  virtual int SetColor(float r, float g, float b);
  virtual int SetBlend(int blend);
  virtual int SetScissor(int x, int y, int w, int h);
  virtual int SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty);
  virtual int DrawPoint(float x, float y);
  virtual int DrawRect(float x, float y, float w, float h);
  virtual int DrawLine(float x1, float y1, float x2, float y2);
  virtual int DrawOval(float x, float y, float w, float h);
  virtual int DrawPoly(Array<float> verts);
  virtual int DrawPoly2(Array<float> verts, gxtkSurface* surface, int srcx, int srcy);
  virtual int DrawSurface(gxtkSurface* surface, float x, float y);
  virtual int DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy, int srcw, int srch);
  virtual int ReadPixels(Array<int> pixels, int x, int y, int w, int h, int offset, int pitch);
  virtual int WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int w, int h, int offset,
                           int pitch);

  // Submits the pending batch if it holds any vertex.
  void Flush();

 private:
  void PackColor();
  // Ends every draw operation: in the unbatched mode the primitive is
  // submitted at once.
  void Drawn() {
    if (submitEachDraw) Flush();
  }
  // Makes room for n vertices of the given kind and texture, submitting the
  // pending batch first when it cannot take them; returns the first slot.
  gxtkVertex* Reserve(int kind, gxtkSurface* surf, int n) {
    if (primType != kind || primSurf != surf || vertexCount + n > MAX_VERTICES) {
      Flush();
      primType = kind;
      primSurf = surf;
    }
    gxtkVertex* v = vertices + vertexCount;
    vertexCount += n;
    return v;
  }
  void Put(gxtkVertex* v, float x, float y) {
    if (tformed) {
      v->x = ix * x + jx * y + tx;
      v->y = iy * x + jy * y + ty;
    } else {
      v->x = x;
      v->y = y;
    }
    v->color = color;
  }
  void Put(gxtkVertex* v, float x, float y, float u, float w) {
    Put(v, x, y);
    v->u = u;
    v->v = w;
  }

  // Unit circle of the last oval segment count, reused while it repeats.
  int ovalSegs = 0;
  float ovalCos[MAX_VERTICES];
  float ovalSin[MAX_VERTICES];
};

class gxtkSurface : public Object {
 public:
  unsigned char* data = nullptr;
  int width = 0, height = 0;
  int depth = 0;
  int format = 0;
  int seq = -1;
  unsigned int texture = 0;
  float uscale = 0, vscale = 0;

  gxtkSurface() {}
  ~gxtkSurface() override;

  virtual int Discard();
  virtual int Width() { return width; }
  virtual int Height() { return height; }
  virtual int Loaded() { return 1; }
  virtual void OnUnsafeLoadComplete() { Bind(); }

  // Takes ownership of pixels (malloc'd) and premultiplies 2- and 4-byte pixels.
  void SetData(unsigned char* pixels, int width, int height, int depth);
  // Writes a w x h rectangle of ARGB ints (rows pitch apart); RGBA surfaces only.
  void SetSubData(int x, int y, int w, int h, const int* src, int pitch);
  // Makes the texture current, creating and uploading it first when needed.
  void Bind();
  // True when this surface's texture is valid and known to be the one bound
  // to GL_TEXTURE_2D in the current context.
  bool IsBound() const;
  // Forgets which texture is bound, so that the next submission of any
  // texture binds it (GL calls made outside this code may have bound
  // another).
  static void ForgetBinding();

  // Treat sizes that are not powers of two as refused by the driver (as on
  // drivers without non-power-of-two textures). Off by default.
  static bool forcePow2;
};
