// GLFW 2.7 behaviour in the browser (Emscripten), the counterpart of
// hx_glfw2.cpp. Emscripten's GLFW 3 makes the WebGL context on the page's
// canvas (with its legacy GL emulation, so that the renderer's client
// arrays work); everything else comes from the page itself:
// - the window is the canvas. It fills its place on the page; its drawing
//   buffer follows the canvas's size on screen (times the display's pixel
//   ratio) and is brought up to date at every event step;
// - a fullscreen window is the browser's fullscreen of the page. Opening
//   another window keeps the one WebGL context but deletes its textures,
//   as a desktop window change loses them with its context. When the
//   browser leaves fullscreen by itself (Escape), the game is sent its own
//   fullscreen key, F11, and so switches to a window as well;
// - events are queued as the page receives them and delivered inside
//   PollEvents, as on the desktop; WaitEvents cannot block and polls;
// - keys: letters by the character their key gives on the player's layout,
//   every other key by its place (KeyboardEvent.code); repeats arrive as
//   presses while KEY_REPEAT is enabled. The page does nothing with a key
//   without Ctrl, Alt or Meta (no scrolling, no find, no navigation): the
//   keys are the game's;
// - characters: the character a key press gives (KeyboardEvent.key);
// - a touch is the left mouse button, at the finger;
// - ACTIVE: the page is visible, has the focus and does not hold the game
//   (a phone held upright). Losing it releases the keys and buttons that
//   were held, as GLFW 3 does;
// - joysticks: the browser's game pads; pads in the browser's standard
//   layout (16 buttons, or 17 with the centre one) also in GLFW 3's
//   game-pad layout;
// - no sleeping (the browser paces the frames), no window icon, position
//   or class.
#include "host/hx_glfw2.h"
#include "host/hx_web_keys.h"

