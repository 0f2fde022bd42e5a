// A small GLFW 2.7-style interface implemented on top of GLFW 3.
//
// The host was written against the GLFW 2.7 model: one implicit window,
// 2.7 key numbers, a window-close callback that may veto the close, window
// parameters for opened/active/iconified, joysticks polled by index, and
// plain-function callbacks without a window argument. This header gives
// exactly that behaviour; only host/hx_glfw2.cpp includes GLFW 3 itself,
// so the 2.7 constants below never clash with GLFW 3's.
#pragma once

namespace glfw2 {

// ---- constants, with their GLFW 2.7 values ----
enum {
  RELEASE = 0,
  PRESS = 1,

  // Keys: printable keys are their upper-case character code (32-126).
  KEY_UNKNOWN = -1,
  KEY_SPACE = 32,
  KEY_SPECIAL = 256,
  KEY_ESC = 257,
  KEY_F1 = 258,  // F1..F25 = 258..282
  KEY_F12 = 269,
  KEY_F25 = 282,
  KEY_UP = 283,
  KEY_DOWN = 284,
  KEY_LEFT = 285,
  KEY_RIGHT = 286,
  KEY_LSHIFT = 287,
  KEY_RSHIFT = 288,
  KEY_LCTRL = 289,
  KEY_RCTRL = 290,
  KEY_LALT = 291,
  KEY_RALT = 292,
  KEY_TAB = 293,
  KEY_ENTER = 294,
  KEY_BACKSPACE = 295,
  KEY_INSERT = 296,
  KEY_DEL = 297,
  KEY_PAGEUP = 298,
  KEY_PAGEDOWN = 299,
  KEY_HOME = 300,
  KEY_END = 301,
  KEY_KP_0 = 302,  // KP_0..KP_9 = 302..311
  KEY_KP_9 = 311,
  KEY_KP_DIVIDE = 312,
  KEY_KP_MULTIPLY = 313,
  KEY_KP_SUBTRACT = 314,
  KEY_KP_ADD = 315,
  KEY_KP_DECIMAL = 316,
  KEY_KP_EQUAL = 317,
  KEY_KP_ENTER = 318,
  KEY_KP_NUM_LOCK = 319,
  KEY_CAPS_LOCK = 320,
  KEY_SCROLL_LOCK = 321,
  KEY_PAUSE = 322,
  KEY_LSUPER = 323,
  KEY_RSUPER = 324,
  KEY_MENU = 325,
  KEY_LAST = KEY_MENU,

  MOUSE_BUTTON_LEFT = 0,
  MOUSE_BUTTON_RIGHT = 1,
  MOUSE_BUTTON_MIDDLE = 2,

  // Window modes for OpenWindow.
  WINDOW = 0x10001,
  FULLSCREEN = 0x10002,

  // GetWindowParam
  OPENED = 0x20001,
  ACTIVE = 0x20002,
  ICONIFIED = 0x20003,

  // OpenWindowHint
  REFRESH_RATE = 0x2000B,
  WINDOW_NO_RESIZE = 0x20012,

  // Enable / Disable
  MOUSE_CURSOR = 0x30001,
  KEY_REPEAT = 0x30005,
  AUTO_POLL_EVENTS = 0x30006,

