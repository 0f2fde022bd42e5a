// Input module: down flags, per-update hits, the character queue, mouse and
// touch mirroring, pad polling and the range checks of the query functions.
#include <gtest/gtest.h>
#include <vector>
#include "framework/hx_input.h"
#include "host/hx_game.h"

namespace {

// A host whose pads are scripted: present[u] says whether pad u answers.
class PadHost : public HxGame {
 public:
  bool present[4] = {false, false, false, false};
  bool buttons[4][32] = {};
  float axis[4] = {};
  std::vector<int> polled;
  bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                    Array<bool> out) override {
    polled.push_back(port);
    if (!present[port]) return false;
    joyx[0] = axis[port];
    joyy[1] = -axis[port];
    joyz[0] = 0.5f;
    for (int b = 0; b < 32; ++b) out[b] = buttons[port][b];
    return true;
  }
};

class FwInput : public ::testing::Test {
 protected:
  PadHost host;
  c_InputDevice* dev = nullptr;
  void SetUp() override {
    HxGame::_game = &host;
    dev = (new c_InputDevice)->m_new();
    hx_input_SetInputDevice(dev);
  }
  void TearDown() override {
    HxGame::_game = nullptr;
    hx_input_device = nullptr;
  }
  void Update() {
    dev->p_BeginUpdate();
    dev->p_EndUpdate();
  }
};

TEST_F(FwInput, ConstructionShapes) {
  EXPECT_EQ(dev->m__joyStates.Length(), 4);
  for (int i = 0; i < 4; ++i) {
    ASSERT_NE(dev->m__joyStates[i], nullptr);
    EXPECT_EQ(dev->m__joyStates[i]->m_buttons.Length(), 32);
    EXPECT_EQ(dev->m__joyStates[i]->m_joyx.Length(), 2);
  }
  EXPECT_EQ(dev->m__keyDown.Length(), 512);
  EXPECT_EQ(dev->m__keyHitQueue.Length(), 33);
  EXPECT_EQ(dev->m__charQueue.Length(), 32);
  EXPECT_EQ(dev->m__touchX.Length(), 32);
}

TEST_F(FwInput, PressReleaseWithinOneStepStillHitsOnce) {
  dev->p_KeyEvent(HX_EVENT_KEYDOWN, 37);
  dev->p_KeyEvent(HX_EVENT_KEYUP, 37);
  EXPECT_EQ(hx_input_KeyHit(37), 1);
  EXPECT_FALSE(hx_input_KeyDown(37));
  dev->p_KeyEvent(HX_EVENT_KEYDOWN, 37);  // pressed again before the update ends
  EXPECT_EQ(hx_input_KeyHit(37), 2);
  EXPECT_EQ(dev->m__keyHitPut, 2);
  dev->p_EndUpdate();
  EXPECT_EQ(hx_input_KeyHit(37), 0);
  EXPECT_TRUE(hx_input_KeyDown(37));
}

TEST_F(FwInput, KeyRepeatAddsNoHits) {
  for (int i = 0; i < 5; ++i) dev->p_KeyEvent(HX_EVENT_KEYDOWN, 32);
  EXPECT_EQ(hx_input_KeyHit(32), 1);
  dev->p_EndUpdate();
  dev->p_KeyEvent(HX_EVENT_KEYDOWN, 32);
  EXPECT_EQ(hx_input_KeyHit(32), 0);
  EXPECT_TRUE(hx_input_KeyDown(32));
  dev->p_KeyEvent(HX_EVENT_KEYUP, 32);
  dev->p_KeyEvent(HX_EVENT_KEYUP, 32);  // a second release changes nothing
  EXPECT_FALSE(hx_input_KeyDown(32));
}

TEST_F(FwInput, ThirtyThreeHitsCountedThe34thLost) {
  for (int k = 0; k < 34; ++k) dev->p_KeyEvent(HX_EVENT_KEYDOWN, 65 + k);
  for (int k = 0; k < 33; ++k) EXPECT_EQ(hx_input_KeyHit(65 + k), 1) << k;
  EXPECT_EQ(hx_input_KeyHit(65 + 33), 0);
  EXPECT_TRUE(hx_input_KeyDown(65 + 33));  // down, but the hit is lost
  EXPECT_EQ(dev->m__keyHitPut, 33);
  dev->p_EndUpdate();
  for (int k = 0; k < 34; ++k) EXPECT_EQ(hx_input_KeyHit(65 + k), 0);
  EXPECT_EQ(dev->m__keyHitPut, 0);
}

