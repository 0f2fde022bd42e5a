// The GLFW 2.7 joystick calls, over whichever JoystickSource is in use:
// odd axes negated (the vertical ones, so that up is positive), and each
// hat appended to the buttons as four buttons: left, up, right, down.
#include "host/hx_glfw2.h"

namespace glfw2 {
namespace {

// GLFW 3's joystick numbering and hat bits, which every source follows.
constexpr int kLastJoystick = 15;
constexpr unsigned char kHatUp = 1, kHatRight = 2, kHatDown = 4, kHatLeft = 8;

JoystickSource* chosen = nullptr;

JoystickSource* Source() { return chosen ? chosen : DefaultJoystickSource(); }

// The source when joy names a joystick that is there, otherwise null.
JoystickSource* Present(int joy) {
  if (joy < 0 || joy > kLastJoystick) return nullptr;
  JoystickSource* source = Source();
  return source->Present(joy) ? source : nullptr;
}

}  // namespace

void SetJoystickSource(JoystickSource* source) { chosen = source; }

int GetJoystickParam(int joy, int param) {
  JoystickSource* source = Present(joy);
  if (!source) return 0;
  int count = 0;
  switch (param) {
    case PRESENT:
      return 1;
    case AXES:
      source->Axes(joy, &count);
      return count;
    case BUTTONS: {
      int hats = 0;
      source->Buttons(joy, &count);
      source->Hats(joy, &hats);
      return count + 4 * hats;
    }
  }
  return 0;
}

int GetJoystickPos(int joy, float* pos, int numaxes) {
  JoystickSource* source = Present(joy);
  if (!source) return 0;
  int count = 0;
  const float* axes = source->Axes(joy, &count);
  if (!axes) return 0;
  count = count < numaxes ? count : numaxes;
  for (int i = 0; i < count; ++i) pos[i] = (i & 1) ? -axes[i] : axes[i];
  return count;
}

int GetJoystickButtons(int joy, unsigned char* buttons, int numbuttons) {
  JoystickSource* source = Present(joy);
  if (!source) return 0;
  int count = 0, hatCount = 0;
  const unsigned char* pad = source->Buttons(joy, &count);
  const unsigned char* hats = source->Hats(joy, &hatCount);
  if (!pad) count = 0;
  if (!hats) hatCount = 0;
  int n = 0;
  for (int i = 0; i < count && n < numbuttons; ++i) buttons[n++] = pad[i] ? PRESS : RELEASE;
  static const unsigned char kHatOrder[4] = {kHatLeft, kHatUp, kHatRight, kHatDown};
  for (int h = 0; h < hatCount; ++h)
    for (unsigned char bit : kHatOrder)
      if (n < numbuttons) buttons[n++] = (hats[h] & bit) ? PRESS : RELEASE;
  return n;
}

bool GetGamepadState(int joy, GamepadState* state) {
  JoystickSource* source = Present(joy);
  return source && source->Gamepad(joy, state);
}

}  // namespace glfw2
