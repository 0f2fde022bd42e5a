// The deferred draw list: updates record 15-float commands with the current
// draw state; every render fits the virtual screen to the window and
// replays the list through the graphics module. Also the bitmap-font text
// layout and the right-aligned number helper.
#include "game/myapp.h"

#include <cmath>

#include "framework/hx_app.h"
#include "framework/hx_graphics.h"

namespace {

const float kDegToRad = 0.0174532924f;

// Sine and cosine of an angle in degrees, in single precision. Results
// that are only rounding noise (the sine of 180 degrees and the like) are
// exactly 0, so that text lines and columns land on whole pixels.
float SinDeg(float deg) {
  float v = std::sin(deg * kDegToRad);
  return std::fabs(v) < 1e-6f ? 0.0f : v;
}
float CosDeg(float deg) {
  float v = std::cos(deg * kDegToRad);
  return std::fabs(v) < 1e-6f ? 0.0f : v;
}

// Float to int toward zero; NaN and values beyond the int range give 0.
int TruncToInt(float v) {
  if (!(v > -2147483648.0f && v < 2147483648.0f)) return 0;
  return static_cast<int>(v);
}

// Per-letter spacing correction in virtual pixels.
int LetterCorrection(int u) {
  switch (u) {
    case 'w':
    case 'm':
      return 2;
    case 'W':
    case 'M':
      return 1;
    case 'i':
    case 'f':
    case 'l':
      return -3;
    case 'j':
    case 's':
    case 'k':
    case 'r':
    case 'z':
    case 't':
    case 'n':
      return -1;
    default:
      return 0;
  }
}

// Frame of the icon introduced by character 172 followed by d.
int IconFrame(int d) {
  switch (d) {
    case 'J': return 96;
    case 'K': return 97;
    case 'L': return 98;
    case 'I': return 99;
    case 'U': return 100;
    case 'O': return 101;
    case 'Q': return 102;
    case 'E': return 103;
    case 'F': return 104;
    case 'W': return 105;
    case 'S': return 106;
    case 'A': return 107;
    case 'D': return 108;
    default: return d;
  }
}

const int kIconLead = 172;

}  // namespace

// ---------------------------------------------------------------- state

int c_MyApp::p_ResetDraw() {
  m_drawScaleX = 1;
  m_drawScaleY = 1;
  m_drawRot = 0;
  m_drawR = 255;
  m_drawG = 255;
  m_drawB = 255;
  m_drawAlpha = 1;
  m_drawBlend = 1;
  return 0;
}

int c_MyApp::p_CLS2D(float r, float g, float b, float a) {
  if (r > ZELK_NONEF) {
    m_clsR = r;
    m_clsG = g;
    m_clsB = b;
    m_clsA = a;
  }
  p_ResetDraw();
  m_drawCount = 0;
  return 0;
}

int c_MyApp::p_SetSize(float sx, float sy) {
  m_drawScaleX = sx;
  m_drawScaleY = sy > ZELK_NONEF ? sy : sx;
  return 0;
}

int c_MyApp::p_SetCol(float r, float g, float b, float a) {
  m_drawR = r;
  m_drawG = g;
  m_drawB = b;
  if (a > ZELK_NONEF) m_drawAlpha = a;
  return 0;
}

int c_MyApp::p_Alpha(float a) {
  m_drawAlpha = a;
  return 0;
}

int c_MyApp::p_SetRot(float deg) {
  m_drawRot = -deg;
  return 0;
}

// ---------------------------------------------------------------- commands

int c_MyApp::p_AppendCmd(float kind, float x, float y, float f4, float f5, float frame) {
  // Room for exactly 2500 commands; later ones are dropped.
  if (m_drawCount < 0 || m_drawCount > ZELK_DRAW_FLOATS - ZELK_CMD_SIZE) return 0;
  float* c = &m_drawList[m_drawCount];
  c[0] = kind;
  c[1] = x;
  c[2] = y;
  c[3] = m_drawRot;
  c[4] = f4;
  c[5] = f5;
  c[6] = frame;
  c[7] = m_drawAlpha;
  c[10] = m_drawR;
  c[11] = m_drawG;
  c[12] = m_drawB;
  c[13] = static_cast<float>(m_drawBlend);
  m_drawCount += ZELK_CMD_SIZE;
  return 1;
}

