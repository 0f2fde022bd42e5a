// The real game under the X display (Xvfb in CI), driven with real X key
// events: a whole game from the title menu to the game-over panel, the
// score kept in the state file and loaded again after a restart, the
// fullscreen toggle and back, and the window's close button.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Sh(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A state text with the given first top entry and first last entry.
std::string StateWith(int top0, int last0) {
  std::string s = "0|0|0|0|0|1|0|0|0|0|64|64|10|0|1|0|0|0|0|0|0|0|0|0|0|1483|";
  for (int i = 0; i < 9; ++i) s += "0|";
  s += std::to_string(top0) + "|" + std::to_string(last0) + "|";
  for (int i = 0; i < 18; ++i) s += "0|";
  s += std::to_string(4 * top0 + 3 * last0) + "|";
  return s;
}

// Sends the window manager's close request, as a close button does.
bool SendWmClose(const std::string& window) {
  void* x11 = dlopen("libX11.so.6", RTLD_NOW);
  if (!x11) return false;
  auto open = reinterpret_cast<Display* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
  auto atom = reinterpret_cast<Atom (*)(Display*, const char*, Bool)>(dlsym(x11, "XInternAtom"));
  auto send = reinterpret_cast<Status (*)(Display*, Window, Bool, long, XEvent*)>(dlsym(x11, "XSendEvent"));
  auto sync = reinterpret_cast<int (*)(Display*, Bool)>(dlsym(x11, "XSync"));
  auto close = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XCloseDisplay"));
  Display* dpy = open && atom && send && sync && close ? open(nullptr) : nullptr;
  if (!dpy) return false;
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = static_cast<Window>(strtoul(window.c_str(), nullptr, 0));
  ev.xclient.message_type = atom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(atom(dpy, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  send(dpy, ev.xclient.window, False, NoEventMask, &ev);
  sync(dpy, False);
  close(dpy);
  return true;
}

class Game {
 public:
  std::string dir;
  pid_t pid = -1;
  std::string window;

  Game() {
    char tmpl[] = "/tmp/zelk-complete-XXXXXX";
    dir = mkdtemp(tmpl);
    std::string data = std::string(ZELK_SOURCE_DIR) + "/data";
    if (symlink(data.c_str(), (dir + "/data").c_str()) != 0) dir.clear();
  }
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

  // The game's window; the fullscreen one carries no title of its own.
  bool FindWindow() {
    window.clear();
    for (int i = 0; i < 200 && window.empty(); ++i) {
      std::string ids = Sh("xdotool search --onlyvisible --name '^(Zelk|GLFW Window)$' 2>/dev/null");
      if (!ids.empty()) window = ids.substr(0, ids.find('\n'));
      else Sleep(50);
    }
    return !window.empty();
  }
  bool Start() {
    pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(90);
      setenv("ALSOFT_DRIVERS", "null", 1);
      FILE* out = freopen("out.txt", "w", stdout);
      (void)out;
      execl(ZELK_EXE, ZELK_EXE, static_cast<char*>(nullptr));
      _exit(91);
    }
    return FindWindow();
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
  // the window itself can block while it is being redrawn).
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
      bool loading = shot.empty();
      for (size_t i = 0; i + 2 < shot.size() && !loading; i += 3)
        loading = shot[i] == 40 && shot[i + 1] == 40 && shot[i + 2] == 80;
      if (!loading) return true;
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

int DistinctColours(const std::vector<unsigned char>& rgb) {
  std::set<int> colours;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) colours.insert(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
  return static_cast<int>(colours.size());
}

bool CanRun() {
  return getenv("DISPLAY") && !Sh("command -v xdotool").empty() && !Sh("command -v import").empty();
}

}  // namespace

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
