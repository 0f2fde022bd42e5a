// Virtual buttons, the iCade letters, the analogue steering value and the
// on-screen button hit tests.
#include <cmath>

#include "game_harness.h"

namespace {

class PlayControls : public GameHarness {
 protected:
  void SetUp() override {
    GameHarness::SetUp();
    app->m_gameMode = 0;  // no mode work: updates only sample input
    app->m_stickAnchorX = -1;  // as after any update without the pointer
  }
  int PadCode(int port, int button) { return 256 + 32 * port + button; }
};

struct SourceCase {
  const char* name;
  int code;       // key code held (pad buttons as their key code)
  int key;        // virtual button asked
  int port;       // port asked
  int icade;      // decoding on?
  int expected;
};

TEST_F(PlayControls, EachSourceHoldsItsButtonOnlyWhereTheTableLists) {
  const SourceCase cases[] = {
      {"W, keyboard", 87, 0, -1, 0, 1},
      {"cursor up, keyboard", 38, 0, -1, 0, 1},
      {"cursor up, pad port", 38, 0, 2, 0, 1},
      {"pad 9 of the asked port", PadCode(2, 9), 0, 2, 0, 1},
      {"pad 9 of another port", PadCode(1, 9), 0, 2, 0, 0},
      {"pad 9, keyboard only", PadCode(0, 9), 0, -1, 0, 0},
      {"A is left", 65, 3, -1, 0, 1},
      {"D is right", 68, 5, 0, 0, 1},
      {"S is down", 83, 8, 0, 0, 1},
      {"enter is action 1", 13, 10, -1, 0, 1},
      {"control is action 2", 17, 11, 3, 0, 1},
      {"shift is action 3", 16, 12, -1, 0, 1},
      {"V is action 4", 86, 13, -1, 0, 1},
      {"U is shoulder left", 85, 14, 1, 0, 1},
      {"O is shoulder right", 79, 15, -1, 0, 1},
      {"pad 5 is shoulder right", PadCode(1, 5), 15, 1, 0, 1},
      {"back-quote is back", 192, 99, -1, 0, 1},
      {"pad 14 is back", PadCode(3, 14), 99, 3, 0, 1},
      {"escape is not up", 27, 0, -1, 0, 0},
      {"unknown virtual key", 38, 1, -1, 0, 0},
      {"port below -1", 38, 0, -2, 0, 0},
      // Decoding on: the letters belong to the decoder.
      {"W with decoding", 87, 0, -1, 1, 0},
      {"cursor up with decoding", 38, 0, -1, 1, 1},
      {"Z with decoding", 90, 10, 0, 1, 0},
      {"space with decoding", 32, 10, 0, 1, 1},
      {"back-quote with decoding", 192, 99, -1, 1, 0},
      {"pad 3 with decoding", PadCode(0, 3), 13, 0, 1, 1},
      {"pad 7 with decoding", PadCode(2, 7), 99, 2, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewApp();
    hx_Zelk_iCadeControls = c.icade;
    Hold(c.code);
    EXPECT_EQ(app->p_PlayKey(c.key, 1, c.port), c.expected);
    hx_Zelk_iCadeControls = 0;
  }
}

TEST_F(PlayControls, StickCountsBeyondPointFourOnlyWhenAskedAndNotWithDecoding) {
  struct {
    float jx, jy;
    int key, stickToo, icade, expected;
  } cases[] = {
      {0, 0.41f, 0, 1, 0, 1},  {0, 0.4f, 0, 1, 0, 0},  {0, 0.9f, 0, 0, 0, 0},
      {-0.5f, 0, 3, 1, 0, 1},  {0.5f, 0, 5, 1, 0, 1},  {0, -0.5f, 8, 1, 0, 1},
      {0, 0.9f, 0, 1, 1, 0},   {0.9f, 0, 3, 1, 0, 0},
  };
  for (const auto& c : cases) {
    NewApp();
    hx_Zelk_iCadeControls = c.icade;
    PadStick(1, c.jx, c.jy);
    EXPECT_EQ(app->p_PlayKey(c.key, c.stickToo, 1), c.expected) << c.jx << "," << c.jy << " key " << c.key;
    EXPECT_EQ(app->p_PlayKey(c.key, c.stickToo, -1), 0) << "keyboard port has no stick";
    hx_Zelk_iCadeControls = 0;
  }
}

TEST_F(PlayControls, ICadeLettersHoldUntilTheirReleaseLetter) {
  hx_Zelk_iCadeControls = 1;
  Type("Y");
  Update();
  EXPECT_EQ(app->p_PlayKey(13, 1, -1), 2) << "the iCade state itself";
  EXPECT_EQ(app->p_PlayKey(13, 1, 0), 1);
  Run(5);
  EXPECT_EQ(app->p_PlayKey(13, 1, -1), 2) << "held across updates";
  Type("t");  // lower case acts alike
  Update();
  EXPECT_EQ(app->p_PlayKey(13, 1, -1), 0);

  Type("wD");
  Update();
  EXPECT_EQ(app->p_PlayKey(0, 0, -1), 1);
  EXPECT_EQ(app->p_PlayKey(5, 0, 0), 1);
  EXPECT_EQ(app->m_key, 0) << "the queue is empty afterwards";
  Type("EC");
  Update();
  EXPECT_EQ(app->p_PlayKey(0, 0, -1), 0);
  EXPECT_EQ(app->p_PlayKey(5, 0, 0), 0);
  hx_Zelk_iCadeControls = 0;
}

TEST_F(PlayControls, CursorRightRampsUpThenFallsBackByPointTwo) {
  const float up[] = {0.15f, 0.3f, 0.45f, 0.6f, 0.75f, 0.9f, 1.0f};
  const float down[] = {0.8f, 0.6f, 0.4f, 0.2f, 0.0f, 0.0f};
  Hold(KEY_RIGHT);
  for (float v : up) {
    Update();
    app->p_AnalogueControl();
    EXPECT_NEAR(app->m_stickX, v, 1e-5);
  }
  EXPECT_FLOAT_EQ(app->m_rampX, 1.0f) << "the ramp is clamped too";
  Release(KEY_RIGHT);
  for (float v : down) {
    Update();
    app->p_AnalogueControl();
    EXPECT_NEAR(app->m_stickX, v, 1e-5);
  }
  EXPECT_EQ(app->m_rampX, 0.0f) << "stops at 0, not past it";
}

TEST_F(PlayControls, PointerStickIsNotStartedInTheRight96Units) {
  MouseDown(600, 200);
  Update();
  app->p_AnalogueControl();
  EXPECT_LT(app->m_stickAnchorX, 0);
  MouseMove(544, 200);  // exactly W - 96: still the jump button's area
  Update();
  app->p_AnalogueControl();
  EXPECT_LT(app->m_stickAnchorX, 0);
  MouseMove(543, 200);
  Update();
  app->p_AnalogueControl();
  EXPECT_EQ(app->m_stickAnchorX, 543);
  EXPECT_EQ(app->m_stickAnchorY, 200);
  EXPECT_EQ(app->m_stickX, 0.0f);

  // Dragging away steers by 1/72 per unit; tiny deflections are dropped.
  MouseMove(543 - 36, 200 + 5);
  Update();
  app->p_AnalogueControl();
  EXPECT_FLOAT_EQ(app->m_stickX, -0.5f);
  EXPECT_FLOAT_EQ(app->m_stickY, 5.0f / 72);
  MouseMove(543 + 7, 200 + 7);
  Update();
  app->p_AnalogueControl();
  EXPECT_EQ(app->m_stickX, 0.0f);
  EXPECT_EQ(app->m_stickY, 0.0f);

  // Releasing drops the anchor.
  MouseUp();
  Update();
  app->p_AnalogueControl();
  EXPECT_EQ(app->m_stickAnchorX, -1);
}

TEST_F(PlayControls, AnchorFollowsAFarPointerByFourPerUpdate) {
  MouseDown(300, 200);
  Update();
  app->p_AnalogueControl();
  MouseMove(300 + 100, 200 - 100);
  Update();
  app->p_AnalogueControl();
  EXPECT_EQ(app->m_stickAnchorX, 304);
  EXPECT_EQ(app->m_stickAnchorY, 196);
  EXPECT_FLOAT_EQ(app->m_stickX, 1.0f) << "clamped";
  EXPECT_FLOAT_EQ(app->m_stickY, -1.0f);
}

TEST_F(PlayControls, PadStickBeyondPointTwoReplacesPointerAndKeysReplaceBoth) {
  struct {
    float jx, jy;
    bool right;
    float sx, sy;
  } cases[] = {
      {0.2f, -0.2f, false, 0, 0},
      {0.21f, 0, false, 0.21f, 0},
      {0, 0.5f, false, 0, -0.5f},
      {-0.7f, 0, true, 0.15f, 0},
  };
  for (const auto& c : cases) {
    NewApp();
    app->m_gameMode = 0;
    app->m_stickAnchorX = -1;
    PadStick(0, c.jx, c.jy);
    if (c.right) Hold(KEY_RIGHT);
    Update();
    app->p_AnalogueControl();
    EXPECT_FLOAT_EQ(app->m_stickX, c.sx) << c.jx << "," << c.jy;
    EXPECT_FLOAT_EQ(app->m_stickY, c.sy) << c.jx << "," << c.jy;
  }
}

TEST_F(PlayControls, DebugModeDrawsTheStickGauge) {
  Hold(KEY_LEFT);
  Update();
  app->p_CLS2D(ZELK_NONEF, 0, 0, 0);
  app->p_AnalogueControl();
  EXPECT_EQ(CountKind(ZELK_KIND_OVAL), 0);
  hx_Zelk_DebugMode = 1;
  app->p_AnalogueControl();
  ASSERT_EQ(CountKind(ZELK_KIND_OVAL), 2);
  EXPECT_FLOAT_EQ(Cmd(1, 1), 640 - 64 - 0.3f * 52);
  hx_Zelk_DebugMode = 0;
}

TEST_F(PlayControls, TouchBandAcceptsElevenBeyondTheRightButFiveBeforeTheLeft) {
  const struct {
    int tx, ty, expected;
  } cases[] = {
      {100 - 5, 60, 1},  {100 - 6, 60, 0},      {100 + 80 + 11, 60, 1}, {100 + 80 + 12, 60, 0},
      {150, 50 - 5, 1},  {150, 50 - 6, 0},      {150, 50 + 20 + 11, 1}, {150, 50 + 20 + 12, 0},
  };
  for (const auto& c : cases) {
    NewApp();
    app->m_gameMode = 0;
    MouseDown(static_cast<float>(c.tx), static_cast<float>(c.ty));
    Update();
    EXPECT_EQ(app->p_Touch(100, 50, 80, 20), c.expected) << c.tx << "," << c.ty;
    EXPECT_EQ(Cmd(DrawCount() - 1, 0), ZELK_KIND_RECT) << "the band is drawn";
  }
  NewApp();
  app->m_gameMode = 0;
  Update();
  EXPECT_EQ(app->p_Touch(-10000, -10000, 20000, 20000), 0) << "no finger down";
}

TEST_F(PlayControls, ButtonAndCentredTestsUseHalfTheScaledImage) {
  const struct {
    float scale;
    int mx, my, button, centred;
  } cases[] = {
      {1, 200, 100, 1, 1},   {1, 215, 100, 1, 0},  {1, 216, 100, 0, 0},
      {2, 231, 100, 1, 0},   {2, 232, 100, 0, 0},  {1, 200, 84, 0, 0},
  };
  for (const auto& c : cases) {
    NewApp();
    app->m_gameMode = 0;
    app->m_imgInfo[94 * 3] = 32;
    app->m_imgInfo[94 * 3 + 1] = 32;
    MouseDown(static_cast<float>(c.mx), static_cast<float>(c.my));
    Update();
    app->p_SetSize(c.scale, ZELK_NONEF);
    EXPECT_EQ(app->p_Button(94, 200, 100, 3), c.button) << c.mx << " scale " << c.scale;
    EXPECT_EQ(app->m_hit, c.button);
    EXPECT_EQ(Cmd(DrawCount() - 1, 0), 94.0f);
    EXPECT_EQ(Cmd(DrawCount() - 1, 6), 3.0f);
    EXPECT_EQ(app->p_MouseIn_Centered(200, 100, 30, 30), c.centred) << c.mx;
  }
  // Half-resolution art: the slot sizes are in device pixels of that art.
  NewApp();
  app->m_gameMode = 0;
  app->m_imgInfo[97 * 3] = 64;
  app->m_imgInfo[97 * 3 + 1] = 64;
  app->m_imgScale = 0.5f;
  MouseDown(31, 16);
  Update();
  app->p_ResetDraw();
  EXPECT_EQ(app->p_Button(16, 16, 0), 1) << "the short form uses slot 97";
  EXPECT_EQ(Cmd(DrawCount() - 1, 0), 97.0f);
  MouseUp();
  Update();
  EXPECT_EQ(app->p_Button(16, 16, 0), 0) << "needs the pointer down";
}

}  // namespace
