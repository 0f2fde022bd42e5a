// Everything outside actual play: the title menu (a two-item carousel
// beside the score lists), the options box, the scrolling credits, the
// pause panel, the game-over panel, the console's quit question and the
// fullscreen toggle. Each screen draws into the deferred draw list and
// reads the virtual controls.
#include "game/myapp.h"

#include <cmath>

#include "framework/hx_app.h"
#include "framework/hx_audio.h"

namespace {

// Image slots.
enum { IMG_BADGES = 80, IMG_PICTURE = 91, IMG_LOGO = 93, IMG_MENU_ICONS = 95, IMG_ROUND = 97, IMG_TITLE_B = 98,
       IMG_TITLE_A = 99 };

// Sounds.
enum { SFX_SELECT = 98, SFX_CLICK = 99 };

const float kPanelW = 140;     // score panel width
const float kItemSpacing = 88;  // carousel item spacing

// Float to int toward zero; NaN and values beyond the int range give 0.
int TruncToInt(float v) {
  if (!(v > -2147483648.0f && v < 2147483648.0f)) return 0;
  return static_cast<int>(v);
}

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

int Clamp255(float v) {
  int i = TruncToInt(v);
  return i < 0 ? 0 : (i > 255 ? 255 : i);
}

}  // namespace

// ---------------------------------------------------------------- helpers

int c_MyApp::p_AnyPortHit(const int* keys, int n) {
  for (int i = 0; i < n; ++i)
    if (p_AnyPortKey(keys[i]) != 0) return 1;
  return 0;
}

int c_MyApp::p_OverlayOpen() {
  return (m_creditsOpen == 1 || m_optionsOpen == 1 || m_badgesOpen == 1) ? 1 : 0;
}

float c_MyApp::p_SlotW(int slot) {
  if (slot < 0 || slot * 3 + 1 >= m_imgInfo.Length()) return 0;
  return static_cast<float>(m_imgInfo[slot * 3]) * m_imgScale * m_drawScaleX;
}

float c_MyApp::p_SlotH(int slot) {
  if (slot < 0 || slot * 3 + 1 >= m_imgInfo.Length()) return 0;
  return static_cast<float>(m_imgInfo[slot * 3 + 1]) * m_imgScale * m_drawScaleY;
}

int c_MyApp::p_DrawGear(float x, float y) {
  float rot = m_drawRot;
  m_drawRot = 0.66f * m_gearSpin;
  p_DrawImg(IMG_MENU_ICONS, x, y, 8);
  m_drawRot = -0.33f * m_gearSpin;
  p_DrawImg(IMG_MENU_ICONS, x, y, 9);
  m_drawRot = -m_gearSpin;
  p_DrawImg(IMG_MENU_ICONS, x, y, 10);
  m_drawRot = rot;
  return 0;
}

int c_MyApp::p_OverscanSlider(float y) {
  const float W = hx_Zelk_jscrw;
  float sx = m_drawScaleX, sy = m_drawScaleY;
  p_SetSize(2, 2);
  p_SetCol(255, 255, 255, 1);
  p_Text(0.6f * W, y, String("L1 <      Overscan      > R1"), 1, 1);
  p_SetSize(1, 1);
  p_SetCol(0, 128, 255, 0.5f);
  p_Rect(0.6f * W - 128, y - 5, 256, 9);
  p_SetCol(255, 255, 0, 0.75f);
  p_Rect(0.6f * W - 132 + static_cast<float>(m_options[14]) * 2.67f, y - 8, 8, 16);
  if (p_MouseIn_Centered(0.6f * W, y - 8, 256, 16) != 0 && m_optTouchLatch == 0) {
    m_optTouchLatch = 1;
    p_PlaySFX(SFX_SELECT, 1);
    if (hx_Zelk_overscan > 1) m_options[14] = 1;
    else if (hx_Zelk_overscan < 32) m_options[14] = 96;
  }
  if (m_optKeyLatch == 0) {
    if (p_AnyPortKey(VK_SL) != 0) {
      m_optKeyLatch = 1;
      m_options[14] -= 16;
    } else if (p_AnyPortKey(VK_SR) != 0) {
      m_optKeyLatch = 1;
      m_options[14] += 16;
    }
  }
  if (m_options[14] < 1) m_options[14] = 1;
  if (m_options[14] > 96) m_options[14] = 96;
  hx_Zelk_overscan = static_cast<float>(m_options[14]);
  p_SetSize(sx, sy);
  return 0;
}

// ---------------------------------------------------------------- fullscreen

int c_MyApp::p_FullscreenFlip() {
  HxGlfwGame* host = HxGlfwGame::_glfwGame;
  if (!host) return 0;  // no desktop window to change
  HxGlfwVideoMode* d = host->GetGlfwDesktopMode();
  if (!d) return 0;
  m_fullscreen = 1 - (m_fullscreen != 0 ? 1 : 0);
  if (m_fullscreen == 1) {
    host->SetGlfwWindow(d->width, d->height, d->red, d->green, d->blue, 0, 0, 0, true);
  } else {
    host->SetGlfwWindow(640, 480, d->red, d->green, d->blue, 0, 0, 0, false);
  }
  return 0;
}

