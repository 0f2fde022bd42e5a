// Saved settings, badges and score lists: the exact saved text, checksum
// failures per section, the option rules, damaged state files, recording a
// finished game's score, a new game's set-up and the badge texts.
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "game_harness.h"

namespace {

std::vector<std::string> SplitBars(const std::string& s) {
  std::vector<std::string> out(1);
  for (char c : s) {
    if (c == '|') out.emplace_back();
    else out.back() += c;
  }
  return out;
}

std::string JoinBars(const std::vector<std::string>& v) {
  std::string s;
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) s += '|';
    s += v[i];
  }
  return s;
}

}  // namespace

class CompletePersist : public GameHarness {
 public:
  // The members as p_OnCreate leaves them before p_Load.
  void CreateDefaults() {
    for (int i = 0; i < 25; ++i) app->m_options[i] = 0;
    app->m_options[5] = 1;
    for (int i = 0; i < 256; ++i) app->m_flags[i] = false;
    for (int i = 0; i < 50; ++i) app->m_scores[i] = 0;
  }
  // Loads `text` into a fresh application; returns what was printed.
  std::string LoadInto(const std::string& text) {
    NewApp();
    CreateDefaults();
    host->state = text;
    testing::internal::CaptureStdout();
    app->p_Load();
    return testing::internal::GetCapturedStdout();
  }
  // A saved text with recognisable values in every section.
  std::string Sample() {
    NewApp();
    CreateDefaults();
    app->m_options[5] = 3;
    app->m_options[10] = 100;
    app->m_options[11] = 70;
    app->m_options[12] = 12;
    app->m_options[14] = 1;
    app->m_options[24] = 7;
    app->m_flags[0] = true;
    app->m_flags[33] = true;
    app->m_flags[255] = true;  // bit 31 of word 7: written negative
    for (int j = 0; j < 10; ++j) {
      app->m_scores[j] = 1000 - 100 * j;
      app->m_scores[10 + j] = 7 * j + 1;
    }
    app->p_Save();
    return host->state;
  }
};

TEST_F(CompletePersist, FirstStartSavesTheDefaultText) {
  std::string out = LoadInto("");
  EXPECT_EQ(out, "");  // nothing saved: every section skipped silently
  app->p_Save();
  std::string expect = "0|0|0|0|0|1|0|0|0|0|64|64|10|0|1|0|0|0|0|0|0|0|0|0|0|1483|";
  for (int i = 0; i < 9; ++i) expect += "0|";
  for (int i = 0; i < 21; ++i) expect += "0|";
  EXPECT_EQ(host->state, expect);
  EXPECT_EQ(SplitBars(host->state).size(), 57u);
  EXPECT_EQ(hx_Zelk_overscan, 0.0f);
}

TEST_F(CompletePersist, RoundTripKeepsEveryValueAndTheExactText) {
  std::string text = Sample();
  auto pieces = SplitBars(text);
  ASSERT_EQ(pieces.size(), 57u);
  EXPECT_EQ(pieces[26], "1");            // flag 0
  EXPECT_EQ(pieces[27], "2");            // flag 33
  EXPECT_EQ(pieces[33], "-2147483648");  // flag 255 alone in word 7
  EXPECT_EQ(pieces[35], "1000");
  EXPECT_EQ(pieces[36], "1");
  EXPECT_EQ(pieces[56], "");

  std::string out = LoadInto(text);
  EXPECT_EQ(out, "Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\n");
  EXPECT_EQ(app->m_options[5], 3);
  EXPECT_EQ(app->m_options[10], 100);
  EXPECT_EQ(app->m_options[24], 7);
  EXPECT_TRUE(app->m_flags[0]);
  EXPECT_TRUE(app->m_flags[33]);
  EXPECT_TRUE(app->m_flags[255]);
  EXPECT_FALSE(app->m_flags[1]);
  for (int j = 0; j < 10; ++j) {
    EXPECT_EQ(app->m_scores[j], 1000 - 100 * j);
    EXPECT_EQ(app->m_scores[10 + j], 7 * j + 1);
  }
  app->p_Save();
  EXPECT_EQ(host->state, text);
}

