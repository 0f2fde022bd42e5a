// The batched renderer against a real GL context: colours, blending,
// scissor, batching rules, ovals, polygons, transforms and read-back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/graphics/gfx_test_util.h"

using gfxtest::NewFrame;
using gfxtest::Pixel;

namespace {

uint32_t Bytes(int r, int g, int b, int a) {
  return static_cast<uint32_t>(r | g << 8 | b << 16 | a << 24);
}

// An opaque 8 x 8 surface of one colour, not yet bound.
gxtkSurface* Solid(int r, int g, int b) {
  auto* px = static_cast<unsigned char*>(malloc(8 * 8 * 4));
  for (int i = 0; i < 64; ++i) {
    px[i * 4] = static_cast<unsigned char>(r);
    px[i * 4 + 1] = static_cast<unsigned char>(g);
    px[i * 4 + 2] = static_cast<unsigned char>(b);
    px[i * 4 + 3] = 255;
  }
  gxtkSurface* s = new gxtkSurface();
  s->SetData(px, 8, 8, 4);
  return s;
}

GLint BoundTexture() {
  GLint t = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &t);
  return t;
}

TEST(Renderer, ColorIsPackedPremultipliedOncePerChange) {
  struct Case {
    float r, g, b, a;
    uint32_t want;
  } cases[] = {
      {255, 128, 0, 0.5f, Bytes(127, 64, 0, 127)},
      {255, 255, 255, 1, Bytes(255, 255, 255, 255)},
      {10, 20, 30, 0, 0},
      // Out-of-range input stays inside its own byte.
      {300, -5, 255, 1, Bytes(255, 0, 255, 255)},
      {100, 100, 100, 2, Bytes(200, 200, 200, 255)},
      {std::numeric_limits<float>::quiet_NaN(), 50, 50, 1, Bytes(0, 50, 50, 255)},
  };
  gxtkGraphics* g = NewFrame();
  for (const Case& c : cases) {
    g->SetAlpha(c.a);
    g->SetColor(c.r, c.g, c.b);
    EXPECT_EQ(g->color, c.want) << c.r << "," << c.g << "," << c.b << " a " << c.a;
    // The same result whichever of the two is set last.
    g->SetColor(c.r, c.g, c.b);
    g->SetAlpha(c.a);
    EXPECT_EQ(g->color, c.want);
  }
  // The packed colour reaches the screen: half-alpha orange over black.
  g->SetColor(255, 128, 0);
  g->SetAlpha(0.5f);
  g->DrawRect(10, 10, 20, 20);
  EXPECT_EQ(g->vertices[0].color, Bytes(127, 64, 0, 127));
  g->EndRender();
  EXPECT_RGB(Pixel(g, 15, 15), 127, 64, 0);
}

TEST(Renderer, AlphaAndAdditiveBlending) {
  // Red at alpha 0.5 over a blue background: premultiplied "over" keeps
  // half the background; additive keeps all of it. Mode 1 is additive,
  // every other mode is alpha blending.
  struct Case {
    int mode;
    gfxtest::RGB want;
  } cases[] = {{0, {100, 0, 100}}, {1, {100, 0, 200}}, {2, {100, 0, 100}}, {-1, {100, 0, 100}}};
  for (const Case& c : cases) {
    gxtkGraphics* g = NewFrame();
    g->Cls(0, 0, 200);
    g->SetBlend(c.mode);
    g->SetColor(200, 0, 0);
    g->SetAlpha(0.5f);
    g->DrawRect(0, 0, 50, 50);
    g->EndRender();
    EXPECT_RGB(Pixel(g, 25, 25), c.want.r, c.want.g, c.want.b) << "mode " << c.mode;
    EXPECT_RGB(Pixel(g, 60, 25), 0, 0, 200);
  }
}

