// The main loop's schedule, run on a test clock: each pass renders (the
// clock moves by the frame's time), sleeps as the loop would, then runs the
// update phase. Rate 4 (period 0.25 s) keeps the arithmetic exact.
#include <gtest/gtest.h>

#include "host/hx_pacing.h"
#include "host_test_util.h"

namespace {

struct Pass {
  int updates;
  double slept;
};

struct Loop {
  TestGlfwGame game;
  double now = 1.0;
  std::function<void(int)> onUpdate;  // called with the running update count
  int updatesSoFar = 0;

  Pass Run(double frameTime) {
    now += frameTime;
    double slept = hx_pacing::Delay(game.nextUpdate(), now);
    now += slept;
    int n = hx_pacing::RunUpdates(
        game.updateRate(), game.updatePeriod(), game.nextUpdate(),
        [&] {
          ++updatesSoFar;
          if (onUpdate) onUpdate(updatesSoFar);
        },
        [&] { return now; });
    return {n, slept};
  }
};

struct Case {
  const char* name;
  int rate;
  std::vector<double> frames;  // render time of each pass
  std::vector<int> updates;    // updates expected per pass
  std::vector<double> sleeps;  // sleep expected per pass
};

TEST(HostPacing, Table) {
  const double P = 0.25;
  Case cases[] = {
      {"rate 0: one update per frame, never a sleep", 0, {0.01, 0.3, 2.0, 0.01},
       {1, 1, 1, 1}, {0, 0, 0, 0}},
      {"fast rendering: one update per pass, sleep until due", 4, {0.05, 0.05, 0.05, 0.0},
       {1, 1, 1, 1}, {0, P - 0.05, P - 0.05, P}},
      {"pass 2.5 periods late: 3 updates, then back on time", 4, {0.0, P + 2.5 * P, 0.0},
       {1, 3, 1}, {0, 0, 0.5 * P}},
      {"exactly 2 periods late: 3 updates (strictly ahead rule)", 4, {0.0, P + 2 * P, 0.0},
       {1, 3, 1}, {0, 0, P}},
      {"10 periods late: 4 updates, backlog dropped, fresh schedule", 4,
       {0.0, P + 10 * P, 0.0, 0.0}, {1, 4, 1, 1}, {0, 0, 0, P}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loop loop;
    loop.game.SetUpdateRate(c.rate);
    for (size_t i = 0; i < c.frames.size(); ++i) {
      Pass p = loop.Run(c.frames[i]);
      EXPECT_EQ(p.updates, c.updates[i]) << "pass " << i;
      EXPECT_NEAR(p.slept, c.sleeps[i], 1e-9) << "pass " << i;
    }
  }
}

TEST(HostPacing, RateChangeInsideUpdateStopsCatchUp) {
  Loop loop;
  loop.game.SetUpdateRate(4);
  loop.Run(0);
  // 10 periods late would run 4 updates; the 2nd switches to 8 Hz.
  loop.onUpdate = [&](int n) {
    if (n == 3) loop.game.SetUpdateRate(8);
  };
  Pass p = loop.Run(10 * 0.25);
  EXPECT_EQ(p.updates, 2);
  EXPECT_EQ(loop.game.nextUpdate(), 0);
  // The schedule restarts at the new rate without sleeping.
  loop.onUpdate = nullptr;
  EXPECT_EQ(loop.Run(0).slept, 0);
  Pass next = loop.Run(0.0);
  EXPECT_EQ(next.updates, 1);
  EXPECT_NEAR(next.slept, 0.125, 1e-9);
}

TEST(HostPacing, ResumeRestartsScheduleWithoutBurst) {
  Loop loop;
  loop.game.SetUpdateRate(4);
  loop.Run(0);
  // Suspended for 5 s (passes without updates); resuming clears the
  // schedule, as the event step does.
  loop.now += 5.0;
  loop.game.nextUpdate() = 0;
  Pass p = loop.Run(0.01);
  EXPECT_EQ(p.updates, 1);
  EXPECT_EQ(p.slept, 0);
  EXPECT_NEAR(loop.Run(0.0).slept, 0.25, 1e-9);
}

TEST(HostPacing, SetUpdateRateKeepsPeriodForZero) {
  TestGlfwGame game;
  game.SetUpdateRate(50);
  game.nextUpdate() = 3;
  game.SetUpdateRate(0);
  EXPECT_EQ(game.UpdateRate(), 0);
  EXPECT_DOUBLE_EQ(game.updatePeriod(), 0.02);
  EXPECT_EQ(game.nextUpdate(), 0);
}

}  // namespace
