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

// A display-driven loop (a browser's animation frames): no sleeping, one
// call per frame with the frame's timestamp. Frames come at the display's
// rate with a repeatable jitter; the game runs at 60 updates per second.
struct FrameRun {
  std::vector<int> perFrame;  // updates run in each frame
  int total = 0;
};

FrameRun RunDisplay(double hz, double jitter, double seconds, int rate = 60) {
  TestGlfwGame game;
  game.SetUpdateRate(rate);
  FrameRun run;
  unsigned seed = 12345;
  double last = 0;
  const int frames = static_cast<int>(seconds * hz);
  for (int i = 0; i < frames; ++i) {
    seed = seed * 1103515245u + 12345u;
    double wobble = jitter * (static_cast<double>((seed >> 8) % 2001) / 1000.0 - 1.0);
    double time = 10.0 + i / hz + wobble;
    int n = hx_pacing::RunFrameUpdates(game.updateRate(), game.updatePeriod(), game.nextUpdate(), time,
                                       i == 0 ? 0 : time - last, [] {});
    last = time;
    run.perFrame.push_back(n);
    run.total += n;
  }
  return run;
}

TEST(HostFramePacing, DisplayRates) {
  struct DisplayCase {
    const char* name;
    double hz, jitter;
    int minPerFrame, maxPerFrame;
  };
  const DisplayCase cases[] = {
      {"60 Hz with 3 ms of jitter: one update in every frame", 60, 0.003, 1, 1},
      {"120 Hz: an update every other frame, never two at once", 120, 0.0015, 0, 1},
      {"144 Hz: at most one update per frame", 144, 0.001, 0, 1},
      {"75 Hz: at most one update per frame", 75, 0.001, 0, 1},
      {"50 Hz: one or two updates per frame", 50, 0.002, 1, 2},
      {"30 Hz: two updates per frame, one or three where a frame is early or late", 30, 0.002, 1, 3},
  };
  for (const DisplayCase& c : cases) {
    SCOPED_TRACE(c.name);
    FrameRun run = RunDisplay(c.hz, c.jitter, 10.0);
    // 60 updates per second over 10 s, whatever the display's rate.
    EXPECT_NEAR(run.total, 600, 2);
    for (size_t i = 1; i < run.perFrame.size(); ++i) {
      EXPECT_GE(run.perFrame[i], c.minPerFrame) << "frame " << i;
      EXPECT_LE(run.perFrame[i], c.maxPerFrame) << "frame " << i;
    }
  }
  // At 120 Hz the updates alternate exactly: no frame pair without one.
  FrameRun fast = RunDisplay(120, 0.0015, 10.0);
  for (size_t i = 2; i < fast.perFrame.size(); ++i)
    EXPECT_EQ(fast.perFrame[i] + fast.perFrame[i - 1], 1) << "frames " << i - 1 << ", " << i;
}

TEST(HostFramePacing, RateZeroRunsOneUpdatePerFrame) {
  FrameRun run = RunDisplay(144, 0.001, 1.0, 0);
  for (int n : run.perFrame) EXPECT_EQ(n, 1);
}

TEST(HostFramePacing, StallRunsFourThenStartsAfresh) {
  TestGlfwGame game;
  game.SetUpdateRate(4);
  const double P = 0.25;
  auto frame = [&](double time, double interval) {
    return hx_pacing::RunFrameUpdates(game.updateRate(), game.updatePeriod(), game.nextUpdate(), time,
                                      interval, [] {});
  };
  EXPECT_EQ(frame(1.0, 0), 1);  // the schedule starts at the first frame
  EXPECT_DOUBLE_EQ(game.nextUpdate(), 1.0 + P);
  EXPECT_EQ(frame(1.0 + P, P), 1);
  // A frame 10 periods late: 4 updates, the backlog is dropped.
  EXPECT_EQ(frame(1.0 + 11 * P, 10 * P), 4);
  EXPECT_EQ(game.nextUpdate(), 0);
  // The next frame starts a new schedule at its own time.
  EXPECT_EQ(frame(1.0 + 11.1 * P, 0.1 * P), 1);
  EXPECT_DOUBLE_EQ(game.nextUpdate(), 1.0 + 12.1 * P);
  // A frame before the middle of the next interval runs nothing and leaves
  // the schedule as it is.
  EXPECT_EQ(frame(1.0 + 11.2 * P, 0.1 * P), 0);
  EXPECT_DOUBLE_EQ(game.nextUpdate(), 1.0 + 12.1 * P);
}

TEST(HostFramePacing, RateChangeInsideUpdateStopsTheFrame) {
  TestGlfwGame game;
  game.SetUpdateRate(4);
  int updates = 0;
  auto frame = [&](double time, double interval) {
    return hx_pacing::RunFrameUpdates(game.updateRate(), game.updatePeriod(), game.nextUpdate(), time,
                                      interval, [&] {
                                        if (++updates == 3) game.SetUpdateRate(8);
                                      });
  };
  EXPECT_EQ(frame(1.0, 0), 1);
  // Late enough for 4 updates; the 2nd of this frame changes the rate.
  EXPECT_EQ(frame(4.0, 3.0), 2);
  EXPECT_EQ(game.nextUpdate(), 0);
  EXPECT_EQ(frame(4.01, 0.01), 1);
  EXPECT_DOUBLE_EQ(game.nextUpdate(), 4.01 + 0.125);
}

}  // namespace
