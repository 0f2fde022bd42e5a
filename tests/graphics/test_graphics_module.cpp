// The graphics module over a real device: frame layouts and flags, the
// matrix stack and its lazy hand-over, fonts, data paths, the fatal frame
// layout error, and a whole frame drawn through the module and read back.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/hx_app.h"
#include "framework/hx_graphics.h"
#include "tests/graphics/gfx_test_util.h"

using gfxtest::Pixel;

namespace {

// Opaque pixels, w x h, with the colour of each pixel from fn(x, y).
template <class F>
std::vector<unsigned char> Pixels(int w, int h, F fn) {
  std::vector<unsigned char> px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned c = fn(x, y);
      px.push_back((c >> 16) & 255);
      px.push_back((c >> 8) & 255);
      px.push_back(c & 255);
      px.push_back(c >> 24);
    }
  return px;
}

gxtkSurface* Blank(int w, int h) {
  gxtkSurface* s = new gxtkSurface();
  s->SetData(static_cast<unsigned char*>(calloc(static_cast<size_t>(w) * h, 4)), w, h, 4);
  return s;
}

// The module with its device on the test window, inside a frame.
gxtkGraphics* ModuleFrame() {
  gfxtest::Setup();
  hx_graphics_Init();
  if (!hx_graphics_device) hx_graphics_SetGraphicsDevice(new gxtkGraphics());
  hx_app__devWidth = gfxtest::kWidth;
  hx_app__devHeight = gfxtest::kHeight;
  hx_graphics_device->BeginRender();
  hx_graphics_BeginRender();
  hx_graphics_device->Cls(0, 0, 0);
  return hx_graphics_device;
}

void EndFrame() {
  hx_graphics_EndRender();
  hx_graphics_device->EndRender();
}

TEST(GraphicsModule, StripAndGridLayouts) {
  gfxtest::Setup();
  struct Strip {
    int flags;
    int x0, x1, x2, w, h, y;
    float tx, ty;
    int storedFlags;
  } strips[] = {
      {0, 0, 32, 64, 32, 10, 0, 0, 0, 0},
      {2, 1, 33, 65, 30, 10, 0, 0, 0, 2},
      {4, 0, 32, 64, 32, 8, 1, 0, 0, 4},
      {7, 1, 33, 65, 30, 8, 1, 15, 4, 6},
  };
  for (const Strip& c : strips) {
    c_Image* img = (new c_Image())->m_new()->p_Init(Blank(96, 10), 3, c.flags);
    ASSERT_EQ(img->m_frames.Length(), 3);
    EXPECT_EQ(img->m_frames[0]->m_x, c.x0) << "flags " << c.flags;
    EXPECT_EQ(img->m_frames[1]->m_x, c.x1);
    EXPECT_EQ(img->m_frames[2]->m_x, c.x2);
    EXPECT_EQ(img->m_frames[2]->m_y, c.y);
    EXPECT_EQ(img->m_width, c.w);
    EXPECT_EQ(img->m_height, c.h);
    EXPECT_EQ(img->m_tx, c.tx);
    EXPECT_EQ(img->m_ty, c.ty);
    EXPECT_EQ(img->m_flags, c.storedFlags);
  }

  c_Image* grid = (new c_Image())->m_new()->p_Init2(Blank(64, 64), 0, 0, 32, 32, 4, 0, nullptr, 0, 0, 64, 64);
  const int want[][2] = {{0, 0}, {32, 0}, {0, 32}, {32, 32}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(grid->m_frames[i]->m_x, want[i][0]);
    EXPECT_EQ(grid->m_frames[i]->m_y, want[i][1]);
  }
  // A grid inside a sub-rectangle is offset by its corner.
  c_Image* sub = (new c_Image())->m_new()->p_Init2(Blank(64, 64), 0, 0, 16, 16, 3, 0, grid, 8, 4, 40, 40);
  EXPECT_EQ(sub->m_source, grid);
  EXPECT_EQ(sub->m_frames[2]->m_x, 8);
  EXPECT_EQ(sub->m_frames[2]->m_y, 20);

  // Single frames: mid-handle centres and keeps only the full-frame bit;
  // padding makes the frame smaller than the surface, so not full-frame.
  struct Single {
    int flags;
    int storedFlags;
    float tx, ty;
  } singles[] = {{0, 65536, 0, 0}, {1, 65536, 20, 10}, {3, 2, 19, 10}, {4, 4, 0, 0}};
  for (const Single& c : singles) {
    c_Image* img = (new c_Image())->m_new()->p_Init(Blank(40, 20), 1, c.flags);
    EXPECT_EQ(img->m_flags, c.storedFlags) << "flags " << c.flags;
    EXPECT_EQ(img->m_tx, c.tx);
    EXPECT_EQ(img->m_ty, c.ty);
  }
  c_Image* h = (new c_Image())->m_new()->p_Init(Blank(40, 20), 1, 1);
  h->p_SetHandle(3, 4);
  EXPECT_EQ(h->m_tx, 3);
  EXPECT_EQ(h->m_ty, 4);
  // A strip of no frames is taken as one frame rather than dividing by zero.
  c_Image* none = (new c_Image())->m_new()->p_Init(Blank(40, 20), 0, 0);
  EXPECT_EQ(none->m_frames.Length(), 1);
  EXPECT_EQ(none->m_width, 40);
}

