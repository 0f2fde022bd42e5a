// GLFW 2.7 behaviour on GLFW 3. What is mapped:
// - one implicit window; OpenWindow/CloseWindow create and destroy it;
// - key numbers: GLFW 3 keys are turned into GLFW 2.7 keys. GLFW 3 numbers
//   printable keys by their place on a US keyboard; 2.7 named them by the
//   character the layout gives them, so the key labelled A is 'A' on every
//   layout. Special keys are renumbered;
// - key repeat: GLFW 3 repeats (action 2) arrive as presses while
//   KEY_REPEAT is enabled and are dropped otherwise;
// - the character callback gets (codepoint, PRESS);
// - the close callback's result decides: 0 keeps the window open;
// - window parameters OPENED, ACTIVE (focused and not iconified), ICONIFIED;
// - the mouse-position callback is called once with the current position
//   when it is installed, as 2.7 did;
// - joysticks: odd axes negated (vertical up positive), hats appended to the
//   buttons as four buttons each: left, up, right, down; pads that a
//   game-pad mapping recognises are also offered in GLFW 3's standard
//   layout (GetGamepadState);
// - a fullscreen window is given the input focus, as 2.7's took the keyboard;
// - Sleep, desktop mode and video modes of the primary monitor;
// - scaled displays: 2.7 counted the window in pixels, so the window size
//   and pointer positions are framebuffer pixels. A window opens at its
//   size in the desktop's units times the monitor's content scale
//   (GLFW_SCALE_TO_MONITOR), within the monitor's work area, and keeps its
//   size in those units on a monitor of another scale. Where window sizes
//   already are in the desktop's units (Wayland), GLFW leaves the window as
//   asked and only the framebuffer grows; such window systems also place
//   windows and pick their icons themselves, so those calls are skipped.
#include "host/hx_glfw2.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <iterator>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#endif

