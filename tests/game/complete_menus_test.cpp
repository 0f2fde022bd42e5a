// Menus and overlays driven with scripted input: starting a game from the
// title menu, the options box, the credits, the pause panel and the
// game-over panel entering the score into the table.
#include <string>

#include "game_harness.h"

class CompleteMenus : public GameHarness {
 public:
  enum { KEY_N = 78 };

  void SetUp() override {
    GameHarness::SetUp();
    // The font's cell (7 x 10) so that text and the score panel lay out.
    app->m_imgInfo[90 * 3] = 7;
    app->m_imgInfo[90 * 3 + 1] = 10;
    // Icon sizes, so the on-screen buttons have an area.
    app->m_imgInfo[95 * 3] = app->m_imgInfo[95 * 3 + 1] = 64;
    app->m_imgInfo[97 * 3] = app->m_imgInfo[97 * 3 + 1] = 32;
    app->m_imgInfo[93 * 3] = app->m_imgInfo[93 * 3 + 1] = 256;
    app->m_landscape = 1;
    app->m_menuSlide = 0;
  }
  void TearDown() override {
    hx_Zelk_jscrw = 640;
    hx_Zelk_jscrh = 480;
  }

  // A key held for one update, then released for one.
  void Press(int key) {
    Hold(key);
    Update();
    Release(key);
    Update();
  }
  // The letters drawn with the font in this update's draw list (spaces are
  // not drawn, so "Sound : Off" reads "Sound:Off").
  std::string DrawnText() const {
    std::string s;
    for (int i = 0; i < DrawCount(); ++i)
      if (Cmd(i, 0) == 90.0f) s += static_cast<char>(32 + static_cast<int>(Cmd(i, 6)));
    return s;
  }
  void OpenOptions() {
    app->m_optionsOpen = 1;
    app->m_optCursor = 0;
    Run(32);  // slides in
    ASSERT_EQ(app->m_optionsSlide, 30);
  }
};

TEST_F(CompleteMenus, TheKeyboardStartsAGameFromTheTitleMenu) {
  Run(3);
  EXPECT_EQ(app->m_menuSel, 1);
  Hold(KEY_ENTER);
  Update();
  EXPECT_EQ(app->m_gameMode, 11);
  Release(KEY_ENTER);
  Update();
  EXPECT_EQ(app->m_gameMode, 10);
  EXPECT_EQ(app->m_players, 1);
  EXPECT_EQ(app->m_ctrlP1, 0);
  EXPECT_EQ(app->m_ctrlStyle, 0);
  EXPECT_EQ(Ent(1, 0), 1.0f);
}

TEST_F(CompleteMenus, APadStartsAGameOnItsOwnPort) {
  Run(3);
  PadButton(2, 0, true);
  Update();
  PadButton(2, 0, false);
  EXPECT_EQ(app->m_gameMode, 11);
  EXPECT_EQ(app->m_ctrlP1, 2);
  EXPECT_EQ(app->m_ctrlStyle, 0);
}

TEST_F(CompleteMenus, TappingThePlayButtonStartsWithTouchControls) {
  Run(3);
  MouseDown(640 - 70, 480 - 48);
  Update();
  MouseUp();
  EXPECT_EQ(app->m_gameMode, 11);
  EXPECT_EQ(app->m_ctrlStyle, 2);
}

TEST_F(CompleteMenus, KeysMoveTheCarouselAndOpenTheOptions) {
  Run(3);
  Press(KEY_RIGHT);
  EXPECT_EQ(app->m_menuSel, 2);
  Run(40);
  EXPECT_EQ(app->m_menuSel, 2);  // the carousel settled on the gear
  EXPECT_NEAR(app->m_menuEase, -88.0f, 1.0f);
  Press(KEY_ENTER);
  EXPECT_EQ(app->m_optionsOpen, 1);
  EXPECT_EQ(app->m_optCursor, 0);
  Press(KEY_LEFT);  // the box is open: the carousel does not move
  EXPECT_EQ(app->m_menuSel, 2);
}

