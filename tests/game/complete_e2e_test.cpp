// The real game under the X display (Xvfb in CI), driven with real X key
// events: a whole game from the title menu to the game-over panel, the
// score kept in the state file and loaded again after a restart, the
// fullscreen toggle and back, and the window's close button.
#include <sstream>
#include <string>

#include "e2e_game.h"

using namespace e2e;

TEST(CompleteEndToEnd, AWholeGameIsRecordedAndLoadedAfterARestart) {
  if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  Game game;
  ASSERT_FALSE(game.dir.empty());
  {
    std::ofstream(game.dir + "/.quollstate") << StateWith(500, 77);
  }
  ASSERT_TRUE(game.Start());
  ASSERT_TRUE(game.WaitLoaded(30000));
  EXPECT_NE(game.Out().find("Highscore 0 Loaded"), std::string::npos);

  game.Key("Return");  // play
  Sleep(500);
  for (int i = 0; i < 3; ++i) game.Key("space", 200);  // flap
  game.Key("Escape");  // pause
  Sleep(400);
  game.Key("Escape");  // resume
  Sleep(600);
  game.Key("Escape");  // pause again
  Sleep(600);
  game.Key("Left");    // highlight quit
  game.Key("Return");  // quit: the game ends through the game-over panel
  // The finished game's score (0) goes first into the last list; the best
  // score stays.
  EXPECT_TRUE(game.WaitFor([&] { return game.State().find("|500|0|0|77|") != std::string::npos; }, 30000))
      << game.State();
  EXPECT_NE(game.State().find("|500|"), std::string::npos);
  game.Key("F4");
  EXPECT_EQ(game.Wait(5000), 0);
  // The quit closed the sound device: OpenAL has nothing to complain about.
  EXPECT_EQ(game.Err().find("AL lib"), std::string::npos) << game.Err();

  std::string saved = game.State();
  Game again;
  again.dir.swap(game.dir);  // same folder, same state file
  ASSERT_TRUE(again.Start());
  ASSERT_TRUE(again.WaitLoaded(30000));
  std::string out = again.Out();
  EXPECT_NE(out.find("Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\n"), std::string::npos) << out;
  EXPECT_GT(DistinctColours(again.Shot()), 50);
  again.Key("F4");
  EXPECT_EQ(again.Wait(5000), 0);
  EXPECT_EQ(again.State(), saved);  // quitting does not save
}

TEST(CompleteEndToEnd, FullscreenAndBackKeepTheImagesAndTheCloseButtonQuits) {
  if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  Game game;
  ASSERT_FALSE(game.dir.empty());
  ASSERT_TRUE(game.Start());
  ASSERT_TRUE(game.WaitLoaded(30000));
  int windowed = DistinctColours(game.Shot());
  EXPECT_GT(windowed, 50);

  std::string root = Sh("xdotool getdisplaygeometry");
  game.Key("F11");
  Sleep(500);
  ASSERT_TRUE(game.FindWindow());
  std::string geo = Sh("xdotool getwindowgeometry " + game.window);
  std::istringstream rs(root);
  int rw = 0, rh = 0;
  rs >> rw >> rh;
  EXPECT_NE(geo.find(std::to_string(rw) + "x" + std::to_string(rh)), std::string::npos) << geo;
  // The art is drawn again once the new window's textures are up.
  EXPECT_TRUE(game.WaitFor([&] { return DistinctColours(game.Shot()) > 50; }, 20000));

  game.Key("F11");
  Sleep(500);
  ASSERT_TRUE(game.FindWindow());
  geo = Sh("xdotool getwindowgeometry " + game.window);
  EXPECT_NE(geo.find("640x480"), std::string::npos) << geo;
  EXPECT_TRUE(game.WaitFor([&] { return DistinctColours(game.Shot()) > 50; }, 20000));

  ASSERT_TRUE(SendWmClose(game.window));
  EXPECT_EQ(game.Wait(5000), 0);
}
