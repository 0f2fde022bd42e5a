// The real game on scaled displays, each on an X server of the test's own:
// - X11: the desktop's Xft.dpi (loaded with xrdb) scales the window: at
//   200 % a 640 x 480 window has 1280 x 960 pixels, centred on the screen;
//   one too large for the screen is shrunk with its aspect kept, and an
//   unusable setting counts as 100 %;
// - Wayland: Debian's weston on an output scaled x2, with the game on GLFW's
//   Wayland backend (tools/wayland/glfw-wayland.sh): the window is 640 x 480
//   in the desktop's units and its picture 1280 x 960 pixels.
// Each case checks the sizes, that the title menu fills the window drawn at
// full resolution (the screenshot's pixels), the art the game loaded for
// that pixel count (the pictures it opened), and that a click on the play
// button starts a game.
#include <sys/stat.h>

#include <cmath>
#include <regex>
#include <sstream>

#include "tests/common/file_opens.h"
#include "tests/common/own_display.h"
#include "tests/game/scale_e2e.h"

using namespace e2e;
using namespace scale_e2e;

namespace {

struct X11Case {
  const char* dpi;     // Xft.dpi
  const char* screen;  // the X screen
  int w, h;            // the window, in pixels
  const char* tier;    // the art it loads
};

TEST(ScaleEndToEnd, X11XftDpiScalesTheWindowAndTheGameDrawsAtFullResolution) {
  if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  if (!Have("Xvfb") || !Have("xrdb")) GTEST_SKIP() << "needs Xvfb and xrdb";
  const X11Case cases[] = {
      {"96", "1280x1024", 640, 480, ""},          // 100 %: as without a setting
      {"192", "2560x1600", 1280, 960, "-hd"},     // 200 %
      {"288", "2560x1600", 1920, 1440, "-hd2"},   // 300 %
      {"288", "1920x1080", 1440, 1080, "-hd"},    // 300 % on a screen too small: shrunk, aspect kept
      {"0", "1280x1024", 640, 480, ""},           // unusable: counts as 100 %
      {"1000", "1280x1024", 640, 480, ""},
  };
  for (const X11Case& c : cases) {
    std::string what = std::string("Xft.dpi ") + c.dpi + " on " + c.screen;
    SCOPED_TRACE(what);
    own_display::Display display(c.screen, std::string("Xft.dpi: ") + c.dpi);
    ASSERT_TRUE(display.Ok()) << "no X server of its own";
    Game game;
    ASSERT_FALSE(game.dir.empty());
    file_opens::Watch opens(std::string(ZELK_SOURCE_DIR) + "/data");
    ASSERT_TRUE(opens.Ok());
    ASSERT_TRUE(game.Start(20000));
    Rect r;
    ASSERT_TRUE(game.WaitFor(
        [&] {
          r = WindowGeometry(game.window);
          return r.w == c.w && r.h == c.h;
        },
        5000))
        << what << ": window " << r.w << "x" << r.h << ", wanted " << c.w << "x" << c.h;
    // Centred on the screen.
    int sw = 0, sh = 0;
    std::istringstream(Sh("xdotool getdisplaygeometry")) >> sw >> sh;
    EXPECT_TRUE(game.WaitFor(
        [&] {
          r = WindowGeometry(game.window);
          return r.x == (sw - c.w) / 2 && r.y == (sh - c.h) / 2;
        },
        5000))
        << what << ": at " << r.x << "," << r.y;
    std::string name = std::string("scale-x11-") + c.dpi + "-" + c.screen;
    TitleThenPlay(game, game.window, r, 0, 0, what, name);
    EXPECT_EQ(opens.Tier(), c.tier) << what;
    printf("[ measured ] %s: window %dx%d at %d,%d, art \"%s\"\n", what.c_str(), r.w, r.h, r.x, r.y,
           opens.Tier().c_str());
    game.Key("F4");
    EXPECT_EQ(game.Wait(10000), 0) << what;
  }
}

// ---- Wayland ----

std::string WaylandGlfw() {
  const char* dir = getenv("ZELK_WAYLAND_GLFW");
  return std::string(dir && *dir ? dir : std::string(ZELK_SOURCE_DIR) + "/build-glfw-wayland") + "/lib";
}

// Debian's weston on an X server of the test's own, its output scaled x2:
// the X11 backend gives it a seat, so that the game gets the keyboard focus
// (an unfocused game pauses) and real pointer events. It listens on a
// socket in a runtime folder of its own.
class Weston {
 public:
  std::string runtime, socket = "zelk-test-wayland", window;
  pid_t pid = -1;

  // width x height: the output in the desktop's units.
  Weston(int width, int height) {
    char tmpl[] = "/tmp/zelk-wayland-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    runtime = tmpl;
    chmod(runtime.c_str(), 0700);
    fflush(nullptr);
    pid = fork();
    if (pid == 0) {
      setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      std::string log = runtime + "/weston.log";
      FILE* out = freopen(log.c_str(), "w", stdout);
      FILE* err = freopen(log.c_str(), "a", stderr);
      (void)out, (void)err;
      std::string w = "--width=" + std::to_string(width), h = "--height=" + std::to_string(height);
      std::string s = "--socket=" + socket;
      // --debug allows the screenshooter and the scene-graph stream.
      execlp("weston", "weston", "--backend=x11-backend.so", "--use-pixman", "--scale=2", w.c_str(), h.c_str(),
             s.c_str(), "--idle-time=0", "--debug", static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int t = 0; t < 20000 && window.empty(); t += 100) {
      // (xdotool's search does not find it; xwininfo lists it.)
      std::string ids = Sh("xwininfo -root -tree 2>/dev/null | awk '/\"Weston Compositor/ {print $1; exit}'");
      if (!ids.empty() && Exists(runtime + "/" + socket)) window = ids.substr(0, ids.find('\n'));
      else Sleep(100);
    }
  }
  Weston(const Weston&) = delete;
  Weston& operator=(const Weston&) = delete;
  ~Weston() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    if (!runtime.empty()) Sh("rm -rf '" + runtime + "'");
  }
  bool Ok() const { return !window.empty(); }
  std::string Log() const { return ReadFile(runtime + "/weston.log"); }
  std::string Env() const { return "XDG_RUNTIME_DIR='" + runtime + "' WAYLAND_DISPLAY=" + socket + " "; }