TEST_F(FwInput, CharacterQueue) {
  for (int c = 0; c < 33; ++c) dev->p_KeyEvent(HX_EVENT_KEYCHAR, 'a' + c);
  for (int c = 0; c < 32; ++c) EXPECT_EQ(hx_input_GetChar(), 'a' + c);
  EXPECT_EQ(hx_input_GetChar(), 0);  // the 33rd was dropped; queue exhausted
  EXPECT_EQ(hx_input_GetChar(), 0);
  dev->p_EndUpdate();
  dev->p_KeyEvent(HX_EVENT_KEYCHAR, 'x');
  dev->p_KeyEvent(HX_EVENT_KEYCHAR, 'y');
  EXPECT_EQ(hx_input_GetChar(), 'x');
  dev->p_EndUpdate();  // 'y' was never read: gone
  EXPECT_EQ(hx_input_GetChar(), 0);
}

TEST_F(FwInput, MouseAndFirstFingerMirror) {
  dev->p_MouseEvent(HX_EVENT_MOUSEDOWN, 0, 12.5f, 40.0f);
  EXPECT_TRUE(hx_input_MouseDown(0));
  EXPECT_TRUE(hx_input_TouchDown(0));
  EXPECT_TRUE(hx_input_KeyDown(1));
  EXPECT_TRUE(hx_input_KeyDown(384));
  EXPECT_EQ(hx_input_MouseHit(0), 1);
  EXPECT_EQ(hx_input_KeyHit(384), 1);
  EXPECT_EQ(hx_input_TouchX(0), 12.5f);
  EXPECT_EQ(hx_input_TouchY(0), 40.0f);
  dev->p_MouseEvent(HX_EVENT_MOUSEMOVE, 0, 20.0f, 30.0f);
  EXPECT_EQ(hx_input_MouseX(), 20.0f);
  EXPECT_EQ(hx_input_TouchX(0), 20.0f);
  dev->p_MouseEvent(HX_EVENT_MOUSEUP, 0, 99.0f, 99.0f);
  EXPECT_FALSE(hx_input_KeyDown(1));
  EXPECT_FALSE(hx_input_KeyDown(384));
  EXPECT_EQ(hx_input_MouseX(), 20.0f);  // release keeps the position
  dev->p_EndUpdate();

  // Right button: key 2 only, no mirroring.
  dev->p_MouseEvent(HX_EVENT_MOUSEDOWN, 1, 0, 0);
  EXPECT_TRUE(hx_input_MouseDown(1));
  EXPECT_FALSE(hx_input_TouchDown(0));
  dev->p_MouseEvent(HX_EVENT_MOUSEUP, 1, 0, 0);

  // A first finger stands for the left button and moves the mouse.
  dev->p_TouchEvent(HX_EVENT_TOUCHDOWN, 0, 5.0f, 6.0f);
  EXPECT_TRUE(hx_input_MouseDown(0));
  EXPECT_EQ(hx_input_MouseHit(0), 1);
  EXPECT_EQ(hx_input_MouseX(), 5.0f);
  dev->p_TouchEvent(HX_EVENT_TOUCHDOWN, 3, 7.0f, 8.0f);
  EXPECT_TRUE(hx_input_TouchDown(3));
  EXPECT_EQ(hx_input_TouchX(3), 7.0f);
  EXPECT_EQ(hx_input_MouseX(), 5.0f);  // other fingers leave the mouse alone
  dev->p_TouchEvent(HX_EVENT_TOUCHUP, 0, 0, 0);
  EXPECT_FALSE(hx_input_MouseDown(0));
  dev->p_TouchEvent(HX_EVENT_TOUCHDOWN, 40, 1.0f, 1.0f);  // no such finger: ignored
  EXPECT_FALSE(hx_input_KeyDown(424));
  dev->p_MotionEvent(HX_EVENT_MOTIONACCEL, 0, 0.1f, 0.2f, 0.3f);
  EXPECT_EQ(hx_input_AccelY(), 0.2f);
  dev->p_MotionEvent(HX_EVENT_MOUSEMOVE, 0, 9, 9, 9);
  EXPECT_EQ(hx_input_AccelX(), 0.1f);
}

