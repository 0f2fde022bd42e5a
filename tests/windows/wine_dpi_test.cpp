// The Windows release under Wine on a scaled desktop: the unpacked
// dist/zelk-windows-x64.zip started in a Wine prefix of its own whose
// desktop is set to 144 and 192 dpi (LogPixels in HKCU\Control Panel\Desktop,
// as the display settings' 150 % and 200 % set it), on an X server of the
// test's own with a screen that such a desktop would have. zelk.exe
// declares itself DPI aware, so its window is 960 x 720 and 1280 x 960
// pixels, centred, with the art for that pixel count, drawn at full
// resolution; a click on the play button starts a game. Skipped without
// the zip or Wine, unless ZELK_WINDOWS_REQUIRED=1 (the Windows stage of
// tools/test.sh).
#include <sstream>

#include "tests/common/file_opens.h"
#include "tests/common/own_display.h"
#include "tests/game/scale_e2e.h"
#include "tests/windows/wine_game.h"

using namespace scale_e2e;
using namespace wine_game;

namespace {

// Not the prefix the other Wine tests share: its desktop's dpi changes.
std::string Prefix() { return std::string(ZELK_BINARY_DIR) + "/wineprefix-dpi"; }

std::string Missing() {
  if (!CanRun()) return "needs an X display, xdotool and ImageMagick";
  if (access(kWine, X_OK) != 0) return std::string("needs ") + kWine;
  if (!Have("Xvfb")) return "needs Xvfb";
  if (!Exists(Zip())) return "needs the package " + Zip() + " (bash tools/package-windows.sh)";
  return "";
}

// Runs a Wine tool in the test prefix; its exit status.
int InPrefix(const std::string& command) {
  return system(("WINEPREFIX='" + Prefix() + "' WINEDEBUG=-all " + command + " >/dev/null 2>&1").c_str());
}

// Sets the desktop's dpi; it takes effect for the programs started next.
bool SetDpi(int dpi) {
  InPrefix(std::string(kWineServer) + " -k");
  return InPrefix(std::string(kWine) + " reg add 'HKCU\\Control Panel\\Desktop' /v LogPixels /t REG_DWORD /d " +
                  std::to_string(dpi) + " /f") == 0 &&
         InPrefix(std::string(kWineServer) + " -w") == 0;
}

struct DpiCase {
  int dpi;
  const char* screen;
  int w, h;
  const char* tier;
};

TEST(WineDpi, AtHighDpiTheWindowHasTheDesktopsScaleInPixelsAndTheGameDrawsAtFullResolution) {
  std::string why = Missing();
  if (!why.empty()) {
    if (Env("ZELK_WINDOWS_REQUIRED", "0") == "1") FAIL() << why;
    GTEST_SKIP() << why;
  }
  const DpiCase cases[] = {
      {144, "1920x1080", 960, 720, "-hd"},   // 150 %
      {192, "2560x1600", 1280, 960, "-hd"},  // 200 %
  };
  for (const DpiCase& c : cases) {
    std::string what = std::to_string(c.dpi) + " dpi on " + c.screen;
    SCOPED_TRACE(what);
    own_display::Display display(c.screen);
    ASSERT_TRUE(display.Ok()) << "no X server of its own";
    // The prefix is made once (on this display: Wine wants one to set up).
    ASSERT_EQ(system(("bash '" + std::string(ZELK_SOURCE_DIR) + "/tools/windows/wine-prefix.sh' '" + Prefix() +
                      "' >/dev/null")
                         .c_str()),
              0)
        << "could not make the Wine prefix " << Prefix();
    ASSERT_TRUE(SetDpi(c.dpi));
    {
      WineGame game(Prefix());
      ASSERT_TRUE(Exists(game.dir + "/zelk.exe"));
      file_opens::Watch opens(game.dir + "/data");
      ASSERT_TRUE(opens.Ok());
      ASSERT_TRUE(game.Start({}, 90000));
      // Wine passes the window's size and place on to X a moment later.
      int sw = 0, sh = 0;
      std::istringstream(Sh("xdotool getdisplaygeometry")) >> sw >> sh;
      Rect r;
      EXPECT_TRUE(game.WaitFor(
          [&] {
            r = WindowGeometry(game.window);
            return r.w == c.w && r.h == c.h && r.x == (sw - c.w) / 2 && r.y == (sh - c.h) / 2;
          },
          10000))
          << what << ": window " << r.w << "x" << r.h << " at " << r.x << "," << r.y << ", wanted " << c.w << "x"
          << c.h << " centred";
      ASSERT_EQ(r.w, c.w);
      ASSERT_EQ(r.h, c.h);
      TitleThenPlay(game, game.window, r, 0, 0, what, "wine-dpi-" + std::to_string(c.dpi), 90000);
      EXPECT_EQ(opens.Tier(), c.tier) << what;
      printf("[ measured ] %s: window %dx%d at %d,%d, art \"%s\"\n", what.c_str(), r.w, r.h, r.x, r.y,
             opens.Tier().c_str());
      game.Key("F4");
      EXPECT_EQ(game.Wait(10000), 0) << what;
    }
    // Nothing of this prefix may outlive its display.
    InPrefix(std::string(kWineServer) + " -k");
  }
}

}  // namespace
