// Controls: virtual buttons over keyboard, pads and the iCade letters,
// the analogue steering value, and the on-screen button hit tests.
#include <cmath>
#include "game/myapp.h"
#include "framework/hx_input.h"

namespace {

// Pad buttons that stand for the directions.
enum { PAD_LEFT = 8, PAD_UP = 9, PAD_RIGHT = 10, PAD_DOWN = 11 };

const float kStickThreshold = 0.4f;

bool keyDown(int code) { return hx_input_KeyDown(code); }

// Reads the sources of one virtual button for one port.
struct KeySources {
  c_MyApp* app;
  int port;  // -1 keyboard only, 0..3 with that pad

  bool pad(int button) const {
    if (port < 0) return false;
    int code = 256 + 32 * port + button;
    if (code > 511) return false;
    return keyDown(code);
  }
  bool icade(int k) const { return app->m_iCadeKeys[k] != 0; }
  // Left stick of the port's pad; a port without a pad state has no stick.
  float joyX() const { return port >= 0 && port <= 3 ? hx_input_JoyX(0, port) : 0.0f; }
  float joyY() const { return port >= 0 && port <= 3 ? hx_input_JoyY(0, port) : 0.0f; }
};

}  // namespace

int c_MyApp::p_PlayKey(int key, int stickToo, int port) {
  if (port < -1) return 0;
  KeySources s{this, port};
  const bool icadeOn = hx_Zelk_iCadeControls == 1;
  const bool stick = !icadeOn && port >= 0 && stickToo == 1;
  bool held = false;

  if (!icadeOn) {
    switch (key) {
      case VK_UP:
        held = keyDown(38) || keyDown(87) || s.pad(PAD_UP) || (stick && s.joyY() > kStickThreshold) ||
               s.icade(0);
        break;
      case VK_LEFT:
        held = keyDown(37) || keyDown(65) || s.pad(PAD_LEFT) ||
               (stick && s.joyX() < -kStickThreshold) || s.icade(3);
        break;
      case VK_RIGHT:
        held = keyDown(39) || keyDown(68) || s.pad(PAD_RIGHT) ||
               (stick && s.joyX() > kStickThreshold) || s.icade(5);
        break;
      case VK_DOWN:
        held = keyDown(40) || keyDown(83) || s.pad(PAD_DOWN) ||
               (stick && s.joyY() < -kStickThreshold) || s.icade(8);
        break;
      case VK_A1:
        held = keyDown(90) || keyDown(74) || keyDown(32) || keyDown(13) || s.pad(0) || s.icade(10);
        break;
      case VK_A2:
        held = keyDown(88) || keyDown(75) || keyDown(17) || s.pad(1) || s.icade(11);
        break;
      case VK_A3:
        held = keyDown(67) || keyDown(76) || keyDown(16) || s.pad(2) || s.icade(12);
        break;
      case VK_A4:
        held = keyDown(86) || keyDown(73) || s.pad(3) || s.icade(13);
        break;
      case VK_SL:
        held = keyDown(66) || keyDown(85) || s.pad(4) || s.icade(14);
        break;
      case VK_SR:
        held = keyDown(78) || keyDown(79) || s.pad(5) || s.icade(15);
        break;
      case VK_BACK:
        held = keyDown(27) || keyDown(192) || keyDown(46) || keyDown(8) || s.pad(6) || s.pad(7) ||
               s.pad(14) || s.icade(16) || s.icade(17) || s.icade(19);
        break;
      default:
        return 0;
    }
    return held ? 1 : 0;
  }

  // iCade decoding on: the letter keys belong to the decoder.
  switch (key) {
    case VK_UP:
      held = keyDown(38) || s.pad(PAD_UP) || s.icade(0);
      break;
    case VK_LEFT:
      held = keyDown(37) || s.pad(PAD_LEFT) || s.icade(3);
      break;
    case VK_RIGHT:
      held = keyDown(39) || s.pad(PAD_RIGHT) || s.icade(5);
      break;
    case VK_DOWN:
      held = keyDown(40) || s.pad(PAD_DOWN) || s.icade(8);
      break;
    case VK_A1:
      held = keyDown(32) || keyDown(13) || s.pad(0) || s.icade(10);
      break;
    case VK_A2:
      held = keyDown(17) || s.pad(1) || s.icade(11);
      break;
    case VK_A3:
      held = keyDown(16) || s.pad(2) || s.icade(12);
      break;
    case VK_A4:
    case VK_SL:
    case VK_SR:
      if (port == -1) return m_iCadeKeys[key];
      held = s.pad(key - VK_A4 + 3) || s.icade(key);
      break;
    case VK_BACK:
      held = keyDown(27) || keyDown(46) || keyDown(8) || s.pad(7) || s.pad(6) || s.pad(14) ||
             s.icade(16) || s.icade(17) || s.icade(19);
      break;
    default:
      return 0;
  }
  (void)stick;
  return held ? 1 : 0;
}

