// Saved settings, badges and score lists (one line of numbers with a
// checksum after each section), recording a finished game's score, setting
// up a new game, and the badge texts, banner and panel.
#include "game/myapp.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "framework/hx_app.h"
#include "framework/hx_random.h"

namespace {

const int kOptionCount = 25;
const int kBadgeWords = 8;
const int kScorePairs = 10;
const int kBannerSlots = 13;

// Record layouts of entities, platforms and particles.
const int kEntFields = 20;
const int kBlockFields = 10;
const int kParticleFields = 10;

// 32-bit sums that wrap on overflow, as the saved checksums are defined.
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

int32_t OptionsSum(const Array<int>& o) {
  int32_t sum = 0;
  for (int i = 0; i < kOptionCount; ++i) sum = WrapAdd(sum, WrapMul(i, o[i]));
  return sum;
}

int32_t ScoreSum(const Array<int>& s) {
  int32_t sum = 0;
  for (int j = 0; j < kScorePairs; ++j) {
    sum = WrapAdd(sum, WrapMul(j + 4, s[j]));
    sum = WrapAdd(sum, WrapMul(j + 3, s[10 + j]));
  }
  return sum;
}

// Badge word g: flags 32g .. 32g+31, flag 32g+b in bit b.
int32_t BadgeWord(const Array<bool>& flags, int g) {
  uint32_t w = 0;
  for (int b = 0; b < 32; ++b)
    if (flags[32 * g + b]) w |= 1u << b;
  return static_cast<int32_t>(w);
}

void Field(std::string& out, int32_t v) {
  out += std::to_string(v);
  out += '|';
}

}  // namespace

// ---------------------------------------------------------------- save/load

int c_MyApp::p_Save() {
  std::string text;
  text.reserve(400);
  for (int i = 0; i < kOptionCount; ++i) Field(text, m_options[i]);
  Field(text, OptionsSum(m_options));
  int32_t badgeSum = 0;
  for (int g = 0; g < kBadgeWords; ++g) {
    int32_t w = BadgeWord(m_flags, g);
    Field(text, w);
    badgeSum = WrapAdd(badgeSum, w);
  }
  Field(text, badgeSum);
  for (int j = 0; j < kScorePairs; ++j) {
    Field(text, m_scores[j]);
    Field(text, m_scores[10 + j]);
  }
  Field(text, ScoreSum(m_scores));
  String s(text.c_str());
  if (hx_Zelk_DebugMode == 1) hxPrint(s);
  hx_app_SaveState(s);
  return 0;
}

int c_MyApp::p_Load() {
  String text = hx_app_LoadState();
  Array<String> pieces = text.Split(String("|"));
  const int count = pieces.Length();
  int pos = 0;
  if (hx_Zelk_DebugMode == 1) hxPrint(text);

  // Options.
  if (count >= kOptionCount + 1) {
    int32_t sum = 0;
    for (int i = 0; i < kOptionCount; ++i) {
      m_options[i] = pieces[i].ToInt();
      sum = WrapAdd(sum, WrapMul(i, m_options[i]));
    }
    pos = kOptionCount;
    int stored = pieces[pos].ToInt();
    pos += 1;
    if (sum == stored) {
      hxPrint(String("Settings Loaded"));
    } else {
      hxPrint(String("Settings Checksum Invalid"));
      for (int i = 0; i < kOptionCount; ++i) m_options[i] = 0;
      m_options[5] = 1;
    }
  }

  // Option rules, whether or not anything was loaded.
  if (m_options[10] < 64) m_options[10] = 64;
  if (m_options[11] < 64) m_options[11] = 64;
  if (m_options[12] < 8) m_options[12] = 10;
  if (m_options[14] < 1) m_options[14] = 64;
  if (hx_Zelk_isOuya == 1) {
    if (m_options[14] > 96) m_options[14] = 96;  // the slider's own range
    hx_Zelk_overscan = static_cast<float>(m_options[14]);
  } else {
    m_options[14] = 1;
    hx_Zelk_overscan = 0;
  }

  // Badges, from the running position.
  if (pos + kBadgeWords < count) {
    int32_t sum = 0;
    for (int g = 0; g < kBadgeWords; ++g) {
      uint32_t w = static_cast<uint32_t>(pieces[pos + g].ToInt());
      for (int b = 0; b < 32; ++b) m_flags[32 * g + b] = ((w >> b) & 1u) != 0;
      sum = WrapAdd(sum, static_cast<int32_t>(w));
    }
    pos += kBadgeWords;
    int stored = pieces[pos].ToInt();
    pos += 1;
    if (sum == stored) {
      hxPrint(String("Badges Loaded"));
    } else {
      hxPrint(String("Badge Checksum Invalid"));
      for (int i = 0; i < m_flags.Length(); ++i) m_flags[i] = false;
    }
  }

  // Score lists, from the running position.
  if (pos + 2 * kScorePairs < count) {
    for (int j = 0; j < kScorePairs; ++j) {
      m_scores[j] = pieces[pos + 2 * j].ToInt();
      m_scores[10 + j] = pieces[pos + 2 * j + 1].ToInt();
    }
    int32_t sum = ScoreSum(m_scores);
    pos += 2 * kScorePairs;
    int stored = pieces[pos].ToInt();
    pos += 1;
    const int list = 0;
    if (sum == stored) {
      hxPrint(String("Highscore ") + String(list) + String(" Loaded"));
    } else {
      hxPrint(String("Highscore ") + String(list) + String(" Checksum Invalid"));
      for (int i = 0; i < 20; ++i) m_scores[i] = 0;
    }
  }
  return 0;
}