TEST_F(CompletePersist, ChecksumsWrapAroundLikeThirtyTwoBitSums) {
  NewApp();
  CreateDefaults();
  app->m_options[10] = app->m_options[11] = 64;
  app->m_options[12] = 10;
  app->m_options[14] = 1;
  app->m_options[24] = INT_MAX;
  app->m_options[23] = INT_MIN;
  for (int j = 0; j < 20; ++j) app->m_scores[j] = INT_MAX - j;
  for (int i = 0; i < 256; ++i) app->m_flags[i] = true;  // every word is -1
  app->p_Save();
  std::string text = host->state;
  EXPECT_EQ(SplitBars(text)[34], "-8");
  std::string out = LoadInto(text);
  EXPECT_EQ(out, "Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\n");
  EXPECT_EQ(app->m_scores[0], INT_MAX);
  app->p_Save();
  EXPECT_EQ(host->state, text);
}

// Each section with one value changed by hand (its checksum left alone):
// only that section is thrown away, with its own log line.
TEST_F(CompletePersist, AHandEditedSectionIsResetAndTheOthersStillLoad) {
  struct Case {
    int piece;
    const char* log;
  } cases[] = {
      {12, "Settings Checksum Invalid\nBadges Loaded\nHighscore 0 Loaded\n"},
      {25, "Settings Checksum Invalid\nBadges Loaded\nHighscore 0 Loaded\n"},
      {27, "Settings Loaded\nBadge Checksum Invalid\nHighscore 0 Loaded\n"},
      {34, "Settings Loaded\nBadge Checksum Invalid\nHighscore 0 Loaded\n"},
      {40, "Settings Loaded\nBadges Loaded\nHighscore 0 Checksum Invalid\n"},
      {55, "Settings Loaded\nBadges Loaded\nHighscore 0 Checksum Invalid\n"},
  };
  const std::string good = Sample();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.piece);
    auto pieces = SplitBars(good);
    pieces[c.piece] = std::to_string(std::stol(pieces[c.piece]) + 3);
    std::string out = LoadInto(JoinBars(pieces));
    EXPECT_EQ(out, c.log);
    bool optionsBad = c.piece <= 25, badgesBad = c.piece >= 26 && c.piece <= 34, scoresBad = c.piece >= 35;
    // Options: reset to 0 with sound on, then the rules.
    EXPECT_EQ(app->m_options[5], optionsBad ? 1 : 3);
    EXPECT_EQ(app->m_options[10], optionsBad ? 64 : 100);
    EXPECT_EQ(app->m_options[12], optionsBad ? 10 : 12);
    EXPECT_EQ(app->m_options[24], optionsBad ? 0 : 7);
    EXPECT_EQ(app->m_options[14], 1);
    EXPECT_EQ(app->m_flags[33], !badgesBad);
    EXPECT_EQ(app->m_scores[0], scoresBad ? 0 : 1000);
    EXPECT_EQ(app->m_scores[19], scoresBad ? 0 : 64);
  }
}

TEST_F(CompletePersist, OptionRulesOnLoad) {
  struct Case {
    int index, saved, loaded;
  } cases[] = {
      {12, 5, 10}, {12, 8, 8}, {12, 0, 10},  {12, 30, 30}, {10, 0, 64}, {10, 63, 64},
      {10, 200, 200}, {11, -5, 64}, {14, 0, 1},  {14, 50, 1},  {14, 96, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " saved " << c.saved);
    NewApp();
    CreateDefaults();
    app->m_options[10] = app->m_options[11] = 64;
    app->m_options[12] = 10;
    app->m_options[c.index] = c.saved;
    app->p_Save();
    const std::string saved = host->state;
    std::string out = LoadInto(saved);
    EXPECT_EQ(out.rfind("Settings Loaded", 0), 0u);
    EXPECT_EQ(app->m_options[c.index], c.loaded);
    EXPECT_EQ(hx_Zelk_overscan, 0.0f);
  }
}

