// The game's view of keyboard, mouse, touch, joysticks and accelerometer.
// Key codes share one space 0-511: mouse buttons 1-3, keyboard keys,
// joystick buttons 256 + 32 * pad + button, touch fingers 384 + finger,
// back 416, close 432.
#pragma once
#include "runtime/hx_runtime.h"

// One game pad: two sticks' axes and 32 buttons, filled by the host's poll.
class c_JoyState : public Object {
 public:
  Array<float> m_joyx;
  Array<float> m_joyy;
  Array<float> m_joyz;
  Array<bool> m_buttons;

  c_JoyState();
  c_JoyState* m_new() { return this; }
  void mark() override;
};

class c_InputDevice : public Object {
 public:
  enum { KEY_COUNT = 512, HIT_QUEUE = 33, CHAR_QUEUE = 32, FINGERS = 32, PADS = 4 };

  Array<c_JoyState*> m__joyStates;
  Array<bool> m__keyDown;
  int m__keyHitPut = 0;
  Array<int> m__keyHitQueue;
  Array<int> m__keyHit;
  int m__charGet = 0;
  int m__charPut = 0;
  Array<int> m__charQueue;
  float m__mouseX = 0;
  float m__mouseY = 0;
  Array<float> m__touchX;
  Array<float> m__touchY;
  float m__accelX = 0;
  float m__accelY = 0;
  float m__accelZ = 0;

  // Allocates the arrays and the four joystick states.
  c_InputDevice();
  c_InputDevice* m_new() { return this; }

  // Records one hit for key; the 34th hit of an update is lost.
  void p_PutKeyHit(int key);
  void p_KeyEvent(int event, int data);
  void p_MouseEvent(int event, int data, float x, float y);
  void p_TouchEvent(int event, int data, float x, float y);
  void p_MotionEvent(int event, int data, float x, float y, float z);
  // Polls pads 0-3 until the first absent one; pad buttons become keys.
  void p_BeginUpdate();
  // Clears this update's hit counters and the character queue.
  void p_EndUpdate();

  bool p_KeyDown(int key);
  int p_KeyHit(int key);
  int p_GetChar();
  // Next queued character without consuming it; 0 when none.
  int p_PeekChar(int index);
  float p_MouseX() { return m__mouseX; }
  float p_MouseY() { return m__mouseY; }
  float p_TouchX(int finger);
  float p_TouchY(int finger);
  float p_JoyX(int index, int unit);
  float p_JoyY(int index, int unit);
  float p_JoyZ(int index, int unit);
  float p_AccelX() { return m__accelX; }
  float p_AccelY() { return m__accelY; }
  float p_AccelZ() { return m__accelZ; }

  void mark() override;

 private:
  void p_KeyDownEvent(int key);
  void p_KeyUpEvent(int key);
};

// The device, set by the game delegate's StartGame; null before.
extern c_InputDevice* hx_input_device;

void hx_input_SetInputDevice(c_InputDevice* device);
// Key code of a pad button: 256 | unit * 32 | button.
int hx_input_JoyKey(int button, int unit);

bool hx_input_KeyDown(int key);
int hx_input_KeyHit(int key);
int hx_input_GetChar();
float hx_input_MouseX();
float hx_input_MouseY();
bool hx_input_MouseDown(int button);
int hx_input_MouseHit(int button);
bool hx_input_TouchDown(int finger);
int hx_input_TouchHit(int finger);
float hx_input_TouchX(int finger);
float hx_input_TouchY(int finger);
bool hx_input_JoyDown(int button, int unit);
int hx_input_JoyHit(int button, int unit);
float hx_input_JoyX(int index, int unit);
float hx_input_JoyY(int index, int unit);
float hx_input_JoyZ(int index, int unit);
float hx_input_AccelX();
float hx_input_AccelY();
float hx_input_AccelZ();
int hx_input_EnableKeyboard();
int hx_input_DisableKeyboard();