// Runs this test program again with a mode argument, stdin closed, and
// returns (exit status, standard output).
std::pair<int, std::string> RunChild(const char* mode) {
  std::string cmd = "/proc/" + std::to_string(getpid()) + "/exe " + mode + " </dev/null 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1000, out};
}

TEST(GraphicsModule, FrameOutsideSurfaceIsAFatalError) {
  gfxtest::Setup();
  auto fits = RunChild("--load-grid=4");
  EXPECT_EQ(fits.first, 0);
  EXPECT_EQ(fits.second, "loaded 4 frames\n");
  struct Case {
    const char* mode;
  } cases[] = {{"--load-grid=5"}, {"--load-grid-wide"}};
  for (const Case& c : cases) {
    auto r = RunChild(c.mode);
    EXPECT_EQ(r.first, 255) << c.mode;
    EXPECT_EQ(r.second.rfind("Quoll Runtime Error : Image frame outside surface\n", 0), 0u) << r.second;
  }
}

TEST(GraphicsModule, MissingImagesAndTheDefaultFont) {
  gxtkGraphics* g = ModuleFrame();
  (void)g;
  EXPECT_EQ(hx_graphics_LoadImage(String("nothing.png"), 1, 0), nullptr);
  EXPECT_EQ(hx_graphics_LoadImage2(String("nothing.png"), 8, 8, 1, 0), nullptr);
  hx_graphics_context->m_defaultFont = nullptr;
  hx_graphics_SetFont(nullptr, 50);
  EXPECT_EQ(hx_graphics_context->m_font, nullptr);  // no font file yet
  EXPECT_EQ(hx_graphics_context->m_firstChar, 32);

  // 96 cells of 10 x 12 with a one-pixel border left and right.
  gfxtest::WritePng("brio_font.png", 960, 12, 4, Pixels(960, 12, [](int, int) { return 0xFFFFFFFFu; }));
  hx_graphics_SetFont(nullptr, 50);
  c_Image* font = hx_graphics_context->m_font;
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font, hx_graphics_context->m_defaultFont);
  EXPECT_EQ(hx_graphics_context->m_firstChar, 32);
  EXPECT_EQ(font->m_frames.Length(), 96);
  EXPECT_EQ(font->m_width, 8);
  EXPECT_EQ(font->m_height, 12);
  EXPECT_EQ(font->m_frames[1]->m_x, 11);
  EXPECT_EQ(font->m_flags, 2);
  // An explicit font keeps its first character; null goes back to the default.
  c_Image* other = (new c_Image())->m_new()->p_Init(Blank(16, 16), 2, 0);
  hx_graphics_SetFont(other, 65);
  EXPECT_EQ(hx_graphics_context->m_font, other);
  EXPECT_EQ(hx_graphics_context->m_firstChar, 65);
  hx_graphics_SetFont(nullptr, 65);
  EXPECT_EQ(hx_graphics_context->m_font, font);
  EndFrame();
}