namespace glfw2 {
namespace {

GLFWwindow* window = nullptr;
bool keyRepeat = false;
int refreshRate = 0;
bool noResize = false;
char windowInstance[64] = "";
char windowClass[64] = "";
// Window sizes and positions are in the desktop's units rather than pixels
// (Wayland, macOS): see Init.
bool logicalUnits = false;
// The windowed window's size in the desktop's units, kept up to date while
// it is resized, so that a change of content scale can restore it.
double logicalWidth = 0, logicalHeight = 0;

KeyFun keyFun = nullptr;
CharFun charFun = nullptr;
MouseButtonFun mouseButtonFun = nullptr;
MousePosFun mousePosFun = nullptr;
WindowCloseFun windowCloseFun = nullptr;

bool Printable3(int key);

// The 2.7 key each printable key went down as (0 while it is up), so that
// its release and its held state name the same key even if the layout
// changes while it is held.
int downAs[GLFW_KEY_GRAVE_ACCENT + 1];

void OnKey3(GLFWwindow*, int key, int scancode, int action, int) {
  if (action == GLFW_REPEAT) {
    if (!keyRepeat) return;
    action = GLFW_PRESS;
  }
  int k;
  if (Printable3(key)) {
    k = downAs[key] ? downAs[key] : KeyFromLabel(key, glfwGetKeyName(key, scancode));
    downAs[key] = action == GLFW_PRESS ? k : 0;
  } else {
    k = KeyFrom3(key);
  }
  if (k != KEY_UNKNOWN && keyFun) keyFun(k, action == GLFW_PRESS ? PRESS : RELEASE);
}

void OnChar3(GLFWwindow*, unsigned int codepoint) {
  if (charFun) charFun(static_cast<int>(codepoint), PRESS);
}

void OnMouseButton3(GLFWwindow*, int button, int action, int) {
  if (mouseButtonFun) mouseButtonFun(button, action == GLFW_PRESS ? PRESS : RELEASE);
}

// A pointer position in window units as framebuffer pixels.
void PointerToPixels(GLFWwindow* w, double x, double y, int* px, int* py) {
  int ww = 0, wh = 0, fw = 0, fh = 0;
  glfwGetWindowSize(w, &ww, &wh);
  glfwGetFramebufferSize(w, &fw, &fh);
  *px = WindowToPixel(x, ww, fw);
  *py = WindowToPixel(y, wh, fh);
}

void OnCursorPos3(GLFWwindow* w, double x, double y) {
  if (!mousePosFun) return;
  int px, py;
  PointerToPixels(w, x, y, &px, &py);
  mousePosFun(px, py);
}

// The content scale of the window as this layer uses it.
float WindowScale(GLFWwindow* w) {
  float xs = 1, ys = 1;
  glfwGetWindowContentScale(w, &xs, &ys);
  return UsableContentScale(xs);
}

// The size in the desktop's units follows the player's resizing.
void OnWindowSize3(GLFWwindow* w, int width, int height) {
  if (glfwGetWindowMonitor(w) || width <= 0 || height <= 0) return;  // fullscreen, iconified
  double s = logicalUnits ? 1.0 : WindowScale(w);
  logicalWidth = width / s;
  logicalHeight = height / s;
}

// Moved to a monitor of another scale, the window keeps its size in the
// desktop's units. (GLFW does so itself on newer Windows; there the size
// already matches.)
void OnContentScale3(GLFWwindow* w, float xscale, float) {
  if (logicalUnits || glfwGetWindowMonitor(w) || logicalWidth <= 0 || logicalHeight <= 0) return;
  float s = UsableContentScale(xscale);
  int width = static_cast<int>(std::lround(logicalWidth * s));
  int height = static_cast<int>(std::lround(logicalHeight * s));
  int ww = 0, wh = 0;
  glfwGetWindowSize(w, &ww, &wh);
  if (ww != width || wh != height) glfwSetWindowSize(w, width, height);
}

// A new windowed window in pixels: width x height in the desktop's units
// times the content scale, inside the monitor's work area (less the
// window's frame), keeping the aspect ratio.
void SizeScaledWindow(GLFWwindow* w, int width, int height) {
  float s = WindowScale(w);
  int tw = width, th = height;
  if (!logicalUnits) {
    // Truncated, as GLFW scales.
    tw = static_cast<int>(width * s);
    th = static_cast<int>(height * s);
    if (GLFWmonitor* monitor = glfwGetPrimaryMonitor()) {
      int ax = 0, ay = 0, aw = 0, ah = 0, left = 0, top = 0, right = 0, bottom = 0;
      glfwGetMonitorWorkarea(monitor, &ax, &ay, &aw, &ah);
      glfwGetWindowFrameSize(w, &left, &top, &right, &bottom);
      FitInside(&tw, &th, aw - left - right, ah - top - bottom);
    }
    int ww = 0, wh = 0;
    glfwGetWindowSize(w, &ww, &wh);
    if (ww != tw || wh != th) glfwSetWindowSize(w, tw, th);
  }
  logicalWidth = logicalUnits ? tw : tw / static_cast<double>(s);
  logicalHeight = logicalUnits ? th : th / static_cast<double>(s);
}

void OnClose3(GLFWwindow* w) {
  // 2.7: no callback, or a non-zero result, lets the window close.
  if (windowCloseFun && windowCloseFun() == 0) glfwSetWindowShouldClose(w, GLFW_FALSE);
}

// GLFW 3 -> 2.7 for the keys outside the printable range.
struct KeyPair {
  int key3, key2;
};
const KeyPair kSpecialKeys[] = {
    {GLFW_KEY_ESCAPE, KEY_ESC},
    {GLFW_KEY_ENTER, KEY_ENTER},
    {GLFW_KEY_TAB, KEY_TAB},
    {GLFW_KEY_BACKSPACE, KEY_BACKSPACE},
    {GLFW_KEY_INSERT, KEY_INSERT},
    {GLFW_KEY_DELETE, KEY_DEL},
    {GLFW_KEY_RIGHT, KEY_RIGHT},
    {GLFW_KEY_LEFT, KEY_LEFT},
    {GLFW_KEY_DOWN, KEY_DOWN},
    {GLFW_KEY_UP, KEY_UP},
    {GLFW_KEY_PAGE_UP, KEY_PAGEUP},
    {GLFW_KEY_PAGE_DOWN, KEY_PAGEDOWN},
    {GLFW_KEY_HOME, KEY_HOME},
    {GLFW_KEY_END, KEY_END},
    {GLFW_KEY_CAPS_LOCK, KEY_CAPS_LOCK},
    {GLFW_KEY_SCROLL_LOCK, KEY_SCROLL_LOCK},
    {GLFW_KEY_NUM_LOCK, KEY_KP_NUM_LOCK},
    {GLFW_KEY_PAUSE, KEY_PAUSE},
    {GLFW_KEY_KP_DECIMAL, KEY_KP_DECIMAL},
    {GLFW_KEY_KP_DIVIDE, KEY_KP_DIVIDE},
    {GLFW_KEY_KP_MULTIPLY, KEY_KP_MULTIPLY},
    {GLFW_KEY_KP_SUBTRACT, KEY_KP_SUBTRACT},
    {GLFW_KEY_KP_ADD, KEY_KP_ADD},
    {GLFW_KEY_KP_ENTER, KEY_KP_ENTER},
    {GLFW_KEY_KP_EQUAL, KEY_KP_EQUAL},
    {GLFW_KEY_LEFT_SHIFT, KEY_LSHIFT},
    {GLFW_KEY_LEFT_CONTROL, KEY_LCTRL},
    {GLFW_KEY_LEFT_ALT, KEY_LALT},
    {GLFW_KEY_LEFT_SUPER, KEY_LSUPER},
    {GLFW_KEY_RIGHT_SHIFT, KEY_RSHIFT},
    {GLFW_KEY_RIGHT_CONTROL, KEY_RCTRL},
    {GLFW_KEY_RIGHT_ALT, KEY_RALT},
    {GLFW_KEY_RIGHT_SUPER, KEY_RSUPER},
    {GLFW_KEY_MENU, KEY_MENU},
};

bool Printable3(int key) { return key >= GLFW_KEY_SPACE && key <= GLFW_KEY_GRAVE_ACCENT; }

class Glfw3Joysticks : public JoystickSource {
 public:
  bool Present(int joy) override { return glfwJoystickPresent(GLFW_JOYSTICK_1 + joy) != 0; }
  const float* Axes(int joy, int* count) override {
    return glfwGetJoystickAxes(GLFW_JOYSTICK_1 + joy, count);
  }
  const unsigned char* Buttons(int joy, int* count) override {
    return glfwGetJoystickButtons(GLFW_JOYSTICK_1 + joy, count);
  }
  const unsigned char* Hats(int joy, int* count) override {
    return glfwGetJoystickHats(GLFW_JOYSTICK_1 + joy, count);
  }
  bool Gamepad(int joy, GamepadState* state) override {
    GLFWgamepadstate s;
    if (!glfwJoystickIsGamepad(GLFW_JOYSTICK_1 + joy) || !glfwGetGamepadState(GLFW_JOYSTICK_1 + joy, &s))
      return false;
    static_assert(sizeof s.buttons == sizeof state->buttons, "GLFW 3 button layout");
    static_assert(sizeof s.axes == sizeof state->axes, "GLFW 3 axis layout");
    for (int i = 0; i < GAMEPAD_BUTTON_COUNT; ++i) state->buttons[i] = s.buttons[i] == GLFW_PRESS ? PRESS : RELEASE;
    for (int i = 0; i < GAMEPAD_AXIS_COUNT; ++i) state->axes[i] = s.axes[i];
    return true;
  }
};
static_assert(GAMEPAD_A == GLFW_GAMEPAD_BUTTON_A && GAMEPAD_GUIDE == GLFW_GAMEPAD_BUTTON_GUIDE &&
                  GAMEPAD_DPAD_LEFT == GLFW_GAMEPAD_BUTTON_DPAD_LEFT &&
                  GAMEPAD_AXIS_RIGHT_TRIGGER == GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER,
              "the game-pad indices are GLFW 3's");
Glfw3Joysticks glfw3Joysticks;

}  // namespace

float UsableContentScale(float reported) {
  // NaN fails both comparisons.
  return reported >= 0.5f && reported <= 8.0f ? reported : 1.0f;
}

void FitInside(int* width, int* height, int areaWidth, int areaHeight) {
  if (areaWidth <= 0 || areaHeight <= 0 || *width <= 0 || *height <= 0) return;
  if (*width <= areaWidth && *height <= areaHeight) return;
  double f = std::min(static_cast<double>(areaWidth) / *width, static_cast<double>(areaHeight) / *height);
  *width = std::max(1, std::min(areaWidth, static_cast<int>(*width * f)));
  *height = std::max(1, std::min(areaHeight, static_cast<int>(*height * f)));
}

int WindowToPixel(double v, int windowSize, int framebufferSize) {
  if (windowSize > 0 && framebufferSize > 0 && windowSize != framebufferSize)
    v = v * framebufferSize / windowSize;
  return static_cast<int>(v);
}

int KeyFrom3(int key3) {
  if (Printable3(key3)) return key3;  // GLFW 3 has only keys that 2.7 also had here
  if (key3 >= GLFW_KEY_F1 && key3 <= GLFW_KEY_F25) return KEY_F1 + (key3 - GLFW_KEY_F1);
  if (key3 >= GLFW_KEY_KP_0 && key3 <= GLFW_KEY_KP_9) return KEY_KP_0 + (key3 - GLFW_KEY_KP_0);
  for (const KeyPair& p : kSpecialKeys)
    if (p.key3 == key3) return p.key2;
  return KEY_UNKNOWN;
}

int KeyFromLabel(int key3, const char* name) {
  if (name && name[0] && !name[1]) {
    unsigned char c = static_cast<unsigned char>(name[0]);
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c >= 32 && c <= 126) return c;
  }
  return KeyFrom3(key3);
}

