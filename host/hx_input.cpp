// Input translation: GLFW 2.7 keys, characters, mouse and pads to the
// framework's events and key codes.
#include <array>

#include "host/hx_glfw_game.h"

namespace {

// Framework key code per GLFW 2.7 key number 0-316; 0 = ignored.
using KeyTable = std::array<unsigned char, glfw2::KEY_KP_DECIMAL + 1>;

KeyTable MakeKeyTable() {
  using namespace glfw2;
  KeyTable t{};
  t[KEY_BACKSPACE] = 8;
  t[KEY_TAB] = 9;
  t[KEY_ENTER] = 13;
  t[KEY_LSHIFT] = t[KEY_RSHIFT] = 16;
  t[KEY_LCTRL] = t[KEY_RCTRL] = 17;
  t[KEY_ESC] = 27;
  t[KEY_SPACE] = 32;
  t[KEY_PAGEUP] = 33;
  t[KEY_PAGEDOWN] = 34;
  t[KEY_END] = 35;
  t[KEY_HOME] = 36;
  t[KEY_LEFT] = 37;
  t[KEY_UP] = 38;
  t[KEY_RIGHT] = 39;
  t[KEY_DOWN] = 40;
  t[KEY_INSERT] = 45;
  t[KEY_DEL] = 46;
  for (int i = 0; i <= 9; ++i) t[KEY_KP_0 + i] = static_cast<unsigned char>(96 + i);
  t[KEY_KP_MULTIPLY] = 106;
  t[KEY_KP_ADD] = 107;
  t[KEY_KP_SUBTRACT] = 109;
  t[KEY_KP_DECIMAL] = 110;
  t[KEY_KP_DIVIDE] = 111;
  for (int i = 0; i < 12; ++i) t[KEY_F1 + i] = static_cast<unsigned char>(112 + i);
  t[';'] = 186;
  t['='] = 187;
  t[','] = 188;
  t['-'] = 189;
  t['.'] = 190;
  t['/'] = 191;
  t['`'] = t['~'] = 192;
  t['['] = 219;
  t['\\'] = 220;
  t[']'] = 221;
  t['\''] = t['"'] = 222;
  return t;
}

const KeyTable kKeyTable = MakeKeyTable();

}  // namespace

int HxGlfwGame::TransKey(int glfwKey) {
  if ((glfwKey >= '0' && glfwKey <= '9') || (glfwKey >= 'A' && glfwKey <= 'Z')) return glfwKey;
  if (glfwKey < glfw2::KEY_SPACE || glfwKey > glfw2::KEY_KP_DECIMAL) return 0;
  return kKeyTable[glfwKey];
}

int HxGlfwGame::KeyToChar(int key) {
  switch (key) {
    case 8:
    case 9:
    case 13:
    case 27:
      return key;
    case 33:
    case 34:
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
    case 40:
    case 45:
      return key | 0x10000;
    case 46:
      return 127;
  }
  return 0;
}

void HxGlfwGame::OnKey(int glfwKey, int action) {
  int key = TransKey(glfwKey);
  if (!key) return;
  if (action == glfw2::RELEASE) {
    _game->KeyEvent(HX_EVENT_KEYUP, key);
  } else if (action == glfw2::PRESS) {
    _game->KeyEvent(HX_EVENT_KEYDOWN, key);
    if (int chr = KeyToChar(key)) _game->KeyEvent(HX_EVENT_KEYCHAR, chr);
  }
}

void HxGlfwGame::OnChar(int character, int action) {
  if (action == glfw2::PRESS) _game->KeyEvent(HX_EVENT_KEYCHAR, character);
}

void HxGlfwGame::OnMouseButton(int button, int action) {
  if (button < 0 || button > 2) return;
  int x = 0, y = 0;
  glfw2::GetMousePos(&x, &y);
  if (action == glfw2::RELEASE) {
    _game->MouseEvent(HX_EVENT_MOUSEUP, button, static_cast<float>(x), static_cast<float>(y));
  } else if (action == glfw2::PRESS) {
    _game->MouseEvent(HX_EVENT_MOUSEDOWN, button, static_cast<float>(x), static_cast<float>(y));
  }
}

void HxGlfwGame::OnMousePos(int x, int y) {
  _game->MouseEvent(HX_EVENT_MOUSEMOVE, -1, static_cast<float>(x), static_cast<float>(y));
}

void HxGlfwGame::SetMouseVisible(bool visible) {
  if (visible) {
    glfw2::Enable(glfw2::MOUSE_CURSOR);
  } else {
    glfw2::Disable(glfw2::MOUSE_CURSOR);
  }
}

