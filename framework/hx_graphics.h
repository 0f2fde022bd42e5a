// Graphics module: the game-facing drawing API over the graphics device.
// Drawing state of the frame (colour, alpha, blend, scissor, matrix stack,
// font), images cut into frames, and the data-path helper.
#pragma once
#include "runtime/hx_runtime.h"
#include "graphics/hx_gxtk_graphics.h"

class c_Image;

class c_GraphicsContext : public Object {
 public:
  c_Image* m_defaultFont = nullptr;
  c_Image* m_font = nullptr;
  int m_firstChar = 0;
  int m_matrixSp = 0;
  float m_ix = 1, m_iy = 0, m_jx = 0, m_jy = 1, m_tx = 0, m_ty = 0;
  int m_tformed = 0;
  int m_matDirty = 0;
  float m_colorR = 0, m_colorG = 0, m_colorB = 0;
  float m_alpha = 0;
  int m_blend = 0;
  float m_scissorX = 0, m_scissorY = 0, m_scissorW = 0, m_scissorH = 0;
  Array<float> m_matrixStack;

  c_GraphicsContext();
  c_GraphicsContext* m_new() { return this; }
  // Hands the current matrix to the render device if it changed.
  int p_Validate();
  void mark() override;
};

class c_Frame : public Object {
 public:
  int m_x = 0, m_y = 0;
  c_Frame() {}
  c_Frame* m_new(int x, int y);
  c_Frame* m_new() { return this; }
};

class c_Image : public Object {
 public:
  // Image flags.
  enum { MidHandle = 1, XPadding = 2, YPadding = 4, XYPadding = 6, FullFrame = 65536 };
  static int m_DefaultFlags;

  gxtkSurface* m_surface = nullptr;
  int m_width = 0, m_height = 0;
  Array<c_Frame*> m_frames;
  int m_flags = 0;
  float m_tx = 0, m_ty = 0;
  c_Image* m_source = nullptr;

  c_Image() {}
  c_Image* m_new() { return this; }
  // One horizontal strip of frameCount equal frames.
  c_Image* p_Init(gxtkSurface* surface, int frameCount, int flags);
  // frameCount frames of frameWidth x frameHeight, row by row, inside the
  // rectangle (srcX, srcY, srcW, srcH) of the surface.
  c_Image* p_Init2(gxtkSurface* surface, int x, int y, int frameWidth, int frameHeight, int frameCount, int flags,
                   c_Image* source, int srcX, int srcY, int srcW, int srcH);
  int p_ApplyFlags(int flags);
  int p_SetHandle(float tx, float ty);
  int p_Width() { return m_width; }
  int p_Height() { return m_height; }
  int p_Frames() { return m_frames.Length(); }
  int p_Flags() { return m_flags; }
  float p_HandleX() { return m_tx; }
  float p_HandleY() { return m_ty; }
  void mark() override;
};

// ---- module globals (collector roots) ----
extern gxtkGraphics* hx_graphics_device;
extern c_GraphicsContext* hx_graphics_context;
extern gxtkGraphics* hx_graphics_renderDevice;

// Creates hx_graphics_context; part of the program's global initialisation.
void hx_graphics_Init();

int hx_graphics_SetGraphicsDevice(gxtkGraphics* device);
int hx_graphics_BeginRender();
int hx_graphics_EndRender();

int hx_graphics_SetColor(float r, float g, float b);
int hx_graphics_SetAlpha(float alpha);
int hx_graphics_SetBlend(int blend);
int hx_graphics_SetScissor(float x, float y, float w, float h);

int hx_graphics_SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty);
int hx_graphics_SetMatrix2(Array<float> m);
int hx_graphics_Transform(float ix, float iy, float jx, float jy, float tx, float ty);
int hx_graphics_Transform2(Array<float> m);
int hx_graphics_Translate(float x, float y);
int hx_graphics_Scale(float sx, float sy);
int hx_graphics_Rotate(float degrees);
int hx_graphics_PushMatrix();
int hx_graphics_PopMatrix();

int hx_graphics_DrawRect(float x, float y, float w, float h);
int hx_graphics_DrawLine(float x1, float y1, float x2, float y2);
int hx_graphics_DrawEllipse(float x, float y, float xr, float yr);
int hx_graphics_DrawImage(c_Image* image, float x, float y, int frame);
int hx_graphics_DrawImage2(c_Image* image, float x, float y, float rotation, float scaleX, float scaleY, int frame);

c_Image* hx_graphics_LoadImage(String path, int frameCount, int flags);
c_Image* hx_graphics_LoadImage2(String path, int frameWidth, int frameHeight, int frameCount, int flags);
int hx_graphics_SetFont(c_Image* font, int firstChar);

// Maps a bare asset name into the data folder ("quoll://data/" + path).
String hx_data_FixDataPath(String path);
