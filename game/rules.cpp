// The game itself: one update of play, the in-game overlay step, the arrival
// of baddies and the ranking of a score.
#include <cmath>
#include <cstdlib>
#include "game/myapp.h"
#include "framework/hx_random.h"

namespace {

// Entity record layout: 20 floats per entity, entities 1..20.
enum {
  E_TYPE = 0,
  E_X = 1,
  E_Y = 2,
  E_VX = 3,
  E_VY = 4,
  E_FACE = 5,
  E_ANIM = 6,
  E_LATCH = 7,
  E_LIVES = 8,
  E_SCORE = 9,
  E_TUMBLE = 10,
  E_STEP = 11,
  E_STEER = 13,
  E_SAFE = 15,
  E_COOL = 16,
  E_HEARTS = 17,
  E_PREFY = 19,
};
const int kEntFields = 20;
const int kMaxEnt = 20;
const int kBlockFields = 10;
const int kMaxBlock = 100;
const int kMaxLevel = 15;

// Image slots and sounds used by play.
enum { IMG_PLAYER = 1, IMG_BADDIE = 2, IMG_HEART = 4, IMG_BRICK = 5, IMG_PAD = 94, IMG_ICONS = 97 };
enum {
  SFX_PLAYER_DIES = 1,
  SFX_BADDIE_DIES = 2,
  SFX_FLAP = 3,
  SFX_CONTACT = 4,
  SFX_BADDIE_HIT = 5,
  SFX_PLAYER_HIT = 6,
  SFX_STEP = 7,
  SFX_PAUSE = 98,
};

inline float Rnd(float lo, float hi) { return hx_random_Rnd2(lo, hi); }
inline bool isBaddie(float type) { return type > 4; }

}  // namespace

// First element of the score table of game variant v, or -1 when the
// variant has no table inside the 50 score slots.
static int scoreTableBase(int variant) {
  if (variant < 1 || variant > 5) return -1;
  return 10 * (variant - 1);
}

