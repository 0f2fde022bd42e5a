// HxGlfwGame: process entry, the window and the main loop.
#include "host/hx_glfw_game.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/hx_desktop.h"
#include "host/hx_pacing.h"
#include "host/hx_platform.h"

HxGlfwGame* HxGlfwGame::_glfwGame = nullptr;
int glfwGraphicsSeq = 0;
int argc = 0;
const char** argv = nullptr;

namespace {
enum { MAX_VIDEO_MODES = 1024 };
}

HxGlfwGame::HxGlfwGame() { _glfwGame = this; }

void HxGlfwGame::SetUpdateRate(int hz) {
  _updateRate = hz;
  if (hz != 0) _updatePeriod = 1.0 / hz;
  _nextUpdate = 0;
}

int HxGlfwGame::Millisecs() { return static_cast<int>(glfw2::GetTime() * 1000.0); }

void HxGlfwGame::OpenUrl(String url) {
  if (url.IsEmpty()) return;
  hx_platform::OpenUrl(url);
}

int HxGlfwGame::GetDeviceWidth() {
  int w = 0, h = 0;
  glfw2::GetWindowSize(&w, &h);
  return w;
}

int HxGlfwGame::GetDeviceHeight() {
  int w = 0, h = 0;
  glfw2::GetWindowSize(&w, &h);
  return h;
}

void HxGlfwGame::SetDeviceWindow(int width, int height, int flags) {
  SetGlfwWindow(width, height, 8, 8, 8, 0, 0, 0, (flags & 1) != 0);
}

Array<HxGlfwVideoMode*> HxGlfwGame::GetGlfwVideoModes() {
  std::vector<glfw2::VidMode> modes(MAX_VIDEO_MODES);
  int n = glfw2::GetVideoModes(modes.data(), MAX_VIDEO_MODES);
  if (n <= 0) return Array<HxGlfwVideoMode*>();
  Array<HxGlfwVideoMode*> result(n);
  for (int i = 0; i < n; ++i) {
    HxGlfwVideoMode* m = new HxGlfwVideoMode;
    m->width = modes[i].Width;
    m->height = modes[i].Height;
    m->red = modes[i].RedBits;
    m->green = modes[i].GreenBits;
    m->blue = modes[i].BlueBits;
    gc_assign(result[i], m);
  }
  return result;
}

Array<HxDisplayMode*> HxGlfwGame::GetDisplayModes() {
  std::vector<glfw2::VidMode> modes(MAX_VIDEO_MODES);
  int n = glfw2::GetVideoModes(modes.data(), MAX_VIDEO_MODES);
  if (n <= 0) return Array<HxDisplayMode*>();
  Array<HxDisplayMode*> result(n);
  for (int i = 0; i < n; ++i) {
    HxDisplayMode* m = new HxDisplayMode;
    m->width = modes[i].Width;
    m->height = modes[i].Height;
    gc_assign(result[i], m);
  }
  return result;
}

HxGlfwVideoMode* HxGlfwGame::GetGlfwDesktopMode() {
  glfw2::VidMode d;
  glfw2::GetDesktopMode(&d);
  HxGlfwVideoMode* m = new HxGlfwVideoMode;
  m->width = d.Width;
  m->height = d.Height;
  m->red = d.RedBits;
  m->green = d.GreenBits;
  m->blue = d.BlueBits;
  return m;
}

HxDisplayMode* HxGlfwGame::GetDesktopMode() {
  glfw2::VidMode d;
  glfw2::GetDesktopMode(&d);
  HxDisplayMode* m = new HxDisplayMode;
  m->width = d.Width;
  m->height = d.Height;
  return m;
}

void HxGlfwGame::SetSwapInterval(int interval) {
  _swapInterval = interval;
  if (interval >= 0) glfw2::SwapInterval(interval);
}

