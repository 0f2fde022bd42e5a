// Desktop integration: finding the data folder, the message when there is
// none, and game pads in the standard layout (through the adapter's fake-pad
// seam, with game-pad mapping strings as the community database has them).
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/hx_desktop.h"
#include "host_test_util.h"

namespace {

void Touch(const std::string& path) { std::ofstream(path, std::ios::binary) << "x"; }

// ---------------------------------------------------------------- data folder

class HostDataFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_ = cwd;
    char tmpl[] = "/tmp/zelk-datafolder-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    // An installed prefix: root/bin holds the game, root/share/zelk/data the
    // data; root/play is where the player starts it.
    for (const char* d : {"/bin", "/play", "/share", "/share/zelk"}) mkdir((root_ + d).c_str(), 0755);
    ASSERT_EQ(chdir((root_ + "/play").c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(old_.c_str()), 0);
    ASSERT_EQ(system(("rm -rf '" + root_ + "'").c_str()), 0);
  }
  // A data folder at path; with the font it counts as the game's.
  void MakeData(const std::string& path, bool withFont) {
    mkdir(path.c_str(), 0755);
    if (withFont) Touch(path + "/brio_font.png");
  }
  std::string old_, root_;
};

TEST_F(HostDataFolder, SearchOrderAndFallback) {
  struct Case {
    const char* name;
    bool cwdData, cwdFont, besideData, shareData;
    const char* expect;  // root: "./data/", "bin" (beside), "share"
    bool found;
  } cases[] = {
      {"nothing anywhere", false, false, false, false, "./data/", false},
      {"portable: ./data first", true, true, true, true, "./data/", true},
      {"beside the executable", false, false, true, true, "bin", true},
      {"installed prefix", false, false, false, true, "share", true},
      {"a ./data without the game's font is passed over", true, false, false, true, "share", true},
      {"nothing but a foreign ./data keeps ./data", true, false, false, false, "./data/", false},
  };
  const std::string bin = root_ + "/bin", share = root_ + "/share/zelk/data";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    system(("rm -rf ./data '" + bin + "/data' '" + share + "'").c_str());
    if (c.cwdData) MakeData("./data", c.cwdFont);
    if (c.besideData) MakeData(bin + "/data", true);
    if (c.shareData) MakeData(share, true);
    HxDataFolder f = hx_find_data_folder(String(bin.c_str()));
    std::string want = c.expect;
    if (want == "bin") want = bin + "/data/";
    if (want == "share") want = share + "/";
    EXPECT_EQ(f.root.ToUtf8(), want);
    EXPECT_EQ(f.found, c.found);
  }
}

TEST_F(HostDataFolder, MessageNamesEveryPlaceLookedAt) {
  const std::string bin = root_ + "/bin";
  HxDataFolder f = hx_find_data_folder(String(bin.c_str()));
  ASSERT_FALSE(f.found);
  EXPECT_EQ(hx_missing_data_message(f),
            "zelk: no data folder at ./data, " + bin + "/data or " + root_ + "/share/zelk/data");
  // Without the executable's place only the working folder is looked at.
  HxDataFolder here = hx_find_data_folder(String());
  EXPECT_EQ(hx_missing_data_message(here), "zelk: no data folder at ./data");
  // An executable in the root folder still gives real paths.
  EXPECT_EQ(hx_missing_data_message(hx_find_data_folder(String("/"))),
            "zelk: no data folder at ./data, /data or /share/zelk/data");
}

TEST_F(HostDataFolder, OnlyARegularFontFileCounts) {
  // A folder or a FIFO named like the font is not the game's data (and is
  // never opened, so the FIFO cannot block the search).
  mkdir("data", 0755);
  mkdir("data/brio_font.png", 0755);
  EXPECT_FALSE(hx_find_data_folder(String()).found);
  rmdir("data/brio_font.png");
  ASSERT_EQ(mkfifo("data/brio_font.png", 0644), 0);
  EXPECT_FALSE(hx_find_data_folder(String()).found);
}

TEST_F(HostDataFolder, ExecutableDirIsTheTestsOwnFolder) {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  std::string path(exe, static_cast<size_t>(n));
  EXPECT_EQ(hx_executable_dir().ToUtf8(), path.substr(0, path.rfind('/')));
}

// ---------------------------------------------------------------- game pads

