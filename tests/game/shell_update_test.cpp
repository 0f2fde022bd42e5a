// The per-update shell: pointer sampling, back-key latch, mode machine
// during loading, iCade decoding, meters and suspend/resume.
#include "game_harness.h"

class ShellUpdate : public GameHarness {};

TEST_F(ShellUpdate, PointerAndTouchesInVirtualCoordinates) {
  app->m_scaleX = app->m_scaleY = 2;
  MouseMove(201, 99);
  Update();
  EXPECT_EQ(app->m_mouseX, 100);
  EXPECT_EQ(app->m_mouseY, 49);
  EXPECT_EQ(app->m_mouseDown, 0);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(app->m_touchDown[i], 0);
    EXPECT_EQ(app->m_touchX[i], -3717);
    EXPECT_EQ(app->m_touchY[i], -3717);
  }
  // Pressing: the old position becomes the press point; finger 0 follows the button.
  MouseDown(300, 200);
  Update();
  EXPECT_EQ(app->m_mouseDown, 1);
  EXPECT_EQ(app->m_mouseHit, 1);
  EXPECT_EQ(app->m_mouseOldX, 150);
  EXPECT_EQ(app->m_mouseOldY, 100);
  EXPECT_EQ(app->m_touchDown[0], 1);
  EXPECT_EQ(app->m_touchX[0], 150);
  EXPECT_EQ(app->m_touchY[0], 100);
  EXPECT_EQ(app->m_mouseWasDown, 1);
  // Held: the old position is the previous sample, the hit is gone.
  MouseMove(310, 200);
  Update();
  EXPECT_EQ(app->m_mouseHit, 0);
  EXPECT_EQ(app->m_mouseOldX, 150);
  EXPECT_EQ(app->m_mouseX, 155);
  app->m_touchLatch = 1;
  MouseUp();
  Update();
  EXPECT_EQ(app->m_mouseDown, 0);
  EXPECT_EQ(app->m_touchLatch, 0);
}

TEST_F(ShellUpdate, BackKeyClosesCreditsAndBadgesAndLatches) {
  app->m_gameMode = 1;
  app->m_creditsOpen = 1;
  app->m_badgesOpen = 1;
  Hold(KEY_ESCAPE);
  Update();
  EXPECT_EQ(app->m_creditsOpen, 0);
  EXPECT_EQ(app->m_badgesOpen, 0);
  EXPECT_EQ(app->m_keyLatch, 1);
  EXPECT_EQ(app->m_touchLatch, 1);
  // Still held: the latch keeps the back key from acting again.
  app->m_creditsOpen = 1;
  Update();
  EXPECT_EQ(app->m_creditsOpen, 1);
  EXPECT_EQ(app->m_keyLatch, 1);
  Release(KEY_ESCAPE);
  Update();
  EXPECT_EQ(app->m_keyLatch, 0);
  // The credits slide in while open.
  EXPECT_GT(app->m_creditsSlide, 0);
}

TEST_F(ShellUpdate, OptionsOverlayLatchesEverything) {
  app->m_optionsOpen = 1;
  Update();
  EXPECT_EQ(app->m_keyLatch, 1);
  EXPECT_EQ(app->m_touchLatch, 1);
  EXPECT_EQ(app->m_optionsSlide, 1);
}

TEST_F(ShellUpdate, LoadingSkipsModeWorkButShowsSpinnerAndDebugLine) {
  app->m_gameMode = 2;  // would record the finished game and go to the menu
  app->m_loadStep = 1;
  hx_Zelk_DebugMode = 1;
  Update();
  EXPECT_EQ(app->m_gameMode, 2);
  EXPECT_EQ(app->m_loadStep, 2);
  EXPECT_EQ(app->m_clsB, 80);  // the loading screen's clear colour
  EXPECT_EQ(CountKind(-3716), 11 + 1 + 11);  // back ring, sun, front ring
  EXPECT_GT(CountKind(90), 0);               // debug text
  hx_Zelk_DebugMode = 0;
  // Loading finishes after the 24th step; then mode work resumes.
  Run(23);
  EXPECT_EQ(app->m_loadStep, 25);
  Update();
  EXPECT_EQ(app->m_loadStep, 0);
  EXPECT_EQ(app->m_gameMode, 2);
  Update();
  EXPECT_EQ(app->m_gameMode, 1);
}

TEST_F(ShellUpdate, F1AndF2Toggle) {
  Hold(112);
  Hold(113);
  Update();
  EXPECT_EQ(hx_Zelk_DebugMode, 1);
  EXPECT_EQ(app->m_hideHud, 1);
  Update();  // held keys do not hit again
  EXPECT_EQ(hx_Zelk_DebugMode, 1);
  Release(112);
  Release(113);
  Hold(112);
  Update();
  EXPECT_EQ(hx_Zelk_DebugMode, 0);
}

