// Surfaces: premultiplication, sub-rectangle writes, lazy textures that are
// rebuilt in a new context, the power-of-two fallback and loading from
// files (including files that are missing or damaged).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "host/hx_glfw_game.h"
#include "tests/graphics/gfx_test_util.h"

using gfxtest::NewFrame;
using gfxtest::Pixel;

namespace {

unsigned char* Copy(std::vector<unsigned char> v) {
  auto* p = static_cast<unsigned char*>(malloc(v.size()));
  memcpy(p, v.data(), v.size());
  return p;
}

TEST(Surface, SetDataPremultipliesTwoAndFourBytePixels) {
  struct Case {
    int depth;
    std::vector<unsigned char> in, want;
    int format;
  } cases[] = {
      {4, {200, 100, 50, 128, 10, 20, 30, 0, 1, 2, 3, 255}, {100, 50, 25, 128, 0, 0, 0, 0, 1, 2, 3, 255}, GL_RGBA},
      {2, {255, 51, 90, 255, 90, 0}, {51, 51, 90, 255, 0, 0}, GL_LUMINANCE_ALPHA},
      {3, {200, 100, 50, 1, 2, 3, 4, 5, 6}, {200, 100, 50, 1, 2, 3, 4, 5, 6}, GL_RGB},
      {1, {200, 100, 0}, {200, 100, 0}, GL_LUMINANCE},
  };
  for (const Case& c : cases) {
    gfxtest::Setup();
    gxtkSurface* s = new gxtkSurface();
    EXPECT_EQ(s->seq, -1);
    s->SetData(Copy(c.in), 3, 1, c.depth);
    EXPECT_EQ(s->format, c.format);
    EXPECT_EQ(std::vector<unsigned char>(s->data, s->data + c.want.size()), c.want) << "depth " << c.depth;
    EXPECT_EQ(s->Width(), 3);
    EXPECT_EQ(s->Height(), 1);
    s->Discard();
  }
  gxtkSurface* odd = new gxtkSurface();
  odd->SetData(Copy({1, 2, 3, 4, 5}), 1, 1, 5);
  EXPECT_EQ(odd->format, 0);
  odd->Discard();
}

TEST(Surface, SetSubDataStoresPremultipliedRgbaOnly) {
  gfxtest::Setup();
  gxtkSurface* s = new gxtkSurface();
  s->SetData(Copy(std::vector<unsigned char>(4 * 4 * 4, 0)), 4, 4, 4);
  int halfRed = static_cast<int>(0x80FF0000u);
  int px[] = {halfRed, static_cast<int>(0xFF102030u), 0, 0};
  s->SetSubData(1, 2, 2, 1, px, 2);
  const unsigned char* d = s->data + (2 * 4 + 1) * 4;
  EXPECT_EQ(d[0], 128);
  EXPECT_EQ(d[1], 0);
  EXPECT_EQ(d[2], 0);
  EXPECT_EQ(d[3], 128);
  EXPECT_EQ(d[4], 0x10);
  EXPECT_EQ(d[5], 0x20);
  EXPECT_EQ(d[6], 0x30);
  EXPECT_EQ(d[7], 255);
  // A rectangle reaching past the surface is cut to it.
  int many[16];
  for (int& v : many) v = -1;
  s->SetSubData(3, 3, 4, 4, many, 4);
  s->SetSubData(-2, -2, 3, 3, many, 3);
  EXPECT_EQ(s->data[(3 * 4 + 3) * 4 + 3], 255);
  EXPECT_EQ(s->data[3], 255);
  EXPECT_EQ(s->data[4 + 3], 0);

  gxtkSurface* rgb = new gxtkSurface();
  rgb->SetData(Copy({9, 9, 9}), 1, 1, 3);
  rgb->SetSubData(0, 0, 1, 1, px, 1);
  EXPECT_EQ(rgb->data[0], 9);
  EXPECT_EQ(rgb->data[2], 9);
}

TEST(Surface, CreateSurfaceAndWritePixels) {
  gxtkGraphics* g = NewFrame();
  gxtkSurface* s = g->CreateSurface(8, 8);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->format, GL_RGBA);
  EXPECT_EQ(s->data, nullptr);
  EXPECT_EQ(s->seq, glfwGraphicsSeq);
  Array<int> px(64);
  for (int i = 0; i < 64; ++i) px[i] = static_cast<int>(0xFF00FF00u);  // opaque green
  g->WritePixels2(s, px, 0, 0, 8, 8, 0, 8);
  ASSERT_NE(s->data, nullptr);
  px[0] = static_cast<int>(0xFFFF0000u);
  g->WritePixels2(s, px, 2, 2, 1, 1, 0, 1);  // one red pixel, uploaded row by row
  g->DrawSurface(s, 100, 100);
  g->EndRender();
  EXPECT_RGB(Pixel(g, 100, 100), 0, 255, 0);
  EXPECT_RGB(Pixel(g, 102, 102), 255, 0, 0);
  EXPECT_RGB(Pixel(g, 107, 107), 0, 255, 0);
  EXPECT_RGB(Pixel(g, 108, 108), 0, 0, 0);
}

