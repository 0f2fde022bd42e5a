#include "framework/hx_input.h"
#include "host/hx_game.h"

c_InputDevice* hx_input_device = nullptr;

namespace {
inline bool valid_key(int key) { return key >= 0 && key < c_InputDevice::KEY_COUNT; }
inline bool valid_finger(int finger) { return finger >= 0 && finger < c_InputDevice::FINGERS; }
}  // namespace

// ---------------------------------------------------------------- c_JoyState

c_JoyState::c_JoyState()
    : m_joyx(Array<float>(2)), m_joyy(Array<float>(2)), m_joyz(Array<float>(2)), m_buttons(Array<bool>(32)) {}

void c_JoyState::mark() {
  Object::mark();
  gc_mark_q(m_joyx);
  gc_mark_q(m_joyy);
  gc_mark_q(m_joyz);
  gc_mark_q(m_buttons);
}

// ---------------------------------------------------------------- c_InputDevice

c_InputDevice::c_InputDevice()
    : m__joyStates(Array<c_JoyState*>(PADS)),
      m__keyDown(Array<bool>(KEY_COUNT)),
      m__keyHitQueue(Array<int>(HIT_QUEUE)),
      m__keyHit(Array<int>(KEY_COUNT)),
      m__charQueue(Array<int>(CHAR_QUEUE)),
      m__touchX(Array<float>(FINGERS)),
      m__touchY(Array<float>(FINGERS)) {
  // The arrays and the states below are new and white: direct stores are safe.
  for (int i = 0; i < PADS; ++i) m__joyStates[i] = new c_JoyState;
}

void c_InputDevice::mark() {
  Object::mark();
  gc_mark_q(m__joyStates);
  gc_mark_q(m__keyDown);
  gc_mark_q(m__keyHitQueue);
  gc_mark_q(m__keyHit);
  gc_mark_q(m__charQueue);
  gc_mark_q(m__touchX);
  gc_mark_q(m__touchY);
}

void c_InputDevice::p_PutKeyHit(int key) {
  if (!valid_key(key)) return;
  if (m__keyHitPut == m__keyHitQueue.Length()) return;
  ++m__keyHit[key];
  m__keyHitQueue[m__keyHitPut] = key;
  ++m__keyHitPut;
}

void c_InputDevice::p_KeyDownEvent(int key) {
  if (!valid_key(key) || m__keyDown[key]) return;
  m__keyDown[key] = true;
  p_PutKeyHit(key);
  // The left mouse button and the first finger stand for each other.
  if (key == 1) {
    m__keyDown[384] = true;
    p_PutKeyHit(384);
  } else if (key == 384) {
    m__keyDown[1] = true;
    p_PutKeyHit(1);
  }
}

void c_InputDevice::p_KeyUpEvent(int key) {
  if (!valid_key(key) || !m__keyDown[key]) return;
  m__keyDown[key] = false;
  if (key == 1) m__keyDown[384] = false;
  else if (key == 384) m__keyDown[1] = false;
}

void c_InputDevice::p_KeyEvent(int event, int data) {
  switch (event) {
    case HX_EVENT_KEYDOWN:
      p_KeyDownEvent(data);
      break;
    case HX_EVENT_KEYUP:
      p_KeyUpEvent(data);
      break;
    case HX_EVENT_KEYCHAR:
      if (m__charPut < m__charQueue.Length()) {
        m__charQueue[m__charPut] = data;
        ++m__charPut;
      }
      break;
    default:
      break;
  }
}

void c_InputDevice::p_MouseEvent(int event, int data, float x, float y) {
  switch (event) {
    case HX_EVENT_MOUSEDOWN:
      if (data >= 0 && data < KEY_COUNT - 1) p_KeyDownEvent(data + 1);
      [[fallthrough]];
    case HX_EVENT_MOUSEMOVE:
      m__mouseX = x;
      m__mouseY = y;
      m__touchX[0] = x;
      m__touchY[0] = y;
      break;
    case HX_EVENT_MOUSEUP:
      if (data >= 0 && data < KEY_COUNT - 1) p_KeyUpEvent(data + 1);
      break;
    default:
      break;
  }
}

void c_InputDevice::p_TouchEvent(int event, int data, float x, float y) {
  if (!valid_finger(data)) return;
  switch (event) {
    case HX_EVENT_TOUCHDOWN:
      p_KeyDownEvent(384 + data);
      [[fallthrough]];
    case HX_EVENT_TOUCHMOVE:
      m__touchX[data] = x;
      m__touchY[data] = y;
      if (data == 0) {
        m__mouseX = x;
        m__mouseY = y;
      }
      break;
    case HX_EVENT_TOUCHUP:
      p_KeyUpEvent(384 + data);
      break;
    default:
      break;
  }
}

void c_InputDevice::p_MotionEvent(int event, int data, float x, float y, float z) {
  (void)data;
  if (event != HX_EVENT_MOTIONACCEL) return;
  m__accelX = x;
  m__accelY = y;
  m__accelZ = z;
}

