// The start/loading screen: a spinning ring over the logo band while assets
// load, and "Click to Start" when waiting for the player.
#include "game/myapp.h"

#include <cmath>

#include "framework/hx_app.h"

namespace {

const float kDegToRad = 0.0174532924f;

float SinDeg(float deg) { return std::sin(deg * kDegToRad); }
float CosDeg(float deg) { return std::cos(deg * kDegToRad); }

}  // namespace

int c_MyApp::p_WaitStart(int loading) {
  float W = hx_Zelk_jscrw, H = hx_Zelk_jscrh;
  // 1. The whole frame is rebuilt here.
  m_clsR = 40;
  m_clsG = 40;
  m_clsB = 80;
  m_clsA = 1;
  p_ResetDraw();
  m_drawCount = 0;
  float size = W < H ? W : H;
  int a0 = m_spinAngle;
  m_spinAngle += 16;
  if (m_spinAngle >= 360 * 16) m_spinAngle -= 360 * 16;  // same angles, no overflow

  // 2. Back ring.
  if (loading == 1) {
    for (int i = 0; i <= 10; ++i) {
      float a = static_cast<float>(a0 + 196 + 16 * i);
      p_SetCol(250, 250, 250, static_cast<float>(i) / 10.0f);
      m_drawBlend = 1;
      p_Oval(W / 2 + SinDeg(a) * size * 0.25f, H / 2 - CosDeg(a) * size * 0.25f, 8, 8);
    }
  }

  // 3. Sun, band and logo.
  p_SetCol(255, 255, 0, 0.8f);
  p_Oval(W / 2, H / 2, size * 0.3f, size * 0.3f);
  p_SetCol(250, 160, 60, 0.7f);
  p_Rect(0, H * 0.4f, W, H * 0.2f);
  p_SetCol(255, 255, 255, 1);
  p_DrawImg(93, W / 2, H * 0.48f, 0);

  // 4. Front ring.
  if (loading == 1) {
    for (int i = 0; i <= 10; ++i) {
      float a = static_cast<float>(a0 + 16 + 16 * i);
      p_SetCol(50, 50, 50, static_cast<float>(i) / 10.0f);
      p_Oval(W / 2 + SinDeg(a) * size * 0.25f, H / 2 - CosDeg(a) * size * 0.25f, 8, 8);
    }
    return 0;
  }

  // 5. Waiting for the player.
  if (loading == 0) {
    p_SetCol(0, 0, 0, 0.2f);
    p_Oval(W / 2, H * 0.7f, 136, 24);
    p_Oval(W / 2, H * 0.7f, 132, 20);
    p_Oval(W / 2, H * 0.7f, 128, 16);
    p_SetCol(255, 255, 255, 1);
    p_SetSize(2, 2);
    p_Text(W / 2, H * 0.7f, String("Click to Start"), 1, 1);
    p_SetSize(1, 1);
    if ((m_mouseHit > 0 || m_mouseDown > 0) && W / 4 < m_mouseX && m_mouseX < 3 * W / 4 && H / 4 < m_mouseY &&
        m_mouseY < 3 * H / 4) {
      m_touchLatch = 1;
      m_gameMode = 1;
      p_Reload();
      hx_app_SetUpdateRate(60);
    }
  }
  return 0;
}
