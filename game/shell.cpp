// The game's application object: globals, construction, the per-update
// shell (global keys, meters, pointer sampling, back-key latch, mode
// machine, loader, iCade) and suspend/resume.
#include "game/myapp.h"

#include <cmath>

#include "framework/hx_asyncevent.h"
#include "framework/hx_input.h"
#include "framework/hx_random.h"

float hx_Zelk_rawscrw = 640;
float hx_Zelk_rawscrh = 480;
float hx_Zelk_jscrw = 640;
float hx_Zelk_jscrh = 480;
float hx_Zelk_overscan = 0;
int hx_Zelk_isOuya = 0;
int hx_Zelk_DebugMode = 0;
int hx_Zelk_iCadeControls = 0;
int hx_Zelk_HasMusicStream = 1;
int hx_Zelk_OnScreenControls = 0;
int hx_Zelk_AccelerometerControls = 0;
Array<String> hx_Zelk_CreditText;

namespace {

// Exactly 50 lines; the headings, separators and empty lines are fixed.
const char* const kCreditLines[50] = {
    "",
    "A Game by",
    "Zelk Team",
    "zelk.example.org",
    "",
    "-=-=-",
    "",
    "Developed using",
    "C++ and the Zelk framework",
    "zelk.example.org/framework",
    "",
    "-=-=-",
    "",
    "Graphics",
    "",
    "Most graphics by",
    "Zelk Team",
    "",
    "Edit Undo font (Zelk cut)",
    "drawn by the Zelk Team",
    "Lowercase added by",
    "Zelk Team",
    "",
    "",
    "-=-=-",
    "",
    "Audio",
    "",
    "Sound and Music by",
    "Zelk Team",
    "Made with",
    "our own asset generator,",
    "a few oscillators,",
    "a text editor",
    "or whatever else",
    "is handy!",
    "",
    "-=-=-",
    "",
    "Thanks to",
    "the GLFW people",
    "the OpenAL Soft people",
    "the Xiph.Org people",
    "Sean Barrett",
    "the Debian people",
    "and everyone else",
    "at the Zelk forums",
    "",
    "-=-=-",
    "End",
};

// Float to int toward zero; NaN and values beyond the int range give 0
// instead of undefined behaviour.
int TruncToInt(float v) {
  if (!(v > -2147483648.0f && v < 2147483648.0f)) return 0;
  return static_cast<int>(v);
}

// The virtual keys whose press holds the key latch, in test order.
const int kLatchKeys[] = {0, 3, 5, 8, 10, 11, 12, 13, 14, 15, 16, 17, 99};

}  // namespace

void hx_Zelk_MarkRoots() { gc_mark_q(hx_Zelk_CreditText); }

void hxInit() {
  hx_framework_Init();
  c_Image::m_DefaultFlags = 0;
  hx_random_Seed = 1234;

  hx_Zelk_rawscrw = 640;
  hx_Zelk_rawscrh = 480;
  hx_Zelk_jscrw = 640;
  hx_Zelk_jscrh = 480;
  hx_Zelk_overscan = 0;
  hx_Zelk_isOuya = 0;
  hx_Zelk_DebugMode = 0;
  hx_Zelk_iCadeControls = 0;
  hx_Zelk_HasMusicStream = 1;
  hx_Zelk_OnScreenControls = 0;
  hx_Zelk_AccelerometerControls = 0;
  Array<String> credits(50);
  for (int i = 0; i < 50; ++i) credits[i] = String(kCreditLines[i]);
  gc_assign(hx_Zelk_CreditText, credits);
  hx_framework_GameRoots = hx_Zelk_MarkRoots;
}

int hxMain() {
  (new c_MyApp())->m_new();
  return 0;
}

// ---------------------------------------------------------------- object