// ---------------------------------------------------------------- title menu

int c_MyApp::p_MenuActivate(int byTap) {
  static const int kActivate[] = {VK_A1, VK_A2, VK_A3, VK_X1, VK_X2, VK_A4};
  const int nActivate = hx_Zelk_isOuya == 0 ? 6 : 5;
  m_keyLatch = 1;
  m_touchLatch = 1;
  p_PlaySFX(SFX_SELECT, 1);
  if (m_menuSel == 1) {
    m_players = 1;
    m_gameMode = 11;
    m_ctrlP1 = 0;
    if (byTap == 1) {
      m_ctrlStyle = 2;
    } else {
      m_ctrlStyle = hx_Zelk_isOuya == 1 ? 1 : 0;
      for (int p = 3; p >= 0; --p) {
        for (int i = 0; i < nActivate; ++i) {
          if (p_PlayKey(kActivate[i], 1, p) != 0) {
            m_ctrlP1 = p;
            break;
          }
        }
      }
      for (int i = 0; i < nActivate; ++i) {
        if (p_PlayKey(kActivate[i], 1, -1) != 0) {
          m_ctrlP1 = 0;
          m_ctrlStyle = 0;
          break;
        }
      }
    }
  } else {
    m_optionsOpen = 1;
    m_optCursor = 0;
  }
  return 0;
}

