// Key translation, the input callbacks and the joystick poll, with pads fed
// through the adapter's joystick source.
#include <gtest/gtest.h>

#include <map>

#include "host_test_util.h"

namespace {

using Calls = std::vector<std::string>;

TEST(HostInput, TransKeyTable) {
  using namespace glfw2;
  std::map<int, int> expect = {
      {KEY_BACKSPACE, 8},  {KEY_TAB, 9},        {KEY_ENTER, 13},     {KEY_LSHIFT, 16},
      {KEY_RSHIFT, 16},    {KEY_LCTRL, 17},     {KEY_RCTRL, 17},     {KEY_ESC, 27},
      {KEY_SPACE, 32},     {KEY_PAGEUP, 33},    {KEY_PAGEDOWN, 34},  {KEY_END, 35},
      {KEY_HOME, 36},      {KEY_LEFT, 37},      {KEY_UP, 38},        {KEY_RIGHT, 39},
      {KEY_DOWN, 40},      {KEY_INSERT, 45},    {KEY_DEL, 46},       {KEY_KP_MULTIPLY, 106},
      {KEY_KP_ADD, 107},   {KEY_KP_SUBTRACT, 109}, {KEY_KP_DECIMAL, 110}, {KEY_KP_DIVIDE, 111},
      {';', 186},          {'=', 187},          {',', 188},          {'-', 189},
      {'.', 190},          {'/', 191},          {'`', 192},          {'~', 192},
      {'[', 219},          {'\\', 220},         {']', 221},          {'\'', 222},
      {'"', 222},
  };
  for (int i = 0; i <= 9; ++i) expect[KEY_KP_0 + i] = 96 + i;
  for (int i = 0; i < 12; ++i) expect[KEY_F1 + i] = 112 + i;
  for (int k = '0'; k <= '9'; ++k) expect[k] = k;
  for (int k = 'A'; k <= 'Z'; ++k) expect[k] = k;
  // Every key number, including the ones that must translate to nothing
  // (F13-F25, Alt, pad equals/enter, locks, pause, system and menu keys,
  // lower-case letters, out of range).
  for (int k = -2; k <= 400; ++k) {
    auto it = expect.find(k);
    EXPECT_EQ(HxGlfwGame::TransKey(k), it == expect.end() ? 0 : it->second) << "key " << k;
  }
}

TEST(HostInput, KeyToChar) {
  std::map<int, int> expect = {{8, 8},      {9, 9},      {13, 13},    {27, 27},
                               {33, 65569}, {34, 65570}, {35, 65571}, {36, 65572},
                               {37, 65573}, {38, 65574}, {39, 65575}, {40, 65576},
                               {45, 65581}, {46, 127}};
  for (int k = 0; k < 512; ++k) {
    auto it = expect.find(k);
    EXPECT_EQ(HxGlfwGame::KeyToChar(k), it == expect.end() ? 0 : it->second) << "key " << k;
  }
}

class HostCallbacks : public ::testing::Test {
 protected:
  void SetUp() override {
    d_ = new RecordingDelegate;
    game_.SetDelegate(d_);
    game_.StartGame();
    d_->calls.clear();
  }
  TestGlfwGame game_;
  RecordingDelegate* d_;
};

TEST_F(HostCallbacks, KeysCharactersAndMouse) {
  using namespace glfw2;
  HxGlfwGame::OnKey('A', PRESS);
  HxGlfwGame::OnChar('a', PRESS);
  HxGlfwGame::OnChar('a', RELEASE);
  HxGlfwGame::OnKey('A', RELEASE);
  HxGlfwGame::OnKey(KEY_ESC, PRESS);
  HxGlfwGame::OnKey(KEY_DEL, PRESS);
  HxGlfwGame::OnKey(KEY_UP, PRESS);
  HxGlfwGame::OnKey(KEY_LSHIFT, PRESS);
  HxGlfwGame::OnKey(KEY_RSHIFT, RELEASE);
  HxGlfwGame::OnKey(KEY_CAPS_LOCK, PRESS);
  HxGlfwGame::OnKey(KEY_LALT, PRESS);
  HxGlfwGame::OnKey(KEY_LSUPER, PRESS);
  HxGlfwGame::OnKey('B', 2);  // neither press nor release
  HxGlfwGame::OnMouseButton(3, PRESS);
  HxGlfwGame::OnMouseButton(1, PRESS);
  HxGlfwGame::OnMouseButton(1, RELEASE);
  HxGlfwGame::OnMousePos(12, 34);
  EXPECT_EQ(d_->calls, (Calls{"key 1 65", "key 3 97", "key 2 65", "key 1 27", "key 3 27",
                              "key 1 46", "key 3 127", "key 1 38", "key 3 65574", "key 1 16",
                              "key 2 16", "mouse 4 1 0 0", "mouse 5 1 0 0",
                              "mouse 6 -1 12 34"}));
}

TEST_F(HostCallbacks, WindowCloseSendsCloseKeyAndKeepsWindow) {
  EXPECT_EQ(HxGlfwGame::OnWindowClose(), 0);
  EXPECT_EQ(d_->calls, (Calls{"key 1 432", "key 2 432"}));
}

TEST(HostAdapter, KeyNumbersFromGlfw3) {
  // GLFW 3 numbers on the left, GLFW 2.7 on the right.
  struct Case {
    int key3, key2;
  } cases[] = {
      {32, 32},   {39, 39},   {65, 65},   {96, 96},   {256, 257}, {257, 294}, {258, 293},
      {259, 295}, {260, 296}, {261, 297}, {262, 286}, {263, 285}, {264, 284}, {265, 283},
      {266, 298}, {267, 299}, {268, 300}, {269, 301}, {280, 320}, {282, 319}, {284, 322},
      {290, 258}, {301, 269}, {314, 282}, {320, 302}, {329, 311}, {330, 316}, {331, 312},
      {332, 313}, {333, 314}, {334, 315}, {335, 318}, {336, 317}, {340, 287}, {341, 289},
      {342, 291}, {343, 323}, {344, 288}, {345, 290}, {346, 292}, {347, 324}, {348, 325},
      {161, -1},  {283, -1},  {-1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(glfw2::KeyFrom3(c.key3), c.key2) << c.key3;
    if (c.key2 >= 0) {
      EXPECT_EQ(glfw2::KeyTo3(c.key2), c.key3) << c.key2;
    }
  }
  EXPECT_EQ(glfw2::KeyTo3(0), -1);
  EXPECT_EQ(glfw2::KeyTo3(31), -1);
}

TEST(HostAdapter, PrintableKeysByTheirLayoutName) {
  // GLFW 3 key (its US place), the layout's name for it, the 2.7 key.
  struct Case {
    int key3;
    const char* name;
    int key2;
  } cases[] = {
      {'A', "q", 'Q'},       // French: the key in the US A place is labelled Q
      {'Q', "a", 'A'},       {'Y', "z", 'Z'},  // German
      {'Z', "y", 'Y'},       {'M', ",", ','},  // French comma
      {';', "m", 'M'},       {'/', "-", '-'},  // German minus
      {'A', "A", 'A'},       {'1', "&", '&'},  // a French digit key
      {'`', "~", '~'},       {'\'', "'", '\''},
      {'2', "\xc3\xa9", '2'},  // a letter outside ASCII: the key's own number
      {'[', nullptr, '['},   // a dead key has no name
      {';', "", ';'},        {'A', "ab", 'A'}, {'A', "\x7f", 'A'}, {'A', "\x1f", 'A'},
      {32, nullptr, 32},
  };
  for (const Case& c : cases)
    EXPECT_EQ(glfw2::KeyFromLabel(c.key3, c.name), c.key2) << c.key3 << " " << (c.name ? c.name : "null");
}

using HostJoystick = PadTest<FakePads>;

TEST_F(HostJoystick, AbsentPadLeavesArrays) {
  pad_.present = false;
  for (int i = 0; i < 2; ++i) x_[i] = 5;
  b_[3] = true;
  EXPECT_FALSE(game_.PollJoystick(0, x_, y_, z_, b_));
  EXPECT_FALSE(game_.PollJoystick(1, x_, y_, z_, b_));
  EXPECT_EQ(x_[0], 5);
  EXPECT_TRUE(b_[3]);
}

TEST_F(HostJoystick, AxesUseUpPositiveAndMissingAxesReadZero) {
  pad_.axes = {0.5f, 0.25f, -1.0f};  // stick pushed right and down, z full
  pad_.buttons.assign(4, 0);
  ASSERT_TRUE(Poll());
  EXPECT_EQ(x_[0], 0.5f);
  EXPECT_EQ(y_[0], -0.25f);
  EXPECT_EQ(z_[0], -1.0f);
  EXPECT_EQ(x_[1], 0.0f);
  EXPECT_EQ(y_[1], 0.0f);
  EXPECT_EQ(z_[1], 0.0f);
}

TEST_F(HostJoystick, ButtonLayouts) {
  struct Case {
    int padButtons;
    std::vector<int> down;  // pad buttons held
    unsigned char hat;      // hat state, if the pad has one
    bool hasHat;
    std::string expect;
  } cases[] = {
      // 8 buttons + hat = 12 reported: hat lands on 8-11 as is; up-left sets 8, 9.
      {8, {0, 7}, 1 | 8, true, "0 7 8 9 "},
      // 12 buttons + hat = 16 reported: hat 12-15 -> 8-11, pad 8-11 -> 12-15.
      {12, {8, 11}, 2, true, "10 12 15 "},
      {12, {}, 4, true, "11 "},
      // Plain pads without a hat.
      {4, {0, 3}, 0, false, "0 3 "},
      {14, {8, 13}, 0, false, "11 12 "},  // >12: pad 10-13 are taken as the hat
  };
  for (const Case& c : cases) {
    pad_.axes.assign(2, 0);
    pad_.buttons.assign(static_cast<size_t>(c.padButtons), 0);
    for (int b : c.down) pad_.buttons[static_cast<size_t>(b)] = 1;
    pad_.hats.clear();
    if (c.hasHat) pad_.hats.push_back(c.hat);
    ASSERT_TRUE(Poll());
    EXPECT_EQ(Pressed(), c.expect) << c.padButtons << " buttons";
  }
}

TEST_F(HostJoystick, DeviceAdjustments) {
  // 10 buttons + hat = 14 reported, 5 axes: second stick on axes 4 and 3.
  pad_.buttons.assign(10, 0);
  pad_.hats = {0};
  pad_.axes = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f};
  ASSERT_TRUE(Poll());
  EXPECT_EQ(x_[1], 0.5f);   // axis 4
  EXPECT_EQ(y_[1], 0.4f);   // -(axis 3 in 2.7 sign) = -(-0.4)
  EXPECT_EQ(z_[0], 0.3f);
  // 14 buttons + hat = 18 reported, 4 axes: joyy[1] = -axis 2.
  pad_.buttons.assign(14, 0);
  pad_.axes = {0.1f, 0.2f, 0.3f, 0.4f};
  ASSERT_TRUE(Poll());
  EXPECT_EQ(x_[1], -0.4f);  // axis 3 (odd: negated by the adapter)
  EXPECT_EQ(y_[1], -0.3f);
  // 14 reported but 4 axes: no adjustment.
  pad_.buttons.assign(10, 0);
  ASSERT_TRUE(Poll());
  EXPECT_EQ(x_[1], -0.4f);
  EXPECT_EQ(y_[1], 0.0f);
}

TEST_F(HostJoystick, AdapterReportsCounts) {
  pad_.buttons.assign(10, 0);
  pad_.hats = {0, 0};
  pad_.axes.assign(7, 0);
  EXPECT_EQ(glfw2::GetJoystickParam(0, glfw2::PRESENT), 1);
  EXPECT_EQ(glfw2::GetJoystickParam(0, glfw2::BUTTONS), 18);
  EXPECT_EQ(glfw2::GetJoystickParam(0, glfw2::AXES), 7);
  EXPECT_EQ(glfw2::GetJoystickParam(5, glfw2::PRESENT), 0);
  float axes[6];
  EXPECT_EQ(glfw2::GetJoystickPos(0, axes, 6), 6);
  unsigned char b[32];
  EXPECT_EQ(glfw2::GetJoystickButtons(0, b, 12), 12);
}

}  // namespace