TEST_F(CompleteMenus, PortraitCarouselRunsDownwards) {
  hx_Zelk_jscrw = 360;
  hx_Zelk_jscrh = 640;
  app->m_landscape = 0;
  Update();
  auto find = [&](float frame, float* x, float* y) {
    for (int i = 0; i < DrawCount(); ++i)
      if (Cmd(i, 0) == 95.0f && Cmd(i, 6) == frame) {
        *x = Cmd(i, 1);
        *y = Cmd(i, 2);
        return true;
      }
    return false;
  };
  float x = 0, y = 0;
  ASSERT_TRUE(find(0, &x, &y));
  EXPECT_EQ(x, 110.0f);
  EXPECT_EQ(y, 384.0f);
  ASSERT_TRUE(find(8, &x, &y));
  EXPECT_EQ(y, 384.0f + 88);
  Press(KEY_DOWN);
  Run(40);
  EXPECT_EQ(app->m_menuSel, 2);
  ASSERT_TRUE(find(8, &x, &y));
  EXPECT_NEAR(y, 384.0f, 1.0f);
  // The score lists stay in the right-hand panel.
  EXPECT_EQ(app->m_menuSel, 2);
}

TEST_F(CompleteMenus, ScorePanelShowsOneToTenEntries) {
  struct Case {
    float h;
    int entries;
    const char* heading;
  } cases[] = {{100, 1, "Highscore"}, {300, 4, "Top4"}, {480, 10, "Top10"}, {4000, 10, "Top10"}};
  for (int k = 0; k < 20; ++k) app->m_scores[k] = 7;
  Update();  // the first update picks the play item
  for (const Case& c : cases) {
    SCOPED_TRACE(c.h);
    hx_Zelk_jscrh = c.h;
    Update();
    std::string text = DrawnText();
    int sevens = 0;
    for (char ch : text) sevens += ch == '7';
    EXPECT_EQ(sevens, 2 * c.entries);
    EXPECT_NE(text.find(c.heading), std::string::npos) << text;
    EXPECT_NE(text.find(c.entries == 1 ? "Last" : "Last" + std::to_string(c.entries)), std::string::npos);
  }
}

// The top score list starts at y = 60 and the last list at H/2 + 20, both
// in the panel on the right.
TEST_F(CompleteMenus, ScoreListsStartAtTheirRows) {
  Update();  // the first update picks the play item
  for (float h : {480.0f, 600.0f}) {
    SCOPED_TRACE(h);
    hx_Zelk_jscrh = h;
    Update();
    // The first letter of each heading, told apart by the list's colour.
    float topY = -1, lastY = -1;
    for (int i = DrawCount() - 1; i >= 0; --i) {
      if (Cmd(i, 0) != 90.0f) continue;
      if (Cmd(i, 10) == 255 && Cmd(i, 11) == 200 && Cmd(i, 12) == 100) topY = Cmd(i, 2);
      if (Cmd(i, 10) == 200 && Cmd(i, 11) == 255 && Cmd(i, 12) == 100) lastY = Cmd(i, 2);
    }
    // Text at y with alignment 0 is drawn half a (1.5 x 10 high) letter lower.
    EXPECT_EQ(topY, 67.0f);
    EXPECT_EQ(lastY, static_cast<float>(static_cast<int>(h / 2 + 20 + 7.5f)));
  }
}

