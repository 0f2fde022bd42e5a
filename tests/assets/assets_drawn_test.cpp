// The brick sheet as play draws it: through the graphics module and the
// real renderer on a real window, with the floor's red still set, at the
// device scales of a 640 x 480, a 1280 x 720 and a 1920 x 1080 window
// (base file at 1, "-hd" at 2 x 0.5, "-hd2" at 2.25 x 0.25), pixels read
// back. Set ZELK_ART_OUT to a folder to also get the drawn bricks as PNGs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "framework/hx_app.h"
#include "framework/hx_graphics.h"
#include "tests/graphics/gfx_test_util.h"

namespace {

const std::string kData = ZELK_DATA_DIR;

struct Resolution {
  const char* suffix;
  int divisor;
  float deviceScale;  // virtual-to-device scale of the window size
  const char* window;
};
const Resolution kResolutions[] = {
    {"", 1, 1.0f, "640x480"}, {"-hd", 2, 2.0f, "1280x720"}, {"-hd2", 4, 2.25f, "1920x1080"}};

// One brick as drawn: the red channel of its box, row by row, and how the
// other channels came out.
struct Drawn {
  int w = 0, h = 0;
  std::vector<int> red;
  int maxGreen = 0;
};

gxtkGraphics* Device() {
  gfxtest::Setup();
  hx_graphics_Init();
  if (!hx_graphics_device) hx_graphics_SetGraphicsDevice(new gxtkGraphics());
  hx_app__devWidth = gfxtest::kWidth;
  hx_app__devHeight = gfxtest::kHeight;
  return hx_graphics_device;
}

// The sheet's file for this resolution, linked into the scratch data folder.
c_Image* LoadBricks(const Resolution& r) {
  std::string name = std::string("bricks") + r.suffix + ".png";
  std::string link = "data/" + name;
  unlink(link.c_str());
  if (symlink((kData + "/" + name).c_str(), link.c_str()) != 0) return nullptr;
  return hx_graphics_LoadImage2(String(name.c_str()), 128 * r.divisor, 32 * r.divisor, 16, 1);
}

Drawn DrawBrick(gxtkGraphics* g, c_Image* sheet, const Resolution& r, int frame) {
  const float k = r.deviceScale / r.divisor;  // file pixels to device pixels
  const int bw = static_cast<int>(128 * r.deviceScale), bh = static_cast<int>(32 * r.deviceScale);
  const int x0 = (gfxtest::kWidth - bw) / 2, y0 = (gfxtest::kHeight - bh) / 2;
  g->BeginRender();
  hx_graphics_BeginRender();
  // Play's clear colour, then the brick in the floor's red.
  g->Cls(0, 0, 10);
  hx_graphics_SetAlpha(1);
  hx_graphics_SetBlend(0);
  hx_graphics_SetColor(255, 0, 0);
  hx_graphics_DrawImage2(sheet, x0 + bw / 2.0f, y0 + bh / 2.0f, 0, k, k, frame);
  hx_graphics_EndRender();
  g->EndRender();
  Drawn d;
  d.w = bw;
  d.h = bh;
  Array<int> px(bw * bh);
  g->ReadPixels(px, x0, y0, bw, bh, 0, bw);
  for (int i = 0; i < bw * bh; ++i) {
    unsigned v = static_cast<unsigned>(px[i]);
    d.red.push_back(static_cast<int>((v >> 16) & 255));
    d.maxGreen = std::max(d.maxGreen, static_cast<int>((v >> 8) & 255));
  }
  return d;
}

int Percentile(std::vector<int> v, int pct) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() * static_cast<size_t>(pct) / 100];
}

void SaveSheet(const std::vector<Drawn>& bricks, const Resolution& r) {
  const char* dir = std::getenv("ZELK_ART_OUT");
  if (!dir || bricks.empty()) return;
  const int w = bricks[0].w, h = bricks[0].h, gap = 4, cols = 4;
  const int sw = cols * (w + gap) + gap, sh = 4 * (h + gap) + gap;
  std::vector<unsigned char> rgb(static_cast<size_t>(sw) * sh * 3, 0);
  for (size_t i = 0; i < rgb.size(); i += 3) rgb[i + 2] = 10;
  for (size_t b = 0; b < bricks.size(); ++b) {
    int ox = gap + static_cast<int>(b % cols) * (w + gap), oy = gap + static_cast<int>(b / cols) * (h + gap);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        size_t at = (static_cast<size_t>(oy + y) * sw + ox + x) * 3;
        rgb[at] = static_cast<unsigned char>(bricks[b].red[static_cast<size_t>(y) * w + x]);
        rgb[at + 2] = bricks[b].red[static_cast<size_t>(y) * w + x] ? 0 : 10;
      }
  }
  std::string path = std::string(dir) + "/bricks-as-played-" + r.window + ".png";
  stbi_write_png(path.c_str(), sw, sh, 3, rgb.data(), sw * 3);
}

}  // namespace

// Under the red tint only the red channel shows, so each brick must carry
// its picture in lightness: a wide range of reds (dark seams and shadows to
// a bright top edge), no large flat patch of full red (which reads as the
// floor or a hazard rather than as a platform), and each of the sixteen
// unlike every other.
TEST(AssetDrawn, BricksUnderTheFloorsRedKeepDetailAndDifferAtEveryResolution) {
  gxtkGraphics* g = Device();
  for (const Resolution& r : kResolutions) {
    SCOPED_TRACE(r.window);
    c_Image* sheet = LoadBricks(r);
    ASSERT_NE(sheet, nullptr);
    std::vector<Drawn> bricks;
    for (int f = 0; f < 16; ++f) {
      SCOPED_TRACE("brick " + std::to_string(f));
      Drawn d = DrawBrick(g, sheet, r, f);
      EXPECT_LE(d.maxGreen, 1) << "not drawn in the floor's red";
      std::vector<int> reds;
      for (int v : d.red)
        if (v > 0) reds.push_back(v);
      ASSERT_GT(reds.size(), d.red.size() / 3) << "brick too small or missing";
      EXPECT_GE(Percentile(reds, 90) - Percentile(reds, 10), 110) << "too little lightness detail";
      long full = std::count_if(reds.begin(), reds.end(), [](int v) { return v >= 240; });
      EXPECT_LE(full * 100, static_cast<long>(reds.size()) * 35) << "large patch of flat red";
      bricks.push_back(d);
    }
    // Pairwise: mean difference of red over 4 x 4 device-pixel cells, so
    // that a shift by a pixel or two does not count as a difference.
    auto cells = [](const Drawn& d) {
      std::vector<float> out;
      for (int y = 0; y + 4 <= d.h; y += 4)
        for (int x = 0; x + 4 <= d.w; x += 4) {
          int sum = 0;
          for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) sum += d.red[static_cast<size_t>(y + j) * d.w + x + i];
          out.push_back(sum / 16.0f);
        }
      return out;
    };
    std::vector<std::vector<float>> coarse;
    for (const Drawn& d : bricks) coarse.push_back(cells(d));
    for (int a = 0; a < 16; ++a)
      for (int b = a + 1; b < 16; ++b) {
        double diff = 0;
        for (size_t i = 0; i < coarse[a].size(); ++i) diff += std::abs(coarse[a][i] - coarse[b][i]);
        diff /= static_cast<double>(coarse[a].size());
        EXPECT_GE(diff, 15.0) << "bricks " << a << " and " << b << " look alike";
      }
    SaveSheet(bricks, r);
  }
}