TEST_F(ShellUpdate, ICadeLettersHoldUntilReleased) {
  app->p_iCade(1);
  EXPECT_EQ(hx_Zelk_iCadeControls, 1);
  Type("w");
  Update();
  EXPECT_EQ(app->m_iCadeKeys[0], 2);
  Run(3);
  EXPECT_EQ(app->m_iCadeKeys[0], 2);
  Type("Yx?");
  Update();
  EXPECT_EQ(app->m_iCadeKeys[13], 2);
  EXPECT_EQ(app->m_iCadeKeys[8], 2);
  EXPECT_EQ(app->m_key, 0);
  Type("E");
  Update();
  EXPECT_EQ(app->m_iCadeKeys[0], 0);
  EXPECT_EQ(app->m_iCadeKeys[13], 2);
  app->p_iCade(0);
  EXPECT_EQ(hx_Zelk_iCadeControls, 0);
  EXPECT_EQ(app->m_iCadeKeys[13], 0);
  // With decoding off, a one-update press is released by the next update.
  app->m_iCadeKeys[5] = 1;
  app->m_iCadeKeys[3] = 2;
  Update();
  EXPECT_EQ(app->m_iCadeKeys[5], 0);
  EXPECT_EQ(app->m_iCadeKeys[3], 2);
}

TEST_F(ShellUpdate, UpdateMeterSurvivesAStoppedClock) {
  Update();
  Update();
  int fps = app->m_updFps;
  EXPECT_GT(fps, 50);
  host->ms -= 17;  // the next update sees the same time again
  input->p_BeginUpdate();
  app->p_OnUpdate();
  input->p_EndUpdate();
  EXPECT_EQ(app->m_updFps, fps);
}

TEST_F(ShellUpdate, FinishedGameReturnsToTheMenu) {
  app->m_gameMode = 2;
  app->m_options[5] = 1;
  app->m_sfxChannel = 0;
  Update();
  EXPECT_EQ(app->m_gameMode, 1);
  EXPECT_EQ(app->m_sfxChannel, 1);  // the finish sound took a channel
}

TEST_F(ShellUpdate, SuspendPausesARunningGameOnly) {
  struct {
    int mode, paused, pauseSel, pauseY;
  } cases[] = {{1, 0, 0, 0}, {10, 1, 1, 240}, {11, 1, 1, 240}};
  for (auto& c : cases) {
    app->m_gameMode = c.mode;
    app->p_iCade(1);
    app->p_OnSuspend();
    EXPECT_EQ(app->m_paused, c.paused) << c.mode;
    EXPECT_EQ(app->m_pauseSel, c.pauseSel);
    EXPECT_EQ(app->m_pauseY, c.pauseY);
    EXPECT_EQ(hx_Zelk_iCadeControls, 0);
    EXPECT_EQ(host->UpdateRate(), 5);
    app->m_paused = 0;
    app->p_OnResume();
    EXPECT_EQ(app->m_paused, c.paused) << c.mode;
    EXPECT_EQ(host->UpdateRate(), 60);
  }
}

TEST_F(ShellUpdate, CreditTextHasFiftyLines) {
  ASSERT_EQ(hx_Zelk_CreditText.Length(), 50);
  EXPECT_EQ(hx_Zelk_CreditText[0].ToUtf8(), "");
  EXPECT_EQ(hx_Zelk_CreditText[1].ToUtf8(), "A Game by");
  EXPECT_EQ(hx_Zelk_CreditText[5].ToUtf8(), "-=-=-");
  EXPECT_EQ(hx_Zelk_CreditText[7].ToUtf8(), "Developed using");
  EXPECT_EQ(hx_Zelk_CreditText[13].ToUtf8(), "Graphics");
  EXPECT_EQ(hx_Zelk_CreditText[15].ToUtf8(), "Most graphics by");
  EXPECT_EQ(hx_Zelk_CreditText[20].ToUtf8(), "Lowercase added by");
  EXPECT_EQ(hx_Zelk_CreditText[26].ToUtf8(), "Audio");
  EXPECT_EQ(hx_Zelk_CreditText[28].ToUtf8(), "Sound and Music by");
  EXPECT_EQ(hx_Zelk_CreditText[34].ToUtf8(), "or whatever else");
  EXPECT_EQ(hx_Zelk_CreditText[35].ToUtf8(), "is handy!");
  EXPECT_EQ(hx_Zelk_CreditText[39].ToUtf8(), "Thanks to");
  EXPECT_EQ(hx_Zelk_CreditText[45].ToUtf8(), "and everyone else");
  EXPECT_EQ(hx_Zelk_CreditText[48].ToUtf8(), "-=-=-");
  EXPECT_EQ(hx_Zelk_CreditText[49].ToUtf8(), "End");
}