// Pad hardware behind the adapter's seam: raw axes, buttons and hats as
// GLFW 3 reports them, and, when a game-pad mapping string is given, the
// standard state GLFW 3 derives from them with that mapping, by GLFW's
// rules: the GUID must have 32 digits and be followed by a name, an element
// GLFW cannot read is left unmapped (bN buttons, aN axes with the +/-
// half-axis and ~ inversion modifiers, hN.M hat bits), and a mapping that
// names a button, axis or hat the pad does not have is not used at all.
class MappedPad : public FakePads {
 public:
  std::string mapping;  // empty: no mapping knows this pad

  bool Gamepad(int, glfw2::GamepadState* s) override {
    static const char* const kButtons[] = {"a",         "b",          "x",         "y",    "leftshoulder",
                                           "rightshoulder", "back",   "start",     "guide", "leftstick",
                                           "rightstick", "dpup",      "dpright",   "dpdown", "dpleft"};
    static const char* const kAxes[] = {"leftx", "lefty", "rightx", "righty", "lefttrigger", "righttrigger"};
    std::map<std::string, Element> m;
    if (!Parse(&m)) return false;
    for (const auto& e : m)
      if (!e.second.Fits(*this)) return false;
    for (int i = 0; i < glfw2::GAMEPAD_BUTTON_COUNT; ++i)
      s->buttons[i] = m.count(kButtons[i]) && m[kButtons[i]].Button(*this) ? glfw2::PRESS : glfw2::RELEASE;
    for (int i = 0; i < glfw2::GAMEPAD_AXIS_COUNT; ++i)
      s->axes[i] = m.count(kAxes[i]) ? m[kAxes[i]].Axis(*this) : 0.0f;
    return true;
  }

 private:
  struct Element {
    char type = 0;  // 'a', 'b', 'h'
    int index = 0, bit = 0;
    float scale = 1, offset = 0;
    bool Fits(const MappedPad& p) const {
      size_t limit = type == 'a' ? p.axes.size() : (type == 'b' ? p.buttons.size() : p.hats.size());
      return static_cast<size_t>(index) < limit;
    }
    float Raw(const MappedPad& p) const {
      if (type == 'b') return p.buttons[index] ? 1.0f : -1.0f;
      if (type == 'h') return (p.hats[index] & bit) ? 1.0f : -1.0f;
      return p.axes[index] * scale + offset;
    }
    bool Button(const MappedPad& p) const {
      float v = Raw(p);
      if (type != 'a') return v > 0;
      return (offset < 0 || (offset == 0 && scale > 0)) ? v >= 0 : v <= 0;
    }
    float Axis(const MappedPad& p) const { return std::fmin(std::fmax(Raw(p), -1.0f), 1.0f); }
  };
  bool Parse(std::map<std::string, Element>* m) const {
    std::stringstream in(mapping);
    std::string guid, name, field;
    if (!std::getline(in, guid, ',') || guid.size() != 32 || in.eof() || !std::getline(in, name, ','))
      return false;
    while (std::getline(in, field, ',')) {
      size_t colon = field.find(':');
      if (colon == std::string::npos || colon + 1 >= field.size()) continue;
      std::string key = field.substr(0, colon), v = field.substr(colon + 1);
      if (key == "platform") continue;
      Element e;
      float lo = -1, hi = 1;
      if (v[0] == '+') lo = 0, v = v.substr(1);
      else if (v[0] == '-') hi = 0, v = v.substr(1);
      if (v.size() < 2 || (v[0] != 'a' && v[0] != 'b' && v[0] != 'h')) continue;  // left unmapped
      e.type = v[0];
      e.index = std::atoi(v.c_str() + 1);
      if (e.type == 'h') e.bit = std::atoi(v.c_str() + v.find('.') + 1);
      if (e.type == 'a') {
        e.scale = 2 / (hi - lo);
        e.offset = -(hi + lo);
        if (v.back() == '~') e.scale = -e.scale, e.offset = -e.offset;
      }
      (*m)[key] = e;
    }
    return true;
  }
};

// Mapping lines as published in the SDL game controller database (the one
// GLFW 3 builds in), for pads whose raw order differs.
const char* const kXbox360 =
    "030000005e0400008e02000010010000,Xbox 360 Controller,a:b0,b:b1,back:b6,dpdown:h0.4,dpleft:h0.8,"
    "dpright:h0.2,dpup:h0.1,guide:b8,leftshoulder:b4,leftstick:b9,lefttrigger:a2,leftx:a0,lefty:a1,"
    "rightshoulder:b5,rightstick:b10,righttrigger:a5,rightx:a3,righty:a4,start:b7,x:b2,y:b3,platform:Linux,";