int c_MyApp::p_Game() {
  float* E = m_ents.Data();
  const float W = hx_Zelk_jscrw;
  const float H = hx_Zelk_jscrh;

  // 1. Shake easing and a fresh frame.
  m_shakeX -= (m_shakeX - m_shakeXTarget) * 0.125f;
  m_shakeY -= (m_shakeY - m_shakeYTarget) * 0.125f;
  p_CLS2D(0, 0, 10, 1);

  // 2. Background and steering.
  p_DoStars(-0.15f, 0);
  p_AnalogueControl();

  // 3. Floor strip.
  p_SetCol(255, 0, 0, 1);
  p_Rect(0, H - 4, W, 8);

  // 4. Bricks.
  const float* B = m_blocks.Data();
  for (int k = 0; k <= kMaxBlock; ++k) {
    const float* b = B + k * kBlockFields;
    if (b[0] == 1.0f) p_DrawImg(IMG_BRICK, b[1], b[2], b[9]);
  }
  p_ResetDraw();

  // 5. Entities.
  int n = 0;
  float d = 0;
  for (m_e = 1; m_e <= kMaxEnt; ++m_e) {
    m_eBase = kEntFields * m_e;
    float* e = E + m_eBase;
    if (isBaddie(e[E_TYPE])) ++n;
    // 5.1
    if (!(e[E_TYPE] > 0)) continue;
    m_airborne = 1;
    const bool player = !isBaddie(e[E_TYPE]);

    // 5.2 Gravity and the soft ceiling.
    if (m_paused == 0) {
      e[E_Y] += e[E_VY];
      if (e[E_VY] < 12 && e[E_LIVES] > 0) e[E_VY] += 0.1f;
      if (e[E_VY] < 6 && e[E_LIVES] < 1) e[E_VY] += 0.05f;
      if (player) {
        if (e[E_Y] < 14) e[E_VY] += 0.3f;
        if (e[E_Y] < 7) e[E_VY] += 0.3f;
      }
    }

    // 5.3 Bricks: landing from above, head bumps from below.
    if (e[E_LIVES] > 0) {
      for (int k = 0; k <= kMaxBlock; ++k) {
        const float* b = B + k * kBlockFields;
        if (b[0] != 1.0f) continue;
        float bx = b[1], by = b[2];
        if (e[E_VY] > 0) {
          if (std::fabs(bx - e[E_X]) < 60 && std::fabs((by - 18) - e[E_Y]) < 8) {
            e[E_VY] = 0;
            e[E_Y] = by - 25;
            m_airborne = 0;
          }
        } else if (e[E_VY] < 0) {
          if ((std::fabs(bx - e[E_X]) < 56 && std::fabs(by - e[E_Y]) < 8) ||
              (std::fabs(bx - e[E_X]) < 52 && std::fabs((by + 10) - e[E_Y]) < 8)) {
            e[E_VY] = 2;
          }
        }
      }
    }

    // 5.4 Floor.
    if (e[E_Y] > H - 19 && e[E_VY] > 0 && e[E_LIVES] > 0) {
      e[E_Y] = H - 18;
      e[E_VY] = 0;
      m_airborne = 0;
    }

    // 5.5 Jump wish.
    if (player) {
      m_key = (p_PlayKey(10, m_ctrlP1, 0) != 0 || p_PlayKey(0, m_ctrlP1, 0) != 0) ? 1 : 0;
    } else {
      float r = Rnd(0, 60);
      m_key = (r < 5 && e[E_Y] > static_cast<float>(static_cast<int>(e[E_PREFY])) - 16) ? 1 : 0;
    }
    if (e[E_LIVES] < 1) m_key = 0;

    // 5.6 On-screen jump button (touch style).
    if (m_e == 1 && m_players == 1 && m_ctrlStyle == 2) {
      p_SetSize(3, 3);
      p_SetCol(255, 255, 255, 0.5f);
      int pressed = p_Button(IMG_PAD, W - 48, H - 48, 0);
      if (m_key != 1) m_key = pressed;
      p_ResetDraw();
    }

    // 5.7 Flap: once per press, in the air too.
    if (m_paused != 0) {
      e[E_LATCH] = 0;
    } else {
      if (m_key == 0) e[E_LATCH] = 0;
      if (m_key == 1 && e[E_LATCH] == 0) {
        e[E_LATCH] = 1;
        e[E_VY] = -2;
        if (player) p_PlaySFX(SFX_FLAP);
      }
    }

    // 5.8 Horizontal step.
    if (e[E_TYPE] == 1) {
      float s = m_stickX;
      if (std::fabs(s) > 0.2f) e[E_VX] += s * 0.3f;
      if (std::fabs(s) >= 0.2f) {
        if (e[E_VX] < -3.2f) e[E_VX] = -3.2f;
        if (e[E_VX] > 3.2f) e[E_VX] = 3.2f;
      }
      if (std::fabs(s) < 0.2f) {
        if (m_airborne == 0) {
          e[E_VX] = 0;
        } else if (e[E_VX] > 0) {
          e[E_VX] -= 0.05f;
          if (e[E_VX] < 0) e[E_VX] = 0;
        } else if (e[E_VX] < 0) {
          e[E_VX] += 0.05f;
          if (e[E_VX] > 0) e[E_VX] = 0;
        }
      }
      d = m_airborne == 0 ? 2 * s : e[E_VX];
    } else if (!player && m_paused == 0) {
      d = e[E_STEP];
      e[E_STEER] -= 1;
      m_aiDir = m_WhichWayDoIGo(e[E_X], E[kEntFields + E_X], 0, static_cast<int>(W - 1));
      if (Rnd(0, 120) < 1 && e[E_STEER] < 0) {
        e[E_STEP] = Rnd(0, 2);
        if (m_aiDir < 0) e[E_STEP] = -e[E_STEP];
        e[E_STEER] = Rnd(0, 120) + 120;
      }
      int follow = (m_players < 2 || Rnd(0, 2) >= 1) ? 1 : 2;
      const float* t = E + kEntFields * follow;
      if (t[E_LIVES] > 0 && Rnd(0, 240) < 1) e[E_PREFY] = t[E_Y];
    }

    // 5.9 Bounce cooldown.
    if (e[E_COOL] > -1) e[E_COOL] -= 1;

    // 5.10 Contacts: player with baddie, player with player.
    for (m_e2 = 1; m_e2 <= kMaxEnt; ++m_e2) {
      if (m_e2 == m_e) continue;
      float* f = E + kEntFields * m_e2;
      if (!(f[E_TYPE] > 0)) continue;
      if (isBaddie(e[E_TYPE]) && isBaddie(f[E_TYPE])) continue;
      if (e[E_LIVES] <= 0 || f[E_LIVES] <= 0) continue;
      if (e[E_COOL] >= 1 || f[E_COOL] >= 1 || e[E_SAFE] >= 1 || f[E_SAFE] >= 1) continue;
      float dx = e[E_X] - f[E_X];
      float dy = e[E_Y] - f[E_Y];
      if (!(std::fabs(dx) < 18 && std::fabs(dy) < 14)) continue;

      if (dx < 1) {
        e[E_VX] = -dx * 0.25f;
        f[E_VX] = dx * 0.25f;
        d = -dx * 0.25f;
      }
      if (dx > 0) {
        e[E_VX] = dx * 0.25f;
        f[E_VX] = -dx * 0.25f;
        d = dx * 0.25f;
      }
      e[E_COOL] = 30;
      f[E_COOL] = 30;
      p_PlaySFX(SFX_CONTACT);

      float* lower = nullptr;
      float* upper = nullptr;
      if (dy > 5) {
        lower = e;
        upper = f;
      } else if (dy < -5) {
        lower = f;
        upper = e;
      }
      if (lower) {
        const bool lowerPlayer = !isBaddie(lower[E_TYPE]);
        lower[E_SAFE] = 240;
        lower[E_LIVES] -= 1;
        lower[E_VY] = 2;
        if (lowerPlayer) {
          for (m_j = 0; m_j < 17; ++m_j) {
            int kind = static_cast<int>(Rnd(0, 1.99f) + 1);
            float angle = Rnd(0, 260) - 130;
            float speed = Rnd(0, 8) + 4;
            p_ThrowParticle(lower[E_X], lower[E_Y], kind, 3, angle, speed);
          }
          p_PlaySFX(SFX_PLAYER_HIT);
        } else {
          for (m_j = 0; m_j < 4; ++m_j) {
            float angle = Rnd(0, 150) - 75;
            float speed = Rnd(0, 4) + 4;
            p_ThrowParticle(lower[E_X], lower[E_Y], 1, 1, angle, speed);
          }
          p_PlaySFX(SFX_BADDIE_HIT);
        }
        if (lower[E_LIVES] < 1) {
          lower[E_VY] = -1;
          lower[E_SAFE] = 0;
          upper[E_SCORE] += 20;
          p_PlaySFX(lowerPlayer ? SFX_PLAYER_DIES : SFX_BADDIE_DIES);
        }
        upper[E_VY] = -2;
        upper[E_SCORE] += 5;
      }
    }

    // 5.11 Dead or tiny steps do not move.
    if (e[E_LIVES] < 1) {
      d = 0;
    } else if (std::fabs(d) < 0.3f) {
      d = 0;
    }
    if (d == 0 && m_airborne == 0) e[E_ANIM] = 0;

    // 5.12 Facing.
    if (e[E_FACE] == 0) e[E_FACE] = 1;
    if (d > 0.15f) e[E_FACE] = 1;
    if (d < -0.15f) e[E_FACE] = -1;

    // 5.13 Animation.
    if (m_airborne != 0) {
      e[E_ANIM] += 1;
    } else {
      e[E_ANIM] += std::fabs(d);
    }
    if (e[E_ANIM] > 47) {
      e[E_ANIM] -= 35;
      if (m_airborne == 0 && player) p_PlaySFX(SFX_STEP);
    }
    if (m_airborne != 0 && e[E_ANIM] > 35) e[E_ANIM] -= 35;

    // 5.14 Move and wrap around.
    if (m_paused == 0) e[E_X] += d;
    if (e[E_X] < -8) e[E_X] += W + 16;
    if (e[E_X] > W + 8) e[E_X] -= W + 16;

    // 5.15 Drawing.
    p_SetSize(e[E_FACE], 1);
    m_animBase = static_cast<int>((e[E_TYPE] - 1) * 16);
    if (player) {
      m_sprite = IMG_PLAYER;
    } else {
      m_sprite = IMG_BADDIE;
      m_animBase -= 64;
    }
    if (m_paused == 0) {
      if (e[E_COOL] > 0) e[E_COOL] -= 1;
      if (e[E_SAFE] > 0) e[E_SAFE] -= 1;
    }
    if (std::fmod(e[E_SAFE], 30.0f) > 15) p_Alpha(0.5f);
    if (e[E_LIVES] > 0) {
      float frame = std::floor(e[E_ANIM] / 12) + static_cast<float>(m_animBase + 8 * m_airborne);
      p_DrawImg(m_sprite, e[E_X], e[E_Y], frame);
      if (e[E_SAFE] > 0) {
        p_SetSize(1.5f, 1.5f);
        p_Alpha(0.5f);
        p_DrawImg(m_sprite, e[E_X], e[E_Y], static_cast<float>(m_animBase + 15));
        p_SetSize(2, 2);
        p_Alpha(0.25f);
        p_DrawImg(m_sprite, e[E_X], e[E_Y], static_cast<float>(m_animBase + 15));
      }
    } else {
      e[E_TUMBLE] += 3;
      p_SetRot(e[E_TUMBLE]);
      p_DrawImg(m_sprite, e[E_X], e[E_Y], static_cast<float>(m_animBase + 4));
      p_SetRot(0);
    }

    // 5.16 Hearts.
    p_SetSize(0.4f, 0.4f);
    p_Alpha(0.75f);
    m_lifeIcons = static_cast<int>(e[E_LIVES]);
    if (e[E_SAFE] > 0 && std::fmod(e[E_SAFE], 20.0f) > 10) m_lifeIcons += 1;
    if (e[E_HEARTS] > 0) {
      m_lifeIcons = static_cast<int>(e[E_LIVES]);
      e[E_HEARTS] -= 1;
    }
    const float x = e[E_X], y = e[E_Y];
    if (m_lifeIcons == 3) {
      p_DrawImg(IMG_HEART, x - 8, y - 16, 0);
      p_DrawImg(IMG_HEART, x + 8, y - 16, 0);
      p_DrawImg(IMG_HEART, x, y - 18, 0);
    } else if (m_lifeIcons == 2) {
      p_DrawImg(IMG_HEART, x - 6, y - 16, 0);
      p_DrawImg(IMG_HEART, x + 6, y - 16, 0);
    } else if (m_lifeIcons == 1) {
      p_DrawImg(IMG_HEART, x, y - 18, 0);
    }
    p_ResetDraw();

    // 5.17 Removal below the screen.
    if (e[E_LIVES] < 1 && e[E_Y] > H + 64) {
      if (isBaddie(e[E_TYPE])) m_killsToNext -= 1;
      e[E_TYPE] = 0;
    }
  }

  // 6. Level and arrivals.
  if (m_killsToNext < 1) {
    m_killsToNext = 3;
    m_level += 1;
  }
  if (n < m_level && m_players != 3) p_AddBaddie();
  if (m_level > kMaxLevel) m_level = kMaxLevel;

  // 7. End of game per variant.
  const float* p1 = E + kEntFields * 1;
  const float* p2 = E + kEntFields * 2;
  const bool gone1 = p1[E_LIVES] < 1 && p1[E_TYPE] == 0;
  const bool gone2 = p2[E_LIVES] < 1 && p2[E_TYPE] == 0;
  if ((m_players == 1 && gone1) || (m_players == 2 && gone1 && gone2) ||
      (m_players == 3 && (gone1 || gone2))) {
    m_gameOver = 1;
  }

  // 8. Particles.
  p_DoParticles();

  // 9. Eased score.
  int t = m_shownScore - (m_shownScore - m_score) / 6;
  m_shownScore = std::abs(t - m_score) > 5 ? t : m_score;
  m_score = static_cast<int>(p1[E_SCORE] + p2[E_SCORE]);
  if (m_players == 3) {
    m_score = 0;
    return 0;
  }

  // 10. HUD: the score and the next entry to beat.
  if (m_hideHud == 0) {
    p_SetCol(100, 255, 100, 0.8f);
    p_SetSize(2, 2);
    p_Text(W * 0.5f, 28, p_rstr(m_shownScore, 8, String("0")), 1, 1);
    int base = scoreTableBase(m_players);
    m_key = 10;
    m_targetScore = base >= 0 ? m_scores[base + 9] : 0;
    if (base >= 0) {
      for (m_rankIdx = 9; m_rankIdx >= 1; --m_rankIdx) {
        int entry = m_scores[base + m_rankIdx];
        if (entry < m_score || entry == 0) {
          m_key = m_rankIdx - 1;
          m_targetScore = m_scores[base + m_rankIdx - 1];
        }
      }
    }
    p_SetSize(1, 1);
    p_SetCol(255, 255, 100, 0.8f);
    p_Text(W * 0.5f, 10, p_Nth(m_key + 1) + String(" ") + p_rstr(m_targetScore, 8, String("0")), 1, 1);
  }
  return 0;
}