int c_MyApp::p_Menu() {
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;
  const float P = kPanelW;
  const float S = kItemSpacing;

  // 1. A fresh frame.
  m_clsR = m_clsG = m_clsB = 0;
  m_clsA = 1;
  p_ResetDraw();
  m_drawCount = 0;
  if (m_menuSlide < 0) m_menuSlide += 1;
  p_DoStars(-0.25f, 0);
  const float slide = static_cast<float>(m_menuSlide);

  // 2. Back ends the program (the console build asks first).
  if (m_keyLatch == 0 && m_touchLatch == 0 && p_AnyPortKey(VK_BACK) != 0) {
    if (hx_Zelk_isOuya == 0) {
      hxError(String());
      return 0;
    }
    m_gameMode = 4;
    m_keyLatch = 1;
    m_touchLatch = 1;
  }

  // 3. Title art and the score panel.
  p_ResetDraw();
  p_SetSize(3, 3);
  p_DrawImg(IMG_TITLE_A, W / 2, H * 0.58f + slide * 16, 0);
  p_SetSize(1.5f, 1.5f);
  p_DrawImg(IMG_TITLE_B, W * 0.4f, slide * 12 + 96, 0);
  p_SetSize(1, 1);
  p_SetCol(0, 0, 0, 0.4f);
  p_Rect(W - P - 4 * slide, 0, P, H);

  // 4. Score lists.
  {
    int base = 10 * (m_players - 1);
    if (base < 0 || base > 30) base = 0;
    int fh = (m_fontSlot >= 0 && m_fontSlot * 3 + 1 < m_imgInfo.Length()) ? m_imgInfo[m_fontSlot * 3 + 1] : 0;
    int L = TruncToInt(1.5f * static_cast<float>(fh));
    if (L < 1) L = 1;
    int n = TruncToInt(H - 90 - H / 2) / L;
    if (n < 1) n = 1;
    if (n > 10) n = 10;
    String top = n == 1 ? String("Highscore") : String("Top ") + String(n);
    String last = n == 1 ? String("Last") : String("Last ") + String(n);
    for (int k = 0; k < n; ++k) {
      top = top + String("\\n") + p_rstr(m_scores[base + k], 11, String(" "));
      last = last + String("\\n") + p_rstr(m_scores[base + 10 + k], 11, String(" "));
    }
    if (p_OverlayOpen() == 0 && m_menuSel == 1) {
      float x = W - P - 4 * slide + 20;
      p_SetSize(1.5f, 1.5f);
      p_SetCol(255, 200, 100, 1);
      p_Text(x, 60, top, 0, 0);
      p_SetCol(200, 255, 100, 1);
      p_Text(x, H / 2 + 20, last, 0, 0);
      p_SetSize(1, 1);
      p_SetCol(255, 255, 255, 1);
    }
  }

  // 5. Selection.
  if (m_menuSel != 1 && m_menuSel != 2) m_menuSel = 1;
  if (m_menuSel == 1) m_players = 1;
  if (m_menuSel == 2) m_gearSpin += 0.5f;

  // 6. Carousel motion.
  if (m_mouseDown == 0) m_menuDrag = 0;
  m_menuPos += m_menuVel;
  m_menuEase -= (m_menuEase - m_menuPos) * 0.125f;
  m_menuVel *= 0.2f;
  if (std::fabs(m_menuVel) < 3) m_menuVel = 0;

  // 7. Layout.
  float x0, y0, cx, cy, dx, dy;
  if (m_landscape == 0) {
    x0 = static_cast<float>(TruncToInt((W - P) / 2));
    y0 = static_cast<float>(TruncToInt(m_menuEase + 0.6f * H));
    cx = x0;
    cy = static_cast<float>(TruncToInt(0.6f * H));
    dx = 0;
    dy = S;
  } else {
    x0 = static_cast<float>(TruncToInt((W - P) / 2 + m_menuEase));
    y0 = static_cast<float>(TruncToInt(H - 96));
    cx = static_cast<float>(TruncToInt((W - P) / 2));
    cy = y0;
    dx = S;
    dy = 0;
  }

  // 8. The two items.
  if (p_OverlayOpen() == 0) {
    int nearest = 0;
    float nearestDist = 0;
    for (int i = 1; i <= 2; ++i) {
      float x = x0 + dx * static_cast<float>(i - 1);
      float y = y0 + dy * static_cast<float>(i - 1);
      bool selected = m_menuSel == i;
      float scale = selected ? 1.75f : 1.0f;
      float dist = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
      if (nearest == 0 || dist < nearestDist) {
        nearest = i;
        nearestDist = dist;
      }
      float alpha = selected ? 1.0f : Clamp(1 - dist / 480, 0.5f, 1.0f);

      if (i == 1 && (m_landscape == 0 ? y > 0.75f * H : x > 0.75f * (W - P))) {
        m_menuSel = 1;
        m_menuPos -= 8;
      }
      if (i == 2 && (m_landscape == 0 ? y < 0.45f * H : x < W / 4)) {
        m_menuSel = 2;
        m_menuPos += 8;
      }

      p_ResetDraw();
      p_SetSize(scale, scale);
      p_Alpha(alpha);
      if (i == 1) p_DrawImg(IMG_MENU_ICONS, x, y, 0);
      else p_DrawGear(x, y);

      bool tap = false;
      if (m_mouseDown > 0 && m_keyLatch == 0 && m_touchLatch == 0 &&
          p_MouseIn_Centered(x, y, p_SlotW(IMG_MENU_ICONS), p_SlotH(IMG_MENU_ICONS)) != 0)
        tap = true;
      if (i == 1 && selected) {
        p_SetSize(3, 2.5f);
        p_SetCol(100, 255, 100, 0.3f);
        if (p_Button(IMG_ROUND, W - 70, H - 48 - 4 * slide, 3) != 0 && m_keyLatch == 0 && m_touchLatch == 0)
          tap = true;
      }
      p_ResetDraw();
      if (tap) {
        if (!selected) {
          m_menuSel = i;
          m_menuSnap = i;
          m_menuPos = static_cast<float>(1 - i) * S;
          m_menuVel = m_menuDrag = 0;
          m_keyLatch = 1;
          m_touchLatch = 1;
          p_PlaySFX(SFX_CLICK, 1);
        } else {
          p_MenuActivate(1);
        }
      }
    }
    if (nearest != m_menuSel && m_menuSnap == 0 && m_gameMode == 1 && p_OverlayOpen() == 0) {
      m_menuSel = nearest;
      p_PlaySFX(SFX_CLICK, 1);
    }
    if (std::fabs(m_menuEase - m_menuPos) < 32) m_menuSnap = 0;
  }

  // 9. Keys.
  if (m_keyLatch == 0 && p_OverlayOpen() == 0 && m_gameMode == 1) {
    static const int kBack[] = {VK_UP, VK_LEFT};
    static const int kFore[] = {VK_DOWN, VK_RIGHT};
    int to = 0;
    if (m_menuSel == 2 && p_AnyPortHit(kBack, 2) != 0) to = 1;
    else if (m_menuSel == 1 && p_AnyPortHit(kFore, 2) != 0) to = 2;
    if (to != 0) {
      m_menuSel = to;
      m_keyLatch = 1;
      m_menuSnap = to;
      m_menuPos = static_cast<float>(1 - to) * S;
      m_menuVel = m_menuDrag = 0;
      p_PlaySFX(SFX_CLICK, 1);
    } else {
      static const int kActivate[] = {VK_A1, VK_A2, VK_A3, VK_X1, VK_X2, VK_A4};
      if (p_AnyPortHit(kActivate, hx_Zelk_isOuya == 0 ? 6 : 5) != 0) p_MenuActivate(0);
    }
  }

  // 11. Credits: button 15 or the logo in the corner.
  if (m_keyLatch == 0 && p_OverlayOpen() == 0 && m_gameMode == 1 && p_AnyPortKey(VK_SR) != 0) {
    m_keyLatch = 1;
    p_PlaySFX(SFX_CLICK, 1);
    m_creditsOpen = 1;
  }
  p_ResetDraw();
  p_SetSize(0.35f, 0.35f);
  if (p_Button(IMG_LOGO, W - 70, 4 * slide + 32, 0) != 0 && m_touchLatch == 0 && p_OverlayOpen() == 0 &&
      m_gameMode == 1) {
    m_touchLatch = 1;
    p_PlaySFX(SFX_CLICK, 1);
    m_creditsOpen = 1;
  }
  p_ResetDraw();

  // 12. Drag.
  if (p_OverlayOpen() == 0 && m_touchLatch != 1 && m_mouseDown > 0) {
    m_menuDrag = 1.5f * static_cast<float>(m_landscape == 0 ? m_mouseY - m_mouseOldY : m_mouseX - m_mouseOldX);
    if (std::fabs(m_menuDrag) > 2) {
      m_touchLatch = 2;
      m_menuVel += m_menuDrag;
    }
  }
  return 0;
}

