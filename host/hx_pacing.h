// The main loop's timing decisions, kept free of GLFW so that they run on
// any clock. Times are seconds; a schedule of 0 means "nothing scheduled".
#pragma once

namespace hx_pacing {

// How long to sleep after the buffer swap before the pass goes on.
inline double Delay(double nextUpdate, double now) {
  if (nextUpdate == 0) return 0;
  double d = nextUpdate - now;
  return d > 0 ? d : 0;
}

enum { MAX_CATCH_UP = 4 };

// The update phase of one pass that is not suspended. rate 0 runs one
// update per pass. Otherwise the schedule starts now when empty and updates
// run until the schedule is strictly ahead of the clock, at most 4 times;
// after the 4th the backlog is dropped (schedule cleared). An update that
// clears the schedule (a rate change) ends the phase at once. nextUpdate and
// period are read back after every update, since an update may change them.
// Returns the number of updates run.
template <class Update, class Now>
int RunUpdates(int rate, const double& period, double& nextUpdate, Update update, Now now) {
  if (rate == 0) {
    update();
    return 1;
  }
  if (nextUpdate == 0) nextUpdate = now();
  for (int n = 1;; ++n) {
    update();
    if (nextUpdate == 0) return n;
    nextUpdate += period;
    if (nextUpdate > now()) return n;
    if (n == MAX_CATCH_UP) {
      nextUpdate = 0;
      return n;
    }
  }
}

// The update phase of a pass that the display drives: a browser calls the
// loop once per displayed frame, and the program cannot sleep in between.
// time is the frame's timestamp, interval the time since the previous frame
// (0 for the first). A frame stands for its whole interval, so the
// decisions above run on a clock half an interval (at most half a period)
// ahead of the frame's time: an update due before the middle of the
// interval runs in this frame, a later one waits for a later frame. A 60 Hz
// display thus runs one update per frame despite jitter in its timestamps,
// a 120 Hz one an update every other frame. An empty schedule starts at the
// frame's time. Returns the number of updates run, 0 when none was due.
template <class Update>
int RunFrameUpdates(int rate, const double& period, double& nextUpdate, double time, double interval,
                    Update update) {
  if (rate == 0) {
    update();
    return 1;
  }
  double lead = interval > 0 ? (interval < period ? interval : period) : 0;
  const double clock = time + lead / 2;
  if (nextUpdate == 0) {
    nextUpdate = time;
  } else if (Delay(nextUpdate, clock) > 0) {
    return 0;
  }
  return RunUpdates(rate, period, nextUpdate, update, [clock] { return clock; });
}

}  // namespace hx_pacing
