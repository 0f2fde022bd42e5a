// Stars and particles: two fixed pools of small sprites from image 96.
#include <cmath>
#include "game/myapp.h"
#include "framework/hx_random.h"

namespace {

const int kFields = 10;
const int kMaxStars = 499;
const int kSparkSlot = 96;

inline float Rnd(float lo, float hi) { return hx_random_Rnd2(lo, hi); }

// Particle colours by index; anything else is grey.
void paletteColour(int index, float& r, float& g, float& b) {
  static const float kPalette[10][3] = {
      {76.5f, 76.5f, 76.5f},   {255, 25.5f, 25.5f},    {255, 127.5f, 25.5f}, {255, 255, 25.5f},
      {25.5f, 255, 25.5f},     {25.5f, 255, 255},      {25.5f, 25.5f, 255},  {127.5f, 25.5f, 255},
      {255, 25.5f, 127.5f},    {255, 255, 255},
  };
  int i = index >= 1 && index <= 9 ? index : 0;
  r = kPalette[i][0];
  g = kPalette[i][1];
  b = kPalette[i][2];
}

}  // namespace

int c_MyApp::p_ResetStars(int n) {
  if (n >= 1 && n <= kMaxStars) {
    m_starCount = n;
  } else {
    n = m_starCount;
  }
  if (n > kMaxStars) n = kMaxStars;
  float* s = m_stars.Data();
  for (int k = 0; k <= n; ++k) {
    float* st = s + k * kFields;
    st[0] = std::floor(Rnd(0, 255.99f));
    st[1] = Rnd(0, 1) * (hx_Zelk_jscrw + 16) - 8;
    st[2] = Rnd(0, 1) * (hx_Zelk_jscrh + 16) - 8;
    st[3] = Rnd(0.2f, 0.8f);
    st[5] = Rnd(0, 360);
    st[6] = Rnd(-0.5f, 0.5f);
  }
  return 0;
}

int c_MyApp::p_DoStars(float dx, float dy) {
  p_ResetDraw();
  const float o = hx_Zelk_overscan;
  const float m = o + 16;
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;
  int last = m_starCount > kMaxStars ? kMaxStars : m_starCount;
  float* s = m_stars.Data();
  for (int k = 0; k <= last; ++k) {
    float* st = s + k * kFields;
    st[1] += dx * st[3];
    st[2] += dy * st[3];
    if (st[1] < -m) {
      st[1] += W + 2 * o + 32;
      st[2] = Rnd(0, 1) * (H + 16) - 8;
      st[3] = Rnd(0.2f, 0.8f);
      st[0] = std::floor(Rnd(0, 255.99f));
    }
    if (st[1] > W + m) {
      st[1] -= W + 2 * o + 32;
      st[2] = Rnd(0, 1) * (H + 16) - 8;
      st[3] = Rnd(0.2f, 0.8f);
      st[0] = std::floor(Rnd(0, 255.99f));
    }
    if (st[2] < -m) {
      st[2] += H + 2 * o + 32;
      st[1] = Rnd(0, 1) * (W + 16) - 8;
      st[3] = Rnd(0.2f, 0.8f);
      st[0] = std::floor(Rnd(0, 255.99f));
    }
    if (st[2] > H + m) {
      st[2] -= H + 2 * o + 32;
      st[1] = Rnd(0, 1) * (W + 16) - 8;
      st[3] = Rnd(0.2f, 0.8f);
      st[0] = std::floor(Rnd(0, 255.99f));
    }
    st[5] += st[6];
    p_Alpha(st[3]);
    p_DrawImg(kSparkSlot, st[1], st[2], st[0]);
  }
  p_ResetDraw();
  return 0;
}

int c_MyApp::p_ThrowParticle(float x, float y, int kind, int colour, float angle, float speed) {
  if (angle == ZELK_NONEF) angle = Rnd(0, 360);
  if (speed == ZELK_NONEF) speed = Rnd(3, 8);
  if (m_particleLimit < 0) return 0;
  int last = m_particleLimit > 509 ? 509 : m_particleLimit;
  float* p = m_particles.Data();
  int slot = -1;
  for (int k = last; k >= 0; --k) {
    if (p[k * kFields] == 0) {
      slot = k;
      break;
    }
  }
  if (slot < 0) return 0;
  float* pt = p + slot * kFields;
  float a = angle * 0.0174532924f;
  pt[0] = static_cast<float>(kind);
  pt[1] = x;
  pt[2] = y;
  pt[3] = speed * static_cast<float>(std::sin(a));
  pt[4] = -speed * static_cast<float>(std::cos(a));
  pt[5] = Rnd(0, 360);
  pt[6] = Rnd(0, 16) - 8;
  pt[7] = Rnd(0.7f, 1.3f);
  pt[8] = static_cast<float>(colour);
  pt[9] = std::floor(Rnd(0, 255.99f));
  return 0;
}

int c_MyApp::p_DoParticles() {
  p_ResetDraw();
  int last = m_particleLimit > 509 ? 509 : m_particleLimit;
  float* p = m_particles.Data();
  for (int k = 0; k <= last; ++k) {
    float* pt = p + k * kFields;
    if (!(pt[0] > 0)) continue;
    pt[1] += pt[3];
    pt[2] += pt[4];
    pt[5] += pt[6];
    p_SetRot(pt[5]);
    if (pt[0] == 2) {
      pt[3] *= 0.95f;
      pt[4] += 0.2f;
    }
    float r, g, b;
    paletteColour(static_cast<int>(pt[8]), r, g, b);
    p_SetCol(r, g, b, pt[7] > 1 ? 1.0f : pt[7]);
    p_SetSize(1, 1);
    if (pt[0] >= 1 && pt[0] <= 9) p_DrawImg(kSparkSlot, pt[1] - m_shakeX, pt[2] - m_shakeY, pt[9]);
    pt[7] -= 0.01f;
    if (pt[7] < 0) pt[0] = 0;
  }
  p_ResetDraw();
  return 0;
}