// ---------------------------------------------------------------- options

int c_MyApp::p_OptionBox() {
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;
  const int s = m_optionsSlide;
  const float sf = static_cast<float>(s);

  // 1. Nothing under the box reacts; nothing in it reacts while it slides.
  p_ResetDraw();
  m_keyLatch = 1;
  m_touchLatch = 1;
  if (s != 30) {
    m_optKeyLatch = 1;
    m_optTouchLatch = 1;
  }
  if (hx_Zelk_isOuya == 1) {
    const float cw[2][2] = {{16, 8}, {8, 16}};
    for (int c = 0; c < 4; ++c) {
      float cxp = (c & 1) ? W : 0;
      float cyp = (c & 2) ? H : 0;
      for (const auto& r : cw) p_Rect((c & 1) ? cxp - r[0] : cxp, (c & 2) ? cyp - r[1] : cyp, r[0], r[1]);
    }
  }

  // 2. Panel.
  p_SetCol(150, 75, 0, 0.85f);
  p_Rect(50, (30 - sf) * 24, W - 100, H);
  p_SetCol(255, 255, 255, 1);

  // 3. Back gear.
  const float gx = (3 * sf - 90) * 4 + 100;
  m_gearSpin += 0.2f;
  float gs = m_optCursor == 0 ? 2.0f : 1.5f;
  p_SetSize(gs, gs);
  p_DrawGear(gx, 60);
  bool back = p_MouseIn_Centered(gx, 60, p_SlotW(IMG_MENU_ICONS), p_SlotH(IMG_MENU_ICONS)) != 0 ||
              p_AnyPortKey(VK_BACK) != 0;
  p_SetSize(2, 2);
  p_Text(gx + 76, 60, String("<[BACK]"), 0, 1);
  p_SetSize(1, 1);
  bool closed = false;
  if (back && m_optKeyLatch == 0 && m_optTouchLatch == 0) {
    m_optKeyLatch = 1;
    m_optTouchLatch = 1;
    m_optionsOpen = 0;
    p_PlaySFX(SFX_CLICK, 1);
    p_Save();
    closed = true;
  }

  // 4. Console build: the overscan slider.
  if (hx_Zelk_isOuya == 1) p_OverscanSlider((3 * sf - 90) * 4 + 92);

  // 5. Option lines.
  const int lastLine = m_paused == 0 ? 4 : 3;
  float y = (30 - sf) * 24 + 130;
  static const int kUse[] = {VK_A1, VK_A2, VK_A3, VK_A4, VK_SL, VK_SR};
  bool keyUse = !closed && p_AnyPortHit(kUse, 6) != 0;
  for (int line = 1; line <= lastLine; ++line) {
    if (line == 2 && hx_Zelk_isOuya == 1) continue;  // no iCade line on the console
    float lx = 100, ly = y;
    if (line == 2 || line == 3) ly = y + 40 * static_cast<float>(line - 1);
    if (line == 4) {
      ly = y + 130;
      lx = static_cast<float>(TruncToInt(W - 264));
    }
    bool under = m_optCursor == line;
    if (under) p_SetCol(0, 180, 255, 0.5f);
    else p_SetCol(0, 0, 160, 0.5f);
    int touched = line == 4 ? p_Touch(lx - 16, ly - 2, 180, 24) : p_Touch(84, ly - 2, W - 168, 24);
    p_SetCol(255, 255, 255, 1);

    String label;
    if (line == 1) {
      int& v = m_options[5];
      if (hx_Zelk_HasMusicStream == 1) {
        static const char* const kNames[] = {"Sound : Off", "Sound : SFX + Music", "Sound : SFX", "Sound : Music"};
        if (v < 0 || v > 3) v = 0;
        label = String(kNames[v]);
      } else {
        if (v < 0 || v > 1) v = 0;
        label = String(v == 1 ? "Sound : On" : "Sound : Off");
      }
    } else if (line == 2) {
      label = String(hx_Zelk_iCadeControls == 1 ? "iCade : On" : "iCade : Off");
    } else if (line == 3) {
      label = String(m_fullscreen == 1 ? "Windowed" : "Fullscreen");
    } else {
      label = String("Credits");
    }
    p_SetSize(2, 2);
    p_Text(lx, ly, label, 0, 0);
    p_SetSize(1, 1);

    if (closed) continue;
    bool use = false;
    if (touched != 0) {
      if (m_optCursor != line && m_optTouchLatch == 0) m_optCursor = line;
      if (m_optCursor == line) use = true;
    }
    if (under && keyUse) use = true;
    if (!use || m_optKeyLatch != 0 || m_optTouchLatch != 0) continue;

    if (line == 4) {
      m_creditsOpen = 1;
      m_optionsOpen = 0;
      m_optKeyLatch = 0;
      m_optTouchLatch = 0;
      closed = true;
      continue;
    }
    m_optKeyLatch = 1;
    m_optTouchLatch = 1;
    p_PlaySFX(SFX_CLICK, 1);
    if (line == 1) {
      int& v = m_options[5];
      if (hx_Zelk_HasMusicStream == 1) {
        v = (v + 1) % 4;
        if (v == 0 || v == 2) {
          hx_audio_StopMusic();
          m_musicOn = 0;
        }
      } else {
        v = v == 0 ? 1 : 0;
      }
    } else if (line == 2) {
      hx_Zelk_iCadeControls = 1 - (hx_Zelk_iCadeControls != 0 ? 1 : 0);
      p_iCade(hx_Zelk_iCadeControls);
      for (int i = 0; i < 20; ++i) m_iCadeKeys[i] = 0;
    } else {
      p_FullscreenFlip();
    }
  }

  // 6. Keys: close from the gear, move the cursor.
  if (!closed && m_optKeyLatch == 0) {
    static const int kClose[] = {VK_SR, VK_A1, VK_A2};
    static const int kUp[] = {VK_UP, VK_LEFT};
    static const int kDown[] = {VK_DOWN, VK_RIGHT};
    if (m_optCursor == 0 && p_AnyPortHit(kClose, 3) != 0) {
      m_optKeyLatch = 1;
      m_optionsOpen = 0;
      p_PlaySFX(SFX_CLICK, 1);
      p_Save();
    } else if (p_AnyPortHit(kUp, 2) != 0) {
      m_optKeyLatch = 1;
      m_optCursor -= 1;
      if (hx_Zelk_isOuya == 1 && m_optCursor == 2) m_optCursor = 1;
      if (m_optCursor < 0) m_optCursor = 0;
      p_PlaySFX(SFX_CLICK, 1);
    } else if (p_AnyPortHit(kDown, 2) != 0) {
      m_optKeyLatch = 1;
      m_optCursor += 1;
      if (hx_Zelk_isOuya == 1 && m_optCursor == 2) m_optCursor = 3;
      if (m_optCursor > lastLine) m_optCursor = lastLine;
      p_PlaySFX(SFX_CLICK, 1);
    }
  }
  if (m_optCursor > lastLine) m_optCursor = lastLine;

  // 7. Latches.
  if (m_mouseDown == 0) m_optTouchLatch = 0;
  static const int kHeld[] = {VK_UP, VK_LEFT, VK_RIGHT, VK_DOWN, VK_A1, VK_A2, VK_A3, VK_A4, VK_SL,
                              VK_SR, VK_X1, VK_X2, VK_BACK};
  if (p_AnyPortHit(kHeld, 13) == 0) m_optKeyLatch = 0;

  // 8.
  p_ResetDraw();
  return 0;
}

