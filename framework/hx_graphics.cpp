// Graphics module: drawing state of the frame, the matrix stack with its
// lazy hand-over to the device, images and frames, fonts, data paths.
#include "framework/hx_graphics.h"

#include <cmath>

#include "framework/hx_app.h"

gxtkGraphics* hx_graphics_device = nullptr;
c_GraphicsContext* hx_graphics_context = nullptr;
gxtkGraphics* hx_graphics_renderDevice = nullptr;
int c_Image::m_DefaultFlags = 0;

namespace {

const float kDegToRad = 0.0174532924f;

c_GraphicsContext* Ctx() {
  if (!hx_graphics_context) hx_graphics_Init();
  return hx_graphics_context;
}

// Finishes every store of the context's matrix.
void MatrixStored(c_GraphicsContext* c) {
  c->m_tformed = (c->m_ix == 1 && c->m_iy == 0 && c->m_jx == 0 && c->m_jy == 1 && c->m_tx == 0 && c->m_ty == 0)
                     ? 0
                     : 1;
  c->m_matDirty = 1;
}

}  // namespace

// ---------------------------------------------------------------- context

c_GraphicsContext::c_GraphicsContext() : m_matrixStack(192) {}

int c_GraphicsContext::p_Validate() {
  if (m_matDirty) {
    if (hx_graphics_renderDevice) hx_graphics_renderDevice->SetMatrix(m_ix, m_iy, m_jx, m_jy, m_tx, m_ty);
    m_matDirty = 0;
  }
  return 0;
}

void c_GraphicsContext::mark() {
  Object::mark();
  gc_mark_q(m_defaultFont);
  gc_mark_q(m_font);
  gc_mark_q(m_matrixStack);
}

// ---------------------------------------------------------------- frames and images

c_Frame* c_Frame::m_new(int x, int y) {
  m_x = x;
  m_y = y;
  return this;
}

c_Image* c_Image::p_Init(gxtkSurface* surface, int frameCount, int flags) {
  // A strip needs at least one frame; fewer is taken as one.
  if (frameCount < 1) frameCount = 1;
  gc_assign(m_surface, surface);
  m_width = surface->Width() / frameCount;
  m_height = surface->Height();
  Array<c_Frame*> frames(frameCount);
  gc_assign(m_frames, frames);
  for (int i = 0; i < frameCount; ++i) gc_assign(frames[i], (new c_Frame())->m_new(i * m_width, 0));
  p_ApplyFlags(flags);
  return this;
}

c_Image* c_Image::p_Init2(gxtkSurface* surface, int x, int y, int frameWidth, int frameHeight, int frameCount,
                          int flags, c_Image* source, int srcX, int srcY, int srcW, int srcH) {
  gc_assign(m_surface, surface);
  gc_assign(m_source, source);
  m_width = frameWidth;
  m_height = frameHeight;
  Array<c_Frame*> frames(frameCount);
  gc_assign(m_frames, frames);
  int cx = x, cy = y;
  for (int i = 0; i < frameCount; ++i) {
    if (cx + frameWidth > srcW) {
      cy += frameHeight;
      if (frameWidth > srcW) hxError(String("Image frame outside surface"));
      cx = 0;
    }
    if (cy + frameHeight > srcH) hxError(String("Image frame outside surface"));
    gc_assign(frames[i], (new c_Frame())->m_new(cx + srcX, cy + srcY));
    cx += frameWidth;
  }
  p_ApplyFlags(flags);
  return this;
}

int c_Image::p_ApplyFlags(int flags) {
  m_flags = flags;
  int n = m_frames.Length();
  if (m_flags & XPadding) {
    for (int i = 0; i < n; ++i) m_frames[i]->m_x += 1;
    m_width -= 2;
  }
  if (m_flags & YPadding) {
    for (int i = 0; i < n; ++i) m_frames[i]->m_y += 1;
    m_height -= 2;
  }
  if (m_flags & MidHandle) {
    m_flags &= ~MidHandle;
    m_tx = 0.5f * m_width;
    m_ty = 0.5f * m_height;
  }
  if (n == 1 && m_frames[0]->m_x == 0 && m_frames[0]->m_y == 0 && m_surface && m_width == m_surface->Width() &&
      m_height == m_surface->Height())
    m_flags |= FullFrame;
  return 0;
}

int c_Image::p_SetHandle(float tx, float ty) {
  m_tx = tx;
  m_ty = ty;
  m_flags &= ~MidHandle;
  return 0;
}

void c_Image::mark() {
  Object::mark();
  gc_mark_q(m_surface);
  gc_mark_q(m_frames);
  gc_mark_q(m_source);
}

// ---------------------------------------------------------------- device and frame

void hx_graphics_Init() {
  if (!hx_graphics_context) gc_assign(hx_graphics_context, (new c_GraphicsContext())->m_new());
}

int hx_graphics_SetGraphicsDevice(gxtkGraphics* device) {
  hx_graphics_Init();
  gc_assign(hx_graphics_device, device);
  return 0;
}