int c_MyApp::p_InGame() {
  p_ResetDraw();
  m_menuSlide = -32;

  // Pause key on any port.
  for (int p = 0; p <= 3; ++p) {
    if (p_PlayKey(99, 1, p) != 0 && m_paused == 0 && m_keyLatch == 0) {
      m_keyLatch = 1;
      m_paused = 1;
      m_pauseSel = 1;
      m_pauseTimer = 0;
      p_PlaySFX(SFX_PAUSE, 0.5f);
    }
  }

  // Pause button in the top-left corner.
  if (m_hideHud == 0) {
    if (p_Button(IMG_ICONS, 16, 16, 0) != 0 && m_paused == 0) {
      m_paused = 1;
      m_pauseSel = 1;
      m_touchLatch = 1;
      m_pauseTimer = 0;
      p_PlaySFX(SFX_PAUSE, 0.5f);
    }
  }

  if (m_paused == 1) p_PauseMenu();
  return 0;
}

int c_MyApp::p_AddBaddie() {
  float* E = m_ents.Data();
  int slot = -1;
  for (int k = kMaxEnt; k >= 3; --k) {
    if (E[kEntFields * k + E_TYPE] == 0) {
      slot = k;
      break;
    }
  }
  if (slot < 0) return 0;
  float* e = E + kEntFields * slot;
  e[E_TYPE] = std::floor(Rnd(0, 3.99f) + 5);
  e[E_X] = Rnd(0, 1) * (hx_Zelk_jscrw - 64) + 32;
  e[E_Y] = -(Rnd(0, 128) + 32);
  for (int f = 3; f < kEntFields; ++f) e[f] = 0;
  e[E_LIVES] = 1;
  if (m_level > 4 && Rnd(0, 3) < 1) e[E_LIVES] = 2;
  if (m_level > 8 && Rnd(0, 3) < 1) e[E_LIVES] = 3;
  e[E_SAFE] = 320;
  e[E_HEARTS] = 320;
  e[E_PREFY] = hx_Zelk_jscrh * 0.8f;
  return 0;
}

int c_MyApp::m_WhichWayDoIGo(float from, float to, int lo, int hi) {
  int r = hi - lo;
  int n = r + 1;
  if (n <= 0) return 0;
  const float fn = static_cast<float>(n);
  float a = std::fmod(from, fn);
  if (a < 0) a += fn;
  float b = std::fmod(to, fn);
  if (b < 0) b += fn;
  float w = std::fmod(b - a, fn);
  if (w < 0) w += fn;
  float v = static_cast<float>(lo) + w;
  if (v <= static_cast<float>(lo + r / 2)) return static_cast<int>(v);
  return static_cast<int>(v - static_cast<float>(r));
}

String c_MyApp::p_Nth(int n) {
  static const char* const kNames[] = {"1st", "2nd", "3rd", "4th", "5th",
                                       "6th", "7th", "8th", "9th", "10th"};
  if (n < 1 || n > 10) return String();
  return String(kNames[n - 1]);
}

String c_MyApp::p_MyNth() {
  int base = scoreTableBase(m_players);
  if (base < 0) return String();
  for (int r = 0; r < 10; ++r) {
    if (m_score >= m_scores[base + r]) return r == 0 ? String("1st!") : p_Nth(r + 1);
  }
  return String();
}