int c_MyApp::p_AnalogueControl() {
  m_stickX = 0;
  m_stickY = 0;

  // Floating pointer stick; the right 96 units belong to the jump button.
  if (m_mouseDown == 0) {
    m_stickAnchorX = -1;
  } else if (m_mouseX < hx_Zelk_jscrw - 96) {
    if (m_stickAnchorX < 0) {
      m_stickAnchorX = m_mouseX;
      m_stickAnchorY = m_mouseY;
    } else {
      m_stickX = static_cast<float>(m_mouseX - m_stickAnchorX) / 72.0f;
      m_stickY = static_cast<float>(m_mouseY - m_stickAnchorY) / 72.0f;
      if (std::fabs(m_stickX) < 0.1f && std::fabs(m_stickY) < 0.1f) {
        m_stickX = 0;
        m_stickY = 0;
      }
      if (m_mouseX < m_stickAnchorX - 64) m_stickAnchorX -= 4;
      if (m_mouseX > m_stickAnchorX + 64) m_stickAnchorX += 4;
      if (m_mouseY < m_stickAnchorY - 64) m_stickAnchorY -= 4;
      if (m_mouseY > m_stickAnchorY + 64) m_stickAnchorY += 4;
      if (m_stickAnchorX < 0) {
        m_stickAnchorX = m_mouseX;
        m_stickAnchorY = m_mouseY;
      }
    }
    p_SetCol(0, 100, 250, 0.25f);
    p_Oval(static_cast<float>(m_stickAnchorX), static_cast<float>(m_stickAnchorY), 12, 12);
    p_Oval(static_cast<float>(m_mouseX), static_cast<float>(m_mouseY), 8, 8);
  }

  // Pad 0's left stick.
  float jx = hx_input_JoyX(0, 0);
  float jy = hx_input_JoyY(0, 0);
  if (std::fabs(jx) > 0.2f || std::fabs(jy) > 0.2f) {
    m_stickX = jx;
    m_stickY = -jy;
  }

  // Key ramps (keyboard and pad 0, no stick).
  if (p_PlayKey(VK_UP, 0, 0) != 0) {
    m_rampY -= 0.15f;
    m_stickY = m_rampY;
  } else if (m_rampY < 0) {
    m_rampY += 0.2f;
    if (m_rampY > 0) m_rampY = 0;
    m_stickY = m_rampY;
  }
  if (p_PlayKey(VK_DOWN, 0, 0) != 0) {
    m_rampY += 0.15f;
    m_stickY = m_rampY;
  } else if (m_rampY > 0) {
    m_rampY -= 0.2f;
    if (m_rampY < 0) m_rampY = 0;
    m_stickY = m_rampY;
  }
  if (p_PlayKey(VK_LEFT, 0, 0) != 0) {
    m_rampX -= 0.15f;
    m_stickX = m_rampX;
  } else if (m_rampX < 0) {
    m_rampX += 0.2f;
    if (m_rampX > 0) m_rampX = 0;
    m_stickX = m_rampX;
  }
  if (p_PlayKey(VK_RIGHT, 0, 0) != 0) {
    m_rampX += 0.15f;
    m_stickX = m_rampX;
  } else if (m_rampX > 0) {
    m_rampX -= 0.2f;
    if (m_rampX < 0) m_rampX = 0;
    m_stickX = m_rampX;
  }

  auto clamp1 = [](float& v) {
    if (v < -1) v = -1;
    if (v > 1) v = 1;
  };
  clamp1(m_stickX);
  clamp1(m_stickY);
  clamp1(m_rampX);
  clamp1(m_rampY);

  if ((std::fabs(m_stickX) > 0.05f || std::fabs(m_stickY) > 0.05f) && hx_Zelk_DebugMode == 1) {
    p_SetCol(0, 180, 250, 0.5f);
    p_Oval(hx_Zelk_jscrw - 64, hx_Zelk_jscrh - 64, 12, 12);
    p_Oval(hx_Zelk_jscrw - 64 + m_stickX * 52, hx_Zelk_jscrh - 64 + m_stickY * 52, 8, 8);
  }
  return 0;
}

int c_MyApp::p_Button(int slot, float x, float y, int frame) {
  p_DrawImg(slot, x, y, static_cast<float>(frame));
  m_hit = 0;
  int s = slot >= 0 && slot * 3 + 1 < m_imgInfo.Length() ? slot : 0;
  float w = static_cast<float>(m_imgInfo[s * 3]) * m_imgScale * m_drawScaleX * 0.5f;
  float h = static_cast<float>(m_imgInfo[s * 3 + 1]) * m_imgScale * m_drawScaleY * 0.5f;
  for (int i = 0; i < 10; ++i) {
    float tx = static_cast<float>(m_touchX[i]);
    float ty = static_cast<float>(m_touchY[i]);
    if (x - w < tx && tx < x + w && y - h < ty && ty < y + h && m_mouseDown > 0) m_hit = 1;
  }
  return m_hit;
}

int c_MyApp::p_Button(float x, float y, int frame) { return p_Button(97, x, y, frame); }

int c_MyApp::p_Touch(float x, float y, float w, float h) {
  p_Rect(x, y, w, h);
  for (int i = 0; i < 10; ++i) {
    if (m_touchDown[i] == 0) continue;
    float tx = static_cast<float>(m_touchX[i]);
    float ty = static_cast<float>(m_touchY[i]);
    if (x - 6 < tx && tx < x + w + 12 && y - 6 < ty && ty < y + h + 12) return 1;
  }
  return 0;
}

int c_MyApp::p_MouseIn_Centered(float x, float y, float w, float h) {
  for (int i = 0; i < 10; ++i) {
    if (m_touchDown[i] == 0) continue;
    float tx = static_cast<float>(m_touchX[i]);
    float ty = static_cast<float>(m_touchY[i]);
    if (std::fabs(tx - x) < w / 2 && std::fabs(ty - y) < h / 2) return 1;
  }
  return 0;
}