c_MyApp::c_MyApp()
    : m_drawList(ZELK_DRAW_FLOATS),
      m_iCadeKeys(20),
      m_touchDown(10),
      m_touchX(10),
      m_touchY(10),
      m_ents(512),
      m_blocks(1024),
      m_stars(5100),
      m_particles(5100),
      m_badgeA(15),
      m_badgeB(15),
      m_flags(256),
      m_options(25),
      m_scores(50),
      m_images(100),
      m_imgInfo(300),
      m_sounds(100),
      m_sfxMap(33) {
  m_options[5] = 1;
}

c_MyApp::~c_MyApp() {}

c_MyApp* c_MyApp::m_new() {
  c_App::m_new();
  return this;
}

void c_MyApp::mark() {
  c_App::mark();
  gc_mark_q(m_drawList);
  gc_mark_q(m_iCadeKeys);
  gc_mark_q(m_touchDown);
  gc_mark_q(m_touchX);
  gc_mark_q(m_touchY);
  gc_mark_q(m_ents);
  gc_mark_q(m_blocks);
  gc_mark_q(m_stars);
  gc_mark_q(m_particles);
  gc_mark_q(m_badgeA);
  gc_mark_q(m_badgeB);
  gc_mark_q(m_flags);
  gc_mark_q(m_options);
  gc_mark_q(m_scores);
  gc_mark_q(m_images);
  gc_mark_q(m_imgInfo);
  gc_mark_q(m_sounds);
  gc_mark_q(m_sfxMap);
}

// ---------------------------------------------------------------- lifecycle

int c_MyApp::p_OnCreate() {
  m_fullscreen = 0;
  m_jinglePlayed = 0;
  p_ResetStars(100);
  m_gameMode = 1;
  hx_app_SetUpdateRate(60);
  m_lastDevW = hx_app_DeviceWidth();
  m_lastDevH = hx_app_DeviceHeight();
  p_Reload();
  m_players = 2;
  m_menuSlide = -32;
  m_paused = 0;
  m_pauseSel = -1;
  m_pauseY = -64;
  for (int i = 0; i < m_badgeA.Length(); ++i) m_badgeA[i] = 0;
  for (int i = 0; i < m_badgeB.Length(); ++i) m_badgeB[i] = 0;
  for (int i = 0; i < m_flags.Length(); ++i) m_flags[i] = false;
  for (int i = 0; i < m_iCadeKeys.Length(); ++i) m_iCadeKeys[i] = 0;
  for (int i = 0; i < m_options.Length(); ++i) m_options[i] = 0;
  for (int i = 0; i < m_scores.Length(); ++i) m_scores[i] = 0;
  m_options[5] = 1;
  p_Load();
  for (int i = 0; i <= 32; ++i) m_sfxMap[i] = i;
  return 0;
}

int c_MyApp::p_OnUpdate() {
  // 1. The back key's state slot.
  m_iCadeKeys[19] = hx_input_KeyHit(416);

  // 2. Global keys.
  if (hx_input_KeyHit(112)) hx_Zelk_DebugMode = 1 - (hx_Zelk_DebugMode != 0 ? 1 : 0);
  if (hx_input_KeyHit(113)) m_hideHud = 1 - (m_hideHud != 0 ? 1 : 0);
  if (hx_input_KeyHit(122)) p_FullscreenFlip();
  if (hx_input_KeyHit(115)) hxError(String());
  if (hx_input_KeyHit(432)) hxError(String());

  // 3. Asynchronous event sources.
  hx_asyncevent_UpdateAsyncEvents();

  // 4. Music follows the pause state.
  if (hx_Zelk_HasMusicStream == 1 && m_musicOn == 1) {
    if (m_paused == 0) hx_audio_ResumeMusic();
    if (m_paused == 1) hx_audio_PauseMusic();
  }

  // 5. Update-rate meter.
  int t = hx_app_Millisecs();
  if (t > m_updLastMs) m_updFps = 1000 / (t - m_updLastMs);
  m_updFpsAvg = (m_updFpsAvg * 9 + m_updFps) / 10;
  m_updLastMs = hx_app_Millisecs();

  // 6. Pointer and touches in virtual coordinates.
  p_SamplePointer();

  // 7. Key latch and the back key.
  p_BackKeyLatch();

  // 8. Mode work, only once loading has finished.
  if (m_loadStep == 0) p_DispatchMode();

  // 9. Loader.
  if (m_loadStep > 0) p_Loader();

  // 10. iCade letters, or one-update presses released.
  if (hx_Zelk_iCadeControls == 1) {
    p_iCadeDecode();
  } else {
    for (int i = 0; i <= 18; ++i)
      if (m_iCadeKeys[i] == 1) m_iCadeKeys[i] = 0;
  }

  // 11. Debug line.
  if (hx_Zelk_DebugMode == 1) {
    p_ResetDraw();
    p_Text(16, hx_Zelk_jscrh - 16, String(m_renderFpsAvg) + ":" + String(m_scaleX) + "," + String(m_scaleY), 0, 0);
  }

  // 12. Badge banner.
  p_ShowBadges();
  return 0;
}