  // The place of the surface of the top-level window titled title, in the
  // desktop's units, from weston's scene graph; empty when there is none.
  Rect Toplevel(const std::string& title) {
    std::string graph = Sh(Env() + "timeout 5 weston-debug scene-graph 2>/dev/null");
    size_t at = graph.find("top-level window '" + title + "'");
    Rect r;
    if (at == std::string::npos) return r;
    std::smatch m;
    std::string rest = graph.substr(at, 400);
    if (std::regex_search(rest, m, std::regex(R"(position: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\))"))) {
      r.x = std::stoi(m[1]), r.y = std::stoi(m[2]);
      r.w = std::stoi(m[3]) - r.x, r.h = std::stoi(m[4]) - r.y;
    }
    return r;
  }
};

TEST(ScaleEndToEnd, WaylandOutputScaledTwiceGivesA640x480WindowDrawnAt1280x960) {
  if (!CanRun()) GTEST_SKIP() << "needs an X display, xdotool and ImageMagick";
  bool required = getenv("ZELK_WAYLAND_REQUIRED") && std::string(getenv("ZELK_WAYLAND_REQUIRED")) == "1";
  std::string why;
  if (!Have("weston") || !Have("weston-debug") || !Have("Xvfb")) why = "needs weston, weston-debug and Xvfb";
  else if (!Exists(WaylandGlfw() + "/libglfw.so.3"))
    why = "needs GLFW's Wayland build in " + WaylandGlfw() + " (bash tools/wayland/glfw-wayland.sh)";
  if (!why.empty()) {
    if (required) FAIL() << why;
    GTEST_SKIP() << why;
  }
  // An output of 1280 x 800 in the desktop's units: 2560 x 1600 pixels.
  own_display::Display display("2560x1600");
  ASSERT_TRUE(display.Ok()) << "no X server of its own";
  Weston weston(1280, 800);
  ASSERT_TRUE(weston.Ok()) << "weston did not start:\n" << weston.Log();

  Game game;
  ASSERT_FALSE(game.dir.empty());
  file_opens::Watch opens(std::string(ZELK_SOURCE_DIR) + "/data");
  ASSERT_TRUE(opens.Ok());
  std::string runtime = weston.runtime, socket = weston.socket, lib = WaylandGlfw();
  // The game finds no X window of its own here: its window is weston's.
  game.Process::Launch(
      [&] {
        setenv("ALSOFT_DRIVERS", "null", 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
        setenv("LD_LIBRARY_PATH", lib.c_str(), 1);
        unsetenv("DISPLAY");
        execl(ZELK_EXE, ZELK_EXE, static_cast<char*>(nullptr));
      },
      0);
  ASSERT_TRUE(game.Running()) << game.Diagnosis();
  game.window = weston.window;

  // The window in the desktop's units, from weston's scene graph.
  Rect logical;
  ASSERT_TRUE(game.WaitFor(
      [&] {
        logical = weston.Toplevel("Zelk");
        return logical.w > 0;
      },
      20000))
      << "no window titled Zelk on weston\n" << weston.Log() << game.Err();
  EXPECT_EQ(logical.w, 640);
  EXPECT_EQ(logical.h, 480);
  // Its pixels on the x2 output; the picture must fill them at that
  // resolution: a 640 x 480 framebuffer magnified by weston would fail the
  // sharpness check.
  Rect pixels{logical.x * 2, logical.y * 2, logical.w * 2, logical.h * 2};
  TitleThenPlay(game, weston.window, pixels, pixels.x, pixels.y, "weston at x2", "scale-wayland-x2");
  // The art for 1280 x 960 pixels; the window's first frames, before it
  // was placed on the scaled output, had the base art.
  EXPECT_TRUE(opens.AnyEndsWith("menu-hd.png")) << "the title's pictures for 1280 x 960 were not loaded";
  EXPECT_FALSE(opens.AnyEndsWith("menu-hd2.png"));
  printf("[ measured ] weston x2: window %dx%d (desktop units) at %d,%d, picture %dx%d pixels, \"-hd\" art %s\n",
         logical.w, logical.h, logical.x, logical.y, pixels.w, pixels.h,
         opens.AnyEndsWith("menu-hd.png") ? "loaded" : "not loaded");
  EXPECT_EQ(game.Err().find("GLFW error"), std::string::npos) << game.Err();
  // F4 quits. The key goes to weston's window under the pointer (moving
  // the X focus explicitly would make weston take the keyboard focus from
  // the game for a moment, and an unfocused game pauses).
  game.Down("F4");
  Sleep(350);
  game.Up("F4");
  EXPECT_EQ(game.Wait(10000), 0);
}

}  // namespace