int KeyTo3(int key2) {
  if (key2 < KEY_SPECIAL) {
    if (!Printable3(key2)) return -1;
    return KeyFrom3(key2) == key2 ? key2 : -1;
  }
  if (key2 >= KEY_F1 && key2 <= KEY_F25) return GLFW_KEY_F1 + (key2 - KEY_F1);
  if (key2 >= KEY_KP_0 && key2 <= KEY_KP_9) return GLFW_KEY_KP_0 + (key2 - KEY_KP_0);
  for (const KeyPair& p : kSpecialKeys)
    if (p.key2 == key2) return p.key3;
  return -1;
}

// GLFW 3 says why a call failed; 2.7 only returned false. Keep the reason
// on standard error, where it helps without changing the game's own output.
static int errorCount = 0;
static char lastError[512] = "";
static void OnGlfwError(int code, const char* description) {
  ++errorCount;
  snprintf(lastError, sizeof lastError, "%s", description ? description : "");
  fprintf(stderr, "GLFW error 0x%x: %s\n", code, description ? description : "");
  fflush(stderr);
}

int ErrorCount() { return errorCount; }

const char* LastError() { return lastError; }

int Init() {
  glfwSetErrorCallback(OnGlfwError);
  glfwInitHint(GLFW_JOYSTICK_HAT_BUTTONS, GLFW_FALSE);
  // GLFW 3.3 is built for one window system; its version text names it.
#ifdef __APPLE__
  logicalUnits = true;
#else
  logicalUnits = strstr(glfwGetVersionString(), " Wayland") != nullptr;
#endif
  return glfwInit() == GLFW_TRUE ? 1 : 0;
}