  // GetJoystickParam
  PRESENT = 0x50001,
  AXES = 0x50002,
  BUTTONS = 0x50003,
};

struct VidMode {
  int Width, Height;
  int RedBits, BlueBits, GreenBits;
};

typedef void (*KeyFun)(int key, int action);
typedef void (*CharFun)(int character, int action);
typedef void (*MouseButtonFun)(int button, int action);
typedef void (*MousePosFun)(int x, int y);
typedef int (*WindowCloseFun)();  // return 0 to keep the window open

// ---- context, window, timing ----
// Also switches GLFW 3's hat buttons off: hats are appended by this layer.
int Init();
// How many errors GLFW has reported since the start (each is also printed
// on standard error).
int ErrorCount();
// The description of the last error GLFW reported; empty before the first.
const char* LastError();
void Terminate();
// Opens the one window (colour bits, then alpha, depth, stencil; mode
// WINDOW or FULLSCREEN) and makes its context current; 1 on success. A
// window's width and height are in the desktop's units: on a display scaled
// to 200 % a 640 x 480 window has 1280 x 960 pixels. It is kept inside the
// monitor's work area (shrunk with its aspect ratio kept), and moved to a
// monitor of another scale it keeps its size in those units. A fullscreen
// window's width and height are pixels: the monitor's video mode.
int OpenWindow(int width, int height, int redbits, int greenbits, int bluebits, int alphabits,
               int depthbits, int stencilbits, int mode);
void CloseWindow();  // harmless without a window
void OpenWindowHint(int target, int hint);
void SetWindowTitle(const char* title);
// Screen coordinates; ignored where the window system places windows
// itself (Wayland).
void SetWindowPos(int x, int y);
// The window's size as 2.7 counted it: pixels, that is the framebuffer's
// size (on a scaled display larger than the window's size in the desktop's
// units).
void GetWindowSize(int* width, int* height);
int GetWindowParam(int param);
void SwapBuffers();
void SwapInterval(int interval);
void PollEvents();
void WaitEvents();
double GetTime();
void Sleep(double seconds);
void Enable(int token);
void Disable(int token);
int GetVideoModes(VidMode* list, int maxcount);
void GetDesktopMode(VidMode* mode);

// ---- desktop integration (beyond 2.7) ----
// The X11 instance and class names of the windows opened from now on, so
// that desktops match the window with its desktop entry.
void SetWindowClass(const char* instance, const char* className);
// One window icon picture: width x height RGBA pixels, straight alpha.
struct IconImage {
  int width, height;
  const unsigned char* pixels;
};
// Sets the current window's icon from pictures of several sizes (the
// system picks the one it needs); count 0 puts the default back.
void SetWindowIcon(int count, const IconImage* images);

// ---- scaled displays (pure helpers, also used by the tests) ----
// The content scale the window system reports, as this layer uses it:
// 0, NaN, below 0.5 or above 8 count as 1 (no scaling).
float UsableContentScale(float reported);
// Shrinks width x height (when needed) to fit inside areaWidth x
// areaHeight, keeping the aspect ratio; an empty area leaves it as it is.
void FitInside(int* width, int* height, int areaWidth, int areaHeight);
// A pointer coordinate in window units as a framebuffer pixel: scaled by
// framebuffer / window size, truncated (unscaled when the window has no
// size).
int WindowToPixel(double v, int windowSize, int framebufferSize);

// ---- input ----
// 2.7 key number; PRESS or RELEASE. A printable key is asked for by the
// label it went down as.
int GetKey(int key);
// Pointer positions (here and in the mouse-position callback) are
// framebuffer pixels, like the window size.
void GetMousePos(int* x, int* y);
void SetKeyCallback(KeyFun fn);
void SetCharCallback(CharFun fn);
void SetMouseButtonCallback(MouseButtonFun fn);
void SetMousePosCallback(MousePosFun fn);
void SetWindowCloseCallback(WindowCloseFun fn);

// GLFW 3 key number -> GLFW 2.7 key number (KEY_UNKNOWN when 2.7 has none),
// and back (-1 when GLFW 3 has none).
int KeyFrom3(int key3);
int KeyTo3(int key2);
// The 2.7 key of a printable GLFW 3 key whose layout names it name (UTF-8,
// as glfwGetKeyName gives it): one character 32-126, upper-cased; without
// a name, or with one that is not a single such character, the key's own
// number (KeyFrom3).
int KeyFromLabel(int key3, const char* name);

// ---- joysticks ----
// A pad in GLFW 3's standard game-pad layout: buttons and axes by the
// indices below, buttons PRESS/RELEASE, sticks -1..1 with up and left
// negative, triggers -1 (released) to 1 (fully pulled).
enum {
  GAMEPAD_A = 0,
  GAMEPAD_B,
  GAMEPAD_X,
  GAMEPAD_Y,
  GAMEPAD_LEFT_BUMPER,
  GAMEPAD_RIGHT_BUMPER,
  GAMEPAD_BACK,
  GAMEPAD_START,
  GAMEPAD_GUIDE,
  GAMEPAD_LEFT_THUMB,
  GAMEPAD_RIGHT_THUMB,
  GAMEPAD_DPAD_UP,
  GAMEPAD_DPAD_RIGHT,
  GAMEPAD_DPAD_DOWN,
  GAMEPAD_DPAD_LEFT,
  GAMEPAD_BUTTON_COUNT,

  GAMEPAD_AXIS_LEFT_X = 0,
  GAMEPAD_AXIS_LEFT_Y,
  GAMEPAD_AXIS_RIGHT_X,
  GAMEPAD_AXIS_RIGHT_Y,
  GAMEPAD_AXIS_LEFT_TRIGGER,
  GAMEPAD_AXIS_RIGHT_TRIGGER,
  GAMEPAD_AXIS_COUNT,
};
struct GamepadState {
  unsigned char buttons[GAMEPAD_BUTTON_COUNT];
  float axes[GAMEPAD_AXIS_COUNT];
};

// Raw pad state as GLFW 3 reports it (axes with vertical down positive,
// buttons without hats, hats as GLFW 3 bit masks: up 1, right 2, down 4,
// left 8). The default source reads GLFW 3; tests install their own.
class JoystickSource {
 public:
  virtual ~JoystickSource() {}
  virtual bool Present(int joy) = 0;
  virtual const float* Axes(int joy, int* count) = 0;
  virtual const unsigned char* Buttons(int joy, int* count) = 0;
  virtual const unsigned char* Hats(int joy, int* count) = 0;
  // The pad in the standard layout when a game-pad mapping knows it (GLFW
  // 3: glfwJoystickIsGamepad, then glfwGetGamepadState); false otherwise.
  virtual bool Gamepad(int, GamepadState*) { return false; }
};
// Null puts the backend's own source back.
void SetJoystickSource(JoystickSource* source);
// The backend's own source: GLFW 3's joysticks, or the browser's game pads.
JoystickSource* DefaultJoystickSource();

int GetJoystickParam(int joy, int param);
// Fills up to numaxes axes with the 2.7 sign convention (odd axes, the
// vertical ones, negated so that up is positive); returns how many.
int GetJoystickPos(int joy, float* pos, int numaxes);
// Fills up to numbuttons PRESS/RELEASE bytes: the pad's buttons, then four
// per hat in the order left, up, right, down; returns how many.
int GetJoystickButtons(int joy, unsigned char* buttons, int numbuttons);
// True, with the pad's state filled in, when the pad is present and a
// game-pad mapping recognises it.
bool GetGamepadState(int joy, GamepadState* state);
// Adds or replaces game-pad mappings (SDL_GameControllerDB lines); lines
// that do not parse are skipped. Returns false only before Init.
bool UpdateGamepadMappings(const char* mappings);

}  // namespace glfw2