// Truncated, empty, binary, huge and odd files: no crash, the complete
// sections before the damage still load, a section cut short is skipped.
TEST_F(CompletePersist, DamagedStateFilesNeverCrashNorLoseEarlierSections) {
  const std::string good = Sample();
  for (size_t n = 0; n <= good.size(); ++n) {
    SCOPED_TRACE(n);
    std::string cut = good.substr(0, n);
    size_t pieces = SplitBars(cut).size();
    std::string out = LoadInto(cut);
    if (pieces >= 27) {  // options and their checksum complete
      EXPECT_EQ(out.rfind("Settings Loaded\n", 0), 0u) << out;
      EXPECT_EQ(app->m_options[5], 3);
    }
    if (pieces >= 36) {
      EXPECT_TRUE(app->m_flags[33]);
    }
    if (pieces >= 57) {
      EXPECT_EQ(app->m_scores[9], 100);
    }
    EXPECT_EQ(app->m_options[14], 1);
    EXPECT_GE(app->m_options[12], 8);
  }

  std::mt19937 rng(7);
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>(1 + rng() % 255);
  std::string huge;
  while (huge.size() < (1u << 20)) huge += "123456789012345|-|x|";
  const std::string odd[] = {
      "",
      "|",
      "||||||||||||||||||||||||||||||||||||||||||||||||||||||||||||||||||||||||",
      binary,
      huge,
      good + "\n",
      good + good,
      "99999999999999999999|-99999999999999999999|" + good,
  };
  for (const std::string& text : odd) {
    LoadInto(text);
    EXPECT_EQ(app->m_options[14], 1);
    EXPECT_GE(app->m_options[10], 64);
    app->p_Save();
    EXPECT_EQ(SplitBars(host->state).size(), 57u);
  }
  // A newline an editor added at the end changes nothing.
  EXPECT_EQ(LoadInto(good + "\n"), "Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\n");
}

TEST_F(CompletePersist, WithoutTheOptionsSectionBadgesAreReadFromTheStart) {
  std::string text = "1|0|0|0|0|0|0|0|1|";  // eight words and their sum
  EXPECT_EQ(LoadInto(text), "Badges Loaded\n");
  EXPECT_TRUE(app->m_flags[0]);
  EXPECT_EQ(app->m_options[5], 1);
}