void Terminate() {
  glfwTerminate();
  window = nullptr;
}

int OpenWindow(int width, int height, int redbits, int greenbits, int bluebits, int alphabits,
               int depthbits, int stencilbits, int mode) {
  CloseWindow();
  glfwDefaultWindowHints();
  // 2.7 treats 0 bits as "don't care" for the colour channels.
  glfwWindowHint(GLFW_RED_BITS, redbits > 0 ? redbits : GLFW_DONT_CARE);
  glfwWindowHint(GLFW_GREEN_BITS, greenbits > 0 ? greenbits : GLFW_DONT_CARE);
  glfwWindowHint(GLFW_BLUE_BITS, bluebits > 0 ? bluebits : GLFW_DONT_CARE);
  glfwWindowHint(GLFW_ALPHA_BITS, alphabits);
  glfwWindowHint(GLFW_DEPTH_BITS, depthbits);
  glfwWindowHint(GLFW_STENCIL_BITS, stencilbits);
  glfwWindowHint(GLFW_REFRESH_RATE, refreshRate > 0 ? refreshRate : GLFW_DONT_CARE);
  glfwWindowHint(GLFW_RESIZABLE, noResize ? GLFW_FALSE : GLFW_TRUE);
  glfwWindowHintString(GLFW_X11_INSTANCE_NAME, windowInstance);
  glfwWindowHintString(GLFW_X11_CLASS_NAME, windowClass);
  // 2.7 hints last for one open only.
  refreshRate = 0;
  noResize = false;
  GLFWmonitor* monitor = mode == FULLSCREEN ? glfwGetPrimaryMonitor() : nullptr;
  // A windowed window is scaled to its monitor by GLFW, unless the monitor
  // reports a scale this layer does not use (then SizeScaledWindow sizes
  // it); a fullscreen window takes the video mode as it is.
  float xs = 1, ys = 1;
  if (GLFWmonitor* primary = glfwGetPrimaryMonitor()) glfwGetMonitorContentScale(primary, &xs, &ys);
  bool scaleOk = UsableContentScale(xs) == xs && UsableContentScale(ys) == ys;
  glfwWindowHint(GLFW_SCALE_TO_MONITOR, !monitor && scaleOk ? GLFW_TRUE : GLFW_FALSE);
  window = glfwCreateWindow(width, height, "GLFW Window", monitor, nullptr);
  if (!window) return 0;
  // 2.7 fullscreen windows took the keyboard; GLFW 3 leaves focusing a
  // fullscreen window to the window manager, so ask for it here (Wayland
  // does not let a program take the focus).
  if (monitor && !logicalUnits) glfwFocusWindow(window);
  if (!monitor) SizeScaledWindow(window, width, height);
  glfwMakeContextCurrent(window);
  glfwSetKeyCallback(window, OnKey3);
  glfwSetCharCallback(window, OnChar3);
  glfwSetMouseButtonCallback(window, OnMouseButton3);
  glfwSetCursorPosCallback(window, OnCursorPos3);
  glfwSetWindowCloseCallback(window, OnClose3);
  glfwSetWindowSizeCallback(window, OnWindowSize3);
  glfwSetWindowContentScaleCallback(window, OnContentScale3);
  return 1;
}

