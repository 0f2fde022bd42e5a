// A small application for the end-to-end host tests: it registers a
// delegate that reports on standard output what reaches it, and paints the
// window dark blue with a red square in the middle.
//
// Pressing F switches to fullscreen at the desktop mode in the next update.
// ZELK_TEST_MODE: "throw-update" throws from the first update,
// "throw-main" throws from the application's start-up.
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "host/hx_glfw_game.h"

namespace {

const char* Mode() {
  const char* m = getenv("ZELK_TEST_MODE");
  return m ? m : "";
}

void Say(const std::string& line) { hxPrint(String(line.c_str())); }

class TestAppDelegate : public HxGameDelegate {
 public:
  int updates = 0;
  bool toFullscreen = false;
  void StartGame() override {
    HxGame* g = HxGame::_game;
    Say("start " + std::to_string(g->GetDeviceWidth()) + " " +
        std::to_string(g->GetDeviceHeight()));
    g->SetUpdateRate(60);
  }
  void SuspendGame() override { Say("suspend"); }
  void ResumeGame() override { Say("resume"); }
  void UpdateGame() override {
    if (strcmp(Mode(), "throw-update") == 0) throw new ThrowableObject;
    ++updates;
    if (toFullscreen) {
      toFullscreen = false;
      HxGlfwGame* g = HxGlfwGame::_glfwGame;
      HxGlfwVideoMode* d = g->GetGlfwDesktopMode();
      g->SetGlfwWindow(d->width, d->height, d->red, d->green, d->blue, 0, 0, 0, true);
      Say("fullscreen " + std::to_string(g->GetDeviceWidth()) + " " +
          std::to_string(g->GetDeviceHeight()) + " seq " + std::to_string(glfwGraphicsSeq));
    }
    if (updates % 30 == 0)
      Say("updates " + std::to_string(updates) + " ms " +
          std::to_string(HxGame::_game->Millisecs()));
  }
  void RenderGame() override {
    int w = HxGame::_game->GetDeviceWidth(), h = HxGame::_game->GetDeviceHeight();
    glViewport(0, 0, w, h);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.1f, 0.2f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(w / 2 - 40, h / 2 - 40, 80, 80);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }
  void KeyEvent(int event, int data) override {
    Say("key " + std::to_string(event) + " " + std::to_string(data));
    if (event == HX_EVENT_KEYDOWN && data == 'F') toFullscreen = true;
  }
  void MouseEvent(int event, int data, float x, float y) override {
    if (event != HX_EVENT_MOUSEMOVE)
      Say("mouse " + std::to_string(event) + " " + std::to_string(data) + " " +
          std::to_string(static_cast<int>(x)) + " " + std::to_string(static_cast<int>(y)));
  }
};

}  // namespace

void hxInit() { Say("init"); }

int hxMain() {
  if (strcmp(Mode(), "throw-main") == 0) throw new ThrowableObject;
  HxGame::_game->SetDelegate(new TestAppDelegate);
  return 0;
}