#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace glfw2 {
namespace {

// ---- the page (JavaScript) ----

// Gives the canvas's drawing buffer the size the canvas has on the page,
// in device pixels (at most what WebGL can show, and 8192 a side), and
// tells GLFW 3. 1 when the size changed.
EM_JS(int, WebSyncCanvasSize, (), {
  var canvas = Module['canvas'];
  if (!canvas) return 0;
  if (!Module['zelkMaxSize']) {
    var dims = typeof GLctx != 'undefined' && GLctx ? GLctx.getParameter(GLctx.MAX_VIEWPORT_DIMS) : null;
    Module['zelkMaxSize'] = dims ? [Math.min(8192, dims[0]), Math.min(8192, dims[1])] : [8192, 8192];
  }
  var max = Module['zelkMaxSize'];
  var ratio = window.devicePixelRatio || 1;
  var rect = canvas.getBoundingClientRect();
  var w = Math.max(1, Math.min(max[0], Math.round(rect.width * ratio)));
  var h = Math.max(1, Math.min(max[1], Math.round(rect.height * ratio)));
  if (canvas.width === w && canvas.height === h) return 0;
  canvas.width = w;
  canvas.height = h;
  if (GLFW.active) {
    GLFW.active.width = w;
    GLFW.active.height = h;
  }
  return 1;
});

// The canvas's drawing-buffer size as it stands (the page makes it the
// size the canvas shows before the game starts).
EM_JS(void, WebCanvasBufferSize, (int* width, int* height), {
  var canvas = Module['canvas'];
  HEAP32[width >> 2] = canvas ? canvas.width : 0;
  HEAP32[height >> 2] = canvas ? canvas.height : 0;
});

// A point on the page (CSS pixels from the viewport's corner) in the
// canvas's drawing-buffer pixels.
EM_JS(void, WebCanvasPoint, (double clientX, double clientY, int* x, int* y), {
  var canvas = Module['canvas'];
  var rect = canvas.getBoundingClientRect();
  var sx = rect.width > 0 ? canvas.width / rect.width : 1;
  var sy = rect.height > 0 ? canvas.height / rect.height : 1;
  HEAP32[x >> 2] = Math.floor((clientX - rect.left) * sx);
  HEAP32[y >> 2] = Math.floor((clientY - rect.top) * sy);
});

// Bit 0: the page has the focus; bit 1: it is visible. Neither while the
// page holds the game (Module.zelkOnHold(), say while a phone is upright:
// the page asks for it to be turned), nor after the page has gone
// (pagehide, hx_platform_web.js).
EM_JS(int, WebPageState, (), {
  var hold = Module['zelkOnHold'];
  if (Module['zelkPageGone'] || (typeof hold == 'function' && hold())) return 0;
  return (document.hasFocus() ? 1 : 0) | (document.visibilityState === 'visible' ? 2 : 0);
});

// The screen in device pixels.
EM_JS(void, WebScreenSize, (int* w, int* h), {
  var ratio = window.devicePixelRatio || 1;
  HEAP32[w >> 2] = Math.round(screen.width * ratio);
  HEAP32[h >> 2] = Math.round(screen.height * ratio);
});

// Enters or leaves the browser's fullscreen with the whole page. Browsers
// allow entering only during or shortly after a key press, click or touch
// of the player (the game asks in the update after one); when the browser
// refuses, the request waits for the next such gesture and is made inside
// its handler. The browser also leaves fullscreen by itself (Escape, its
// own controls): that is noted for WebFullscreenLeft.
EM_JS(void, WebFullscreen, (int on), {
  var page = document.documentElement;
  if (!Module['zelkFullscreen']) {
    var state = Module['zelkFullscreen'] = {wanted: false, pending: false, entered: false, left: false};
    document.addEventListener('fullscreenchange', function() {
      if (document.fullscreenElement) {
        state.entered = true;
      } else if (state.entered) {
        state.entered = false;
        if (state.wanted) state.left = true;
        state.wanted = false;
      }
    });
    // Outside a user gesture the browser refuses; the next gesture retries.
    // In fullscreen, phones also keep the screen sideways where the browser
    // allows it (most refuse outside fullscreen, desktops always: the game
    // plays in any shape).
    state.request = function() {
      page.requestFullscreen({navigationUI: 'hide'}).then(function() {
        if (screen.orientation && screen.orientation.lock) {
          try {
            screen.orientation.lock('landscape').catch(function() {});
          } catch (e) {
          }
        }
      }, function() { state.pending = true; });
    };
    state.retry = function() {
      if (!state.pending) return;
      state.pending = false;
      if (state.wanted && !document.fullscreenElement) state.request();
    };
    ['keydown', 'keyup', 'mousedown', 'mouseup', 'touchend', 'click'].forEach(function(type) {
      window.addEventListener(type, state.retry, true);
    });
  }
  var state = Module['zelkFullscreen'];
  state.wanted = !!on;
  state.pending = false;
  if (on) {
    if (!document.fullscreenElement && page.requestFullscreen) state.request();
  } else if (document.fullscreenElement && document.exitFullscreen) {
    document.exitFullscreen().catch(function() {});
  }
});

// 1 once after the browser left fullscreen while the game had asked for it.
EM_JS(int, WebFullscreenLeft, (), {
  var state = Module['zelkFullscreen'];
  if (!state || !state.left) return 0;
  state.left = false;
  return 1;
});

EM_JS(void, WebSetCursor, (int visible), {
  if (Module['canvas']) Module['canvas'].style.cursor = visible ? 'auto' : 'none';
});

EM_JS(void, WebSetTitle, (const char* title), { document.title = UTF8ToString(title); });

// One more than the highest texture name the GL context has handed out.
EM_JS(int, WebTextureNameLimit, (), { return GL.textures ? GL.textures.length : 0; });

// ---- state ----

GLFWwindow* window = nullptr;
bool keyRepeat = false;
double startTime = 0;
int errorCount = 0;
char lastError[512] = "";
bool wasActive = false;

KeyFun keyFun = nullptr;
CharFun charFun = nullptr;
MouseButtonFun mouseButtonFun = nullptr;
MousePosFun mousePosFun = nullptr;

// What the page reported since the last event step, in order.
struct Event {
  enum Kind { KEY, CHAR, BUTTON, MOVE } kind;
  int a, b;
};
std::vector<Event> queue;

// Keys held, by the place they went down at (KeyboardEvent.code, or the
// key's text where the page gives no place), with the 2.7 key they went
// down as, so that the release names the same key.
struct HeldKey {
  std::string place;
  int key;
};
std::vector<HeldKey> held;
bool buttons[3] = {false, false, false};
int mouseX = 0, mouseY = 0;
long finger = -1;  // the touch that acts as the mouse; -1 when none

std::string PlaceOf(const EmscriptenKeyboardEvent* e) {
  return e->code[0] ? std::string(e->code) : std::string("text ") + e->key;
}

HeldKey* FindHeld(const std::string& place) {
  for (HeldKey& h : held)
    if (h.place == place) return &h;
  return nullptr;
}

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* e, void*) {
  std::string place = PlaceOf(e);
  if (HeldKey* h = FindHeld(place)) {
    if (keyRepeat) queue.push_back({Event::KEY, h->key, PRESS});
  } else {
    int k = web::KeyOfEvent(e->key, e->code);
    if (k != KEY_UNKNOWN) {
      held.push_back({place, k});
      queue.push_back({Event::KEY, k, PRESS});
    }
  }
  // Ctrl or Meta shortcuts type nothing; AltGr (Ctrl with Alt) does.
  bool shortcut = e->metaKey || (e->ctrlKey && !e->altKey);
  int c = shortcut ? 0 : web::CharOfKeyText(e->key);
  if (c >= 32 && c != 127) queue.push_back({Event::CHAR, c, PRESS});
  return !(e->ctrlKey || e->altKey || e->metaKey);
}

