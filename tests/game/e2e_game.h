// The real game executable under the X display (Xvfb in CI), for the
// end-to-end tests: started in a fresh folder of its own (with the data
// folder linked in, its output in out.txt and err.txt), found by its window, driven
// with real X key events (xdotool), looked at through screenshots
// (ImageMagick) and closed as a window manager would.
#pragma once
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Xlib after gtest: it defines None, Bool and Status as macros.
#include "tests/common/x11_close.h"

namespace e2e {

// Runs a shell command; its standard output.
inline std::string Sh(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

inline void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the tools the tests drive the game with are there.
inline bool CanRun() {
  return getenv("DISPLAY") && !Sh("command -v xdotool").empty() && !Sh("command -v import").empty();
}

inline int DistinctColours(const std::vector<unsigned char>& rgb) {
  std::set<int> colours;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) colours.insert(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
  return static_cast<int>(colours.size());
}

inline bool HasColour(const std::vector<unsigned char>& rgb, int r, int g, int b) {
  for (size_t i = 0; i + 2 < rgb.size(); i += 3)
    if (rgb[i] == r && rgb[i + 1] == g && rgb[i + 2] == b) return true;
  return false;
}

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
class Game {
 public:
  std::string dir;
  pid_t pid = -1;
  std::string window;

  Game() {
    char tmpl[] = "/tmp/zelk-e2e-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    dir = tmpl;
    std::string data = std::string(ZELK_SOURCE_DIR) + "/data";
    if (symlink(data.c_str(), (dir + "/data").c_str()) != 0) {
      Sh("rm -rf '" + dir + "'");
      dir.clear();
    }
  }
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;
  ~Game() {
    Kill();
    if (!dir.empty()) Sh("rm -rf '" + dir + "'");
  }
  void Kill() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      pid = -1;
    }
  }
  std::string State() const { return ReadFile(dir + "/.quollstate"); }
  std::string Out() const { return ReadFile(dir + "/out.txt"); }
  std::string Err() const { return ReadFile(dir + "/err.txt"); }

  // Starts the game and waits up to ms for its window.
  bool Start(int ms = 10000) {
    return Launch(
        [] {
          setenv("ALSOFT_DRIVERS", "null", 1);
          execl(ZELK_EXE, ZELK_EXE, static_cast<char*>(nullptr));
        },
        ms);
  }

  // Starts a process in the game's folder, its output in out.txt and
  // err.txt (exec: the child's last step, which sets its environment and
  // replaces it with the program), and waits up to ms for the game's window.
  bool Launch(const std::function<void()>& exec, int ms) {
    fflush(nullptr);
    pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(90);
      FILE* out = freopen("out.txt", "w", stdout);
      FILE* err = freopen("err.txt", "w", stderr);
      (void)out, (void)err;
      exec();
      _exit(91);
    }
    if (FindWindow(ms)) return true;
    // Say why, so that a failure in CI can be understood from its log.
    int status = 0;
    bool running = waitpid(pid, &status, WNOHANG) == 0;
    ADD_FAILURE() << "no game window after " << ms << " ms; process "
                  << (running ? std::string("still running")
                              : "ended with " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1))
                  << "\noutput:\n" << Out() << "\nerrors:\n" << Err() << "\nwindows:\n"
                  << Sh("xwininfo -root -tree 2>&1 | head -20")
                  << (running ? "\nstack:\n" + Sh("gdb -p " + std::to_string(pid) +
                                                    " -batch -ex 'thread apply all bt' 2>/dev/null | grep -E '^#' | head -30")
                              : std::string());
    if (!running) pid = -1;
    return false;
  }
  // The game's window, waiting up to ms for it; the fullscreen one carries
  // no title of its own.
  bool FindWindow(int ms = 10000) {
    window.clear();
    for (int t = 0; t < ms && window.empty(); t += 50) {
      std::string ids = Sh("xdotool search --onlyvisible --name '^(Zelk|GLFW Window)$' 2>/dev/null");
      if (!ids.empty()) window = ids.substr(0, ids.find('\n'));
      else Sleep(50);
    }
    return !window.empty();
  }
  // A key held long enough for a slow frame to see it down. Sent as real
  // key presses to the focused window, so that the release still arrives
  // when the key replaced the window (F11).
  void Key(const std::string& key, int holdMs = 350) {
    Sh("xdotool windowfocus --sync " + window + " 2>/dev/null");
    Sh("xdotool keydown " + key);
    Sleep(holdMs);
    Sh("xdotool keyup " + key);
    Sleep(250);
  }
  // The window's pixels as packed RGB, cut from the whole screen (grabbing
  // the window itself can block while it is being redrawn); empty when the
  // grab failed.
  std::vector<unsigned char> Shot() {
    std::string file = dir + "/shot.rgb";
    std::string g = Sh("xdotool getwindowgeometry --shell " + window + " 2>/dev/null");
    auto field = [&](const char* name) {
      size_t at = g.find(std::string(name) + "=");
      return at == std::string::npos ? std::string("0") : g.substr(at + strlen(name) + 1, g.find('\n', at) - at - strlen(name) - 1);
    };
    std::string crop = field("WIDTH") + "x" + field("HEIGHT") + "+" + field("X") + "+" + field("Y");
    remove(file.c_str());
    Sh("timeout 20 import -window root -crop " + crop + " +repage -depth 8 rgb:'" + file + "' 2>/dev/null");
    std::ifstream in(file, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
  }
  // Waits until the loading screen (its clear colour) is gone.
  bool WaitLoaded(int ms) {
    for (int t = 0; t < ms; t += 200) {
      auto shot = Shot();
      if (!shot.empty() && !HasColour(shot, 40, 40, 80)) return true;
      Sleep(200);
    }
    return false;
  }
  template <class Pred>
  bool WaitFor(Pred pred, int ms) {
    for (int t = 0; t < ms; t += 100) {
      if (pred()) return true;
      Sleep(100);
    }
    return pred();
  }
  // Waits up to ms for the process to end; its exit status, or -1000.
  int Wait(int ms) {
    for (int t = 0; t < ms; t += 20) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      Sleep(20);
    }
    return -1000;
  }
};

}  // namespace e2e
