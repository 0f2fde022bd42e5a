// A small application on the whole stack (host, devices, framework): it
// opens the window, draws, plays a sound, logs the keys and characters it
// is given and ends on the close key. FW_APP_CASE selects extra steps for
// the process tests; every step is logged on standard output.
#include <GL/gl.h>
#include <unistd.h>
#include <cstdlib>
#include <string>
#include "framework/hx_framework.h"
#include "host/hx_glfw_game.h"
#include "tests/framework/fw_wav.h"

namespace {

std::string g_case;

void Log(const std::string& line) { hxPrint(String(line.c_str())); }

std::string SourceState(int channel) {
  ALint state = 0;
  alGetSourcei(hx_audio_device->m_channels[channel].m_source, AL_SOURCE_STATE, &state);
  return state == AL_PLAYING ? "playing" : state == AL_PAUSED ? "paused" : "stopped";
}

class c_StackApp : public c_App {
 public:
  c_Sound* m_sound = nullptr;
  int m_updates = 0;
  int m_renders = 0;
  std::string m_wav;

  c_StackApp* m_new() {
    c_App::m_new();
    return this;
  }

  int p_OnCreate() override {
    hx_app_SetUpdateRate(60);
    m_wav = WriteTestWav("/tmp/fw_stack_app_" + std::to_string(getpid()) + ".wav");
    gc_assign(m_sound, hx_audio_LoadSound(String(m_wav.c_str())));
    unlink(m_wav.c_str());
    Log("create " + std::to_string(hx_app_DeviceWidth()) + "x" + std::to_string(hx_app_DeviceHeight()) +
        " sound=" + (m_sound ? "ok" : "none") + " modes=" + std::to_string(hx_app__displayModes.Length()));
    return 0;
  }

  int p_OnUpdate() override {
    ++m_updates;
    for (int key = 1; key < 512; ++key) {
      int hits = hx_input_KeyHit(key);
      if (hits) Log("hit " + std::to_string(key) + " x" + std::to_string(hits));
    }
    for (int ch = hx_input_GetChar(); ch; ch = hx_input_GetChar()) Log("char " + std::to_string(ch));
    if (m_updates == 3) {
      hx_audio_PlaySound(m_sound, 0, 0);
      Log("sound " + SourceState(0));
    }
    if (m_updates == 5) {
      if (g_case == "close_when_down") {
        hx_input_device->m__keyDown[432] = true;
        Log("close-key-down");
      } else if (g_case == "back_key") {
        Log("back");
        hx_app__game->KeyEvent(HX_EVENT_KEYDOWN, HX_KEY_BACK);
        Log("after-back");
      } else if (g_case == "suspend_resume") {
        hx_audio_PlaySound(m_sound, 1, 1);
        hx_app__game->SuspendGame();
        Log("after-suspend:" + SourceState(1));
        hx_app__game->ResumeGame();
        Log("after-resume:" + SourceState(1));
        hx_app_EndApp();
      }
    }
    if (m_updates == 10) Log("ready");
    return 0;
  }

  int p_OnRender() override {
    ++m_renders;
    gxtkGraphics* gfx = hx_app__delegate->m__graphics;
    gfx->Cls(20, 40, 60);
    hx_graphics_SetColor(255, 0, 0);
    hx_graphics_DrawRect(0, 0, 16, 16);
    if (m_renders == 2) {
      gfx->EndRender();  // flush the batch before reading back
      unsigned char rect[4] = {0}, clear[4] = {0};
      int h = hx_app_DeviceHeight();
      glReadPixels(4, h - 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rect);
      glReadPixels(100, h / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, clear);
      Log("pixel rect=" + std::to_string(rect[0]) + "," + std::to_string(rect[1]) + "," + std::to_string(rect[2]) +
          " clear=" + std::to_string(clear[0]) + "," + std::to_string(clear[1]) + "," + std::to_string(clear[2]));
    }
    return 0;
  }

  int p_OnSuspend() override {
    Log("suspend:" + SourceState(1));
    return 0;
  }
  int p_OnResume() override {
    Log("resume:" + SourceState(1));
    return 0;
  }

  void mark() override {
    c_App::mark();
    gc_mark_q(m_sound);
  }
};

}  // namespace

void hxInit() {
  const char* c = getenv("FW_APP_CASE");
  g_case = c ? c : "";
  hx_framework_Init();
}

int hxMain() {
  (new c_StackApp)->m_new();
  if (g_case == "second_app") (new c_StackApp)->m_new();
  return 0;
}