TEST(Renderer, ScissorFlipsYAndFullWindowDisablesIt) {
  gxtkGraphics* g = NewFrame();
  g->SetScissor(10, 20, 30, 40);
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  g->SetColor(0, 255, 0);
  g->DrawRect(0, 0, gfxtest::kWidth, gfxtest::kHeight);
  g->EndRender();
  // The rectangle is measured from the top of the window.
  EXPECT_RGB(Pixel(g, 10, 20), 0, 255, 0);
  EXPECT_RGB(Pixel(g, 39, 59), 0, 255, 0);
  EXPECT_RGB(Pixel(g, 9, 30), 0, 0, 0);
  EXPECT_RGB(Pixel(g, 20, 19), 0, 0, 0);
  EXPECT_RGB(Pixel(g, 40, 30), 0, 0, 0);
  EXPECT_RGB(Pixel(g, 20, 60), 0, 0, 0);

  g->SetScissor(0, 0, g->Width(), g->Height());
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  g->DrawRect(0, 0, gfxtest::kWidth, gfxtest::kHeight);
  g->EndRender();
  EXPECT_RGB(Pixel(g, 200, 200), 0, 255, 0);
}

TEST(Renderer, ClsDropsThePendingBatch) {
  gxtkGraphics* g = NewFrame();
  g->SetColor(255, 0, 0);
  g->DrawRect(0, 0, 40, 40);
  g->Cls(0, 0, 0);
  g->DrawRect(50, 0, 40, 40);
  g->EndRender();
  EXPECT_EQ(g->statBatches, 1);
  EXPECT_EQ(g->statVertices, 4);
  EXPECT_RGB(Pixel(g, 20, 20), 0, 0, 0);
  EXPECT_RGB(Pixel(g, 70, 20), 255, 0, 0);
}

TEST(Renderer, BatchesFillToTheLimitAndSubmitOnChanges) {
  gxtkGraphics* g = NewFrame();
  for (int i = 0; i < 256; ++i) g->DrawRect(static_cast<float>(i), 0, 1, 1);
  EXPECT_EQ(g->vertexCount, 1024);
  EXPECT_EQ(g->statBatches, 0);
  g->DrawRect(0, 1, 1, 1);  // the 257th rectangle submits the full batch first
  EXPECT_EQ(g->statBatches, 1);
  EXPECT_EQ(g->statVertices, 1024);
  EXPECT_EQ(g->vertexCount, 4);

  // Colour and matrix changes never break a batch.
  g->SetColor(1, 2, 3);
  g->SetAlpha(0.25f);
  g->SetMatrix(2, 0, 0, 2, 5, 5);
  g->DrawRect(0, 0, 1, 1);
  EXPECT_EQ(g->statBatches, 1);
  EXPECT_EQ(g->vertexCount, 8);
  g->SetMatrix(1, 0, 0, 1, 0, 0);

  // A change of kind submits; so do blend and scissor changes.
  g->DrawLine(0, 0, 1, 1);
  EXPECT_EQ(g->statBatches, 2);
  EXPECT_EQ(g->primType, 2);
  g->SetBlend(1);
  EXPECT_EQ(g->statBatches, 3);
  EXPECT_EQ(g->vertexCount, 0);
  g->DrawPoint(1, 1);
  g->SetScissor(1, 1, 2, 2);
  EXPECT_EQ(g->statBatches, 4);
  g->SetScissor(0, 0, g->Width(), g->Height());
  // Flushing an empty batch submits nothing.
  g->EndRender();
  EXPECT_EQ(g->statBatches, 4);

  // A line after 1023 pending vertices does not fit (1023 + 2 > 1024).
  g->ResetStats();
  for (int i = 0; i < 1023; ++i) g->DrawPoint(static_cast<float>(i % 300), 5);
  g->DrawPoint(0, 0);
  EXPECT_EQ(g->vertexCount, 1024);
  g->EndRender();
  g->ResetStats();
  for (int i = 0; i < 1023; ++i) g->DrawPoint(static_cast<float>(i % 300), 5);
  g->SetColor(255, 255, 255);
  g->DrawLine(0, 0, 10, 10);
  EXPECT_EQ(g->primType, 2);
  EXPECT_EQ(g->statBatches, 1);
  EXPECT_EQ(g->statVertices, 1023);
  EXPECT_EQ(g->vertexCount, 2);
  // A line of the same kind that no longer fits submits as well.
  g->EndRender();
  g->ResetStats();
  for (int i = 0; i < 511; ++i) g->DrawLine(0, 0, 1, 1);
  g->DrawPoint(0, 0);
  EXPECT_EQ(g->statBatches, 1);
  g->EndRender();
}

