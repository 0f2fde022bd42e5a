// The real game executable under the X display (Xvfb in CI), for the
// end-to-end tests: the process of tests/common/game_process.h, with a
// test failure (and what is known about why) when its window does not
// appear, and closed as a window manager would.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "tests/common/game_process.h"
// Xlib after gtest: it defines None, Bool and Status as macros.
#include "tests/common/x11_close.h"

namespace e2e {

using namespace game_process;

// A state text in the one-player tables: a best score of top0 and a last
// score of last0, everything else as a first start leaves it.
inline std::string StateWith(int top0, int last0) {
  std::string s = "0|0|0|0|0|1|0|0|0|0|64|64|10|0|1|0|0|0|0|0|0|0|0|0|0|1483|";
  for (int i = 0; i < 9; ++i) s += "0|";
  s += std::to_string(top0) + "|" + std::to_string(last0) + "|";
  for (int i = 0; i < 18; ++i) s += "0|";
  s += std::to_string(4 * top0 + 3 * last0) + "|";
  return s;
}

// Sends the window manager's close request, as a close button does.
inline bool SendWmClose(const std::string& window) {
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return false;
  SendWmDeleteWindow(dpy, static_cast<Window>(strtoul(window.c_str(), nullptr, 0)));
  XCloseDisplay(dpy);
  return true;
}

// One run of the game executable in a temporary folder, removed (and the
// process killed) at the end.
class Game : public Process {
 public:
  Game() : Process(std::string(ZELK_SOURCE_DIR) + "/data", "/tmp/zelk-e2e-XXXXXX") {}

  // Starts the game and waits up to ms for its window.
  bool Start(int ms = 10000) {
    return Launch(
        [] {
          setenv("ALSOFT_DRIVERS", "null", 1);
          execl(ZELK_EXE, ZELK_EXE, static_cast<char*>(nullptr));
        },
        ms);
  }

  // Process::Launch, failing the test when no window appears.
  bool Launch(const std::function<void()>& exec, int ms) {
    if (Process::Launch(exec, ms)) return true;
    ADD_FAILURE() << "no game window after " << ms << " ms; " << Diagnosis();
    return false;
  }
};

}  // namespace e2e