const char* const kPs4 =
    "030000004c050000c405000011810000,PS4 Controller,a:b0,b:b1,back:b8,dpdown:h0.4,dpleft:h0.8,"
    "dpright:h0.2,dpup:h0.1,guide:b10,leftshoulder:b4,leftstick:b11,lefttrigger:a2,leftx:a0,lefty:a1,"
    "rightshoulder:b5,rightstick:b12,righttrigger:a5,rightx:a3,righty:a4,start:b9,x:b3,y:b2,platform:Linux,";
const char* const kSwitchPro =
    "050000007e0500000920000001800000,Nintendo Switch Pro Controller,a:b0,b:b1,back:b9,dpdown:h0.4,"
    "dpleft:h0.8,dpright:h0.2,dpup:h0.1,guide:b11,leftshoulder:b5,leftstick:b12,lefttrigger:b7,leftx:a0,"
    "lefty:a1,rightshoulder:b6,rightstick:b13,righttrigger:b8,rightx:a2,righty:a3,start:b10,x:b3,y:b2,"
    "platform:Linux,";
const char* const k8BitDo =
    "05000000c82d00000161000000010000,8BitDo SN30 Pro,a:b1,b:b0,back:b10,dpdown:h0.4,dpleft:h0.8,"
    "dpright:h0.2,dpup:h0.1,leftshoulder:b6,leftstick:b13,lefttrigger:a5,leftx:a0,lefty:a1,"
    "rightshoulder:b7,rightstick:b14,righttrigger:a4,rightx:a2,righty:a3,start:b11,x:b4,y:b3,"
    "platform:Linux,";
// GLFW refuses this line: its GUID is not 32 digits.
const char* const kBroken = "0300005e04008e02,Broken Pad,a:b0,b:b1,x:b2,y:b3,platform:Linux,";

using HostGamepad = PadTest<MappedPad>;