TEST(Renderer, BlendCallsThatChangeNothingKeepTheBatch) {
  // Each step: a blend mode, then whether it submitted the pending rectangle.
  struct Step {
    int mode;
    bool submits;
  } steps[] = {{0, false}, {2, false}, {-1, false}, {1, true}, {1, false}, {0, true}, {7, false}};
  gxtkGraphics* g = NewFrame();  // blending is premultiplied alpha (mode 0)
  int64_t batches = 0;
  int pending = 0;
  for (const Step& st : steps) {
    g->DrawRect(0, 0, 4, 4);
    pending += 4;
    g->SetBlend(st.mode);
    if (st.submits) ++batches, pending = 0;
    EXPECT_EQ(g->statBatches, batches) << "mode " << st.mode;
    EXPECT_EQ(g->vertexCount, pending) << "mode " << st.mode;
  }
  g->EndRender();

  // The game's replay: alpha, colour and blend 0 before every sprite of one
  // texture. One batch, one draw call, one bind.
  gxtkSurface* font = Solid(255, 255, 255);
  font->Bind();  // uploaded before the frame, as loaded images are
  g = NewFrame();
  for (int i = 0; i < 100; ++i) {
    g->SetAlpha(1);
    g->SetColor(static_cast<float>(i), 100, 200);
    g->SetBlend(0);
    g->DrawSurface2(font, static_cast<float>(i % 30) * 9, static_cast<float>(i / 30) * 9, 0, 0, 8, 8);
  }
  g->EndRender();
  EXPECT_EQ(g->statBatches, 1);
  EXPECT_EQ(g->statDrawCalls, 1);
  EXPECT_EQ(g->statTextureBinds, 1);
  EXPECT_RGB(Pixel(g, 4, 4), 0, 100, 200);
  EXPECT_RGB(Pixel(g, 9 * 10 + 4, 9 + 4), 40, 100, 200);
}

TEST(Renderer, TexturesAreBoundOnlyWhenTheyChange) {
  gxtkGraphics* g = NewFrame();
  gxtkSurface* red = Solid(255, 0, 0);
  gxtkSurface* blue = Solid(0, 0, 255);
  red->Bind();
  blue->Bind();
  // Draws in order, each 8 pixels to the right of the last: red, red, a
  // grey rectangle, red, blue, red, then a surface that gets its texture in
  // the middle of a pending red batch, then red.
  gxtkSurface* green = Solid(0, 255, 0);
  int x = 0;
  auto draw = [&](gxtkSurface* s) {
    g->DrawSurface(s, static_cast<float>(x), 0);
    x += 8;
  };
  draw(red);
  draw(red);
  g->SetColor(128, 128, 128);
  g->DrawRect(static_cast<float>(x), 0, 8, 8);
  x += 8;
  g->SetColor(255, 255, 255);
  draw(red);
  draw(blue);
  draw(red);
  draw(green);  // binds green to upload it, then submits the red batch
  draw(red);
  g->EndRender();
  // Batches: [red red] [grey] [red] [blue] [red] [green] [red]. The red
  // after the grey rectangle is still bound; the red after green's upload
  // is not.
  EXPECT_EQ(g->statBatches, 7);
  EXPECT_EQ(g->statTextureBinds, 5);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "texturing stays on after the frame";
  EXPECT_EQ(BoundTexture(), static_cast<GLint>(red->texture));
  const gfxtest::RGB want[] = {{255, 0, 0}, {255, 0, 0}, {128, 128, 128}, {255, 0, 0},
                               {0, 0, 255}, {255, 0, 0}, {0, 255, 0},     {255, 0, 0}};
  for (int i = 0; i < 8; ++i) EXPECT_RGB(Pixel(g, i * 8 + 4, 4), want[i].r, want[i].g, want[i].b) << "draw " << i;

  // A new frame does not trust a binding made outside the renderer.
  glBindTexture(GL_TEXTURE_2D, blue->texture);
  g->BeginRender();
  g->DrawSurface(red, 0, 20);
  g->EndRender();
  EXPECT_RGB(Pixel(g, 4, 24), 255, 0, 0);
  EXPECT_EQ(BoundTexture(), static_cast<GLint>(red->texture));

  // A texture deleted while bound, its name taken by a new surface.
  g->BeginRender();
  g->DrawSurface(blue, 0, 40);
  g->Flush();
  blue->Discard();
  gxtkSurface* other = Solid(255, 255, 0);
  other->Bind();
  g->DrawSurface(other, 0, 40);
  g->DrawRect(20, 40, 8, 8);
  g->DrawSurface(red, 40, 40);
  g->EndRender();
  EXPECT_RGB(Pixel(g, 4, 44), 255, 255, 0);
  EXPECT_RGB(Pixel(g, 44, 44), 255, 0, 0);
}