TEST_F(CompletePersist, RecordingAFinishedGame) {
  struct Case {
    std::vector<int> top;
    int score;
    std::vector<int> topAfter;
  } cases[] = {
      {{100, 90, 80, 70, 60, 50, 40, 30, 20, 10}, 90, {100, 90, 90, 80, 70, 60, 50, 40, 30, 20}},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 5, {5, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {{100, 90, 80, 70, 60, 50, 40, 30, 20, 10}, 101, {101, 100, 90, 80, 70, 60, 50, 40, 30, 20}},
      {{100, 90, 80, 70, 60, 50, 40, 30, 20, 10}, 10, {100, 90, 80, 70, 60, 50, 40, 30, 20, 10}},
      {{100, 90, 80, 70, 60, 50, 40, 30, 20, 10}, 11, {100, 90, 80, 70, 60, 50, 40, 30, 20, 11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    NewApp();
    for (int k = 0; k < 10; ++k) {
      app->m_scores[k] = c.top[k];
      app->m_scores[10 + k] = 1 + k;
    }
    app->m_players = 1;
    app->m_score = c.score;
    app->p_LoadMenu();
    for (int k = 0; k < 10; ++k) EXPECT_EQ(app->m_scores[k], c.topAfter[k]) << k;
    // The last list takes every score, most recent first.
    EXPECT_EQ(app->m_scores[10], c.score);
    for (int k = 1; k < 10; ++k) EXPECT_EQ(app->m_scores[10 + k], k);
    EXPECT_EQ(host->saves, 1);
    EXPECT_EQ(SplitBars(host->state)[35], std::to_string(c.topAfter[0]));
  }
}

TEST_F(CompletePersist, RecordingWithAVariantOutsideTheTablesStillSaves) {
  for (int players : {0, -3, 4, 99}) {
    NewApp();
    app->m_players = players;
    app->m_score = 50;
    app->p_LoadMenu();
    EXPECT_EQ(host->saves, 1);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(app->m_scores[i], 0);
  }
}

TEST_F(CompletePersist, NewGameSetUp) {
  app->m_score = 77;
  app->m_gameOver = 1;
  app->m_gameOverTimer = 50;
  app->m_paused = 1;
  app->m_shakeX = 3;
  StartGame(1);
  EXPECT_EQ(app->m_gameMode, 10);
  EXPECT_EQ(app->m_score, 0);
  EXPECT_EQ(app->m_gameOver, 0);
  EXPECT_EQ(app->m_gameOverTimer, 0);
  EXPECT_EQ(app->m_paused, 0);
  EXPECT_EQ(app->m_shakeX, 0.0f);
  EXPECT_EQ(app->m_level, 1);
  EXPECT_EQ(app->m_killsToNext, 3);
  EXPECT_EQ(Ent(1, 0), 1.0f);
  EXPECT_EQ(Ent(1, 1), 128.0f);
  EXPECT_EQ(Ent(1, 8), 3.0f);
  EXPECT_EQ(Ent(2, 0), 0.0f);  // one player: no second creature
  EXPECT_EQ(Brick(0, 1), 320.0f);
  EXPECT_EQ(Brick(1, 2), 288.0f);
  for (int k = 0; k < 3; ++k) {
    EXPECT_GE(Brick(k, 9), 0.0f);
    EXPECT_LE(Brick(k, 9), 15.0f);
  }
  StartGame(2);
  EXPECT_EQ(Ent(2, 0), 3.0f);
  EXPECT_EQ(Ent(2, 1), 640.0f - 128.0f);
}

TEST_F(CompletePersist, BadgeTextsAndBanner) {
  EXPECT_EQ(app->p_BadgeName(0).ToUtf8(), "Test Badge");
  EXPECT_EQ(app->p_BadgeDetail(0).ToUtf8(), "This is a Test Badge which has no purpose.");
  EXPECT_EQ(app->p_BadgeName(5).ToUtf8(), "");
  EXPECT_EQ(app->p_BadgeDetail(5).ToUtf8(), "");
  EXPECT_EQ(app->p_BadgeID(-1).ToUtf8(), "");

  // A banner in slot 2 slides in, stays and frees its slot after 240 frames.
  app->m_badgeA[2] = 0;
  app->m_badgeB[2] = 1;
  app->m_drawCount = 0;
  app->p_ShowBadges();
  ASSERT_GE(DrawCount(), 2);
  EXPECT_EQ(Cmd(0, 0), ZELK_KIND_RECT);
  EXPECT_EQ(Cmd(0, 1), 2 * 16 - 160.0f);
  EXPECT_EQ(Cmd(0, 2), 480.0f - 3 * 34);
  EXPECT_EQ(CountKind(80), 1);  // the badge image at half size
  for (int i = 0; i < 300 && app->m_badgeB[2] != 0; ++i) {
    app->m_drawCount = 0;
    app->p_ShowBadges();
  }
  EXPECT_EQ(app->m_badgeB[2], 0);

  app->m_drawCount = 0;
  app->p_BadgesBox();
  EXPECT_EQ(CountKind(ZELK_KIND_RECT), 2);
}