int c_MyApp::p_DrawImg(int slot, float x, float y, float frame) {
  p_AppendCmd(static_cast<float>(slot), x, y, m_drawScaleX, m_drawScaleY, frame);
  return 0;
}

int c_MyApp::p_Rect(float x, float y, float w, float h) {
  p_AppendCmd(ZELK_KIND_RECT, x, y, w, h, 0);
  return 0;
}

int c_MyApp::p_Oval(float x, float y, float rx, float ry) {
  p_AppendCmd(ZELK_KIND_OVAL, x, y, rx, ry, 0);
  return 0;
}

// ---------------------------------------------------------------- text

int c_MyApp::p_Text(float x, float y, String text, float alignX, float alignY) {
  String ext = String(" ") + text;
  int len = ext.Length();
  float fw = 0, fh = 0;
  if (m_fontSlot >= 0 && m_fontSlot * 3 + 1 < m_imgInfo.Length()) {
    fw = static_cast<float>(m_imgInfo[m_fontSlot * 3]);
    fh = static_cast<float>(m_imgInfo[m_fontSlot * 3 + 1]);
  }
  float sX = m_drawScaleX, sY = m_drawScaleY, R = m_drawRot;

  // Width over the leading space and all characters but the last.
  float W = 0;
  for (int i = 0; i < len - 1; ++i) {
    int u = ext[i];
    int corr;
    if (u == kIconLead) {
      ++i;
      corr = 2;
    } else {
      corr = LetterCorrection(u);
    }
    W = static_cast<float>(TruncToInt(W + (static_cast<float>(corr) + fw) * sX));
  }

  // Start point from the alignment, along the rotated axes.
  float a = -R;
  float h = fh * sY;
  float ax = alignX * 0.5f;
  float ay = (alignY - 1.0f) * 0.5f;
  float X0 = x + SinDeg(a - 90.0f) * W * ax + SinDeg(a) * h * ay;
  float Y0 = y - CosDeg(a - 90.0f) * W * ax - CosDeg(a) * h * ay;
  float penX = static_cast<float>(TruncToInt(X0));
  float penY = static_cast<float>(TruncToInt(Y0));

  int line = 0;
  for (int i = 0; i < len; ++i) {
    int u = ext[i];
    int k = u - 32;
    int corr;
    if (u == kIconLead) {
      if (i + 1 >= len) break;  // a lone icon lead at the end draws nothing
      int d = ext[++i];
      k = IconFrame(d);
      corr = (d == 'U' || d == 'O') ? 6 : 4;
      if (m_ctrlStyle == 0) k += 16;
    } else {
      corr = LetterCorrection(u);
    }
    if (u == '\\' && i + 1 < len && ext[i + 1] == 'n') {
      ++i;
      ++line;
      float d = static_cast<float>(line) * fh * sY;
      penX = static_cast<float>(TruncToInt(X0 + SinDeg(180.0f - R) * d));
      penY = static_cast<float>(TruncToInt(Y0 - CosDeg(180.0f - R) * d));
      continue;
    }
    if (k >= 1 && k <= 127) p_DrawImg(m_fontSlot, penX, penY, static_cast<float>(k));
    if (u == 0) continue;
    float step = (static_cast<float>(corr) + fw) * sX;
    penX = static_cast<float>(TruncToInt(penX + SinDeg(90.0f - R) * step));
    penY = static_cast<float>(TruncToInt(penY - CosDeg(90.0f - R) * step));
  }
  return 0;
}

String c_MyApp::p_rstr(int n, int width, String pad) {
  if (width <= 0) return String();
  String s;
  for (int i = 0; i < width + 1; ++i) s = s + pad;
  s = s + String(n);
  int from = s.Length() - width;
  if (from < 0) from = 0;
  return s.Slice(from);
}

// ---------------------------------------------------------------- render