// ---------------------------------------------------------------- credits

int c_MyApp::p_CreditBox() {
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;
  const int s = m_creditsSlide;
  const float sf = static_cast<float>(s);
  const float u = static_cast<float>(30 - s);
  const float alpha = sf / 30;

  // 1. Tile frame.
  p_ResetDraw();
  const float c = W / 12 > H / 12 ? W / 12 : H / 12;
  if (!(c > 0)) return 0;
  const int cols = TruncToInt(W / c);
  const int rows = TruncToInt(H / c);
  const float x0 = W / 2 - static_cast<float>(cols) * c / 2;
  const float y0 = H / 2 - static_cast<float>(rows) * c / 2;
  const float z = s < 20 ? c * sf / 20 : c;
  // Colour ramps; a frame too small for inner tiles uses a span of 1.
  const float cspan = cols - 2 > 0 ? static_cast<float>(cols - 2) : 1.0f;
  const float rspan = rows - 2 > 0 ? static_cast<float>(rows - 2) : 1.0f;
  for (int i = 0; i <= cols; ++i) {
    for (int j = 0; j <= rows; ++j) {
      int e = i - cols / 2;
      int f = j - rows / 2;
      if (e <= 0) e -= 1;
      if (f <= 0) f -= 1;
      float tx = x0 + static_cast<float>(i) * c + u * static_cast<float>(e * std::abs(e)) - z / 2;
      float ty = y0 + static_cast<float>(j) * c + u * static_cast<float>(f * std::abs(f)) - z / 2;
      bool border = i == 0 || j == 0 || i == cols || j == rows;
      bool corner = (i == 0 || i == cols) && (j == 0 || j == rows);
      if (border) p_SetCol(0, 0, 0, alpha);
      else p_SetCol(255, 255, 255, alpha);
      p_Rect(tx, ty, z + 1, z + 1);
      if (!border) {
        p_SetCol(128, 128, 128, alpha);
        if (j == rows - 1 && i >= 4 && i <= cols - 3) {
          p_Rect(tx - 6, ty + 2, i == cols - 3 ? z + 4 : z + 24, z - 4);
        } else {
          p_Rect(tx + 2, ty + 2, z - 4, z - 4);
        }
      } else if (!corner) {
        float fi = static_cast<float>(i - 1), fj = static_cast<float>(j - 1);
        int a = Clamp255(512 / cspan * fi);
        int a2 = Clamp255(512 - 512 / cspan * fi);
        int b = Clamp255(512 / rspan * fj);
        int b2 = Clamp255(512 - 512 / rspan * fj);
        int k = Clamp255(255 / cspan * fi);
        float r = 255, g = 0, bl = 0;
        if (j == 0) {
          r = static_cast<float>(a);
          g = static_cast<float>(a2);
        }
        if (i == 0) {
          r = 0;
          g = static_cast<float>(b2);
          bl = static_cast<float>(b);
        }
        if (i == cols) {
          r = static_cast<float>(b2);
          g = 0;
          bl = static_cast<float>(b);
        }
        if (j == rows) r = g = bl = static_cast<float>(k);
        p_SetCol(r, g, bl, alpha);
        if (j == 0 || j == rows) p_Rect(tx + 8, ty, z - 16, z);
        else p_Rect(tx, ty + 8, z, z - 16);
      }
    }
  }

  // 2. Picture.
  p_SetCol(255, 255, 255, 1);
  p_DrawImg(IMG_PICTURE, W / 2, H / 2 - 24 * u, 0);

  // 3. Scrolling lines.
  m_creditScroll -= 0.3f;
  if (p_AnyPortKey(VK_UP) != 0 || p_AnyPortKey(VK_DOWN) != 0) m_creditScroll -= 1.5f;
  while (m_creditScroll < -16) {
    m_creditScroll += 16;
    m_creditLine += 1;
  }
  const int count = hx_Zelk_CreditText.Length();
  if (count > 0) {
    m_creditLine %= count;
    for (int t = -3; t <= 4; ++t) {
      int idx = (m_creditLine + t) % count;
      if (idx < 0) idx += count;
      float off = 16 * static_cast<float>(t) + m_creditScroll;
      float a = Clamp(1 - (std::fabs(off) / 40 - 0.3f), 0, 1);
      p_SetCol(255, 255, 255, a);
      p_Text(W / 2 + 24, H / 2 - u * 24 + off, hx_Zelk_CreditText[idx], 0.8f, 0.8f);
    }
  }

  // 4. Title art under the picture.
  p_SetCol(255, 255, 255, alpha);
  p_SetSize(0.4f, 0.4f);
  p_DrawImg(IMG_TITLE_B, W / 2, 4 * u + static_cast<float>(rows - 1) * c + y0, 0);
  p_SetSize(1, 1);

  // 5. Corner medallions with the live figures.
  const float mx[4] = {x0 + 1.5f * c - 6 * u, x0 + (cols - 1.5f) * c + 6 * u, x0 + 1.5f * c - 6 * u,
                       x0 + (cols - 1.5f) * c + 6 * u};
  const float my[4] = {y0 + 1.5f * c - 3 * u, y0 + 1.5f * c - 3 * u, y0 + (rows - 1.5f) * c + 3 * u,
                       y0 + (rows - 1.5f) * c + 3 * u};
  for (int m = 0; m < 4; ++m) {
    p_SetCol(255, 255, 255, alpha);
    p_Oval(mx[m], my[m], z, z);
    p_SetCol(128, 128, 128, alpha);
    p_Oval(mx[m], my[m], z - 3, z - 3);
  }
  p_SetCol(255, 255, 255, alpha);
  p_Text(mx[0], my[0] - 16, String(hx_app_DeviceWidth()), 0.8f, 0.8f);
  p_Text(mx[0], my[0], String(hx_app_DeviceHeight()), 0.8f, 0.8f);
  p_Text(mx[0], my[0] + 16, String(m_updFpsAvg), 0.8f, 0.8f);
  p_Text(mx[1], my[1] - 16, String(TruncToInt(W)), 0.8f, 0.8f);
  p_Text(mx[1], my[1], String(TruncToInt(H)), 0.8f, 0.8f);
  p_Text(mx[1], my[1] + 16, String(m_renderFpsAvg), 0.8f, 0.8f);
  p_DrawImg(IMG_MENU_ICONS, mx[2], my[2], 12);
  p_SetSize(0.3f, 0.3f);
  p_DrawImg(IMG_LOGO, mx[3], my[3], 0);
  p_ResetDraw();

  // 6. Closing.
  static const int kClose[] = {VK_SR, VK_A1, VK_A2};
  if (m_mouseDown > 0 && m_touchLatch == 0) {
    m_touchLatch = 1;
    m_creditsOpen = 0;
    p_PlaySFX(SFX_CLICK, 1);
  } else if (m_keyLatch == 0 && p_AnyPortHit(kClose, 3) != 0) {
    m_keyLatch = 1;
    m_creditsOpen = 0;
    p_PlaySFX(SFX_CLICK, 1);
  }
  return 0;
}