// ---------------------------------------------------------------- scores

int c_MyApp::p_ScoreRank() {
  if (m_players < 1 || m_players > 3) return -1;
  int base = 10 * (m_players - 1);
  for (int k = 0; k < 10; ++k)
    if (m_score > m_scores[base + k]) return k;
  return -1;
}

int c_MyApp::p_LoadMenu() {
  int rank = p_ScoreRank();
  m_overPlace = rank;
  // Only the variants whose two lists lie inside the score array.
  if (m_players >= 1 && m_players <= 3) {
    int base = 10 * (m_players - 1);
    int score = m_score;
    if (rank >= 0) {
      for (int k = 9; k >= rank + 1; --k) m_scores[base + k] = m_scores[base + k - 1];
      m_scores[base + rank] = score;
    }
    for (int k = 9; k >= 1; --k) m_scores[base + 10 + k] = m_scores[base + 10 + k - 1];
    m_scores[base + 10] = score;
  }
  p_Save();
  return 0;
}

// ---------------------------------------------------------------- new game

int c_MyApp::p_LoadGame() {
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;
  m_paused = 0;
  m_score = 0;
  m_gameOver = 0;
  m_gameOverTimer = 0;
  m_overPlace = -1;
  m_gameMode = 10;
  m_shakeX = m_shakeXTarget = 0;
  m_shakeY = m_shakeYTarget = 0;

  if (hx_Zelk_HasMusicStream == 1) p_PlayTune(String("floating"), 1);
  p_ResetStars(100);

  m_particleLimit = 250;
  for (int k = 0; k <= 250; ++k) m_particles[kParticleFields * k] = 0;
  for (int i = 0; i < 500; ++i) m_ents[i] = 0;

  float* p1 = &m_ents[kEntFields * 1];
  p1[0] = 1;
  p1[1] = 128;
  p1[2] = H * 0.5f;
  p1[5] = 1;
  p1[7] = 1;
  p1[8] = 3;
  p1[15] = 240;

  float* p2 = &m_ents[kEntFields * 2];
  p2[0] = m_players >= 2 ? 3 : 0;
  p2[1] = W - 128;
  p2[2] = H * 0.5f;
  p2[5] = -1;
  p2[8] = 3;
  p2[15] = 240;

  const float at[3][2] = {{0.5f, 0.3f}, {0.25f, 0.6f}, {0.75f, 0.6f}};
  for (int k = 0; k < 3; ++k) {
    float* b = &m_blocks[kBlockFields * k];
    b[0] = 1;
    b[1] = at[k][0] * W;
    b[2] = at[k][1] * H;
    b[9] = std::floor(15.99f * hx_random_Rnd());
  }

  m_level = 1;
  m_killsToNext = 3;
  return 0;
}

// ---------------------------------------------------------------- badges

String c_MyApp::p_BadgeID(int id) {
  if (id == 0) return String("Test Badge|This is a Test Badge which has no purpose.");
  return String();
}

String c_MyApp::p_BadgeName(int id) {
  String rec = p_BadgeID(id);
  int bar = rec.Find(String("|"));
  if (bar < 0) return rec;
  return rec.Slice(0, bar);
}

String c_MyApp::p_BadgeDetail(int id) {
  String rec = p_BadgeID(id);
  int bar = rec.Find(String("|"));
  if (bar < 0) return String();
  return rec.Slice(bar + 1);
}

int c_MyApp::p_ShowBadges() {
  for (int k = 0; k < kBannerSlots; ++k) {
    if (m_badgeB[k] <= 0) continue;
    m_badgeB[k] += 1;
    int counter = m_badgeB[k];
    float x = static_cast<float>(counter * 16 - 160);
    if (counter > 230) x = static_cast<float>((240 - counter) * 16 - 160);
    if (x > 0) x = 0;
    if (counter > 240) m_badgeB[k] = 0;
    float y = hx_Zelk_jscrh - static_cast<float>((k + 1) * 34);
    int badge = m_badgeA[k];
    p_SetCol(0, 0, 80, 0.8f);
    p_Rect(x, y, 160, 32);
    p_SetCol(255, 255, 255, 1);
    p_Text(x + 16, y + 4, p_BadgeName(badge), 0, 0);
    if (badge >= 0 && badge < 64) {
      float sx = m_drawScaleX, sy = m_drawScaleY;
      p_SetSize(0.5f, 0.5f);
      p_DrawImg(80, x + 144, y + 16, static_cast<float>(badge));
      p_SetSize(sx, sy);
    }
  }
  return 0;
}

int c_MyApp::p_BadgesBox() {
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;
  p_SetCol(255, 125, 0, 0.8f);
  p_Rect(0.1f * W, -1, 0.8f * W, H + 2);
  p_SetCol(100, 0, 0, 0.8f);
  p_Rect(0.12f * W, -1, 0.76f * W, H + 2);
  p_SetCol(255, 255, 255, 1);
  return 0;
}