EM_BOOL OnKeyUp(int, const EmscriptenKeyboardEvent* e, void*) {
  std::string place = PlaceOf(e);
  for (size_t i = 0; i < held.size(); ++i) {
    if (held[i].place == place) {
      queue.push_back({Event::KEY, held[i].key, RELEASE});
      held.erase(held.begin() + static_cast<long>(i));
      break;
    }
  }
  return !(e->ctrlKey || e->altKey || e->metaKey);
}

// ---- mouse and touch ----

void MoveTo(double clientX, double clientY) {
  int x, y;
  WebCanvasPoint(clientX, clientY, &x, &y);
  // Moves in a row come to the same as the last of them.
  if (!queue.empty() && queue.back().kind == Event::MOVE) {
    queue.back().a = x;
    queue.back().b = y;
    return;
  }
  queue.push_back({Event::MOVE, x, y});
}

// DOM buttons 0 left, 1 middle, 2 right; GLFW's 0 left, 1 right, 2 middle.
int ButtonOf(unsigned short domButton) {
  switch (domButton) {
    case 0:
      return MOUSE_BUTTON_LEFT;
    case 1:
      return MOUSE_BUTTON_MIDDLE;
    case 2:
      return MOUSE_BUTTON_RIGHT;
  }
  return -1;
}

EM_BOOL OnMouseDown(int, const EmscriptenMouseEvent* e, void*) {
  int b = ButtonOf(e->button);
  if (b < 0) return EM_FALSE;
  MoveTo(e->clientX, e->clientY);
  if (!buttons[b]) {
    buttons[b] = true;
    queue.push_back({Event::BUTTON, b, PRESS});
  }
  // The left button leaves the page its focus handling (the canvas takes
  // the keyboard); the middle one would start scrolling.
  return b == MOUSE_BUTTON_MIDDLE;
}

EM_BOOL OnMouseUp(int, const EmscriptenMouseEvent* e, void*) {
  int b = ButtonOf(e->button);
  if (b < 0 || !buttons[b]) return EM_FALSE;
  MoveTo(e->clientX, e->clientY);
  buttons[b] = false;
  queue.push_back({Event::BUTTON, b, RELEASE});
  return EM_FALSE;
}

EM_BOOL OnMouseMove(int, const EmscriptenMouseEvent* e, void*) {
  MoveTo(e->clientX, e->clientY);
  return EM_FALSE;
}