void c_InputDevice::p_BeginUpdate() {
  HxGame* game = HxGame::_game;
  if (!game) return;
  for (int unit = 0; unit < PADS; ++unit) {
    c_JoyState* joy = m__joyStates[unit];
    if (!game->PollJoystick(unit, joy->m_joyx, joy->m_joyy, joy->m_joyz, joy->m_buttons)) break;
    for (int b = 0; b < 32; ++b) {
      int key = 256 + 32 * unit + b;
      if (joy->m_buttons[b]) {
        if (!m__keyDown[key]) {
          m__keyDown[key] = true;
          p_PutKeyHit(key);
        }
      } else {
        m__keyDown[key] = false;
      }
    }
  }
}

void c_InputDevice::p_EndUpdate() {
  for (int i = 0; i < m__keyHitPut; ++i) m__keyHit[m__keyHitQueue[i]] = 0;
  m__keyHitPut = 0;
  m__charGet = 0;
  m__charPut = 0;
}

bool c_InputDevice::p_KeyDown(int key) { return key > 0 && key < KEY_COUNT ? m__keyDown[key] : false; }

int c_InputDevice::p_KeyHit(int key) { return key > 0 && key < KEY_COUNT ? m__keyHit[key] : 0; }

int c_InputDevice::p_GetChar() {
  if (m__charGet == m__charPut) return 0;
  return m__charQueue[m__charGet++];
}

int c_InputDevice::p_PeekChar(int index) {
  int at = m__charGet + index;
  if (index < 0 || at >= m__charPut) return 0;
  return m__charQueue[at];
}

float c_InputDevice::p_TouchX(int finger) { return valid_finger(finger) ? m__touchX[finger] : 0.0f; }
float c_InputDevice::p_TouchY(int finger) { return valid_finger(finger) ? m__touchY[finger] : 0.0f; }

// Pad axes: an index other than 0/1 or a unit outside 0-3 answers 0.
float c_InputDevice::p_JoyX(int index, int unit) {
  if (index < 0 || index > 1 || unit < 0 || unit >= PADS) return 0.0f;
  return m__joyStates[unit]->m_joyx[index];
}
float c_InputDevice::p_JoyY(int index, int unit) {
  if (index < 0 || index > 1 || unit < 0 || unit >= PADS) return 0.0f;
  return m__joyStates[unit]->m_joyy[index];
}
float c_InputDevice::p_JoyZ(int index, int unit) {
  if (index < 0 || index > 1 || unit < 0 || unit >= PADS) return 0.0f;
  return m__joyStates[unit]->m_joyz[index];
}

// ---------------------------------------------------------------- module functions

void hx_input_SetInputDevice(c_InputDevice* device) { gc_assign(hx_input_device, device); }

int hx_input_JoyKey(int button, int unit) {
  return static_cast<int>(256u | (static_cast<unsigned>(unit) * 32u) | static_cast<unsigned>(button));
}

bool hx_input_KeyDown(int key) { return hx_input_device->p_KeyDown(key); }
int hx_input_KeyHit(int key) { return hx_input_device->p_KeyHit(key); }
int hx_input_GetChar() { return hx_input_device->p_GetChar(); }
float hx_input_MouseX() { return hx_input_device->m__mouseX; }
float hx_input_MouseY() { return hx_input_device->m__mouseY; }

bool hx_input_MouseDown(int button) {
  return button >= 0 && button <= 510 ? hx_input_device->p_KeyDown(button + 1) : false;
}
int hx_input_MouseHit(int button) {
  return button >= 0 && button <= 510 ? hx_input_device->p_KeyHit(button + 1) : 0;
}
bool hx_input_TouchDown(int finger) {
  int key = 384 + finger;
  return key >= 1 && key <= 511 ? hx_input_device->p_KeyDown(key) : false;
}
int hx_input_TouchHit(int finger) {
  int key = 384 + finger;
  return key >= 1 && key <= 511 ? hx_input_device->p_KeyHit(key) : 0;
}
float hx_input_TouchX(int finger) { return hx_input_device->p_TouchX(finger); }
float hx_input_TouchY(int finger) { return hx_input_device->p_TouchY(finger); }
// A button outside 0-31 or a unit outside 0-3 would alias another pad's
// button (or a touch key) through the OR; such queries answer false / 0.
static bool valid_pad_button(int button, int unit) {
  return button >= 0 && button < 32 && unit >= 0 && unit < c_InputDevice::PADS;
}
bool hx_input_JoyDown(int button, int unit) {
  return valid_pad_button(button, unit) && hx_input_KeyDown(hx_input_JoyKey(button, unit));
}
int hx_input_JoyHit(int button, int unit) {
  return valid_pad_button(button, unit) ? hx_input_KeyHit(hx_input_JoyKey(button, unit)) : 0;
}
float hx_input_JoyX(int index, int unit) { return hx_input_device->p_JoyX(index, unit); }
float hx_input_JoyY(int index, int unit) { return hx_input_device->p_JoyY(index, unit); }
float hx_input_JoyZ(int index, int unit) { return hx_input_device->p_JoyZ(index, unit); }
float hx_input_AccelX() { return hx_input_device->m__accelX; }
float hx_input_AccelY() { return hx_input_device->m__accelY; }
float hx_input_AccelZ() { return hx_input_device->m__accelZ; }

int hx_input_EnableKeyboard() {
  HxGame::_game->SetKeyboardEnabled(true);
  return 1;
}
int hx_input_DisableKeyboard() {
  HxGame::_game->SetKeyboardEnabled(false);
  return 1;
}