void HxGlfwGame::SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha,
                               int depth, int stencil, bool fullscreen) {
  // No key may stay down in the framework across a window change.
  for (int k = 0; k <= glfw2::KEY_LAST; ++k) {
    int key = TransKey(k);
    if (key && glfw2::GetKey(k) == glfw2::PRESS) KeyEvent(HX_EVENT_KEYUP, key);
  }

  glfw2::VidMode desktop;
  glfw2::GetDesktopMode(&desktop);

  glfw2::CloseWindow();

  glfw2::OpenWindowHint(glfw2::REFRESH_RATE, 60);
  glfw2::OpenWindowHint(glfw2::WINDOW_NO_RESIZE, 0);

  if (fullscreen) {
    glfw2::OpenWindow(width, height, red, green, blue, alpha, depth, stencil, glfw2::FULLSCREEN);
    ++glfwGraphicsSeq;
    // Neither position nor title: the window keeps the one it was made with.
  } else {
    glfw2::OpenWindow(width, height, red, green, blue, alpha, depth, stencil, glfw2::WINDOW);
    ++glfwGraphicsSeq;
    // Centred by its size in pixels, as the desktop mode counts them: on a
    // scaled display the window is larger than width x height.
    int w = width, h = height;
    glfw2::GetWindowSize(&w, &h);
    glfw2::SetWindowPos((desktop.Width - w) / 2, (desktop.Height - h) / 2);
    glfw2::SetWindowTitle("Zelk");
  }
  if (!glfw2::GetWindowParam(glfw2::OPENED)) hx_report_window_failure();

  hx_apply_window_icon(this);

  if (_swapInterval >= 0) glfw2::SwapInterval(_swapInterval);

  glfw2::Enable(glfw2::KEY_REPEAT);
  glfw2::Disable(glfw2::AUTO_POLL_EVENTS);

  glfw2::SetKeyCallback(OnKey);
  glfw2::SetCharCallback(OnChar);
  glfw2::SetMouseButtonCallback(OnMouseButton);
  glfw2::SetMousePosCallback(OnMousePos);
  glfw2::SetWindowCloseCallback(OnWindowClose);
}

int HxGlfwGame::OnWindowClose() {
  // The framework decides what a close means; the window stays open.
  _game->KeyEvent(HX_EVENT_KEYDOWN, HX_KEY_CLOSE);
  _game->KeyEvent(HX_EVENT_KEYUP, HX_KEY_CLOSE);
  return 0;
}

void HxGlfwGame::UpdateEvents() {
  if (_suspended) {
    glfw2::WaitEvents();
  } else {
    glfw2::PollEvents();
  }
  if (glfw2::GetWindowParam(glfw2::ACTIVE)) {
    if (_suspended) {
      ResumeGame();
      _nextUpdate = 0;
    }
  } else {
    // Unfocused and iconified both suspend.
    glfw2::GetWindowParam(glfw2::ICONIFIED);
    if (!_suspended) {
      SuspendGame();
      _nextUpdate = 0;
    }
  }
}

void HxGlfwGame::FramePass(double time) {
  if (!glfw2::GetWindowParam(glfw2::OPENED)) return;  // no window, nothing to show
  bool wasSuspended = _suspended;
  UpdateEvents();
  int updates = 0;
  if (!_suspended) {
    updates = hx_pacing::RunFrameUpdates(
        _updateRate, _updatePeriod, _nextUpdate, time, _lastFrame > 0 ? time - _lastFrame : 0,
        [this] { UpdateGame(); });
  }
  _lastFrame = time;
  // Without a render the page keeps showing the last frame.
  int w = GetDeviceWidth(), h = GetDeviceHeight();
  if (updates > 0 || _suspended != wasSuspended || w != _frameWidth || h != _frameHeight) {
    _frameWidth = w;
    _frameHeight = h;
    RenderGame();
    glfw2::SwapBuffers();
  }
}

void HxGlfwGame::Run() {
  SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
  StartGame();
  auto pass = [](void* game, double time) { static_cast<HxGlfwGame*>(game)->FramePass(time); };
  if (hx_platform::RunFrames(pass, this)) return;
  while (glfw2::GetWindowParam(glfw2::OPENED)) {
    RenderGame();
    glfw2::SwapBuffers();

    double delay = hx_pacing::Delay(_nextUpdate, glfw2::GetTime());
    if (delay > 0) glfw2::Sleep(delay);

    UpdateEvents();
    if (_suspended) continue;

    hx_pacing::RunUpdates(
        _updateRate, _updatePeriod, _nextUpdate, [this] { UpdateGame(); },
        [] { return glfw2::GetTime(); });
  }
}