EM_BOOL OnTouch(int type, const EmscriptenTouchEvent* e, void*) {
  for (int i = 0; i < e->numTouches; ++i) {
    const EmscriptenTouchPoint& t = e->touches[i];
    if (!t.isChanged) continue;
    if (type == EMSCRIPTEN_EVENT_TOUCHSTART) {
      if (finger >= 0 || buttons[MOUSE_BUTTON_LEFT]) continue;
      finger = t.identifier;
      MoveTo(t.clientX, t.clientY);
      buttons[MOUSE_BUTTON_LEFT] = true;
      queue.push_back({Event::BUTTON, MOUSE_BUTTON_LEFT, PRESS});
    } else if (t.identifier == finger) {
      MoveTo(t.clientX, t.clientY);
      if (type != EMSCRIPTEN_EVENT_TOUCHMOVE) {
        finger = -1;
        buttons[MOUSE_BUTTON_LEFT] = false;
        queue.push_back({Event::BUTTON, MOUSE_BUTTON_LEFT, RELEASE});
      }
    }
  }
  // No scrolling or zooming, and no mouse events made up from the touch.
  return EM_TRUE;
}

// Focus lost: what is held is let go.
void ReleaseAll() {
  for (const HeldKey& h : held) queue.push_back({Event::KEY, h.key, RELEASE});
  held.clear();
  for (int b = 0; b < 3; ++b) {
    if (buttons[b]) queue.push_back({Event::BUTTON, b, RELEASE});
    buttons[b] = false;
  }
  finger = -1;
}

bool PageActive() { return WebPageState() == 3; }

// ---- joysticks ----

// The browser's game pads, sampled once per event step.
class BrowserPads : public JoystickSource {
 public:
  bool sampled = false;
  EmscriptenGamepadEvent pads[GLFW_JOYSTICK_LAST + 1];
  bool present[GLFW_JOYSTICK_LAST + 1] = {};
  float axes[GLFW_JOYSTICK_LAST + 1][64];
  unsigned char pressed[GLFW_JOYSTICK_LAST + 1][64];

  void Sample() {
    sampled = emscripten_sample_gamepad_data() == EMSCRIPTEN_RESULT_SUCCESS;
    int n = sampled ? emscripten_get_num_gamepads() : 0;
    for (int j = 0; j <= GLFW_JOYSTICK_LAST; ++j) {
      present[j] = j < n && emscripten_get_gamepad_status(j, &pads[j]) == EMSCRIPTEN_RESULT_SUCCESS &&
                   pads[j].connected;
      if (!present[j]) continue;
      for (int i = 0; i < pads[j].numAxes && i < 64; ++i) axes[j][i] = static_cast<float>(pads[j].axis[i]);
      for (int i = 0; i < pads[j].numButtons && i < 64; ++i) pressed[j][i] = pads[j].digitalButton[i] ? 1 : 0;
    }
  }
  bool Present(int joy) override { return present[joy]; }
  const float* Axes(int joy, int* count) override {
    *count = pads[joy].numAxes < 64 ? pads[joy].numAxes : 64;
    return axes[joy];
  }
  const unsigned char* Buttons(int joy, int* count) override {
    *count = pads[joy].numButtons < 64 ? pads[joy].numButtons : 64;
    return pressed[joy];
  }
  const unsigned char* Hats(int, int* count) override {
    *count = 0;  // browsers give a pad's d-pad as buttons or axes
    return nullptr;
  }
  bool Gamepad(int joy, GamepadState* state) override {
    const EmscriptenGamepadEvent& p = pads[joy];
    // A standard pad gives 17 buttons, or 16 when it has no centre
    // (guide) button: the centre button then reads as released.
    if (strcmp(p.mapping, "standard") != 0 || p.numButtons < 16 || p.numAxes < 4) return false;
    // The browser's standard layout, button by button.
    static const int kFrom[GAMEPAD_BUTTON_COUNT] = {
        0,  // A
        1,  // B
        2,  // X
        3,  // Y
        4,  // left bumper
        5,  // right bumper
        8,  // back (select)
        9,  // start
        16, // guide
        10, // left stick
        11, // right stick
        12, // d-pad up
        15, // d-pad right
        13, // d-pad down
        14, // d-pad left
    };
    for (int i = 0; i < GAMEPAD_BUTTON_COUNT; ++i)
      state->buttons[i] = kFrom[i] < p.numButtons && p.digitalButton[kFrom[i]] ? PRESS : RELEASE;
    for (int i = 0; i < 4; ++i) state->axes[i] = static_cast<float>(p.axis[i]);
    // Triggers: 0 (released) to 1 in the browser, -1 to 1 in GLFW 3.
    state->axes[GAMEPAD_AXIS_LEFT_TRIGGER] = static_cast<float>(p.analogButton[6] * 2 - 1);
    state->axes[GAMEPAD_AXIS_RIGHT_TRIGGER] = static_cast<float>(p.analogButton[7] * 2 - 1);
    return true;
  }
};
BrowserPads browserPads;

