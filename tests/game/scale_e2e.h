// What the end-to-end tests of scaled displays share (X11 and Wayland in
// tests/game/scale_e2e_test.cpp, Wine in tests/windows/wine_dpi_test.cpp):
// window geometry, pictures of a rectangle of the screen, a held click, and
// the check that the title menu fills the window drawn at full resolution
// and that a click on its play button starts a game.
#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/title_picture.h"
#include "tests/game/e2e_game.h"

namespace scale_e2e {

using namespace e2e;
using title_picture::Picture;

// The play button of the title menu, in design units (640 x 480).
const double kPlayX = 250, kPlayY = 384;

inline bool Have(const char* tool) { return !Sh(std::string("command -v ") + tool).empty(); }

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

inline Rect WindowGeometry(const std::string& window) {
  Rect r;
  std::istringstream lines(Sh("xdotool getwindowgeometry --shell " + window + " 2>/dev/null"));
  for (std::string line; std::getline(lines, line);) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    int v = atoi(line.c_str() + eq + 1);
    if (key == "X") r.x = v;
    if (key == "Y") r.y = v;
    if (key == "WIDTH") r.w = v;
    if (key == "HEIGHT") r.h = v;
  }
  return r;
}

inline std::vector<unsigned char> ReadBytes(const std::string& file) {
  std::string s = ReadFile(file);
  return std::vector<unsigned char>(s.begin(), s.end());
}

// The rectangle of the root window's picture, as packed RGB; saved as a
// PNG too when png is given.
inline std::vector<unsigned char> Grab(const Rect& r, const std::string& dir, const std::string& png = "") {
  std::string file = dir + "/grab.rgb";
  std::string crop = std::to_string(r.w) + "x" + std::to_string(r.h) + "+" + std::to_string(r.x) + "+" +
                     std::to_string(r.y);
  remove(file.c_str());
  Sh("timeout 20 import -window root -crop " + crop + " +repage -depth 8 rgb:'" + file + "' 2>/dev/null");
  if (!png.empty())
    Sh("convert -size " + std::to_string(r.w) + "x" + std::to_string(r.h) + " -depth 8 rgb:'" + file + "' '" + png +
       "' 2>/dev/null");
  return ReadBytes(file);
}

// Presses and releases the left button at (x, y) of an X window, held for
// a few frames (the game reads buttons as held).
inline void Click(const std::string& window, int x, int y) {
  Sh("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
  Sleep(200);
  Sh("xdotool mousedown 1");
  Sleep(250);
  Sh("xdotool mouseup 1");
}

// Waits for the title menu in the rectangle of the screen; its last picture.
inline bool WaitTitle(const Rect& r, const std::string& dir, int ms, std::vector<unsigned char>* last) {
  for (int t = 0; t < ms; t += 250) {
    *last = Grab(r, dir);
    if (title_picture::TitleShown(Picture{*last, r.w, r.h})) return true;
    Sleep(250);
  }
  return false;
}

// Screenshots for a person to look at, beside the test binary.
inline std::string ShotPath(const std::string& name) {
  char cwd[4096];
  return std::string(getcwd(cwd, sizeof cwd) ? cwd : ".") + "/" + name;
}

// The title menu, a click on play and the game it starts, on the picture
// the rectangle r of the screen shows; `what` names the case in messages.
inline void TitleThenPlay(Game& game, const std::string& clickWindow, const Rect& r, int clickX0, int clickY0,
                   const std::string& what, const std::string& shotName, int titleMs = 40000) {
  std::vector<unsigned char> shot;
  ASSERT_TRUE(WaitTitle(r, game.dir, titleMs, &shot))
      << what << ": no title menu filling the " << r.w << "x" << r.h << " window (logo "
      << title_picture::LogoShare(Picture{shot, r.w, r.h}) << ")";
  Grab(r, game.dir, ShotPath(shotName + "-title.png"));
  // Drawn at the window's resolution, not magnified from a smaller one.
  double ratio = title_picture::PairChangeRatio(Picture{shot, r.w, r.h});
  EXPECT_GT(ratio, 0.6) << what << ": the picture looks magnified (edge ratio " << ratio << ")";
  double steep = title_picture::SteepEdgeShare(Picture{shot, r.w, r.h});
  EXPECT_GT(steep, 0.08) << what << ": the picture looks smoothed (steep edges " << steep << ")";

  double s = r.w / 640.0;
  Click(clickWindow, clickX0 + static_cast<int>(kPlayX * s), clickY0 + static_cast<int>(kPlayY * s));
  double floor = 0;
  EXPECT_TRUE(game.WaitFor(
      [&] {
        floor = title_picture::FloorShare(Picture{Grab(r, game.dir), r.w, r.h});
        return floor > 0.5;
      },
      15000))
      << what << ": no game after a click on play (the floor's red covers " << floor << " of the bottom rows)";
  Grab(r, game.dir, ShotPath(shotName + "-play.png"));
}

}  // namespace scale_e2e