void HxGlfwGame::PutGamepad(const glfw2::GamepadState& pad, Array<float> joyx, Array<float> joyy,
                            Array<float> joyz, Array<bool> buttons) {
  using namespace glfw2;
  // The controls' layout: face buttons, shoulders, back, start, the d-pad
  // as left, up, right, down, then the stick clicks. The guide (home)
  // button is left out: the system's own overlay answers it (handhelds,
  // Xbox pads), so it must not also pause the game or quit the title menu.
  static const int kOrder[] = {GAMEPAD_A,          GAMEPAD_B,          GAMEPAD_X,
                               GAMEPAD_Y,          GAMEPAD_LEFT_BUMPER, GAMEPAD_RIGHT_BUMPER,
                               GAMEPAD_BACK,       GAMEPAD_START,      GAMEPAD_DPAD_LEFT,
                               GAMEPAD_DPAD_UP,    GAMEPAD_DPAD_RIGHT, GAMEPAD_DPAD_DOWN,
                               GAMEPAD_LEFT_THUMB, GAMEPAD_RIGHT_THUMB};
  const int n = static_cast<int>(sizeof kOrder / sizeof kOrder[0]);
  for (int i = 0; i < buttons.Length() && i < 32; ++i)
    buttons[i] = i < n && pad.buttons[kOrder[i]] == PRESS;  // nothing above 13 is held
  auto put = [](Array<float>& a, int i, float v) {
    if (i < a.Length()) a[i] = v;
  };
  // Sticks with up positive; triggers from 0 (released) to 1 (pulled).
  auto trigger = [](float v) { return v < -1 ? 0.0f : (v > 1 ? 1.0f : (v + 1) * 0.5f); };
  put(joyx, 0, pad.axes[GAMEPAD_AXIS_LEFT_X]);
  put(joyy, 0, -pad.axes[GAMEPAD_AXIS_LEFT_Y]);
  put(joyx, 1, pad.axes[GAMEPAD_AXIS_RIGHT_X]);
  put(joyy, 1, -pad.axes[GAMEPAD_AXIS_RIGHT_Y]);
  put(joyz, 0, trigger(pad.axes[GAMEPAD_AXIS_LEFT_TRIGGER]));
  put(joyz, 1, trigger(pad.axes[GAMEPAD_AXIS_RIGHT_TRIGGER]));
}

bool HxGlfwGame::PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                              Array<bool> buttons) {
  if (!glfw2::GetJoystickParam(port, glfw2::PRESENT)) return false;
  // Arrays shorter than the input module's (2 per stick, 32 buttons) are
  // filled as far as they reach.
  auto put = [](Array<float>& a, int i, float v) {
    if (i < a.Length()) a[i] = v;
  };

  glfw2::GamepadState gamepad;
  if (glfw2::GetGamepadState(port, &gamepad)) {
    PutGamepad(gamepad, joyx, joyy, joyz, buttons);
    return true;
  }

  float axes[6] = {0, 0, 0, 0, 0, 0};
  int nAxes = glfw2::GetJoystickPos(port, axes, 6);
  put(joyx, 0, axes[0]);
  put(joyy, 0, axes[1]);
  put(joyz, 0, axes[2]);
  put(joyx, 1, axes[3]);
  put(joyy, 1, axes[4]);
  put(joyz, 1, axes[5]);

  unsigned char pad[32] = {0};
  int n = glfw2::GetJoystickButtons(port, pad, 32);
  auto setButton = [&](int i, int padButton) {
    if (i < buttons.Length()) buttons[i] = pad[padButton] == glfw2::PRESS;
  };
  if (n > 12) {
    // The hat (the last four reported, left/up/right/down) goes to 8-11,
    // the pad's buttons from 8 on move up to 12.
    for (int i = 0; i < 8; ++i) setButton(i, i);
    for (int i = 0; i < 4; ++i) setButton(8 + i, n - 4 + i);
    for (int i = 0; i <= n - 13; ++i) setButton(12 + i, 8 + i);
  } else {
    for (int i = 0; i < n; ++i) setButton(i, i);
  }

  if (n == 14 && nAxes == 5) {
    put(joyx, 1, axes[4]);
    put(joyy, 1, -axes[3]);
  } else if (n == 18 && nAxes == 4) {
    put(joyy, 1, joyz.Length() > 0 ? -joyz[0] : -axes[2]);
  }
  return true;
}