// ---------------------------------------------------------------- pause

int c_MyApp::p_PauseMenu() {
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;

  // 1. Veil.
  p_ResetDraw();
  p_SetCol(0, 0, 0, Clamp(std::fabs(static_cast<float>(m_pauseY)) / (0.8f * H), 0, 1));
  p_Rect(0, 0, W, H);

  // 2. Slide in or out.
  if (m_pauseSel == 1) {
    int half = TruncToInt(H / 2);
    if (m_pauseY < half) {
      m_pauseY += 24;
      if (m_pauseY > half) m_pauseY = half;
    }
  } else if (m_pauseSel == -1) {
    if (m_pauseY < -63) {
      m_paused = 0;
    } else {
      m_pauseY -= 24;
      if (m_pauseY < -32) m_paused = 0;
    }
  }
  const float y = static_cast<float>(m_pauseY);

  // 3. Panel.
  if (m_landscape == 1) {
    p_SetCol(255, 255, 10, 0.6f);
    p_Rect(W / 2 - 128, y - 64, 256, 8);
    p_SetCol(255, 150, 10, 0.7f);
    p_Rect(W / 2 - 140, y - 52, 280, 104);
    p_SetCol(10, 150, 255, 0.6f);
    p_Rect(W / 2 - 128, y + 56, 256, 8);
  } else {
    p_SetCol(255, 255, 10, 0.6f);
    p_Rect(W / 2 - 96, y - 92, 192, 8);
    p_SetCol(255, 150, 10, 0.7f);
    p_Rect(W / 2 - 128, y - 80, 256, 160);
    p_SetCol(10, 150, 255, 0.6f);
    p_Rect(W / 2 - 96, y + 84, 192, 8);
  }

  // 4. Console build: the overscan slider above the panel.
  if (hx_Zelk_isOuya == 1) p_OverscanSlider(y - 150);

  // 5. Buttons.
  const float bx[3] = {static_cast<float>(TruncToInt(W / 2 + (m_landscape == 1 ? -140 : -96))), W / 2,
                       static_cast<float>(TruncToInt(W / 2 + (m_landscape == 1 ? 140 : 96)))};
  const float by[3] = {y - (m_landscape == 1 ? 64 : 96), y, y - (m_landscape == 1 ? 64 : 96)};
  if (m_pauseTimer < -1 || m_pauseTimer > 1) m_pauseTimer = 0;
  int hl = m_pauseTimer + 1;
  p_ResetDraw();
  p_SetSize(2.5f, 2.5f);
  p_SetCol(255, 255, 100, 1);
  p_DrawImg(IMG_ROUND, bx[hl], by[hl], 6);

  int tapped = -2;
  p_SetSize(2, 2);
  p_SetCol(50, 50, 250, 1);
  if (p_Button(IMG_ROUND, bx[1], by[1], 3) != 0) tapped = 0;
  p_SetCol(255, 50, 50, 1);
  if (p_Button(IMG_ROUND, bx[0], by[0], 1) != 0) tapped = -1;
  p_SetCol(255, 255, 255, 1);
  p_SetSize(1, 1);
  p_DrawGear(bx[2], by[2]);
  if (p_MouseIn_Centered(bx[2], by[2], p_SlotW(IMG_MENU_ICONS), p_SlotH(IMG_MENU_ICONS)) != 0) tapped = 1;
  p_ResetDraw();
  if (m_optionsOpen == 0) m_gearSpin += 0.2f;

  int act = -2;
  bool byTap = false;
  if (tapped != -2 && m_touchLatch == 0) {
    m_touchLatch = 1;
    act = tapped;
    byTap = true;
  }
  if (act == -2 && m_keyLatch == 0) {
    static const int kLeftUp[] = {VK_LEFT, VK_UP};
    static const int kRightDown[] = {VK_RIGHT, VK_DOWN};
    static const int kLeftDown[] = {VK_LEFT, VK_DOWN};
    if (p_AnyPortKey(VK_A1) != 0) {
      m_keyLatch = 1;
      act = m_pauseTimer;
    } else if (m_pauseTimer == 0 && p_AnyPortHit(kLeftUp, 2) != 0) {
      m_keyLatch = 1;
      m_pauseTimer = -1;
      p_PlaySFX(SFX_SELECT, 0.8f, 0.5f, 0);
    } else if (m_pauseTimer == 0 && p_AnyPortKey(VK_RIGHT) != 0) {
      m_keyLatch = 1;
      m_pauseTimer = 1;
      p_PlaySFX(SFX_SELECT, 1.2f, 0.5f, 0);
    } else if (m_pauseTimer == -1 && p_AnyPortHit(kRightDown, 2) != 0) {
      m_keyLatch = 1;
      m_pauseTimer = 0;
      p_PlaySFX(SFX_SELECT, 0.8f, 0.5f, 0);
    } else if (m_pauseTimer == 1 && p_AnyPortHit(kLeftDown, 2) != 0) {
      m_keyLatch = 1;
      m_pauseTimer = 0;
      p_PlaySFX(SFX_SELECT, 0.8f, 0.5f, 0);
    } else if (p_AnyPortKey(VK_BACK) != 0) {
      // 6. Back resumes.
      m_keyLatch = 1;
      act = 0;
    }
  }

  if (act == 0) {
    m_paused = 1;
    m_pauseSel = -1;
    p_PlaySFX(SFX_SELECT, 0.5f);
  } else if (act == -1) {
    m_paused = 0;
    m_pauseSel = -1;
    m_pauseY = -64;
    m_gameOver = 1;
    p_PlaySFX(SFX_SELECT, 0.5f, 0.5f, 0);
  } else if (act == 1) {
    m_optionsOpen = 1;
    if (byTap) p_PlaySFX(SFX_CLICK, 1);
    else p_PlaySFX(SFX_SELECT, 0.5f);
  }
  return 0;
}