// One table: each row is a pad (its raw sizes and mapping), what is held on
// it in raw terms, and the buttons and axes the game must see.
TEST_F(HostGamepad, EveryKnownPadInOneLayoutOthersKeepTheRawRemap) {
  struct Row {
    const char* name;
    const char* mapping;  // null: no mapping recognises the pad
    int nButtons, nAxes;
    std::vector<int> held;   // raw buttons held
    unsigned char hat;       // raw hat 0 (up 1, right 2, down 4, left 8)
    std::vector<float> axes;  // raw axes (vertical down positive)
    std::string expect;      // buttons the game sees
    float lx, ly, rx, ry, lt, rt;
  } rows[] = {
      // The face button at the bottom is A (0) on every pad; start is 7.
      {"Xbox 360: A, start, d-pad left+up", kXbox360, 11, 6, {0, 7}, 8 | 1,
       {0.5f, -1.0f, -1.0f, 0.25f, 0.5f, 1.0f}, "0 7 8 9 ", 0.5f, 1.0f, 0.25f, -0.5f, 0.0f, 1.0f},
      // The guide (home) button belongs to the system's overlay: not back,
      // not pause, no button at all.
      {"Xbox 360: guide, stick clicks, shoulders", kXbox360, 11, 6, {8, 9, 10, 4, 5}, 0,
       {0, 0, -1, 0, 0, -1}, "4 5 12 13 ", 0, 0, 0, 0, 0, 0},
      {"Xbox 360: guide alone", kXbox360, 11, 6, {8}, 0, {0, 0, -1, 0, 0, -1}, "", 0, 0, 0, 0, 0, 0},
      {"Switch Pro: home alone", kSwitchPro, 16, 4, {11}, 0, {0, 0, 0, 0}, "", 0, 0, 0, 0, 0, 0},
      // PS4: raw cross 0, circle 1, triangle 2, square 3, options 9, share 8.
      {"PS4: cross, square, options", kPs4, 13, 6, {0, 3, 9}, 4,
       {0, 0.5f, -1, 0, -0.5f, 0}, "0 2 7 11 ", 0, -0.5f, 0, 0.5f, 0, 0.5f},
      {"PS4: triangle, share, PS button", kPs4, 13, 6, {2, 8, 10}, 0, {0, 0, -1, 0, 0, -1}, "3 6 ", 0, 0, 0, 0, 0, 0},
      // Switch Pro: digital triggers (raw 7, 8) read as fully pulled.
      {"Switch Pro: B, Y, minus, ZL, ZR", kSwitchPro, 16, 4, {1, 2, 9, 7, 8}, 2,
       {-1.0f, 0.0f, 0.0f, 1.0f}, "1 3 6 10 ", -1.0f, 0.0f, 0.0f, -1.0f, 1.0f, 1.0f},
      // 8BitDo SN30 Pro: A and B swapped in raw order, X/Y at 4/3.
      {"8BitDo: raw b1 is A, raw b4 is X", k8BitDo, 15, 6, {1, 4, 11}, 0, {0, 0, 0, 0, -1, -1}, "0 2 7 ", 0, 0, 0, 0, 0, 0},
      // Not recognised: the raw remap (12 buttons + hat: hat on 8-11, pad 8-11 on 12-15).
      {"unknown pad keeps the raw remap", nullptr, 12, 2, {0, 8, 11}, 2, {0.5f, 0.25f}, "0 10 12 15 ",
       0.5f, -0.25f, 0, 0, 0, 0},
      // A mapping that does not parse leaves the pad unrecognised: raw remap.
      {"broken mapping is ignored", kBroken, 12, 2, {3}, 0, {0, 0}, "3 ", 0, 0, 0, 0, 0, 0},
      // A mapping for more buttons than the pad has is not used: raw remap.
      {"mapping beyond the pad's buttons", kXbox360, 6, 6, {0, 5}, 0, {0, 0, 0, 0, 0, 0}, "0 5 ", 0, 0, 0, 0, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    pad_.mapping = r.mapping ? r.mapping : "";
    pad_.buttons.assign(static_cast<size_t>(r.nButtons), 0);
    for (int b : r.held) pad_.buttons[static_cast<size_t>(b)] = 1;
    pad_.hats = {r.hat};
    pad_.axes = r.axes;
    pad_.axes.resize(static_cast<size_t>(r.nAxes), 0);
    glfw2::GamepadState unused;
    const bool recognised = pad_.Gamepad(0, &unused);
    // A recognised pad writes all 32 buttons; the raw remap only those the
    // pad reports, so that case starts clean.
    ASSERT_TRUE(Poll(recognised));
    EXPECT_EQ(Pressed(), r.expect);
    EXPECT_FLOAT_EQ(x_[0], r.lx);
    EXPECT_FLOAT_EQ(y_[0], r.ly);
    if (!recognised) continue;  // the raw axes have tests of their own
    EXPECT_FLOAT_EQ(x_[1], r.rx);
    EXPECT_FLOAT_EQ(y_[1], r.ry);
    EXPECT_FLOAT_EQ(z_[0], r.lt);
    EXPECT_FLOAT_EQ(z_[1], r.rt);
  }
}

// The strings above are what GLFW itself accepts; broken lines, overlong
// lines and junk are skipped with an error report and never stop the good
// lines around them or the game.
TEST(HostPadMappings, GlfwAcceptsRealLinesAndSkipsBadOnes) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "GLFW needs a display";
  ASSERT_EQ(glfw2::Init(), 1);
  static int errors;
  GLFWerrorfun previous = glfwSetErrorCallback([](int, const char*) { ++errors; });
  struct Case {
    std::string text;
    int errors;
  } cases[] = {
      {kXbox360, 0},
      {std::string(kPs4) + "\n" + kSwitchPro + "\r\n" + k8BitDo + "\n", 0},
      {"# a comment line\n\n", 0},
      {kBroken, 1},
      {std::string(kBroken) + "\n" + kXbox360 + "\n", 1},
      {"030000005e0400008e02000010010000", 1},  // no name
      {std::string(kSwitchPro) + "\n0300000,short,a:b0\n" + kPs4, 1},
      {std::string(3000, 'a') + "\n" + kPs4, 0},  // overlong lines are skipped quietly
      {"\xff\xfe\x01 binary junk", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    errors = 0;
    EXPECT_TRUE(hx_add_pad_mappings(c.text));
    EXPECT_EQ(errors, c.errors) << c.text.substr(0, 60);
  }
  glfwSetErrorCallback(previous);
  glfw2::Terminate();
}

}  // namespace