int c_MyApp::p_FitScreen(float dw, float dh) {
  // A window without area (minimised) keeps the previous fit.
  if (!(dw > 0 && dh > 0)) return 0;
  float o = hx_Zelk_overscan;
  float sx = (dw - 2 * o) / hx_Zelk_rawscrw;
  float sy = (dh - 2 * o) / hx_Zelk_rawscrh;
  if (sx >= sy) {
    m_fitAxis = 1;
    m_scaleX = m_scaleY = sx;
    hx_Zelk_jscrw = dw / (dw / hx_Zelk_rawscrw);
    hx_Zelk_jscrh = dh / (dw / hx_Zelk_rawscrw);
  } else {
    m_fitAxis = 2;
    m_scaleX = m_scaleY = sy;
    hx_Zelk_jscrw = dw / (dh / hx_Zelk_rawscrh);
    hx_Zelk_jscrh = dh / (dh / hx_Zelk_rawscrh);
  }
  m_landscape = hx_Zelk_jscrh <= hx_Zelk_jscrw ? 1 : 0;
  return 0;
}

int c_MyApp::p_OnRender() {
  // 1. Render-rate meter.
  int t = hx_app_Millisecs();
  if (t > m_renderLastMs) m_renderFps = 1000 / (t - m_renderLastMs);
  m_renderFpsAvg = (m_renderFpsAvg * 9 + m_renderFps) / 10;
  m_renderLastMs = hx_app_Millisecs();

  int devW = hx_app_DeviceWidth();
  int devH = hx_app_DeviceHeight();
  float dw = static_cast<float>(devW);
  float dh = static_cast<float>(devH);

  // 2. Clear by covering the whole window.
  hx_graphics_SetColor(m_clsR, m_clsG, m_clsB);
  hx_graphics_SetAlpha(m_clsA);
  hx_graphics_DrawRect(-1, -1, dw + 2, dh + 2);
  hx_graphics_SetColor(255, 255, 255);
  hx_graphics_SetAlpha(1);

  // 3. A new window size reloads the art at the matching resolution.
  if (devW != m_lastDevW || devH != m_lastDevH) {
    m_loadStep = 1;
    m_lastDevW = devW;
    m_lastDevH = devH;
  }

  // 4. Fit.
  p_FitScreen(dw, dh);
  float o = hx_Zelk_overscan;
  float oy = dw > 0 ? o * dh / dw : 0.0f;

  // 5. Replay.
  if (m_drawCount > 14) {
    int end = m_drawCount;
    if (end > m_drawList.Length()) end = m_drawList.Length();
    for (int i = 0; i + ZELK_CMD_SIZE <= end; i += ZELK_CMD_SIZE) {
      const float* c = &m_drawList[i];
      hx_graphics_SetAlpha(c[7]);
      hx_graphics_SetColor(c[10], c[11], c[12]);
      hx_graphics_SetBlend(0);
      float X = c[1] * m_scaleX + o;
      float Y = c[2] * m_scaleY + oy;
      float kind = c[0];
      if (kind == ZELK_KIND_RECT) {
        hx_graphics_DrawRect(X, Y, c[4] * m_scaleX, c[5] * m_scaleY);
      } else if (kind == ZELK_KIND_OVAL) {
        // Centre (X, Y), radii rx, ry.
        hx_graphics_DrawEllipse(X, Y, c[4] * m_scaleX, c[5] * m_scaleY);
      } else if (kind > -1) {
        int slot = TruncToInt(kind);
        if (slot < 0 || slot >= m_images.Length()) continue;
        c_Image* img = m_images[slot];
        if (!img) continue;
        int frame = TruncToInt(c[6]);
        if (frame < 0 || frame >= img->m_frames.Length()) continue;
        hx_graphics_DrawImage2(img, X, Y, c[3], c[4] * m_scaleX * m_imgScale, c[5] * m_scaleY * m_imgScale, frame);
      }
    }
  }

  // 6. Leave the framework's state as it expects it.
  hx_graphics_SetAlpha(0.5f);
  hx_graphics_SetColor(255, 255, 255);
  return 0;
}