TEST(GraphicsModule, MatrixStackGrowsAndFrameStartResetsIt) {
  ModuleFrame();
  c_GraphicsContext* c = hx_graphics_context;
  EXPECT_EQ(c->m_matrixStack.Length(), 192);
  for (int i = 0; i < 33; ++i) {
    hx_graphics_Translate(1, 0);
    hx_graphics_PushMatrix();
  }
  EXPECT_EQ(c->m_matrixStack.Length(), 384);
  EXPECT_EQ(c->m_matrixSp, 198);
  hx_graphics_Translate(5, 0);
  EXPECT_EQ(c->m_tx, 38);
  hx_graphics_PopMatrix();
  EXPECT_EQ(c->m_tx, 33);
  for (int i = 0; i < 32; ++i) hx_graphics_PopMatrix();
  EXPECT_EQ(c->m_tx, 1);
  EXPECT_EQ(c->m_matrixSp, 0);
  hx_graphics_PopMatrix();  // nothing saved: ignored
  EXPECT_EQ(c->m_tx, 1);
  EXPECT_EQ(c->m_matrixSp, 0);
  hx_graphics_PushMatrix();
  EndFrame();
  ModuleFrame();
  EXPECT_EQ(c->m_matrixSp, 0);
  EXPECT_EQ(c->m_tx, 0);
  EXPECT_EQ(c->m_tformed, 0);
  EXPECT_EQ(c->m_matrixStack.Length(), 384);  // it never shrinks
  EndFrame();
}

TEST(GraphicsModule, TransformsComposeAndReachTheDeviceLazily) {
  gxtkGraphics* g = ModuleFrame();
  g->SetMatrix(1, 0, 0, 1, 0, 0);
  c_GraphicsContext* c = hx_graphics_context;
  hx_graphics_Rotate(90);
  // (1, 0) -> (ix, iy) = (cos, -sin)
  EXPECT_NEAR(c->m_ix, 0, 1e-6);
  EXPECT_NEAR(c->m_iy, -1, 1e-6);
  EXPECT_NEAR(c->m_jx, 1, 1e-6);
  EXPECT_EQ(c->m_tformed, 1);
  // Local-to-parent order: scale, then translate in the scaled frame.
  hx_graphics_SetMatrix(2, 0, 0, 2, 10, 10);
  hx_graphics_Translate(5, 5);
  EXPECT_EQ(c->m_tx, 20);
  hx_graphics_SetMatrix(1, 0, 0, 1, 0, 0);
  EXPECT_EQ(c->m_tformed, 0);
  float m[] = {1, 0, 0, 1, 7, 8};
  hx_graphics_Transform2(Array<float>(m, 6));
  EXPECT_EQ(c->m_ty, 8);
  hx_graphics_SetMatrix2(Array<float>(m, 6));
  EXPECT_EQ(c->m_tx, 7);

  // Nothing reaches the device until a draw call.
  hx_graphics_Scale(3, 3);
  hx_graphics_SetColor(10, 20, 30);
  EXPECT_EQ(g->ix, 1);
  EXPECT_EQ(c->m_matDirty, 1);
  hx_graphics_DrawRect(0, 0, 1, 1);
  EXPECT_EQ(g->ix, 3);
  EXPECT_EQ(g->tx, 7);
  EXPECT_EQ(c->m_matDirty, 0);
  EXPECT_EQ(g->r, 10);
  EndFrame();
}

TEST(GraphicsModule, FrameStartResetsTheDrawingState) {
  gxtkGraphics* g = ModuleFrame();
  hx_graphics_SetColor(1, 2, 3);
  hx_graphics_SetAlpha(0.5f);
  hx_graphics_SetBlend(1);
  hx_graphics_SetScissor(10.9f, 20.2f, 30.7f, 40.1f);
  EXPECT_EQ(hx_graphics_context->m_scissorX, 10.9f);
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  EndFrame();
  EXPECT_EQ(hx_graphics_renderDevice, nullptr);
  // Outside a frame, calls only update the context.
  hx_graphics_DrawRect(0, 0, 10, 10);
  EXPECT_EQ(g->vertexCount, 0);
  ModuleFrame();
  EXPECT_EQ(hx_graphics_renderDevice, g);
  EXPECT_EQ(g->color, 0xFFFFFFFFu);
  EXPECT_EQ(hx_graphics_context->m_blend, 0);
  EXPECT_EQ(hx_graphics_context->m_scissorW, gfxtest::kWidth);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  EndFrame();
}

// Scissor coordinates reach the device cut toward zero; beyond the int
// range (and NaN) they are pinned. Every float below 2^31 converts exactly.
TEST(GraphicsModule, ScissorCoordinatesTruncateAndPin) {
  const struct {
    float in;
    int out;
  } cases[] = {
      {10.9f, 10},
      {-10.9f, -10},
      {2147483520.0f, 2147483520},  // the largest float below 2^31
      {2147483648.0f, INT_MAX},
      {3e9f, INT_MAX},
      {INFINITY, INT_MAX},
      {-2147483648.0f, INT_MIN},
      {-3e9f, INT_MIN},
      {-INFINITY, INT_MIN},
      {NAN, 0},
  };
  ModuleFrame();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    hx_graphics_SetScissor(c.in, 0, 10, 10);
    GLint box[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(box[0], c.out);
  }
  EndFrame();
}