TEST_F(FwInput, PadPollingStopsAtFirstAbsentPad) {
  struct Case {
    bool present[4];
    std::vector<int> polled;
  };
  const Case cases[] = {
      {{false, true, true, true}, {0}},
      {{true, false, true, true}, {0, 1}},
      {{true, true, true, true}, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    for (int u = 0; u < 4; ++u) {
      host.present[u] = c.present[u];
      host.buttons[u][5] = true;
    }
    host.polled.clear();
    dev->p_BeginUpdate();
    EXPECT_EQ(host.polled, c.polled);
    for (int u = 0; u < 4; ++u) {
      bool seen = u < static_cast<int>(c.polled.size()) && c.present[u];
      EXPECT_EQ(hx_input_JoyDown(5, u), seen) << "pad " << u;
      EXPECT_EQ(hx_input_JoyHit(5, u), seen ? 1 : 0) << "pad " << u;
    }
    dev->p_EndUpdate();
    // Release everything for the next case.
    for (int u = 0; u < 4; ++u) host.present[u] = true, host.buttons[u][5] = false;
    Update();
  }
}

TEST_F(FwInput, PadButtonsChangeOncePerUpdate) {
  host.present[0] = true;
  host.axis[0] = 0.75f;
  host.buttons[0][11] = true;
  dev->p_BeginUpdate();
  EXPECT_TRUE(hx_input_JoyDown(11, 0));
  EXPECT_TRUE(hx_input_KeyDown(267));
  EXPECT_EQ(hx_input_JoyHit(11, 0), 1);
  EXPECT_EQ(hx_input_JoyX(0, 0), 0.75f);
  EXPECT_EQ(hx_input_JoyY(1, 0), -0.75f);
  EXPECT_EQ(hx_input_JoyZ(0, 0), 0.5f);
  dev->p_EndUpdate();
  dev->p_BeginUpdate();  // still held: no new hit
  EXPECT_EQ(hx_input_JoyHit(11, 0), 0);
  EXPECT_TRUE(hx_input_JoyDown(11, 0));
  dev->p_EndUpdate();
  host.buttons[0][11] = false;
  Update();
  EXPECT_FALSE(hx_input_JoyDown(11, 0));
}

TEST_F(FwInput, QueryRangeChecks) {
  // Key codes the queries address, and what out-of-range arguments answer.
  EXPECT_EQ(hx_input_JoyKey(0, 1), 288);
  EXPECT_EQ(hx_input_JoyKey(11, 0), 267);
  EXPECT_EQ(hx_input_JoyKey(31, 3), 383);
  dev->p_KeyEvent(HX_EVENT_KEYDOWN, 288);
  EXPECT_EQ(hx_input_JoyHit(0, 1), 1);
  dev->p_KeyEvent(HX_EVENT_KEYDOWN, 511);
  EXPECT_TRUE(hx_input_KeyDown(511));
  EXPECT_TRUE(hx_input_MouseDown(510));
  EXPECT_TRUE(hx_input_TouchDown(127));

  for (int i = 0; i < 512; ++i) dev->m__keyDown[i] = true, dev->m__keyHit[i] = 1;
  struct BoolCase { const char* what; bool value; };
  const BoolCase falses[] = {
      {"KeyDown(0)", hx_input_KeyDown(0)},
      {"KeyDown(512)", hx_input_KeyDown(512)},
      {"KeyDown(-1)", hx_input_KeyDown(-1)},
      {"MouseDown(-1)", hx_input_MouseDown(-1)},
      {"MouseDown(511)", hx_input_MouseDown(511)},
      {"TouchDown(-384)", hx_input_TouchDown(-384)},
      {"TouchDown(128)", hx_input_TouchDown(128)},
      {"JoyDown(0, 8)", hx_input_JoyDown(0, 8)},
      {"JoyDown(0, -1)", hx_input_JoyDown(0, -1)},
      {"JoyDown(32, 0)", hx_input_JoyDown(32, 0)},
  };
  for (const BoolCase& c : falses) EXPECT_FALSE(c.value) << c.what;
  struct IntCase { const char* what; int value; };
  const IntCase zeros[] = {
      {"KeyHit(-1)", hx_input_KeyHit(-1)},
      {"KeyHit(0)", hx_input_KeyHit(0)},
      {"KeyHit(512)", hx_input_KeyHit(512)},
      {"MouseHit(511)", hx_input_MouseHit(511)},
      {"MouseHit(-1)", hx_input_MouseHit(-1)},
      {"JoyHit(0, 4)", hx_input_JoyHit(0, 4)},
      {"JoyHit(-1, 0)", hx_input_JoyHit(-1, 0)},
  };
  for (const IntCase& c : zeros) EXPECT_EQ(c.value, 0) << c.what;
  EXPECT_TRUE(hx_input_KeyDown(1));
  EXPECT_TRUE(hx_input_TouchDown(-383));  // key 1
  EXPECT_EQ(hx_input_TouchX(32), 0.0f);
  EXPECT_EQ(hx_input_TouchY(-1), 0.0f);
  EXPECT_EQ(hx_input_JoyX(2, 0), 0.0f);
  EXPECT_EQ(hx_input_JoyY(0, 4), 0.0f);

  // Host events with key codes outside 0-511 are ignored, not stored.
  dev->p_KeyEvent(HX_EVENT_KEYDOWN, 600);
  dev->p_KeyEvent(HX_EVENT_KEYUP, -3);
  dev->p_MouseEvent(HX_EVENT_MOUSEDOWN, 1000000, 0, 0);
  dev->p_PutKeyHit(512);
}

TEST_F(FwInput, KeyboardEnableGoesToTheHost) {
  EXPECT_EQ(hx_input_EnableKeyboard(), 1);
  EXPECT_TRUE(host.KeyboardEnabled());
  EXPECT_EQ(hx_input_DisableKeyboard(), 1);
  EXPECT_FALSE(host.KeyboardEnabled());
}

}  // namespace