int hx_graphics_BeginRender() {
  gc_assign(hx_graphics_renderDevice, hx_graphics_device);
  c_GraphicsContext* c = Ctx();
  c->m_matrixSp = 0;
  c->m_ix = 1, c->m_iy = 0, c->m_jx = 0, c->m_jy = 1, c->m_tx = 0, c->m_ty = 0;
  c->m_tformed = 0;
  c->m_matDirty = 1;
  hx_graphics_SetColor(255, 255, 255);
  hx_graphics_SetAlpha(1);
  hx_graphics_SetBlend(0);
  hx_graphics_SetScissor(0, 0, static_cast<float>(hx_app__devWidth), static_cast<float>(hx_app__devHeight));
  return 0;
}

int hx_graphics_EndRender() {
  hx_graphics_renderDevice = nullptr;
  return 0;
}

// State and drawing calls outside BeginRender/EndRender have no device to
// go to; they only update the context.

int hx_graphics_SetColor(float r, float g, float b) {
  c_GraphicsContext* c = Ctx();
  c->m_colorR = r, c->m_colorG = g, c->m_colorB = b;
  if (hx_graphics_renderDevice) hx_graphics_renderDevice->SetColor(r, g, b);
  return 0;
}

int hx_graphics_SetAlpha(float alpha) {
  Ctx()->m_alpha = alpha;
  if (hx_graphics_renderDevice) hx_graphics_renderDevice->SetAlpha(alpha);
  return 0;
}

int hx_graphics_SetBlend(int blend) {
  Ctx()->m_blend = blend;
  if (hx_graphics_renderDevice) hx_graphics_renderDevice->SetBlend(blend);
  return 0;
}

namespace {
// float -> int truncating toward zero; values beyond the int range (and NaN)
// are pinned instead of being undefined.
int TruncInt(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483648.0f) return 2147483647;
  if (v <= -2147483648.0f) return -2147483647 - 1;
  return static_cast<int>(v);
}
}  // namespace

int hx_graphics_SetScissor(float x, float y, float w, float h) {
  c_GraphicsContext* c = Ctx();
  c->m_scissorX = x, c->m_scissorY = y, c->m_scissorW = w, c->m_scissorH = h;
  if (hx_graphics_renderDevice) hx_graphics_renderDevice->SetScissor(TruncInt(x), TruncInt(y), TruncInt(w), TruncInt(h));
  return 0;
}

// ---------------------------------------------------------------- matrix

int hx_graphics_SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty) {
  c_GraphicsContext* c = Ctx();
  c->m_ix = ix, c->m_iy = iy, c->m_jx = jx, c->m_jy = jy, c->m_tx = tx, c->m_ty = ty;
  MatrixStored(c);
  return 0;
}

int hx_graphics_SetMatrix2(Array<float> m) {
  if (m.Length() < 6) return 0;
  return hx_graphics_SetMatrix(m[0], m[1], m[2], m[3], m[4], m[5]);
}

int hx_graphics_Transform(float a, float b, float cc, float d, float e, float f) {
  c_GraphicsContext* c = Ctx();
  double ix = c->m_ix, iy = c->m_iy, jx = c->m_jx, jy = c->m_jy, tx = c->m_tx, ty = c->m_ty;
  c->m_ix = static_cast<float>(ix * a + jx * b);
  c->m_iy = static_cast<float>(iy * a + jy * b);
  c->m_jx = static_cast<float>(ix * cc + jx * d);
  c->m_jy = static_cast<float>(iy * cc + jy * d);
  c->m_tx = static_cast<float>(ix * e + jx * f + tx);
  c->m_ty = static_cast<float>(iy * e + jy * f + ty);
  MatrixStored(c);
  return 0;
}