TEST_F(CompleteMenus, SoundOptionCyclesAndStopsTheMusic) {
  hx_Zelk_HasMusicStream = 1;
  app->m_options[5] = 1;
  OpenOptions();
  Press(KEY_DOWN);
  ASSERT_EQ(app->m_optCursor, 1);
  EXPECT_NE(DrawnText().find("Sound:SFX+Music"), std::string::npos);
  struct Step {
    int value, musicOn;
    const char* label;
  } steps[] = {{2, 0, "Sound:SFX"}, {3, 1, "Sound:Music"}, {0, 0, "Sound:Off"}, {1, 1, "Sound:SFX+Music"}};
  for (const Step& s : steps) {
    app->m_musicOn = 1;
    Press(KEY_ENTER);
    EXPECT_EQ(app->m_options[5], s.value);
    EXPECT_EQ(app->m_musicOn, s.musicOn);
    EXPECT_NE(DrawnText().find(s.label), std::string::npos) << DrawnText();
  }
  // Without music the option only switches effects on and off; a value
  // out of range reads as off.
  hx_Zelk_HasMusicStream = 0;
  app->m_options[5] = 9;
  Update();
  EXPECT_EQ(app->m_options[5], 0);
  Press(KEY_ENTER);
  EXPECT_EQ(app->m_options[5], 1);
  Press(KEY_ENTER);
  EXPECT_EQ(app->m_options[5], 0);
  EXPECT_EQ(host->saves, 0);  // nothing saved until the box closes
}

TEST_F(CompleteMenus, AHeldKeyUsesAnOptionOnce) {
  OpenOptions();
  Press(KEY_DOWN);
  Press(KEY_DOWN);
  ASSERT_EQ(app->m_optCursor, 2);
  Hold(KEY_ENTER);
  Run(10);
  Release(KEY_ENTER);
  Update();
  EXPECT_EQ(hx_Zelk_iCadeControls, 1);  // toggled once, not every other update
  Press(KEY_ENTER);
  EXPECT_EQ(hx_Zelk_iCadeControls, 0);
}

// A finger that is still down after using a line moves the cursor to the
// line it slides onto, but using that line waits for a new touch.
TEST_F(CompleteMenus, TouchMovesTheCursorWhileLatchedButUsesOnlyAfterRelease) {
  OpenOptions();
  const float x = 320, sound = 140, iCade = 180;  // line bands start at y = 128 and 168
  MouseDown(x, sound);
  Update();
  EXPECT_EQ(app->m_optCursor, 1);
  EXPECT_EQ(app->m_options[5], 1);  // sound used once
  EXPECT_EQ(app->m_optTouchLatch, 1);
  MouseMove(x, iCade);
  Run(3);
  EXPECT_EQ(app->m_optCursor, 2) << "the cursor follows the finger";
  EXPECT_EQ(hx_Zelk_iCadeControls, 0) << "but the line is not used while latched";
  EXPECT_EQ(app->m_options[5], 1);
  MouseUp();
  Update();
  EXPECT_EQ(app->m_optTouchLatch, 0);
  MouseDown(x, iCade);
  Update();
  EXPECT_EQ(app->m_optCursor, 2);
  EXPECT_EQ(hx_Zelk_iCadeControls, 1);
  MouseUp();
  Update();
  app->p_iCade(0);
}

TEST_F(CompleteMenus, ScreenLineNamesTheModeItSwitchesTo) {
  OpenOptions();
  app->m_fullscreen = 0;
  Update();
  EXPECT_NE(DrawnText().find("Fullscreen"), std::string::npos);
  app->m_fullscreen = 1;
  Update();
  EXPECT_NE(DrawnText().find("Windowed"), std::string::npos);
  EXPECT_EQ(DrawnText().find("Fullscreen"), std::string::npos);
}

TEST_F(CompleteMenus, ClosingOptionsSavesOpeningCreditsFromThemDoesNot) {
  OpenOptions();
  Press(KEY_ENTER);  // the cursor is on the back gear
  EXPECT_EQ(app->m_optionsOpen, 0);
  EXPECT_EQ(host->saves, 1);
  EXPECT_FALSE(host->state.empty());

  Run(32);
  OpenOptions();
  Press(KEY_ESCAPE);  // back closes and saves too
  EXPECT_EQ(app->m_optionsOpen, 0);
  EXPECT_EQ(host->saves, 2);

  Run(32);
  OpenOptions();
  for (int i = 0; i < 6; ++i) Press(KEY_DOWN);
  EXPECT_EQ(app->m_optCursor, 4);  // not beyond the last line
  Press(KEY_ENTER);
  EXPECT_EQ(app->m_optionsOpen, 0);
  EXPECT_EQ(app->m_creditsOpen, 1);
  EXPECT_EQ(host->saves, 2);
}

