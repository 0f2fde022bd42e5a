// Lifecycle wrappers, the date and the fatal stop of the host game object.
#include <gtest/gtest.h>

#include <ctime>

#include "host_test_util.h"

namespace {

using Calls = std::vector<std::string>;

TEST(HostCore, EventsBeforeStartAreDroppedWithoutCollectorStep) {
  TestGlfwGame game;
  auto* d = new RecordingDelegate;
  game.SetDelegate(d);
  game.KeyEvent(HX_EVENT_KEYDOWN, 65);
  game.MouseEvent(HX_EVENT_MOUSEMOVE, -1, 1, 2);
  game.TouchEvent(HX_EVENT_TOUCHDOWN, 0, 1, 2);
  game.MotionEvent(HX_EVENT_MOTIONACCEL, 0, 1, 2, 3);
  game.SuspendGame();
  game.ResumeGame();
  game.UpdateGame();
  game.RenderGame();
  game.DiscardGraphics();
  EXPECT_TRUE(d->calls.empty());
  EXPECT_EQ(game.collects, 0);
  EXPECT_FALSE(game.Suspended());
}

TEST(HostCore, WrapperGuardsAndFlags) {
  TestGlfwGame game;
  auto* d = new RecordingDelegate;
  game.SetDelegate(d);
  game.StartGame();
  game.StartGame();
  game.ResumeGame();  // not suspended: ignored
  game.SuspendGame();
  game.SuspendGame();  // twice: the delegate hears it once
  game.UpdateGame();   // suspended: no update
  game.RenderGame();   // rendering and input go on while suspended
  game.KeyEvent(HX_EVENT_KEYDOWN, 37);
  game.MouseEvent(HX_EVENT_MOUSEDOWN, 0, 3, 4);
  game.ResumeGame();
  game.UpdateGame();
  game.DiscardGraphics();
  EXPECT_EQ(d->calls, (Calls{"start", "suspend", "render", "key 1 37", "mouse 4 0 3 4", "resume",
                             "update", "discard"}));
  EXPECT_TRUE(game.Started());
  EXPECT_FALSE(game.Suspended());
  EXPECT_EQ(game.collects, 8);  // one step per delivered call
}

TEST(HostCore, FlagIsSetBeforeTheDelegateRuns) {
  struct Probe : HxGameDelegate {
    bool startedInside = false, suspendedInside = false;
    void StartGame() override { startedInside = HxGame::_game->Started(); }
    void SuspendGame() override { suspendedInside = HxGame::_game->Suspended(); }
  };
  TestGlfwGame game;
  auto* d = new Probe;
  game.SetDelegate(d);
  game.StartGame();
  game.SuspendGame();
  EXPECT_TRUE(d->startedInside);
  EXPECT_TRUE(d->suspendedInside);
}

TEST(HostCore, ExceptionFromUpdateEndsProcessWithReport) {
  ChildResult r = RunInChild([] {
    TestGlfwGame game;
    auto* d = new RecordingDelegate;
    d->throwOnUpdate = true;
    game.SetDelegate(d);
    game.StartGame();
    game.UpdateGame();
    puts("still running");
  });
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Quoll Runtime Error : Uncaught Quoll Exception\n");
}

TEST(HostCore, GetDateFillsAtMostSevenFields) {
  TestGlfwGame game;
  struct Case {
    int length;
    int filled;
  };
  for (Case c : {Case{0, 0}, Case{3, 3}, Case{7, 7}, Case{10, 7}}) {
    Array<int> date(c.length);
    for (int i = 0; i < c.length; ++i) date[i] = -5;
    time_t before = time(nullptr);
    game.GetDate(date);
    struct tm lt;
    localtime_r(&before, &lt);
    SCOPED_TRACE(c.length);
    if (c.length >= 3) {
      EXPECT_EQ(date[0], lt.tm_year + 1900);
      EXPECT_EQ(date[1], lt.tm_mon + 1);
      EXPECT_GE(date[2], 1);
      EXPECT_LE(date[2], 31);
    }
    if (c.length >= 7) {
      EXPECT_GE(date[3], 0);
      EXPECT_LE(date[3], 23);
      EXPECT_LE(date[5], 60);
      EXPECT_EQ(date[6], 0);
    }
    for (int i = c.filled; i < c.length; ++i) EXPECT_EQ(date[i], -5) << i;
  }
}

TEST(HostCore, BaseDefaults) {
  struct Plain : HxGame {};
  Plain game;
  EXPECT_EQ(HxGame::_game, &game);
  EXPECT_EQ(game.Delegate(), nullptr);
  EXPECT_EQ(game.UpdateRate(), 0);
  EXPECT_EQ(game.Millisecs(), 0);
  EXPECT_EQ(game.PathToFilePath(String("quoll://data/x")), String("quoll://data/x"));
  EXPECT_EQ(game.GetDisplayModes().Length(), 0);
  EXPECT_EQ(game.GetDesktopMode(), nullptr);
  Array<float> a(2);
  Array<bool> b(32);
  EXPECT_FALSE(game.PollJoystick(0, a, a, a, b));
}

}  // namespace