// ---------------------------------------------------------------- game over

int c_MyApp::p_GameOver() {
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;
  int t = m_gameOverTimer;

  // The place announced is the one the score will be stored at.
  if (m_gameMode == 10) m_overPlace = p_ScoreRank();

  if (t > 0) {
    m_keyLatch = 1;
    m_touchLatch = 1;
    p_ResetDraw();
    p_SetCol(0, 0, 0, Clamp(static_cast<float>(t) / 40, 0, 0.7f));
    p_Rect(-1, -1, W + 2, H + 2);
    int half = TruncToInt(0.45f * H);
    float b = static_cast<float>(12 * t < half ? 12 * t : half);
    p_SetCol(255, 255, 0, 0.5f);
    p_Rect(-1, 0.45f * H - 8, 2 * b, 16);
    p_SetCol(255, 128, 0, 0.5f);
    p_Rect(W - 2 * b, 0.55f * H - 8, 2 * b + 1, 16);
    p_SetSize(4, 4);
    p_SetCol(255, 180, 180, 1);
    p_Text(0.35f * W, b, String("GAME"), 1, 1);
    p_Text(0.65f * W, H - b, String("OVER"), 1, 1);

    String msg;
    if (m_players < 3) {
      if (m_overPlace >= 0)
        msg = String("New Highscore\\n           ") + (m_overPlace == 0 ? String("1st!") : p_Nth(m_overPlace + 1));
    } else if (m_players == 3) {
      bool one = m_ents[20 * 1] > 0;
      bool two = m_ents[20 * 2] > 0;
      if (!one && two) msg = String("Player Two Wins");
      else if (one && !two) msg = String("Player One Wins");
      else msg = String("DRAW!!!");
    }
    if (msg.Length() > 0) {
      p_SetSize(1, 1);
      p_SetCol(0, 125, 255, 0.5f);
      p_Rect(0.35f * W, H - b / 1.5f - 16, 0.3f * W, 32);
      p_SetSize(2, 2);
      p_SetCol(100, 255, 100, 1);
      p_Text(W / 2, H - b / 1.5f, msg, 0.5f, 2);
    }
    p_ResetDraw();
  }

  // Timer.
  if (m_gameMode == 10) {
    t += 1;
    if (t >= 90) {
      m_gameMode = 2;
      t = 73;
      if (hx_Zelk_HasMusicStream == 1) {
        hx_audio_StopMusic();
        m_musicOn = 0;
      }
    }
  } else if (m_gameMode < 10) {
    t -= 2;
    if (t < 0) t = 0;
  }
  m_gameOverTimer = t;
  return 0;
}