TEST(Surface, ImagesDrawPremultipliedAndBySubRectangle) {
  gxtkGraphics* g = NewFrame();
  g->Cls(0, 0, 200);
  gxtkSurface* s = new gxtkSurface();
  // 2 x 1: half-transparent red, opaque yellow.
  s->SetData(Copy({255, 0, 0, 128, 255, 255, 0, 255}), 2, 1, 4);
  g->DrawSurface2(s, 10, 10, 0, 0, 1, 1);
  g->DrawSurface2(s, 20, 10, 1, 0, 1, 1);
  g->DrawSurface(s, 30, 10);
  g->EndRender();
  EXPECT_EQ(g->statBatches, 1);
  EXPECT_RGB(Pixel(g, 10, 10), 128, 0, 99);
  EXPECT_RGB(Pixel(g, 20, 10), 255, 255, 0);
  EXPECT_RGB(Pixel(g, 30, 10), 128, 0, 99);
  EXPECT_RGB(Pixel(g, 31, 10), 255, 255, 0);
  EXPECT_RGB(Pixel(g, 11, 10), 0, 0, 200);
  // Tinting multiplies the texels by the premultiplied colour.
  g->SetColor(255, 255, 255);
  g->SetAlpha(0.5f);
  g->DrawSurface2(s, 40, 10, 1, 0, 1, 1);
  g->EndRender();
  EXPECT_RGB(Pixel(g, 40, 10), 127, 127, 100);
}

TEST(Surface, BindWaitsForAContextAndRebuildsAfterRecreation) {
  gxtkGraphics* g = NewFrame();
  gxtkSurface* s = new gxtkSurface();
  s->SetData(Copy({0, 255, 0, 255, 0, 0, 255, 255}), 2, 1, 4);

  int saved = glfwGraphicsSeq;
  glfwGraphicsSeq = 0;
  s->Bind();
  EXPECT_EQ(s->seq, -1);
  EXPECT_EQ(s->texture, 0u);
  glfwGraphicsSeq = saved;

  s->Bind();
  EXPECT_EQ(s->seq, saved);
  EXPECT_TRUE(glIsTexture(s->texture));

  // A new window has a new context: the old texture name means nothing
  // there, and the next bind must create and fill a new texture.
  gfxtest::RecreateWindow();
  ASSERT_EQ(glfwGraphicsSeq, saved + 1);
  g = NewFrame();
  g->DrawSurface(s, 50, 50);
  g->EndRender();
  EXPECT_EQ(s->seq, glfwGraphicsSeq);
  EXPECT_TRUE(glIsTexture(s->texture));
  EXPECT_RGB(Pixel(g, 50, 50), 0, 255, 0);
  EXPECT_RGB(Pixel(g, 51, 50), 0, 0, 255);

  // Discard deletes the texture of the current context and the pixels.
  unsigned tex = s->texture;
  s->Discard();
  EXPECT_FALSE(glIsTexture(tex));
  EXPECT_EQ(s->data, nullptr);
  EXPECT_EQ(s->seq, -1);
}

TEST(Surface, PowerOfTwoFallbackWhenTheDriverRefusesTheSize) {
  struct Case {
    bool forced;
    int w, h;
    float us, vs;
  } cases[] = {
      {false, 100, 60, 1.0f / 100, 1.0f / 60},
      {true, 100, 60, 1.0f / 128, 1.0f / 64},
      {true, 64, 32, 1.0f / 64, 1.0f / 32},
      {true, 1, 3, 1.0f, 1.0f / 4},
  };
  for (const Case& c : cases) {
    gxtkGraphics* g = NewFrame();
    gxtkSurface::forcePow2 = c.forced;
    // Left column red, everything else white.
    std::vector<unsigned char> px(static_cast<size_t>(c.w) * c.h * 4, 255);
    for (int y = 0; y < c.h; ++y) px[(y * c.w) * 4 + 1] = px[(y * c.w) * 4 + 2] = 0;
    gxtkSurface* s = new gxtkSurface();
    s->SetData(Copy(px), c.w, c.h, 4);
    s->Bind();
    gxtkSurface::forcePow2 = false;
    EXPECT_FLOAT_EQ(s->uscale, c.us) << c.w << "x" << c.h << (c.forced ? " forced" : "");
    EXPECT_FLOAT_EQ(s->vscale, c.vs);
    // The image sits in the texture's top-left corner and draws unchanged.
    g->DrawSurface(s, 10, 10);
    g->EndRender();
    EXPECT_RGB(Pixel(g, 10, 10), 255, 0, 0);
    EXPECT_RGB(Pixel(g, 10 + c.w - 1, 10 + c.h - 1), c.w == 1 ? 255 : 255, c.w == 1 ? 0 : 255, c.w == 1 ? 0 : 255);
    EXPECT_RGB(Pixel(g, 10 + c.w, 10 + c.h), 0, 0, 0);
    s->Discard();
  }
}