int hx_graphics_Transform2(Array<float> m) {
  if (m.Length() < 6) return 0;
  return hx_graphics_Transform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

int hx_graphics_Translate(float x, float y) { return hx_graphics_Transform(1, 0, 0, 1, x, y); }

int hx_graphics_Scale(float sx, float sy) { return hx_graphics_Transform(sx, 0, 0, sy, 0, 0); }

int hx_graphics_Rotate(float degrees) {
  double a = degrees * kDegToRad;
  float s = static_cast<float>(std::sin(a)), co = static_cast<float>(std::cos(a));
  return hx_graphics_Transform(co, -s, s, co, 0, 0);
}

int hx_graphics_PushMatrix() {
  c_GraphicsContext* c = Ctx();
  int sp = c->m_matrixSp;
  if (sp + 6 > c->m_matrixStack.Length()) {
    int n = c->m_matrixStack.Length();
    gc_assign(c->m_matrixStack, c->m_matrixStack.Resize(n > 0 ? n * 2 : 192));
  }
  float* m = c->m_matrixStack.Data() + sp;
  m[0] = c->m_ix, m[1] = c->m_iy, m[2] = c->m_jx, m[3] = c->m_jy, m[4] = c->m_tx, m[5] = c->m_ty;
  c->m_matrixSp = sp + 6;
  return 0;
}

int hx_graphics_PopMatrix() {
  c_GraphicsContext* c = Ctx();
  // A pop without a matching push has nothing to restore.
  if (c->m_matrixSp < 6) return 0;
  c->m_matrixSp -= 6;
  const float* m = c->m_matrixStack.Data() + c->m_matrixSp;
  c->m_ix = m[0], c->m_iy = m[1], c->m_jx = m[2], c->m_jy = m[3], c->m_tx = m[4], c->m_ty = m[5];
  MatrixStored(c);
  return 0;
}

// ---------------------------------------------------------------- drawing

int hx_graphics_DrawRect(float x, float y, float w, float h) {
  if (!hx_graphics_renderDevice) return 0;
  Ctx()->p_Validate();
  hx_graphics_renderDevice->DrawRect(x, y, w, h);
  return 0;
}

int hx_graphics_DrawLine(float x1, float y1, float x2, float y2) {
  if (!hx_graphics_renderDevice) return 0;
  Ctx()->p_Validate();
  hx_graphics_renderDevice->DrawLine(x1, y1, x2, y2);
  return 0;
}

int hx_graphics_DrawEllipse(float x, float y, float xr, float yr) {
  if (!hx_graphics_renderDevice) return 0;
  Ctx()->p_Validate();
  hx_graphics_renderDevice->DrawOval(x - xr, y - yr, xr * 2, yr * 2);
  return 0;
}

namespace {
c_Frame* FrameOf(c_Image* image, int frame) {
  if (!image || frame < 0 || frame >= image->m_frames.Length()) return nullptr;
  return image->m_frames[frame];
}

void DrawFrame(c_Image* image, c_Frame* f, float x, float y) {
  if (image->m_flags & c_Image::FullFrame)
    hx_graphics_renderDevice->DrawSurface(image->m_surface, x, y);
  else
    hx_graphics_renderDevice->DrawSurface2(image->m_surface, x, y, f->m_x, f->m_y, image->m_width, image->m_height);
}
}  // namespace

int hx_graphics_DrawImage(c_Image* image, float x, float y, int frame) {
  c_Frame* f = FrameOf(image, frame);
  if (!f || !hx_graphics_renderDevice) return 0;
  Ctx()->p_Validate();
  DrawFrame(image, f, x - image->m_tx, y - image->m_ty);
  return 0;
}

int hx_graphics_DrawImage2(c_Image* image, float x, float y, float rotation, float scaleX, float scaleY,
                           int frame) {
  c_Frame* f = FrameOf(image, frame);
  if (!f || !hx_graphics_renderDevice) return 0;
  hx_graphics_PushMatrix();
  hx_graphics_Transform(1, 0, 0, 1, x, y);
  // Unrotated sprites are the common case: sin 0 and cos 0 are exact.
  if (rotation != 0) {
    double a = rotation * kDegToRad;
    float s = static_cast<float>(std::sin(a)), co = static_cast<float>(std::cos(a));
    hx_graphics_Transform(co, -s, s, co, 0, 0);
  }
  hx_graphics_Transform(scaleX, 0, 0, scaleY, 0, 0);
  hx_graphics_Transform(1, 0, 0, 1, -image->m_tx, -image->m_ty);
  Ctx()->p_Validate();
  DrawFrame(image, f, 0, 0);
  hx_graphics_PopMatrix();
  return 0;
}

// ---------------------------------------------------------------- loading

namespace {
gxtkSurface* LoadSurfaceFor(String path) {
  if (!hx_graphics_device) return nullptr;
  return hx_graphics_device->LoadSurface(hx_data_FixDataPath(path));
}
}  // namespace

c_Image* hx_graphics_LoadImage(String path, int frameCount, int flags) {
  gxtkSurface* surface = LoadSurfaceFor(path);
  if (!surface) return nullptr;
  return (new c_Image())->m_new()->p_Init(surface, frameCount, flags);
}

c_Image* hx_graphics_LoadImage2(String path, int frameWidth, int frameHeight, int frameCount, int flags) {
  gxtkSurface* surface = LoadSurfaceFor(path);
  if (!surface) return nullptr;
  return (new c_Image())->m_new()->p_Init2(surface, 0, 0, frameWidth, frameHeight, frameCount, flags, nullptr, 0, 0,
                                           surface->Width(), surface->Height());
}

int hx_graphics_SetFont(c_Image* font, int firstChar) {
  c_GraphicsContext* c = Ctx();
  if (!font) {
    if (!c->m_defaultFont) gc_assign(c->m_defaultFont, hx_graphics_LoadImage(String("brio_font.png"), 96, 2));
    font = c->m_defaultFont;
    firstChar = 32;
  }
  gc_assign(c->m_font, font);
  c->m_firstChar = firstChar;
  return 0;
}

String hx_data_FixDataPath(String path) {
  int i = path.Find(String(":/"));
  if (i != -1 && path.Find(String("/")) == i + 1) return path;
  if (path.StartsWith(String("./")) || path.StartsWith(String("/"))) return path;
  return String("quoll://data/") + path;
}
