// The real game under the X display (Xvfb in CI): it opens its window,
// shows the loading screen, draws a picture, ends with F4 without saving and
// saves when it loses the focus. Driven with xdotool and ImageMagick.
#include "e2e_game.h"

using namespace e2e;

TEST(ShellEndToEnd, StartsShowsLoadingAndQuitsWithF4WithoutSaving) {
  if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  Game game;
  ASSERT_FALSE(game.dir.empty());
  ASSERT_TRUE(game.Start(5000));
  // The loading screen's clear colour shows while the assets come in.
  bool sawLoading = false;
  for (int i = 0; i < 20 && !sawLoading; ++i) {
    auto shot = game.Shot();
    ASSERT_EQ(shot.size(), 640u * 480u * 3u);
    sawLoading = HasColour(shot, 40, 40, 80);
  }
  EXPECT_TRUE(sawLoading);
  Sleep(1000);
  auto later = game.Shot();
  ASSERT_EQ(later.size(), 640u * 480u * 3u);
  EXPECT_GT(DistinctColours(later), 4);
  game.Key("F4");
  EXPECT_EQ(game.Wait(3000), 0);
  EXPECT_FALSE(Exists(game.dir + "/.quollstate"));
}

TEST(ShellEndToEnd, LosingTheFocusSaves) {
  if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  Game game;
  ASSERT_TRUE(game.Start(5000));
  Sleep(600);
  std::string root = Sh("xwininfo -root | awk '/Window id/{print $4}'");
  root = root.substr(0, root.find('\n'));
  Sh("xdotool windowfocus " + root);
  for (int i = 0; i < 50 && !Exists(game.dir + "/.quollstate"); ++i) Sleep(50);
  EXPECT_TRUE(Exists(game.dir + "/.quollstate"));
  game.Key("F4");
  EXPECT_EQ(game.Wait(3000), 0);
}
