// Test fixture for the game: a windowless host, the framework's real input
// device and a fresh c_MyApp per test, driven update by update with
// scripted virtual input. The random stream is the program's own, from
// seed 1234.
//
// Typical use:
//   class MyTest : public GameHarness {};
//   TEST_F(MyTest, Something) {
//     StartGame(1);            // mode 11 -> p_LoadGame -> mode 10
//     Hold(KEY_SPACE);         // key down until Release
//     Run(30);                 // 30 updates
//     EXPECT_EQ(Ent(1, 0), 1); // entity 1, field 0
//   }
//
// No window, graphics or audio device exists: images stay unloaded (slot
// sizes can be put into m_imgInfo by the test), sound effects are switched
// off (m_options[5] = 0) and music is unavailable (hx_Zelk_HasMusicStream 0),
// none of which touches the random stream or the rules.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/hx_app.h"
#include "framework/hx_input.h"
#include "framework/hx_random.h"
#include "game/myapp.h"
#include "host/hx_game.h"

// Windowless host: a clock that advances one update period per update, a
// fixed 640 x 480 device and an in-memory state file.
class HarnessHost : public HxGame {
 public:
  int ms = 1000;
  int devW = 640;
  int devH = 480;
  std::string state;
  int saves = 0;

  int Millisecs() override { return ms; }
  int GetDeviceWidth() override { return devW; }
  int GetDeviceHeight() override { return devH; }
  int SaveState(String s) override {
    state = s.ToUtf8();
    ++saves;
    return 0;
  }
  String LoadState() override { return String(state.c_str()); }
};

// Process-wide start-up, done once: collector lists, the host object and
// the module globals (hxInit).
inline HarnessHost* HarnessProcess() {
  static HarnessHost* host = [] {
    gc_init1();
    HarnessHost* h = new HarnessHost();
    hxInit();
    return h;
  }();
  return host;
}

class GameHarness : public ::testing::Test {
 public:
  // Key codes used by the scripts.
  enum {
    KEY_ENTER = 13,
    KEY_ESCAPE = 27,
    KEY_SPACE = 32,
    KEY_LEFT = 37,
    KEY_UP = 38,
    KEY_RIGHT = 39,
    KEY_DOWN = 40,
    KEY_A = 65,
    KEY_D = 68,
    KEY_W = 87,
    KEY_Z = 90,
  };

  HarnessHost* host = nullptr;
  c_MyApp* app = nullptr;
  c_InputDevice* input = nullptr;
  int updates = 0;

  void SetUp() override { NewApp(); }

  // A fresh application as p_OnCreate leaves it once loading has finished,
  // without the loader: menu mode, 100 stars seeded from 1234, no saved
  // state. The random seed is back at 1234 afterwards.
  void NewApp() {
    host = HarnessProcess();
    host->ms = 1000;
    host->state.clear();
    host->saves = 0;
    hx_app__devWidth = host->devW;
    hx_app__devHeight = host->devH;
    hx_Zelk_jscrw = hx_Zelk_rawscrw = 640;
    hx_Zelk_jscrh = hx_Zelk_rawscrh = 480;
    hx_Zelk_overscan = 0;
    hx_Zelk_DebugMode = 0;
    hx_Zelk_iCadeControls = 0;
    hx_Zelk_HasMusicStream = 0;

    input = (new c_InputDevice())->m_new();
    hx_input_SetInputDevice(input);
    app = new c_MyApp();
    hx_random_Seed = 1234;
    app->p_ResetStars(100);
    hx_random_Seed = 1234;
    app->m_gameMode = 1;
    app->m_loadStep = 0;
    app->m_players = 1;
    app->m_menuSlide = -32;
    app->m_paused = 0;
    app->m_pauseSel = -1;
    app->m_pauseY = -64;
    app->m_scaleX = app->m_scaleY = 1;
    for (int i = 0; i < app->m_options.Length(); ++i) app->m_options[i] = 0;
    app->m_options[14] = 1;
    for (int i = 0; i <= 32; ++i) app->m_sfxMap[i] = i;
    app->m_fontSlot = 90;
    updates = 0;
  }