TEST(Surface, LoadSurfaceKeepsTheFilesChannelCount) {
  gxtkGraphics* g = NewFrame();
  struct Case {
    const char* name;
    int comp;
    std::vector<unsigned char> px, want;
  } cases[] = {
      {"rgba.png", 4, {200, 100, 50, 128, 1, 2, 3, 255}, {100, 50, 25, 128, 1, 2, 3, 255}},
      {"rgb.png", 3, {200, 100, 50, 1, 2, 3}, {200, 100, 50, 1, 2, 3}},
      {"ga.png", 2, {255, 51, 7, 255}, {51, 51, 7, 255}},
      {"grey.png", 1, {17, 34}, {17, 34}},
  };
  for (const Case& c : cases) {
    gfxtest::WritePng(c.name, 2, 1, c.comp, c.px);
    gxtkSurface* s = g->LoadSurface(String("quoll://data/") + String(c.name));
    ASSERT_NE(s, nullptr) << c.name;
    EXPECT_EQ(s->depth, c.comp);
    EXPECT_EQ(s->Width(), 2);
    EXPECT_EQ(s->Height(), 1);
    EXPECT_EQ(std::vector<unsigned char>(s->data, s->data + c.want.size()), c.want) << c.name;
    EXPECT_EQ(s->seq, glfwGraphicsSeq);  // bound at once
    EXPECT_EQ(s->Loaded(), 1);
  }
}

TEST(Surface, MissingOrDamagedFilesGiveNull) {
  gxtkGraphics* g = NewFrame();
  std::string good = gfxtest::WritePng("good.png", 4, 4, 4, std::vector<unsigned char>(64, 200));
  FILE* f = fopen(good.c_str(), "rb");
  std::vector<unsigned char> png(4096);
  png.resize(fread(png.data(), 1, png.size(), f));
  fclose(f);
  ASSERT_GT(png.size(), 40u);

  std::vector<unsigned char> truncated(png.begin(), png.begin() + png.size() / 2);
  std::vector<unsigned char> corrupt = png;
  for (size_t i = 40; i < corrupt.size(); ++i) corrupt[i] ^= 0x5a;
  // A PNG header that claims 60000 x 60000 pixels with no data behind it.
  std::vector<unsigned char> huge(png.begin(), png.begin() + 33);
  huge[16] = 0, huge[17] = 0, huge[18] = 0xEA, huge[19] = 0x60;
  huge[20] = 0, huge[21] = 0, huge[22] = 0xEA, huge[23] = 0x60;
  // A BMP whose header claims 30000 x 30000 pixels over a tiny body: the
  // decoder would allocate and fill 2.7 GB.
  std::vector<unsigned char> small(48, 255);
  gfxtest::WriteEncoded("data/big.bmp", "bmp", 4, 4, 3, small);
  std::vector<unsigned char> bmp(4096);
  f = fopen("data/big.bmp", "rb");
  bmp.resize(fread(bmp.data(), 1, bmp.size(), f));
  fclose(f);
  ASSERT_GT(bmp.size(), 26u);
  bmp[18] = 0x30, bmp[19] = 0x75, bmp[20] = 0, bmp[21] = 0;
  bmp[22] = 0x30, bmp[23] = 0x75, bmp[24] = 0, bmp[25] = 0;
  gfxtest::WriteFile("big.bmp", bmp);
  // A whole PNG whose header claims no rows.
  std::vector<unsigned char> flat = png;
  flat[20] = flat[21] = flat[22] = flat[23] = 0;
  gfxtest::WriteFile("flat.png", flat);
  // A PNG whose first data chunk claims far more bytes than the file holds.
  std::vector<unsigned char> overlong = png;
  overlong[33] = 0x3f;
  gfxtest::WriteFile("overlong.png", overlong);
  gfxtest::WriteFile("truncated.png", truncated);
  gfxtest::WriteFile("corrupt.png", corrupt);
  gfxtest::WriteFile("huge.png", huge);
  gfxtest::WriteFile("empty.png", {});
  gfxtest::WriteFile("text.png", {'h', 'e', 'l', 'l', 'o'});

  for (const char* name : {"missing.png", "truncated.png", "corrupt.png", "huge.png", "big.bmp", "flat.png", "overlong.png", "empty.png", "text.png"}) {
    EXPECT_EQ(g->LoadSurface(String("quoll://data/") + String(name)), nullptr) << name;
    gxtkSurface* s = new gxtkSurface();
    EXPECT_FALSE(g->LoadSurface__UNSAFE__(s, String("quoll://data/") + String(name)));
    EXPECT_EQ(s->data, nullptr);
  }
  EXPECT_EQ(g->LoadSurface(String("quoll://nowhere/good.png")), nullptr);
  EXPECT_NE(g->LoadSurface(String("quoll://data/good.png")), nullptr);
}

}  // namespace