void OnGlfwError(int code, const char* description) {
  ++errorCount;
  snprintf(lastError, sizeof lastError, "%s", description ? description : "");
  fprintf(stderr, "GLFW error 0x%x: %s\n", code, description ? description : "");
  fflush(stderr);
}

}  // namespace

// ---- context, window, timing ----

int ErrorCount() { return errorCount; }

const char* LastError() { return lastError; }

int Init() {
  glfwSetErrorCallback(OnGlfwError);
  if (glfwInit() != GLFW_TRUE) return 0;
  startTime = emscripten_get_now() / 1000.0;
  const char* win = EMSCRIPTEN_EVENT_TARGET_WINDOW;
  emscripten_set_keydown_callback(win, nullptr, EM_TRUE, OnKeyDown);
  emscripten_set_keyup_callback(win, nullptr, EM_TRUE, OnKeyUp);
  emscripten_set_mousedown_callback("#canvas", nullptr, EM_TRUE, OnMouseDown);
  emscripten_set_mouseup_callback(win, nullptr, EM_TRUE, OnMouseUp);
  emscripten_set_mousemove_callback(win, nullptr, EM_TRUE, OnMouseMove);
  emscripten_set_touchstart_callback("#canvas", nullptr, EM_TRUE, OnTouch);
  emscripten_set_touchmove_callback("#canvas", nullptr, EM_TRUE, OnTouch);
  emscripten_set_touchend_callback("#canvas", nullptr, EM_TRUE, OnTouch);
  emscripten_set_touchcancel_callback("#canvas", nullptr, EM_TRUE, OnTouch);
  wasActive = PageActive();
  return 1;
}

void Terminate() {
  glfwTerminate();
  window = nullptr;
}

int OpenWindow(int width, int height, int, int, int, int alphabits, int depthbits, int stencilbits,
               int mode) {
  if (!window) {
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_ALPHA_BITS, alphabits);
    glfwWindowHint(GLFW_DEPTH_BITS, depthbits);
    glfwWindowHint(GLFW_STENCIL_BITS, stencilbits);
    // The window is the canvas, whatever size the game asks for: made at the
    // canvas's size, its drawing buffer is not made again.
    int w = 0, h = 0;
    WebCanvasBufferSize(&w, &h);
    if (w <= 0 || h <= 0) {
      w = width > 0 ? width : 640;
      h = height > 0 ? height : 480;
    }
    window = glfwCreateWindow(w, h, "Zelk", nullptr, nullptr);
    if (!window) return 0;
    glfwMakeContextCurrent(window);
  } else {
    // The same context goes on; what a new one would not have goes.
    for (GLuint t = 1, limit = static_cast<GLuint>(WebTextureNameLimit()); t < limit; ++t)
      if (glIsTexture(t)) glDeleteTextures(1, &t);
  }
  WebFullscreen(mode == FULLSCREEN);
  WebSyncCanvasSize();
  return 1;
}