int c_MyApp::p_SamplePointer() {
  float ox = hx_Zelk_overscan;
  int dw = hx_app_DeviceWidth();
  int dh = hx_app_DeviceHeight();
  float oy = dw > 0 ? ox * static_cast<float>(dh) / static_cast<float>(dw) : 0.0f;
  // Before the first render has fitted the screen, device pixels are used.
  float sx = m_scaleX > 0 ? m_scaleX : 1.0f;
  float sy = m_scaleY > 0 ? m_scaleY : 1.0f;

  m_mouseOldX = m_mouseX;
  m_mouseOldY = m_mouseY;
  m_mouseX = TruncToInt((hx_input_MouseX() - ox) / sx);
  m_mouseY = TruncToInt((hx_input_MouseY() - oy) / sy);
  bool left = hx_input_KeyDown(1);
  if (m_mouseWasDown == 0 && left) {
    m_mouseOldX = m_mouseX;
    m_mouseOldY = m_mouseY;
  }
  m_mouseDown = left ? 1 : 0;
  m_mouseHit = hx_input_KeyHit(1);
  for (int i = 0; i <= 9; ++i) {
    m_touchDown[i] = 0;
    m_touchX[i] = ZELK_NONE;
    m_touchY[i] = ZELK_NONE;
    if (hx_input_KeyDown(384 + i)) {
      m_touchDown[i] = 1;
      m_touchX[i] = TruncToInt((hx_input_TouchX(i) - ox) / sx);
      m_touchY[i] = TruncToInt((hx_input_TouchY(i) - oy) / sy);
      m_mouseDown = 1;
    }
  }
  m_mouseWasDown = left ? 1 : 0;
  if (m_mouseDown == 0) m_touchLatch = 0;
  return 0;
}

int c_MyApp::p_AnyPortKey(int key) {
  int sum = 0;
  for (int p = 0; p <= 3; ++p) sum += p_PlayKey(key, 1, p);
  return sum;
}

int c_MyApp::p_BackKeyLatch() {
  bool anyHit = false;
  for (int k : kLatchKeys) {
    if (p_AnyPortKey(k) != 0) {
      anyHit = true;
      break;
    }
  }
  if (!anyHit) m_keyLatch = 0;
  if (!(anyHit && m_keyLatch == 1)) {
    if (m_touchLatch == 0 && m_gameMode == 1 &&
        (m_creditsOpen == 1 || m_optionsOpen == 1 || m_badgesOpen == 1) && p_AnyPortKey(99) != 0) {
      m_creditsOpen = 0;
      m_badgesOpen = 0;
      m_keyLatch = 1;
      m_touchLatch = 1;
    }
  }
  if (m_optionsOpen == 1) {
    m_keyLatch = 1;
    m_touchLatch = 1;
  }
  return 0;
}

// An overlay slides in (0 → 30) one step per update while it is requested
// (1) and back out while it is not (0); other request values hold it still.
static void SlideOverlay(int& slide, int open) {
  if (open == 0) {
    if (slide > 0) slide -= 1;
  } else if (open == 1) {
    if (slide < 30) slide += 1;
  }
}

int c_MyApp::p_CreditsSlideStep() {
  SlideOverlay(m_creditsSlide, m_creditsOpen);
  return 0;
}