TEST(GraphicsModule, FixDataPath) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"gfx/a.png", "quoll://data/gfx/a.png"},
      {"./x.png", "./x.png"},
      {"/x.png", "/x.png"},
      {"quoll://data/x.png", "quoll://data/x.png"},
      {"c:/games/x.png", "c:/games/x.png"},
      {"a:b/c", "quoll://data/a:b/c"},
      {"gfx/a:/b", "quoll://data/gfx/a:/b"},
      {"", "quoll://data/"},
  };
  for (const Case& c : cases) EXPECT_EQ(hx_data_FixDataPath(String(c.in)).ToUtf8(), c.out) << c.in;
}

TEST(GraphicsModule, ImagesDrawAtTheirHandleRotatedAndScaled) {
  gfxtest::Setup();
  // 4 frames of 8 x 8 in a 16 x 16 grid: red, green, blue, white.
  const unsigned colours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  gfxtest::WritePng("quads.png", 16, 16, 4,
                    Pixels(16, 16, [&](int x, int y) { return colours[(y / 8) * 2 + x / 8]; }));
  // A 20 x 10 bar: left half yellow, right half magenta.
  gfxtest::WritePng("bar.png", 20, 10, 4,
                    Pixels(20, 10, [](int x, int) { return x < 10 ? 0xFFFFFF00u : 0xFFFF00FFu; }));
  gxtkGraphics* g = ModuleFrame();
  c_Image* quads = hx_graphics_LoadImage2(String("quads.png"), 8, 8, 4, 1);
  c_Image* bar = hx_graphics_LoadImage(String("bar.png"), 1, 1);
  ASSERT_NE(quads, nullptr);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->m_flags, c_Image::FullFrame);

  for (int f = 0; f < 4; ++f) hx_graphics_DrawImage(quads, 20.0f + 20 * f, 20, f);  // centred at x 20, 40, ...
  hx_graphics_DrawImage(quads, 0, 0, 4);   // no such frame: nothing
  hx_graphics_DrawImage(nullptr, 0, 0, 0);
  hx_graphics_DrawImage(bar, 200, 20, 0);
  hx_graphics_DrawImage2(bar, 200, 100, 90, 2, 2, 0);  // rotated a quarter turn, doubled
  EndFrame();
  gfxtest::SaveFrame(g, "/tmp/zelk-gfx-images.png");

  EXPECT_RGB(Pixel(g, 17, 17), 255, 0, 0);
  EXPECT_RGB(Pixel(g, 22, 22), 255, 0, 0);
  EXPECT_RGB(Pixel(g, 24, 20), 0, 0, 0);
  EXPECT_RGB(Pixel(g, 40, 20), 0, 255, 0);
  EXPECT_RGB(Pixel(g, 60, 20), 0, 0, 255);
  EXPECT_RGB(Pixel(g, 80, 20), 255, 255, 255);
  EXPECT_RGB(Pixel(g, 191, 16), 255, 255, 0);
  EXPECT_RGB(Pixel(g, 208, 24), 255, 0, 255);
  EXPECT_RGB(Pixel(g, 211, 20), 0, 0, 0);
  // Rotated by +90 degrees with y down: the bar's left end (yellow) points
  // down, its right end (magenta) up; 20 x 40 pixels about (200, 100).
  EXPECT_RGB(Pixel(g, 200, 110), 255, 255, 0);
  EXPECT_RGB(Pixel(g, 200, 90), 255, 0, 255);
  EXPECT_RGB(Pixel(g, 191, 118), 255, 255, 0);
  EXPECT_RGB(Pixel(g, 200, 122), 0, 0, 0);
  EXPECT_RGB(Pixel(g, 212, 100), 0, 0, 0);
  // The matrix is back to the identity after DrawImage2.
  EXPECT_EQ(hx_graphics_context->m_tformed, 0);
}