void CloseWindow() {
  if (!window) return;
  glfwDestroyWindow(window);
  window = nullptr;
  // A new window starts with every key up and reports no release for keys
  // that went down before it.
  std::fill(std::begin(downAs), std::end(downAs), 0);
}

void SetWindowClass(const char* instance, const char* className) {
  snprintf(windowInstance, sizeof windowInstance, "%s", instance ? instance : "");
  snprintf(windowClass, sizeof windowClass, "%s", className ? className : "");
}

void SetWindowIcon(int count, const IconImage* images) {
  if (!window || logicalUnits) return;  // the desktop entry names the icon there
  GLFWimage list[16];
  int n = 0;
  for (int i = 0; i < count && n < 16; ++i) {
    if (images[i].width <= 0 || images[i].height <= 0 || !images[i].pixels) continue;
    list[n++] = GLFWimage{images[i].width, images[i].height, const_cast<unsigned char*>(images[i].pixels)};
  }
  glfwSetWindowIcon(window, n, n ? list : nullptr);
}

void OpenWindowHint(int target, int hint) {
  if (target == REFRESH_RATE) refreshRate = hint;
  if (target == WINDOW_NO_RESIZE) noResize = hint != 0;
}

void SetWindowTitle(const char* title) {
  if (window) glfwSetWindowTitle(window, title);
}

void SetWindowPos(int x, int y) {
  if (window && !logicalUnits) glfwSetWindowPos(window, x, y);
}