int c_MyApp::p_OptionsStep() {
  if (m_optionsOpen == 1 || m_optionsSlide > 0) p_OptionBox();
  SlideOverlay(m_optionsSlide, m_optionsOpen);
  return 0;
}

int c_MyApp::p_DispatchMode() {
  switch (m_gameMode) {
    case 1:
    case 2:
      if (m_gameMode == 1) {
        p_Menu();
        if (m_gameMode == 1) p_GameOver();
      } else {
        p_LoadMenu();
        p_PlaySFX(96, 1.0f);
        m_gameMode = 1;
        p_GameOver();
      }
      if (m_creditsOpen == 1 || m_creditsSlide > 0) p_CreditBox();
      p_CreditsSlideStep();
      if (m_badgesOpen == 1) p_BadgesBox();
      p_OptionsStep();
      break;
    case 4:
      p_OuyaQuit();
      p_CreditsSlideStep();
      p_OptionsStep();
      break;
    case 5:
      p_WaitStart(0);
      p_CreditsSlideStep();
      p_OptionsStep();
      break;
    case 10:
      p_Game();
      p_InGame();
      if (m_gameOver > 0) p_GameOver();
      p_CreditsSlideStep();
      p_OptionsStep();
      break;
    case 11:
      p_LoadGame();
      break;
    default:
      p_CreditsSlideStep();
      p_OptionsStep();
      break;
  }
  return 0;
}

// Going away or coming back, a game in play (mode 10 and up) is paused with
// the pause panel already in place and Resume highlighted, as the pause key
// leaves it (a highlight left on Quit by an earlier pause would let the
// returning player's confirm key end the game); any other screen is left
// unpaused.
int c_MyApp::p_PauseForFocusChange() {
  if (m_gameMode < 10) {
    m_paused = 0;
    m_pauseSel = 0;
    m_pauseY = 0;
  } else {
    m_paused = 1;
    m_pauseSel = 1;
    m_pauseTimer = 0;
    m_pauseY = TruncToInt(hx_Zelk_jscrh * 0.5f);
  }
  return 0;
}

int c_MyApp::p_OnSuspend() {
  p_iCade(0);
  p_PauseForFocusChange();
  hx_app_SetUpdateRate(5);
  p_Save();
  return 0;
}

int c_MyApp::p_OnResume() {
  p_PauseForFocusChange();
  hx_app_SetUpdateRate(60);
  p_iCade(0);
  return 0;
}

// ---------------------------------------------------------------- iCade

int c_MyApp::p_iCade(int on) {
  if (on == 1) {
    hx_input_EnableKeyboard();
    hx_Zelk_iCadeControls = 1;
    do {
      m_key = hx_input_GetChar();
    } while (m_key != 0);
  } else if (on == 0) {
    hx_input_DisableKeyboard();
    hx_Zelk_iCadeControls = 0;
    for (int i = 0; i <= 18; ++i) m_iCadeKeys[i] = 0;
  }
  return 0;
}

int c_MyApp::p_iCadeDecode() {
  // Press letter, release letter, virtual button.
  static const struct {
    char press, release;
    int button;
  } kMap[] = {
      {'W', 'E', 0},  {'X', 'Z', 8},  {'A', 'Q', 3},  {'D', 'C', 5},  {'Y', 'T', 13}, {'U', 'F', 14},
      {'I', 'M', 15}, {'O', 'G', 16}, {'H', 'R', 10}, {'J', 'N', 11}, {'K', 'P', 12}, {'L', 'V', 17},
  };
  for (;;) {
    m_key = hx_input_GetChar();
    if (m_key == 0) break;
    if (m_key < 0) continue;
    int c = m_key;
    if (c >= 'a' && c <= 'z') c -= 32;
    for (const auto& m : kMap) {
      if (c == m.press) {
        m_iCadeKeys[m.button] = 2;
        break;
      }
      if (c == m.release) {
        m_iCadeKeys[m.button] = 0;
        break;
      }
    }
  }
  return 0;
}