TEST_F(CompleteMenus, CreditsScrollAndClose) {
  Run(3);
  Press(KEY_N);  // button 15
  ASSERT_EQ(app->m_creditsOpen, 1);
  Run(200);
  EXPECT_EQ(app->m_creditsSlide, 30);
  EXPECT_GT(app->m_creditLine, 0);
  EXPECT_NE(DrawnText().find("Developedusing"), std::string::npos);
  Press(KEY_ENTER);
  EXPECT_EQ(app->m_creditsOpen, 0);
  EXPECT_EQ(app->m_gameMode, 1);  // closing did not start a game
  // Odd screens: too few tiles for the colour ramps, scrolling for a long time.
  for (float h : {10.0f, 30.0f, 2000.0f}) {
    hx_Zelk_jscrh = h;
    app->m_creditsOpen = 1;
    app->m_creditLine = 2147483600;
    Run(5);
  }
}

// Nothing dark is drawn behind the scrolling credit lines: they sit on
// the picture and the grey tiles.
TEST_F(CompleteMenus, CreditLinesHaveNoDarkBandBehindThem) {
  Run(3);
  Press(KEY_N);  // button 15
  ASSERT_EQ(app->m_creditsOpen, 1);
  Run(60);
  ASSERT_EQ(app->m_creditsSlide, 30);
  const float W = hx_Zelk_jscrw, H = hx_Zelk_jscrh;
  // Points across the band the lines scroll through.
  const float points[][2] = {{W / 2 + 24, H / 2}, {W / 2 - 40, H / 2 - 40}, {W / 2 + 100, H / 2 + 40}};
  int dark = 0;
  for (int i = 0; i < DrawCount(); ++i) {
    if (Cmd(i, 0) != ZELK_KIND_RECT || Cmd(i, 7) <= 0) continue;
    if (Cmd(i, 10) > 64 || Cmd(i, 11) > 64 || Cmd(i, 12) > 64) continue;
    for (const auto& p : points)
      if (Cmd(i, 1) <= p[0] && p[0] < Cmd(i, 1) + Cmd(i, 4) && Cmd(i, 2) <= p[1] &&
          p[1] < Cmd(i, 2) + Cmd(i, 5))
        ++dark;
  }
  EXPECT_EQ(dark, 0);
  EXPECT_FALSE(DrawnText().empty()) << "the lines are drawn";
}

TEST_F(CompleteMenus, PauseResumeAndQuitEndThroughTheGameOverPanel) {
  app->m_scores[0] = 500;
  StartGame(1);
  Run(5);
  Press(KEY_ESCAPE);
  EXPECT_EQ(app->m_paused, 1);
  Run(15);
  EXPECT_EQ(app->m_pauseY, 240);
  Press(KEY_ESCAPE);  // back resumes
  EXPECT_EQ(app->m_pauseSel, -1);
  Run(20);
  EXPECT_EQ(app->m_paused, 0);

  Press(KEY_ESCAPE);
  Run(12);
  Press(KEY_LEFT);
  EXPECT_EQ(app->m_pauseTimer, -1);
  Press(KEY_ENTER);  // quit
  EXPECT_EQ(app->m_paused, 0);
  EXPECT_EQ(app->m_gameOver, 1);
  Ent(1, 9) = 1234;  // the score the game ended with
  bool sawPanel = false;
  RunUntil(
      [&] {
        std::string t = DrawnText();
        if (t.find("GAME") != std::string::npos && t.find("NewHighscore") != std::string::npos &&
            t.find("1st!") != std::string::npos)
          sawPanel = true;
        return app->m_gameMode == 1;
      },
      200);
  EXPECT_TRUE(sawPanel);
  EXPECT_EQ(app->m_gameMode, 1);
  EXPECT_EQ(app->m_scores[0], 1234);
  EXPECT_EQ(app->m_scores[1], 500);
  EXPECT_EQ(app->m_scores[10], 1234);
  EXPECT_EQ(host->saves, 1);
  EXPECT_NE(host->state.find("|1234|"), std::string::npos);
  // The panel fades over the menu.
  Run(40);
  EXPECT_EQ(app->m_gameOverTimer, 0);
}