TEST(GraphicsModule, DemoFrameOfImagesTextShapesAndBlends) {
  gfxtest::Setup();
  // Font: 96 cells of 10 x 12, x-padded; each glyph an 8 x 12 block whose
  // shade encodes its character code.
  gfxtest::WritePng("brio_font.png", 960, 12, 4, Pixels(960, 12, [](int x, int) {
                      int cell = x / 10, cx = x % 10;
                      if (cx == 0 || cx == 9) return 0x00000000u;
                      unsigned v = 64 + cell;
                      return 0xFF000000u | v << 16 | v << 8 | v;
                    }));
  gfxtest::WritePng("ball.png", 16, 16, 4, Pixels(16, 16, [](int x, int y) {
                      int dx = x - 8, dy = y - 8;
                      return dx * dx + dy * dy < 49 ? 0xFFFF8000u : 0x00000000u;
                    }));
  gxtkGraphics* g = ModuleFrame();
  hx_graphics_context->m_defaultFont = nullptr;
  hx_graphics_SetFont(nullptr, 32);
  c_Image* font = hx_graphics_context->m_font;
  c_Image* ball = hx_graphics_LoadImage(String("ball.png"), 1, 1);
  ASSERT_NE(font, nullptr);
  ASSERT_NE(ball, nullptr);
  g->ResetStats();

  hx_graphics_SetColor(30, 30, 60);
  hx_graphics_DrawRect(-1, -1, gfxtest::kWidth + 2, gfxtest::kHeight + 2);  // the game's clear
  hx_graphics_SetColor(255, 255, 255);
  const char* text = "ZELK 42";
  for (int i = 0; text[i]; ++i)
    hx_graphics_DrawImage(font, 10.0f + 9 * i, 10, text[i] - hx_graphics_context->m_firstChar);
  for (int i = 0; i < 10; ++i) hx_graphics_DrawImage(ball, 20.0f + 24 * i, 60, 0);
  hx_graphics_SetColor(0, 200, 0);
  hx_graphics_DrawEllipse(60, 140, 40, 20);
  hx_graphics_SetColor(255, 255, 255);
  hx_graphics_DrawLine(0, 200, 319, 200);
  hx_graphics_SetBlend(1);
  hx_graphics_SetColor(200, 0, 0);
  hx_graphics_SetAlpha(0.5f);
  hx_graphics_DrawRect(140, 120, 80, 40);
  hx_graphics_SetBlend(0);
  hx_graphics_DrawRect(240, 120, 60, 40);
  EndFrame();
  gfxtest::SaveFrame(g, "/tmp/zelk-gfx-demo.png");

  // Text: each glyph's shade is 64 + its cell (character - 32).
  for (int i = 0; text[i]; ++i) {
    int v = 64 + text[i] - 32;
    if (text[i] == ' ') continue;
    EXPECT_RGB(Pixel(g, 10 + 9 * i + 4, 16), v, v, v) << "char " << text[i];
  }
  EXPECT_RGB(Pixel(g, 10 + 8, 16), 30, 30, 60);  // the glyph is 8 wide: padding cut off
  EXPECT_RGB(Pixel(g, 20, 60), 255, 128, 0);      // ball centre
  EXPECT_RGB(Pixel(g, 13, 53), 30, 30, 60);       // its transparent corner
  EXPECT_RGB(Pixel(g, 60, 140), 0, 200, 0);
  EXPECT_RGB(Pixel(g, 60, 163), 30, 30, 60);
  EXPECT_RGB(Pixel(g, 160, 200), 255, 255, 255);
  EXPECT_RGB(Pixel(g, 180, 140), 130, 30, 60);    // additive
  EXPECT_RGB(Pixel(g, 270, 140), 115, 15, 30);    // alpha over
  // Clear, glyphs, balls, oval, line, two blended rects: one batch each
  // run of one kind and texture.
  EXPECT_EQ(g->statBatches, 7);
}

}  // namespace

// Child modes for the process tests; everything else is GoogleTest.
int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    int frames = 0;
    bool wide = strcmp(argv[i], "--load-grid-wide") == 0;
    if (wide || sscanf(argv[i], "--load-grid=%d", &frames) == 1) {
      gfxtest::Setup();
      gfxtest::WritePng("grid.png", 64, 64, 4, std::vector<unsigned char>(64 * 64 * 4, 255));
      hx_graphics_Init();
      hx_graphics_SetGraphicsDevice(new gxtkGraphics());
      c_Image* img = wide ? hx_graphics_LoadImage2(String("grid.png"), 65, 8, 1, 0)
                          : hx_graphics_LoadImage2(String("grid.png"), 32, 32, frames, 0);
      printf("loaded %d frames\n", img ? img->m_frames.Length() : -1);
      return 0;
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