void CloseWindow() {
  // The canvas stays; the next OpenWindow goes on with it. No key or button
  // is held in a new window.
  held.clear();
  for (bool& b : buttons) b = false;
  finger = -1;
}

void SetWindowClass(const char*, const char*) {}
void SetWindowIcon(int, const IconImage*) {}
void OpenWindowHint(int, int) {}

void SetWindowTitle(const char* title) {
  if (window && title) WebSetTitle(title);
}

void SetWindowPos(int, int) {}

void GetWindowSize(int* width, int* height) {
  int w = 0, h = 0;
  if (window) glfwGetWindowSize(window, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

int GetWindowParam(int param) {
  if (!window) return 0;
  switch (param) {
    case OPENED:
      return 1;
    case ACTIVE:
      return PageActive() ? 1 : 0;
    case ICONIFIED:
      return (WebPageState() & 2) ? 0 : 1;
  }
  return 0;
}

void SwapBuffers() {}  // the browser shows the frame when the pass returns

void SwapInterval(int) {}

void PollEvents() {
  bool active = PageActive();
  if (wasActive && !active) ReleaseAll();
  wasActive = active;
  if (window) WebSyncCanvasSize();
  // The game switches between fullscreen and a window itself, with F11;
  // when the browser has left fullscreen on its own, the game gets that
  // key, so that it knows it is in a window again.
  if (WebFullscreenLeft()) {
    queue.push_back({Event::KEY, KEY_F1 + 10, PRESS});
    queue.push_back({Event::KEY, KEY_F1 + 10, RELEASE});
  }
  browserPads.Sample();
  std::vector<Event> events;
  events.swap(queue);
  for (const Event& e : events) {
    switch (e.kind) {
      case Event::KEY:
        if (keyFun) keyFun(e.a, e.b);
        break;
      case Event::CHAR:
        if (charFun) charFun(e.a, e.b);
        break;
      case Event::BUTTON:
        if (mouseButtonFun) mouseButtonFun(e.a, e.b);
        break;
      case Event::MOVE:
        mouseX = e.a;
        mouseY = e.b;
        if (mousePosFun) mousePosFun(e.a, e.b);
        break;
    }
  }
}

void WaitEvents() { PollEvents(); }

double GetTime() { return emscripten_get_now() / 1000.0 - startTime; }

void Sleep(double) {}

void Enable(int token) {
  if (token == KEY_REPEAT) keyRepeat = true;
  if (token == MOUSE_CURSOR) WebSetCursor(1);
}

void Disable(int token) {
  if (token == KEY_REPEAT) keyRepeat = false;
  if (token == MOUSE_CURSOR) WebSetCursor(0);
}

int GetVideoModes(VidMode* list, int maxcount) {
  if (maxcount <= 0) return 0;
  GetDesktopMode(&list[0]);
  return 1;
}

void GetDesktopMode(VidMode* mode) {
  int w = 0, h = 0;
  WebScreenSize(&w, &h);
  *mode = VidMode{w, h, 8, 8, 8};
}

// ---- input ----

int GetKey(int key) {
  if (!window) return RELEASE;
  for (const HeldKey& h : held)
    if (h.key == key) return PRESS;
  return RELEASE;
}

void GetMousePos(int* x, int* y) {
  *x = mouseX;
  *y = mouseY;
}

void SetKeyCallback(KeyFun fn) { keyFun = fn; }
void SetCharCallback(CharFun fn) { charFun = fn; }
void SetMouseButtonCallback(MouseButtonFun fn) { mouseButtonFun = fn; }
void SetWindowCloseCallback(WindowCloseFun) {}  // a page is closed without asking

void SetMousePosCallback(MousePosFun fn) {
  mousePosFun = fn;
  if (fn && window) fn(mouseX, mouseY);
}

// ---- joysticks ----

JoystickSource* DefaultJoystickSource() { return &browserPads; }

// The browser maps the pads it knows itself; there is no mapping text.
bool UpdateGamepadMappings(const char* mappings) { return mappings && startTime > 0; }

}  // namespace glfw2