// ---------------------------------------------------------------- quit question

int c_MyApp::p_OuyaQuit() {
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;
  p_CLS2D(180, 180, 180, -1);
  p_SetSize(3, 3);
  p_DrawImg(IMG_PICTURE, W / 2, H / 2, 0);
  m_drawCount = ZELK_CMD_SIZE;
  p_ResetDraw();

  const float x = static_cast<float>(TruncToInt(0.65f * W));
  const float y0 = static_cast<float>(TruncToInt(0.3f * H));
  const String icon(static_cast<Char>(172), 1);
  p_SetSize(3, 3);
  p_Text(x, y0, String("It looks like you're"), 1, 1);
  p_Text(x, y0 + 32, String("trying to QUIT!"), 1, 1);
  p_SetSize(2, 2);
  p_Text(x, y0 + 68, String("Are you absolutely sure"), 1, 1);
  p_Text(x, y0 + 88, String("you want to quit the game?"), 1, 1);
  p_Text(x, y0 + 116, String("Isn't this fun?"), 1, 1);
  p_Text(x, y0 + 154, String("It'll be a shame to see you go."), 1, 1);
  p_Text(x, y0 + 192, String("Press ") + icon + String("K to Quit"), 1, 1);
  p_Text(x, y0 + 212, String("or ") + icon + String("J to return to the fun!"), 1, 1);
  p_ResetDraw();

  if (m_keyLatch == 0 && m_touchLatch == 0) {
    if (p_AnyPortKey(VK_A1) != 0) {
      m_gameMode = 1;
      m_keyLatch = 1;
      m_touchLatch = 1;
    } else if (p_AnyPortKey(VK_A2) != 0 || p_AnyPortKey(VK_A3) != 0 || p_AnyPortKey(VK_BACK) != 0) {
      hxError(String());
    }
  }
  return 0;
}
