// A whole one-player game from seed 1234 with a fixed input script, from
// the first update to the end of the game-over panel. The test follows the
// field update by update and derives the score, the level and the moment
// the game ends from what it sees happen, so that a change to any rule or
// to the order of random draws shows up as a mismatch, and it pins the
// figures of this script as well.
#include <vector>

#include "game_harness.h"

namespace {

struct GameFigures {
  int score = 0;
  int level = 0;
  int updates = 0;        // updates from the start to mode 2
  int playerRemovedAt = 0;
  int removedBaddies = 0;
  int baddieLivesLost = 0;
  int baddieDeaths = 0;
  int playerHits = 0;
  int maxBaddies = 0;
  int seed = 0;
};

class PlayGame : public GameHarness {
 protected:
  // The input script: a flap every 16 updates (held for 3), steering right
  // for 150 updates and left for 90, keyboard only.
  void Script(int f) {
    if (f % 16 == 0) Hold(KEY_SPACE);
    if (f % 16 == 3) Release(KEY_SPACE);
    if (f % 240 == 0) {
      Release(KEY_LEFT);
      Hold(KEY_RIGHT);
    }
    if (f % 240 == 150) {
      Release(KEY_RIGHT);
      Hold(KEY_LEFT);
    }
  }

  GameFigures PlayWholeGame() {
    GameFigures g;
    StartGame(1);
    EXPECT_EQ(app->m_gameMode, 10);
    EXPECT_EQ(app->m_level, 1);
    EXPECT_EQ(app->m_killsToNext, 3);
    EXPECT_EQ(Ent(1, 0), 1);
    EXPECT_EQ(Ent(1, 8), 3);

    const int kLimit = 60 * 60 * 30;  // half an hour of play
    int f = 0;
    for (; f < kLimit && app->m_gameMode == 10; ++f) {
      std::vector<float> before(app->m_ents.Data(), app->m_ents.Data() + 420);
      Script(f);
      Update();
      const float H = hx_Zelk_jscrh;
      int baddies = 0;
      for (int e = 1; e <= 20; ++e) {
        const float* old = &before[20 * e];
        const float type = Ent(e, 0), lives = Ent(e, 8);
        if (type > 4) ++baddies;
        if (old[0] > 4) {
          // A dying baddie that left the bottom, possibly replaced in the
          // same update by a new arrival (protected and showing hearts for
          // 320 updates).
          bool arrived = Ent(e, 15) == 320 && Ent(e, 17) == 320;
          bool removed = old[8] < 1 && (type == 0 || arrived);
          if (removed) {
            EXPECT_GT(old[2] + 6.1f, H + 64) << "removed only 64 below the screen";
            ++g.removedBaddies;
          } else if (lives < old[8]) {
            g.baddieLivesLost += static_cast<int>(old[8] - lives);
            if (lives < 1) ++g.baddieDeaths;
          }
        }
        if (e == 1 && old[0] == 1) {
          if (lives < old[8]) g.playerHits += static_cast<int>(old[8] - lives);
          if (type == 0 && g.playerRemovedAt == 0) g.playerRemovedAt = f;
        }
      }
      if (baddies > g.maxBaddies) g.maxBaddies = baddies;
      // Figures that must hold after every update.
      int expectedLevel = 1 + g.removedBaddies / 3;
      if (expectedLevel > 15) expectedLevel = 15;
      EXPECT_EQ(app->m_level, expectedLevel) << "update " << f;
      EXPECT_EQ(app->m_score, 5 * g.baddieLivesLost + 20 * g.baddieDeaths) << "update " << f;
      EXPECT_LE(baddies, app->m_level) << "update " << f;
      if (::testing::Test::HasFailure()) break;
    }
    g.updates = f;
    g.score = app->m_score;
    g.level = app->m_level;
    g.seed = hx_random_Seed;
    return g;
  }
};

TEST_F(PlayGame, ScriptedGameFromSeed1234FollowsTheRules) {
  GameFigures g = PlayWholeGame();
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(app->m_gameMode, 2) << "finished";
  Update();
  EXPECT_EQ(app->m_gameMode, 1) << "the score is recorded and the menu is back";
  EXPECT_EQ(g.playerHits, 3) << "three lives";
  EXPECT_GT(g.playerRemovedAt, 0);
  // The game-over panel runs 90 updates from the update the player fell
  // out (counting that one) before the game is finished.
  EXPECT_EQ(g.updates, g.playerRemovedAt + 90);
  EXPECT_EQ(app->m_scores[0], g.score) << "recorded as the best score";
  EXPECT_EQ(app->m_scores[10], g.score) << "and as the last one";

  // The figures of this script; any change to the rules or to the random
  // stream moves them.
  RecordProperty("score", g.score);
  RecordProperty("level", g.level);
  RecordProperty("updates", g.updates);
  EXPECT_EQ(g.score, 100);
  EXPECT_EQ(g.level, 2);
  EXPECT_EQ(g.updates, 4411);
  EXPECT_EQ(g.removedBaddies, 4);
}

TEST_F(PlayGame, TheSameScriptPlaysTheSameGame) {
  GameFigures a = PlayWholeGame();
  NewApp();
  GameFigures b = PlayWholeGame();
  EXPECT_EQ(a.score, b.score);
  EXPECT_EQ(a.updates, b.updates);
  EXPECT_EQ(a.seed, b.seed);
}

}  // namespace
