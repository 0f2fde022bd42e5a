// Scaled displays: the content scale the adapter accepts, the fit of a
// window into the monitor's work area, and pointer positions in window
// units turned into framebuffer pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/hx_glfw2.h"

namespace {

TEST(HostScale, ContentScalesOutsideHalfToEightCountAsOne) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float reported, used;
  } cases[] = {
      {1.0f, 1.0f},  {1.25f, 1.25f}, {1.5f, 1.5f},  {2.0f, 2.0f}, {3.0f, 3.0f},
      {0.5f, 0.5f},  {8.0f, 8.0f},                                  // the limits are usable
      {0.0f, 1.0f},  {-0.0f, 1.0f},  {-2.0f, 1.0f}, {0.49f, 1.0f}, {8.01f, 1.0f},
      {100.0f, 1.0f}, {nan, 1.0f},   {inf, 1.0f},   {-inf, 1.0f},
  };
  for (const Case& c : cases) EXPECT_EQ(glfw2::UsableContentScale(c.reported), c.used) << c.reported;
}

TEST(HostScale, AWindowLargerThanTheWorkAreaShrinksKeepingItsAspect) {
  struct Case {
    int w, h, areaW, areaH, wantW, wantH;
  } cases[] = {
      {640, 480, 1280, 1024, 640, 480},    // fits: unchanged
      {1280, 960, 1280, 960, 1280, 960},   // exactly the area
      {1920, 1440, 1920, 1080, 1440, 1080},  // too high: the height decides
      {1920, 1440, 1280, 1024, 1280, 960},   // too wide: the width decides
      {1280, 960, 1272, 1000, 1272, 954},    // truncated, never above the area
      {640, 480, 0, 0, 640, 480},            // no work area known: unchanged
      {640, 480, -5, 700, 640, 480},
      {5000, 10, 100, 100, 100, 1},          // never below one pixel
  };
  for (const Case& c : cases) {
    int w = c.w, h = c.h;
    glfw2::FitInside(&w, &h, c.areaW, c.areaH);
    EXPECT_EQ(w, c.wantW) << c.w << "x" << c.h << " in " << c.areaW << "x" << c.areaH;
    EXPECT_EQ(h, c.wantH) << c.w << "x" << c.h << " in " << c.areaW << "x" << c.areaH;
    EXPECT_LE(w, c.areaW > 0 ? c.areaW : w);
  }
}

TEST(HostScale, PointerPositionsBecomeFramebufferPixels) {
  struct Case {
    double v;
    int window, framebuffer, want;
  } cases[] = {
      {100.7, 640, 640, 100},   // unscaled: truncated as before
      {0.0, 640, 1280, 0},      // twice: the far corner and the centre
      {320.0, 640, 1280, 640},
      {639.9, 640, 1280, 1279},
      {100.0, 640, 800, 125},   // 125 %
      {101.0, 640, 960, 151},   // 150 %: 151.5 truncated
      {-3.0, 640, 1280, -6},    // outside the window (a held button): still scaled
      {50.0, 0, 0, 50},         // no size (iconified): unscaled
      {50.0, 640, 0, 50},
  };
  for (const Case& c : cases)
    EXPECT_EQ(glfw2::WindowToPixel(c.v, c.window, c.framebuffer), c.want)
        << c.v << " in " << c.window << " -> " << c.framebuffer;
}

}  // namespace