void GetWindowSize(int* width, int* height) {
  int w = 0, h = 0;
  if (window) glfwGetFramebufferSize(window, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

int GetWindowParam(int param) {
  if (!window) return 0;
  switch (param) {
    case OPENED:
      return 1;
    case ACTIVE:
      return glfwGetWindowAttrib(window, GLFW_FOCUSED) && !glfwGetWindowAttrib(window, GLFW_ICONIFIED);
    case ICONIFIED:
      return glfwGetWindowAttrib(window, GLFW_ICONIFIED);
  }
  return 0;
}

void SwapBuffers() {
  if (window) glfwSwapBuffers(window);
}

void SwapInterval(int interval) {
  if (window) glfwSwapInterval(interval);
}

void PollEvents() { glfwPollEvents(); }

void WaitEvents() { glfwWaitEvents(); }

double GetTime() { return glfwGetTime(); }

void Sleep(double seconds) {
  if (!(seconds > 0)) return;
#ifdef _WIN32
  ::Sleep(static_cast<DWORD>(seconds * 1000.0 + 0.5));
#else
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
#endif
}

void Enable(int token) {
  if (token == KEY_REPEAT) keyRepeat = true;
  if (token == MOUSE_CURSOR && window) glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
  // AUTO_POLL_EVENTS: GLFW 3 never polls inside SwapBuffers; nothing to do.
}

void Disable(int token) {
  if (token == KEY_REPEAT) keyRepeat = false;
  if (token == MOUSE_CURSOR && window) glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
}

int GetVideoModes(VidMode* list, int maxcount) {
  GLFWmonitor* monitor = glfwGetPrimaryMonitor();
  if (!monitor || maxcount <= 0) return 0;
  int count = 0;
  const GLFWvidmode* modes = glfwGetVideoModes(monitor, &count);
  if (!modes) return 0;
  count = std::min(count, maxcount);
  for (int i = 0; i < count; ++i)
    list[i] = VidMode{modes[i].width, modes[i].height, modes[i].redBits, modes[i].blueBits,
                      modes[i].greenBits};
  return count;
}

void GetDesktopMode(VidMode* mode) {
  *mode = VidMode{0, 0, 0, 0, 0};
  GLFWmonitor* monitor = glfwGetPrimaryMonitor();
  const GLFWvidmode* m = monitor ? glfwGetVideoMode(monitor) : nullptr;
  if (m) *mode = VidMode{m->width, m->height, m->redBits, m->blueBits, m->greenBits};
}

int GetKey(int key) {
  if (!window) return RELEASE;
  if (key >= KEY_SPACE && key < KEY_SPECIAL) {
    // A printable key is down when a key that went down as it is still held.
    for (int k3 = GLFW_KEY_SPACE; k3 <= GLFW_KEY_GRAVE_ACCENT; ++k3)
      if (downAs[k3] == key && glfwGetKey(window, k3) == GLFW_PRESS) return PRESS;
    return RELEASE;
  }
  int k3 = KeyTo3(key);
  if (k3 < 0) return RELEASE;
  return glfwGetKey(window, k3) == GLFW_PRESS ? PRESS : RELEASE;
}

void GetMousePos(int* x, int* y) {
  *x = *y = 0;
  if (!window) return;
  double dx = 0, dy = 0;
  glfwGetCursorPos(window, &dx, &dy);
  PointerToPixels(window, dx, dy, x, y);
}

void SetKeyCallback(KeyFun fn) { keyFun = fn; }
void SetCharCallback(CharFun fn) { charFun = fn; }
void SetMouseButtonCallback(MouseButtonFun fn) { mouseButtonFun = fn; }
void SetWindowCloseCallback(WindowCloseFun fn) { windowCloseFun = fn; }

void SetMousePosCallback(MousePosFun fn) {
  mousePosFun = fn;
  if (fn && window) {
    int x, y;
    GetMousePos(&x, &y);
    fn(x, y);
  }
}

JoystickSource* DefaultJoystickSource() { return &glfw3Joysticks; }

bool UpdateGamepadMappings(const char* mappings) {
  return mappings && glfwUpdateGamepadMappings(mappings) == GLFW_TRUE;
}

}  // namespace glfw2