TEST(Renderer, UnbatchedModeSubmitsEveryDrawWithItsOwnState) {
  gxtkGraphics* g = NewFrame();
  g->submitEachDraw = true;
  gxtkSurface* red = Solid(255, 0, 0);
  for (int i = 0; i < 3; ++i) {
    g->SetBlend(0);
    g->DrawSurface(red, static_cast<float>(i) * 10, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  }
  g->DrawRect(40, 0, 8, 8);
  g->DrawRect(50, 0, 8, 8);
  g->EndRender();
  g->submitEachDraw = false;
  EXPECT_EQ(g->statBatches, 5);
  EXPECT_EQ(g->statDrawCalls, 5);
  EXPECT_EQ(g->statTextureBinds, 3);
  EXPECT_RGB(Pixel(g, 24, 4), 255, 0, 0);
  EXPECT_RGB(Pixel(g, 54, 4), 255, 255, 255);
}

TEST(Renderer, QuadIndicesAreBuiltOnce) {
  gxtkGraphics* g = NewFrame();
  const unsigned short want[] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(g->quadIndices[i], want[i]);
  EXPECT_EQ(g->quadIndices[255 * 6 + 5], 1023);
}

TEST(Renderer, OvalSegmentCounts) {
  struct Case {
    float w, h;
    float ix, jy;  // a scale, when not 1
    int segs;
  } cases[] = {
      {4, 4, 1, 1, 12},       {100, 60, 1, 1, 80},    {103, 60, 1, 1, 80},      {4000, 4000, 1, 1, 1024},
      {-100, 60, 1, 1, 80},   {0, 0, 1, 1, 12},       {50, 30, 2, 2, 80},       {100, 60, 0.5f, 0.5f, 40},
      {20, 20, 1, 0.01f, 12}, {std::numeric_limits<float>::quiet_NaN(), 10, 1, 1, 12},
      {std::numeric_limits<float>::infinity(), 10, 1, 1, 1024},
  };
  for (const Case& c : cases) {
    gxtkGraphics* g = NewFrame();
    g->SetMatrix(c.ix, 0, 0, c.jy, 0, 0);
    g->DrawOval(0, 0, c.w, c.h);
    EXPECT_EQ(g->primType, c.segs) << c.w << "x" << c.h << " scale " << c.ix;
    EXPECT_EQ(g->vertexCount, c.segs);
    g->EndRender();
    EXPECT_EQ(g->statDrawCalls, 1);
  }
}

TEST(Renderer, OvalStartsRightAndRunsCounterClockwise) {
  gxtkGraphics* g = NewFrame();
  g->DrawOval(50, 50, 100, 60);
  ASSERT_EQ(g->vertexCount, 80);
  EXPECT_FLOAT_EQ(g->vertices[0].x, 150);
  EXPECT_FLOAT_EQ(g->vertices[0].y, 80);
  EXPECT_NEAR(g->vertices[20].x, 100, 1e-3);  // a quarter turn: the top
  EXPECT_NEAR(g->vertices[20].y, 50, 1e-3);
  // Two ovals of the same size share one batch and draw as two fans.
  g->DrawOval(170, 50, 100, 60);
  g->EndRender();
  EXPECT_EQ(g->statBatches, 1);
  EXPECT_EQ(g->statDrawCalls, 2);
  EXPECT_RGB(Pixel(g, 100, 80), 255, 255, 255);
  EXPECT_RGB(Pixel(g, 146, 80), 255, 255, 255);
  EXPECT_RGB(Pixel(g, 53, 53), 0, 0, 0);  // outside, in the box's corner
  EXPECT_RGB(Pixel(g, 220, 80), 255, 255, 255);
}

TEST(Renderer, PolygonLimits) {
  struct Case {
    int floats;
    int kind;  // 0: ignored
  } cases[] = {{0, 0}, {1, 0}, {2, 1}, {6, 3}, {8, 4}, {11, 5}, {2048, 1024}, {2049, 1024}, {2050, 0}};
  for (const Case& c : cases) {
    gxtkGraphics* g = NewFrame();
    Array<float> v(c.floats);
    for (int i = 0; i < c.floats; ++i) v[i] = static_cast<float>(i % 100);
    g->DrawPoly(v);
    EXPECT_EQ(g->vertexCount, c.kind) << c.floats << " floats";
    if (c.kind) {
      EXPECT_EQ(g->primType, c.kind);
    }
    g->EndRender();
  }
  // A filled triangle.
  gxtkGraphics* g = NewFrame();
  float tri[] = {10, 10, 110, 10, 10, 110};
  g->SetColor(0, 0, 255);
  g->DrawPoly(Array<float>(tri, 6));
  g->EndRender();
  EXPECT_RGB(Pixel(g, 30, 30), 0, 0, 255);
  EXPECT_RGB(Pixel(g, 100, 100), 0, 0, 0);
}

TEST(Renderer, MatrixTransformsVerticesOnTheCpu) {
  gxtkGraphics* g = NewFrame();
  g->SetMatrix(2, 0, 0, 3, 100, 50);
  EXPECT_TRUE(g->tformed);
  g->SetColor(255, 0, 255);
  g->DrawRect(0, 0, 10, 10);  // lands at 100..120 x 50..80
  g->SetMatrix(1, 0, 0, 1, 0, 0);
  EXPECT_FALSE(g->tformed);
  g->SetMatrix(1, 0, 0, 1, 0, std::numeric_limits<float>::quiet_NaN());
  EXPECT_TRUE(g->tformed);
  g->SetMatrix(1, 0, 0, 1, 0, 0);
  g->EndRender();
  EXPECT_EQ(g->statBatches, 1);
  EXPECT_RGB(Pixel(g, 101, 51), 255, 0, 255);
  EXPECT_RGB(Pixel(g, 118, 78), 255, 0, 255);
  EXPECT_RGB(Pixel(g, 122, 60), 0, 0, 0);
  EXPECT_RGB(Pixel(g, 110, 82), 0, 0, 0);
  // The GL model-view stays the identity.
  float mv[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, mv);
  EXPECT_EQ(mv[12], 0);
  EXPECT_EQ(mv[0], 1);
}

TEST(Renderer, ReadPixelsRowsOffsetPitchAndBounds) {
  gxtkGraphics* g = NewFrame();
  g->SetColor(255, 0, 0);
  g->DrawRect(0, 0, 4, 1);  // row 0 red
  g->SetColor(0, 255, 0);
  g->DrawRect(0, 1, 4, 1);  // row 1 green
  g->SetAlpha(0.5f);
  // ReadPixels submits what is pending first.
  Array<int> px(2 + 3 * 5);
  for (int i = 0; i < px.Length(); ++i) px[i] = 7;
  g->ReadPixels(px, 0, 0, 3, 3, 2, 5);
  EXPECT_EQ(g->vertexCount, 0);
  EXPECT_EQ(px[0], 7);
  EXPECT_EQ(px[1], 7);
  EXPECT_EQ(static_cast<uint32_t>(px[2]) & 0xffffff, 0xff0000u);
  EXPECT_EQ(static_cast<uint32_t>(px[2 + 5]) & 0xffffff, 0x00ff00u);
  EXPECT_EQ(static_cast<uint32_t>(px[2 + 10]) & 0xffffff, 0u);
  EXPECT_EQ(px[5], 7);  // between rows: untouched
  // Rectangles that do not fit the array are refused, not written past it.
  Array<int> small(4);
  for (int i = 0; i < 4; ++i) small[i] = 9;
  g->ReadPixels(small, 0, 0, 3, 3, 0, 3);
  g->ReadPixels(small, 0, 0, 2, 2, -1, 2);
  g->ReadPixels(small, 0, 0, 2, 2, 1, 2);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(small[i], 9);
  g->ReadPixels(small, 0, 0, 2, 2, 0, 2);
  EXPECT_EQ(static_cast<uint32_t>(small[0]) & 0xffffff, 0xff0000u);
}

}  // namespace
