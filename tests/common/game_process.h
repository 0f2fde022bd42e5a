// The real game executable as a process on the X display (Xvfb), for the
// end-to-end tests and the frame benchmark: started in a fresh folder of its
// own (with the data folder linked in, its output in out.txt and err.txt),
// found by its window, driven with real X key events (xdotool) and looked
// at through screenshots (ImageMagick). No test framework: the end-to-end
// tests add their failure reports on top (tests/game/e2e_game.h).
#pragma once
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

namespace game_process {

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

// Whether the tools the game is driven with are there.
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

// One run of the game in a temporary folder (named after folderTemplate,
// a mkdtemp pattern) with data linked in as its data folder; the folder is
// removed (and the process killed) at the end. dir is empty when the
// folder could not be made.
class Process {
 public:
  std::string dir;
  pid_t pid = -1;
  std::string window;
  // How the process ended when Launch found no window and it was gone
  // (its exit status, or -1 for a signal); -1000 while it still ran.
  int endedWith = -1000;

  Process(const std::string& data, const char* folderTemplate) {
    std::string tmpl = folderTemplate;
    if (!mkdtemp(&tmpl[0])) return;
    dir = tmpl;
    if (symlink(data.c_str(), (dir + "/data").c_str()) != 0) {
      Sh("rm -rf '" + dir + "'");
      dir.clear();
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process() {
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

  // Starts a process in the game's folder, its output in out.txt and
  // err.txt (exec: the child's last step, which sets its environment and
  // replaces it with the program), and waits up to ms for the game's window.
  // Without a window, a process that has ended is reaped (endedWith) and
  // Diagnosis() says what is known.
  bool Launch(const std::function<void()>& exec, int ms) {
    fflush(nullptr);
    endedWith = -1000;
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
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != 0) {
      endedWith = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid = -1;
    }
    return false;
  }
  // Why there is no window, so that a failure in CI can be understood from
  // its log: the process, its output, the display's windows and, for a
  // process still running, its threads' stacks.
  std::string Diagnosis() {
    bool running = pid > 0;
    return std::string("process ") + (running ? "still running" : "ended with " + std::to_string(endedWith)) +
           "\noutput:\n" + Out() + "\nerrors:\n" + Err() + "\nwindows:\n" +
           Sh("xwininfo -root -tree 2>&1 | head -20") +
           (running ? "\nstack:\n" + Sh("gdb -p " + std::to_string(pid) +
                                        " -batch -ex 'thread apply all bt' 2>/dev/null | grep -E '^#' | head -30")
                    : std::string());
  }
  bool Running() { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }
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
  void Focus() { Sh("xdotool windowfocus --sync " + window + " 2>/dev/null"); }
  // Real key presses and releases, to the focused window.
  void Down(const std::string& key) { Sh("xdotool keydown " + key); }
  void Up(const std::string& key) { Sh("xdotool keyup " + key); }
  // A key held long enough for a slow frame to see it down. Sent as real
  // key presses to the focused window, so that the release still arrives
  // when the key replaced the window (F11).
  void Key(const std::string& key, int holdMs = 350) {
    Focus();
    Down(key);
    Sleep(holdMs);
    Up(key);
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

}  // namespace game_process