// Losing the focus pauses with Resume highlighted, whatever an earlier
// pause left highlighted, so the confirm key of a returning player (the
// flap key) does not quit the game.
TEST_F(CompleteMenus, FocusLossPauseHighlightsResume) {
  StartGame(1);
  Run(5);
  Press(KEY_ESCAPE);
  Run(12);
  Press(KEY_LEFT);
  ASSERT_EQ(app->m_pauseTimer, -1);  // Quit highlighted
  Press(KEY_ESCAPE);                 // back resumes
  Run(20);
  ASSERT_EQ(app->m_paused, 0);

  app->p_OnSuspend();  // no updates run while the window is in the background
  app->p_OnResume();
  Run(12);
  ASSERT_EQ(app->m_paused, 1);
  EXPECT_EQ(app->m_pauseTimer, 0);
  Press(KEY_Z);  // flap confirms
  Run(20);
  EXPECT_EQ(app->m_paused, 0);
  EXPECT_EQ(app->m_gameOver, 0);
  EXPECT_EQ(app->m_gameMode, 10);
}

TEST_F(CompleteMenus, TheAnnouncedPlaceIsWhereTheScoreIsStored) {
  for (int k = 0; k < 10; ++k) app->m_scores[k] = 100 - 10 * k;
  struct Case {
    int score;
    const char* place;  // nullptr: no announcement
  } cases[] = {{90, "3rd"}, {95, "2nd"}, {101, "1st!"}, {10, nullptr}, {0, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    app->m_gameMode = 10;
    app->m_players = 1;
    app->m_score = c.score;
    app->m_gameOverTimer = 30;
    app->m_drawCount = 0;
    app->p_GameOver();
    std::string t = DrawnText();
    if (c.place) EXPECT_NE(t.find(std::string("NewHighscore") + c.place), std::string::npos) << t;
    else EXPECT_EQ(t.find("NewHighscore"), std::string::npos) << t;
  }
}

TEST_F(CompleteMenus, TwoCreatureMatchResults) {
  struct Case {
    float one, two;
    const char* text;
  } cases[] = {{0, 1, "PlayerTwoWins"}, {1, 0, "PlayerOneWins"}, {0, 0, "DRAW!!!"}, {1, 3, "DRAW!!!"}};
  for (const Case& c : cases) {
    app->m_players = 3;
    app->m_gameMode = 10;
    app->m_gameOverTimer = 30;
    Ent(1, 0) = c.one;
    Ent(2, 0) = c.two;
    app->m_drawCount = 0;
    app->p_GameOver();
    EXPECT_NE(DrawnText().find(c.text), std::string::npos) << DrawnText();
  }
}

TEST_F(CompleteMenus, FullscreenFlipWithoutADesktopWindowChangesNothing) {
  app->p_FullscreenFlip();
  EXPECT_EQ(app->m_fullscreen, 0);
}

TEST_F(CompleteMenus, BackOnTheTitleMenuEndsTheProgram) {
  Run(3);
  EXPECT_EXIT(
      {
        Hold(KEY_ESCAPE);
        Update();
      },
      testing::ExitedWithCode(0), "");
}
