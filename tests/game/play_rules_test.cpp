// The rules of play, one update at a time on hand-made fields.
#include <cmath>

#include "game_harness.h"

namespace {

class PlayRules : public GameHarness {
 protected:
  // Mode 10 on an empty field: no bricks, no entities, and level 0 so that
  // no baddie arrives unless a test asks for one.
  void SetUp() override {
    GameHarness::SetUp();
    app->m_gameMode = 10;
    app->m_players = 1;
    app->m_level = 0;
    app->m_killsToNext = 3;
    app->m_stickAnchorX = -1;
    ClearField();
  }
  // Player one standing still in mid-air, unprotected.
  void PutPlayer(float x, float y, float lives = 3) { PutEnt(1, 1, x, y, lives); }
  void PutBaddie(int e, float x, float y, float lives = 1) { PutEnt(e, 5, x, y, lives); }
  float Floor() const { return hx_Zelk_jscrh - 18; }
};

TEST_F(PlayRules, HoldingJumpFlapsOnceAndEachNewPressFlapsAgainInMidAir) {
  PutPlayer(100, Floor());
  // Script of jump states per update and whether that update flaps.
  const struct {
    bool held, flaps;
  } script[] = {
      {true, true},  {true, false}, {true, false},  {true, false}, {false, false},
      {true, true},  {false, false}, {true, true},  {true, false},
  };
  for (const auto& s : script) {
    if (s.held) {
      Hold(KEY_SPACE);
    } else {
      Release(KEY_SPACE);
    }
    Update();
    EXPECT_EQ(Ent(1, 4) == -2.0f, s.flaps) << "update " << updates;
    EXPECT_EQ(Ent(1, 7), s.held ? 1.0f : 0.0f) << "latch, update " << updates;
  }
  EXPECT_LT(Ent(1, 2), Floor() - 10) << "in the air throughout";
}

TEST_F(PlayRules, UpAndPadOfPortZeroJumpToo) {
  PutPlayer(100, Floor());
  Hold(KEY_W);
  Update();
  EXPECT_EQ(Ent(1, 4), -2.0f);
  Release(KEY_W);
  Update();
  PadButton(0, 0, true);
  Update();
  EXPECT_EQ(Ent(1, 4), -2.0f);
}

TEST_F(PlayRules, HeadBumpBelowABrickGivesVyTwo) {
  const struct {
    float dx, y;
    bool bump;
  } cases[] = {
      {0, 206, true},    // centre: |by - y| < 8
      {55, 206, true},   {56, 206, false},
      {51, 216, true},   // the lower zone: |(by + 10) - y| < 8, narrower
      {52, 216, false},
      {0, 226, false},   // too far below
  };
  for (const auto& c : cases) {
    SetUp();
    PutBrick(0, 300, 200);
    PutPlayer(300 + c.dx, c.y + 1);
    Ent(1, 4) = -1;
    Update();  // y += vy first, then the brick test
    if (c.bump) {
      EXPECT_EQ(Ent(1, 4), 2.0f) << c.dx << "," << c.y;
    } else {
      EXPECT_NEAR(Ent(1, 4), -0.9f, 1e-5) << c.dx << "," << c.y;
    }
  }
}

TEST_F(PlayRules, LandingNeedsFallingAndFeetWithinEightOfEighteenAbove) {
  const struct {
    float dx, yAfterMove, vy;
    bool lands;
  } cases[] = {
      {0, 200 - 18, 1, true},     {59, 200 - 18 + 7.5f, 1, true}, {60, 200 - 18, 1, false},
      {0, 200 - 18 - 8, 1, false}, {0, 200 - 18 + 8, 1, false},   {0, 200 - 18, -0.5f, false},
  };
  for (const auto& c : cases) {
    SetUp();
    PutBrick(0, 300, 200);
    PutPlayer(300 + c.dx, c.yAfterMove - c.vy);
    Ent(1, 4) = c.vy;
    Update();
    if (c.lands) {
      EXPECT_EQ(Ent(1, 2), 200 - 25) << c.dx << "," << c.yAfterMove;
      EXPECT_EQ(Ent(1, 4), 0) << c.dx << "," << c.yAfterMove;
      EXPECT_EQ(app->m_airborne, 0);
    } else {
      EXPECT_NE(Ent(1, 2), 200 - 25) << c.dx << "," << c.yAfterMove;
      EXPECT_EQ(app->m_airborne, 1);
    }
  }
  // Standing on a brick is stable.
  SetUp();
  PutBrick(0, 300, 200);
  PutPlayer(300, 175);
  Run(30);
  EXPECT_EQ(Ent(1, 2), 175);
}

TEST_F(PlayRules, FloorHoldsTheLivingAndSoftCeilingPushesPlayersDown) {
  PutPlayer(100, 470);
  Ent(1, 4) = 3;
  Update();
  EXPECT_EQ(Ent(1, 2), Floor());
  EXPECT_EQ(Ent(1, 4), 0);

  SetUp();
  PutPlayer(100, 5);
  Update();  // y < 14 and y < 7: +0.1 gravity +0.3 +0.3
  EXPECT_NEAR(Ent(1, 4), 0.7f, 1e-5);
  SetUp();
  PutBaddie(3, 100, 5);
  Update();
  EXPECT_NEAR(Ent(3, 4), 0.1f, 1e-5) << "no ceiling for baddies";
}

struct ContactCase {
  const char* name;
  float dy;            // y(player) - y(baddie)
  float baddieLives;
  float playerLives;   // after
  float baddieAfter;   // lives after
  float playerScore;
  float baddieScore;
};

TEST_F(PlayRules, ContactsPushOrCostTheLowerOneALife) {
  const ContactCase cases[] = {
      {"level, push only", 3, 1, 3, 1, 0, 0},
      {"dy 5 still a push", 5, 1, 3, 1, 0, 0},
      {"dy -5 still a push", -5, 1, 3, 1, 0, 0},
      {"player lower by 6", 6, 1, 2, 1, 0, 5},
      {"baddie lower, last life", -6, 1, 3, 0, 25, 0},
      {"baddie lower, two lives", -6, 2, 3, 1, 5, 0},
      {"too far apart vertically", 14, 1, 3, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    PutPlayer(300, 300);
    PutBaddie(3, 310, 300 - c.dy, c.baddieLives);
    Update();
    EXPECT_EQ(Ent(1, 8), c.playerLives);
    EXPECT_EQ(Ent(3, 8), c.baddieAfter);
    EXPECT_EQ(Ent(1, 9), c.playerScore);
    EXPECT_EQ(Ent(3, 9), c.baddieScore);
    const bool touched = std::fabs(c.dy) < 14;
    if (touched) {
      // Player one (left, dx -10) is sent toward the baddie and vice versa.
      EXPECT_EQ(Ent(3, 3), -2.5f);
      EXPECT_GT(Ent(1, 16), 0) << "bounce cooldown";
    } else {
      EXPECT_EQ(Ent(3, 3), 0);
    }
    if (c.playerLives < 3) {
      EXPECT_EQ(Ent(1, 15), 239) << "protected for 240 updates (one counted)";
      EXPECT_NEAR(Ent(3, 4), -1.9f, 1e-5) << "the upper one bounced (-2, then its own gravity)";
      EXPECT_EQ(app->m_score, 0);
    }
    if (c.baddieAfter == 0) {
      EXPECT_NEAR(Ent(3, 4), -0.95f, 1e-5) << "dying entity hops (-1, then falling gravity)";
      EXPECT_EQ(Ent(3, 15), 0);
      EXPECT_EQ(app->m_score, 25);
    }
  }
}

TEST_F(PlayRules, AHitPlayerThrows17ParticlesAndABaddieFour) {
  PutPlayer(300, 300);
  PutBaddie(3, 310, 306, 2);
  Update();
  int live = 0;
  for (int k = 0; k <= 250; ++k) {
    if (Part(k, 0) == 0) continue;
    ++live;
    EXPECT_EQ(Part(k, 8), 1) << "baddies burst in colour 1";
  }
  EXPECT_EQ(live, 4);

  SetUp();
  PutPlayer(300, 306);
  PutBaddie(3, 310, 300);
  Update();
  live = 0;
  for (int k = 0; k <= 250; ++k) {
    if (Part(k, 0) == 0) continue;
    ++live;
    EXPECT_EQ(Part(k, 8), 3) << "players burst in colour 3";
    EXPECT_TRUE(Part(k, 0) == 1 || Part(k, 0) == 2);
  }
  EXPECT_EQ(live, 17);
}

TEST_F(PlayRules, TwoBaddiesPassThroughEachOther) {
  PutBaddie(3, 300, 300);
  PutBaddie(4, 305, 310);
  Ent(3, 11) = 1;
  Update();
  EXPECT_EQ(Ent(3, 8), 1);
  EXPECT_EQ(Ent(4, 8), 1);
  EXPECT_EQ(Ent(3, 3), 0);
  EXPECT_EQ(Ent(4, 16), -1) << "cooldown only counts down";
}

TEST_F(PlayRules, ProtectionOrCooldownPreventsContact) {
  for (int field : {15, 16}) {
    SetUp();
    PutPlayer(300, 306);
    PutBaddie(3, 310, 300);
    Ent(3, field) = 5;
    Update();
    EXPECT_EQ(Ent(1, 8), 3) << "field " << field;
  }
}

TEST_F(PlayRules, DyingEntitiesFallThroughAndAreRemoved64Below) {
  for (float type : {5.0f, 1.0f}) {
    SetUp();
    PutBrick(0, 300, 300);
    const int e = type == 1 ? 1 : 3;
    if (e == 3) {  // a living player keeps the game going
      PutPlayer(100, Floor());
      Ent(1, 15) = 1000;
    }
    PutEnt(e, type, 300, 250, 0);
    float lastY = Ent(e, 2);
    int n = RunUntil([&] { return Ent(e, 0) == 0; }, 1000);
    ASSERT_LT(n, 1000) << "type " << type << " mode " << app->m_gameMode << " y " << Ent(e, 2);
    // It passed the brick and the floor without stopping.
    EXPECT_EQ(app->m_killsToNext, type == 1 ? 3 : 2);
    EXPECT_GT(Ent(e, 2), hx_Zelk_jscrh + 64);
    EXPECT_LE(Ent(e, 2), hx_Zelk_jscrh + 64 + 6);
    EXPECT_GT(Ent(e, 2), lastY);
    EXPECT_EQ(Ent(e, 10), 3.0f * n) << "tumbles 3 degrees per update";
  }
}

TEST_F(PlayRules, EveryThirdRemovedBaddieRaisesTheLevelAndBringsOneMore) {
  app->m_level = 1;
  app->m_killsToNext = 1;
  PutPlayer(100, Floor());
  Ent(1, 15) = 1000;
  PutEnt(3, 6, 300, hx_Zelk_jscrh + 70, 0);
  Update();
  EXPECT_EQ(app->m_level, 2);
  EXPECT_EQ(app->m_killsToNext, 3);
  // The removed baddie still counted in this update, so one arrives now
  // (1 < 2) and the next update brings the second.
  int baddies = 0;
  for (int e = 3; e <= 20; ++e)
    if (Ent(e, 0) > 4) ++baddies;
  EXPECT_EQ(baddies, 1);
  EXPECT_GT(Ent(20, 0), 4) << "highest free slot";
  Update();
  baddies = 0;
  for (int e = 3; e <= 20; ++e)
    if (Ent(e, 0) > 4) ++baddies;
  EXPECT_EQ(baddies, 2);
  Run(5);
  EXPECT_EQ(Ent(18, 0), 0) << "no more than the level";

  app->m_level = 15;
  app->m_killsToNext = 0;
  Update();
  EXPECT_EQ(app->m_level, 15) << "capped";
}

TEST_F(PlayRules, AddBaddieFillsTheHighestFreeSlotAndDrawsInOrder) {
  app->m_level = 9;
  for (int e = 3; e <= 20; ++e) PutEnt(e, 5, 0, 0);
  Ent(7, 0) = 0;
  Ent(12, 0) = 0;
  hx_random_Seed = 1234;
  app->p_AddBaddie();
  EXPECT_EQ(Ent(7, 0), 0);
  ASSERT_GE(Ent(12, 0), 5);
  EXPECT_LE(Ent(12, 0), 8);
  // Replay the stream: type, x, y, then the two life draws of level 9.
  hx_random_Seed = 1234;
  float type = std::floor(hx_random_Rnd2(0, 3.99f) + 5);
  float x = hx_random_Rnd2(0, 1) * (640 - 64) + 32;
  float y = -(hx_random_Rnd2(0, 128) + 32);
  float lives = 1;
  if (hx_random_Rnd2(0, 3) < 1) lives = 2;
  if (hx_random_Rnd2(0, 3) < 1) lives = 3;
  EXPECT_EQ(Ent(12, 0), type);
  EXPECT_EQ(Ent(12, 1), x);
  EXPECT_EQ(Ent(12, 2), y);
  EXPECT_EQ(Ent(12, 8), lives);
  EXPECT_EQ(Ent(12, 15), 320);
  EXPECT_EQ(Ent(12, 17), 320);
  EXPECT_EQ(Ent(12, 19), 480 * 0.8f);
  EXPECT_EQ(Ent(12, 3), 0);

  for (int e = 3; e <= 20; ++e) PutEnt(e, 5, 0, 0);
  int seed = hx_random_Seed;
  app->p_AddBaddie();
  EXPECT_EQ(hx_random_Seed, seed) << "all taken: nothing happens";
}

TEST_F(PlayRules, EntitiesWrapAtMinusEightAndWPlusEight) {
  const struct {
    float x, vx, expected;
  } cases[] = {
      {-7.5f, -1, -7.5f - 0.95f + 656},
      {-7.0f, -1, -7.95f},
      {647.5f, 1, 647.5f + 0.95f - 656},
      {647.0f, 1, 647.95f},
  };
  for (const auto& c : cases) {
    SetUp();
    PutPlayer(c.x, 200);
    Ent(1, 3) = c.vx;
    Update();
    EXPECT_NEAR(Ent(1, 1), c.expected, 1e-4) << c.x;
  }
}

TEST_F(PlayRules, SteeringOnTheGroundAndInTheAir) {
  // Ground: d = 2 * stick, no momentum.
  PutPlayer(100, Floor());
  Hold(KEY_RIGHT);
  Update();  // stick 0.15: d = 0.3, just enough to move
  EXPECT_NEAR(Ent(1, 1), 100.3f, 1e-4);
  EXPECT_EQ(Ent(1, 3), 0) << "no momentum on the ground";
  Update();  // stick 0.3: d = 0.6
  EXPECT_NEAR(Ent(1, 1), 100.9f, 1e-4);
  EXPECT_EQ(Ent(1, 5), 1);
  Release(KEY_RIGHT);
  Hold(KEY_LEFT);
  Run(3);  // ramp 0.3 -> 0.1 -> -0.05 -> -0.2 ... facing turns once d < -0.15
  Run(2);
  EXPECT_EQ(Ent(1, 5), -1);

  // Air: velocity builds by stick * 0.3 and is clamped to 3.2.
  SetUp();
  PutPlayer(100, 100);
  Ent(1, 15) = 1000;
  PadStick(0, 1, 0);
  Run(20);
  EXPECT_FLOAT_EQ(Ent(1, 3), 3.2f);
  PadStick(0, 0, 0);
  Update();
  EXPECT_NEAR(Ent(1, 3), 3.15f, 1e-5) << "drifts 0.05 toward 0";
}

TEST_F(PlayRules, PauseFreezesMovementButCooldownStillCounts) {
  PutPlayer(200, 200);
  Ent(1, 4) = 1;
  Ent(1, 16) = 10;
  Ent(1, 15) = 10;
  Ent(1, 7) = 1;
  app->m_paused = 1;
  app->m_pauseSel = 1;
  Update();
  EXPECT_EQ(Ent(1, 2), 200);
  EXPECT_EQ(Ent(1, 4), 1);
  EXPECT_EQ(Ent(1, 7), 0) << "no flap latch while paused";
  EXPECT_EQ(Ent(1, 16), 9) << "only the step-9 countdown";
  EXPECT_EQ(Ent(1, 15), 10);
}

TEST_F(PlayRules, GameEndsPerVariant) {
  const struct {
    int players;
    bool gone1, gone2, over;
  } cases[] = {
      {1, true, false, true},  {1, false, false, false}, {2, true, false, false},
      {2, true, true, true},   {3, false, true, true},   {3, false, false, false},
  };
  for (const auto& c : cases) {
    SetUp();
    app->m_players = c.players;
    PutPlayer(100, 100);
    PutEnt(2, 3, 300, 100, 3);
    Ent(1, 15) = Ent(2, 15) = 1000;
    if (c.gone1) Ent(1, 0) = 0, Ent(1, 8) = 0;
    if (c.gone2) Ent(2, 0) = 0, Ent(2, 8) = 0;
    app->m_gameOver = 0;
    Update();
    EXPECT_EQ(app->m_gameOver, c.over ? 1 : 0) << c.players << c.gone1 << c.gone2;
  }
}

TEST_F(PlayRules, VariantThreeHasNoBaddiesNoScoreAndNoHud) {
  app->m_players = 3;
  app->m_level = 5;
  PutPlayer(100, 100);
  PutEnt(2, 3, 300, 100, 3);
  Ent(1, 9) = 40;
  Update();
  for (int e = 3; e <= 20; ++e) EXPECT_EQ(Ent(e, 0), 0);
  EXPECT_EQ(app->m_score, 0);
  EXPECT_EQ(CountKind(static_cast<float>(app->m_fontSlot)), 0);

  SetUp();
  PutPlayer(100, 100);
  Update();
  EXPECT_GT(CountKind(static_cast<float>(app->m_fontSlot)), 0) << "variant 1 shows the HUD";
  app->m_hideHud = 1;
  Update();
  EXPECT_EQ(CountKind(static_cast<float>(app->m_fontSlot)), 0) << "F2 hides it";
}

TEST_F(PlayRules, SecondCreatureSharesTheControls) {
  app->m_players = 2;
  PutPlayer(100, Floor());
  PutEnt(2, 3, 400, Floor(), 3);
  Ent(1, 15) = Ent(2, 15) = 1000;
  Hold(KEY_SPACE);
  Hold(KEY_RIGHT);
  Run(3);
  EXPECT_EQ(Ent(2, 7), 1) << "flapped on the same input";
  EXPECT_GT(Ent(2, 1), 400) << "moved by player one's step";
}

TEST_F(PlayRules, ShownScoreEasesTowardTheScore) {
  PutPlayer(100, 100);
  Ent(1, 15) = 1000;
  Ent(1, 9) = 100;
  // The easing uses the score of the previous update, in steps of a sixth
  // (whole-number division), and snaps once within 5.
  const int shown[] = {0, 16, 30, 41, 50, 58, 65, 70, 75, 79, 82, 85, 87, 89, 90, 91, 92, 93, 94, 100};
  for (int s : shown) {
    Update();
    EXPECT_EQ(app->m_shownScore, s);
  }
  EXPECT_EQ(app->m_score, 100);
}

TEST_F(PlayRules, HudTargetsTheNextEntryToBeat) {
  const int table[10] = {100, 90, 80, 70, 60, 50, 40, 30, 20, 10};
  const struct {
    int score, rank, target;
  } cases[] = {
      {0, 10, 10}, {10, 10, 10}, {11, 8, 20}, {55, 4, 60}, {95, 0, 100}, {150, 0, 100},
  };
  for (const auto& c : cases) {
    SetUp();
    for (int i = 0; i < 10; ++i) app->m_scores[i] = table[i];
    PutPlayer(100, 100);
    Ent(1, 15) = 1000;
    Ent(1, 9) = static_cast<float>(c.score);
    Update();
    EXPECT_EQ(app->m_key, c.rank) << c.score;
    EXPECT_EQ(app->m_targetScore, c.target) << c.score;
  }
  // Empty entries are passed at once.
  SetUp();
  app->m_scores[0] = 50;
  PutPlayer(100, 100);
  Update();
  EXPECT_EQ(app->m_key, 0);
  EXPECT_EQ(app->m_targetScore, 50);
}

TEST(PlayRanks, NthAndMyNth) {
  HarnessProcess();
  c_MyApp* app = new c_MyApp();
  const struct {
    int n;
    const char* text;
  } nth[] = {{0, ""}, {1, "1st"}, {2, "2nd"}, {3, "3rd"}, {4, "4th"}, {10, "10th"}, {11, ""}, {-1, ""}};
  for (const auto& c : nth) EXPECT_EQ(app->p_Nth(c.n).ToUtf8(), c.text) << c.n;

  app->m_players = 1;
  const int table[10] = {100, 90, 80, 70, 60, 50, 40, 30, 20, 10};
  for (int i = 0; i < 10; ++i) app->m_scores[i] = table[i];
  const struct {
    int score;
    const char* text;
  } mine[] = {{100, "1st!"}, {150, "1st!"}, {99, "2nd"}, {90, "2nd"}, {10, "10th"}, {9, ""}};
  for (const auto& c : mine) {
    app->m_score = c.score;
    EXPECT_EQ(app->p_MyNth().ToUtf8(), c.text) << c.score;
  }
  app->m_players = 2;  // its table starts at element 10, all zero
  app->m_score = 0;
  EXPECT_EQ(app->p_MyNth().ToUtf8(), "1st!");
  app->m_players = 9;
  EXPECT_EQ(app->p_MyNth().ToUtf8(), "") << "no table for that variant";
}

TEST(PlayRanks, WhichWayDoIGoTakesTheShorterWayAround) {
  const struct {
    float from, to;
    int lo, hi, sign;
  } cases[] = {
      {100, 200, 0, 639, 1},  {200, 100, 0, 639, -1}, {10, 630, 0, 639, -1},
      {630, 10, 0, 639, 1},   {-20, 5, 0, 639, 1},    {5, 5, 0, 639, 0},
      {0, 319, 0, 639, 1},    {0, 320, 0, 639, -1},   {3, 1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    int r = c_MyApp::m_WhichWayDoIGo(c.from, c.to, c.lo, c.hi);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.from << "->" << c.to;
  }
}

}  // namespace