  // A new game of the given variant from seed 1234: one update in mode 11
  // (p_LoadGame), after which the game is in mode 10.
  void StartGame(int players = 1, int ctrlStyle = 0) {
    app->m_players = players;
    app->m_ctrlP1 = 0;
    app->m_ctrlStyle = ctrlStyle;
    app->m_gameMode = 11;
    app->m_keyLatch = 0;
    app->m_touchLatch = 0;
    hx_random_Seed = 1234;
    Update();
  }

  // ---- scripted input (the events the host would send) ----
  void Hold(int key) { input->p_KeyEvent(HX_EVENT_KEYDOWN, key); }
  void Release(int key) { input->p_KeyEvent(HX_EVENT_KEYUP, key); }
  void Type(int ch) { input->p_KeyEvent(HX_EVENT_KEYCHAR, ch); }
  void Type(const char* text) {
    for (; *text; ++text) Type(static_cast<unsigned char>(*text));
  }
  // Pointer in device pixels (equal to virtual units at 640 x 480).
  void MouseMove(float x, float y) { input->p_MouseEvent(HX_EVENT_MOUSEMOVE, 0, x, y); }
  void MouseDown(float x, float y) { input->p_MouseEvent(HX_EVENT_MOUSEDOWN, 0, x, y); }
  void MouseUp() { input->p_MouseEvent(HX_EVENT_MOUSEUP, 0, 0, 0); }
  // Pad button b of port p as the host's poll would set it.
  void PadButton(int port, int button, bool down) {
    int code = 256 + 32 * port + button;
    if (down && !input->m__keyDown[code]) {
      input->m__keyDown[code] = true;
      input->p_PutKeyHit(code);
    } else if (!down) {
      input->m__keyDown[code] = false;
    }
  }
  void PadStick(int port, float x, float y) {
    input->m__joyStates[port]->m_joyx[0] = x;
    input->m__joyStates[port]->m_joyy[0] = y;
  }

  // ---- stepping ----
  // One whole update as the game delegate runs it.
  void Update() {
    host->ms += 16 + (updates % 3 == 0 ? 1 : 0);
    input->p_BeginUpdate();
    app->p_OnUpdate();
    input->p_EndUpdate();
    ++updates;
  }
  void Run(int n) {
    for (int i = 0; i < n; ++i) Update();
  }
  // Updates until pred() holds or the limit passes; returns the updates run.
  template <class Pred>
  int RunUntil(Pred pred, int limit) {
    int n = 0;
    while (!pred() && n < limit) {
      Update();
      ++n;
    }
    return n;
  }

  // ---- entity and brick access ----
  float& Ent(int e, int field) { return app->m_ents[20 * e + field]; }
  float& Brick(int k, int field) { return app->m_blocks[10 * k + field]; }
  float& Star(int k, int field) { return app->m_stars[10 * k + field]; }
  float& Part(int k, int field) { return app->m_particles[10 * k + field]; }
  // Empties the field: no entities, no bricks.
  void ClearField() {
    for (int i = 0; i < app->m_ents.Length(); ++i) app->m_ents[i] = 0;
    for (int i = 0; i < app->m_blocks.Length(); ++i) app->m_blocks[i] = 0;
  }
  // Puts a live entity of the given type into slot e.
  void PutEnt(int e, float type, float x, float y, float lives = 1) {
    for (int f = 0; f < 20; ++f) Ent(e, f) = 0;
    Ent(e, 0) = type;
    Ent(e, 1) = x;
    Ent(e, 2) = y;
    Ent(e, 5) = 1;
    Ent(e, 8) = lives;
    Ent(e, 19) = 10000;  // a baddie never wants to climb
  }
  void PutBrick(int k, float x, float y) {
    Brick(k, 0) = 1;
    Brick(k, 1) = x;
    Brick(k, 2) = y;
  }

  // ---- draw list ----
  int DrawCount() const { return app->m_drawCount / 15; }
  float Cmd(int i, int field) const { return app->m_drawList[15 * i + field]; }
  // Number of recorded commands of the given kind (image slot or shape kind).
  int CountKind(float kind) const {
    int n = 0;
    for (int i = 0; i < DrawCount(); ++i)
      if (Cmd(i, 0) == kind) ++n;
    return n;
  }
};
