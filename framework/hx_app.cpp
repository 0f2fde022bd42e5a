#include "framework/hx_app.h"
#include "framework/hx_audio.h"
#include "framework/hx_graphics.h"
#include "framework/hx_input.h"
#include "framework/hx_map.h"
#include "framework/hx_stack.h"

c_App* hx_app__app = nullptr;
c_GameDelegate* hx_app__delegate = nullptr;
HxGame* hx_app__game = nullptr;
int hx_app__updateRate = 0;
int hx_app__devWidth = 0;
int hx_app__devHeight = 0;
Array<c_DisplayMode*> hx_app__displayModes;
c_DisplayMode* hx_app__desktopMode = nullptr;

// ---------------------------------------------------------------- c_App

c_App* c_App::m_new() {
  if (hx_app__app) hxError("App has already been created");
  gc_assign(hx_app__app, this);
  gc_assign(hx_app__delegate, (new c_GameDelegate)->m_new());
  hx_app__game->SetDelegate(hx_app__delegate);
  return this;
}

int c_App::p_OnCreate() { return 0; }
int c_App::p_OnSuspend() { return 0; }
int c_App::p_OnResume() { return 0; }
int c_App::p_OnUpdate() { return 0; }
int c_App::p_OnRender() { return 0; }
int c_App::p_OnResize() { return 0; }
int c_App::p_OnLoading() { return 0; }
int c_App::p_OnClose() {
  hx_app_EndApp();
}
int c_App::p_OnBack() {
  hx_app_EndApp();
}

// ---------------------------------------------------------------- c_GameDelegate

void c_GameDelegate::StartGame() {
  gc_assign(m__graphics, new gxtkGraphics);
  hx_graphics_SetGraphicsDevice(m__graphics);
  hx_graphics_SetFont(nullptr, 32);

  gc_assign(m__audio, new gxtkAudio);
  hx_audio_SetAudioDevice(m__audio);

  gc_assign(m__input, (new c_InputDevice)->m_new());
  hx_input_SetInputDevice(m__input);

  hx_app_ValidateDeviceWindow(false);
  hx_app_EnumDisplayModes();
  hx_app__app->p_OnCreate();
}

void c_GameDelegate::SuspendGame() {
  hx_app__app->p_OnSuspend();
  m__audio->Suspend();
}

void c_GameDelegate::ResumeGame() {
  m__audio->Resume();
  hx_app__app->p_OnResume();
}

void c_GameDelegate::UpdateGame() {
  hx_app_ValidateDeviceWindow(true);
  m__input->p_BeginUpdate();
  hx_app__app->p_OnUpdate();
  m__input->p_EndUpdate();
  m__audio->CheckDevice();
}

void c_GameDelegate::RenderGame() {
  hx_app_ValidateDeviceWindow(true);
  int mode = m__graphics->BeginRender();
  if (mode != 0) hx_graphics_BeginRender();
  if (mode == 2) {
    hx_app__app->p_OnLoading();
  } else {
    hx_app__app->p_OnRender();
  }
  if (mode != 0) hx_graphics_EndRender();
  m__graphics->EndRender();
}

void c_GameDelegate::KeyEvent(int event, int data) {
  m__input->p_KeyEvent(event, data);
  if (event != HX_EVENT_KEYDOWN) return;
  // Checked even when the key was already down.
  if ((data & ~16) != HX_KEY_BACK) return;
  if (data == HX_KEY_BACK) {
    hx_app__app->p_OnBack();
  } else {
    hx_app__app->p_OnClose();
  }
}

void c_GameDelegate::MouseEvent(int event, int data, float x, float y) { m__input->p_MouseEvent(event, data, x, y); }

void c_GameDelegate::TouchEvent(int event, int data, float x, float y) { m__input->p_TouchEvent(event, data, x, y); }

void c_GameDelegate::MotionEvent(int event, int data, float x, float y, float z) {
  m__input->p_MotionEvent(event, data, x, y, z);
}

void c_GameDelegate::DiscardGraphics() { m__graphics->DiscardGraphics(); }

void c_GameDelegate::mark() {
  HxGameDelegate::mark();
  gc_mark_q(m__graphics);
  gc_mark_q(m__audio);
  gc_mark_q(m__input);
}

// ---------------------------------------------------------------- module functions

int hx_app_DeviceWidth() { return hx_app__devWidth; }
int hx_app_DeviceHeight() { return hx_app__devHeight; }

void hx_app_ValidateDeviceWindow(bool notify) {
  (void)notify;
  int w = hx_app__game->GetDeviceWidth();
  int h = hx_app__game->GetDeviceHeight();
  if (w == hx_app__devWidth && h == hx_app__devHeight) return;
  hx_app__devWidth = w;
  hx_app__devHeight = h;
}

void hx_app_SetUpdateRate(int hz) {
  hx_app__updateRate = hz;
  hx_app__game->SetUpdateRate(hz);
}

int hx_app_UpdateRate() { return hx_app__updateRate; }

int hx_app_Millisecs() { return hx_app__game->Millisecs(); }

String hx_app_LoadState() { return hx_app__game->LoadState(); }

// The host's result: 0 when the state was saved, negative when it could be
// saved nowhere (the host has said so on standard error).
int hx_app_SaveState(String state) { return hx_app__game->SaveState(state); }

void hx_app_EnumDisplayModes() {
  Array<HxDisplayMode*> modes = hx_app__game->GetDisplayModes();
  c_IntMap<c_DisplayMode>* seen = (new c_IntMap<c_DisplayMode>)->m_new();
  c_Stack<c_DisplayMode>* list = (new c_Stack<c_DisplayMode>)->m_new();
  for (int i = 0; i < modes.Length(); ++i) {
    HxDisplayMode* mode = modes[i];
    if (!mode) continue;
    int key = static_cast<int>((static_cast<unsigned>(mode->width) << 16) | static_cast<unsigned>(mode->height));
    if (seen->p_Contains(key)) continue;
    c_DisplayMode* entry = (new c_DisplayMode)->m_new(mode->width, mode->height);
    seen->p_Insert(key, entry);
    list->p_Push(entry);
  }
  gc_assign(hx_app__displayModes, list->p_ToArray());

  HxDisplayMode* desktop = hx_app__game->GetDesktopMode();
  if (desktop) {
    gc_assign(hx_app__desktopMode, (new c_DisplayMode)->m_new(desktop->width, desktop->height));
  } else {
    gc_assign(hx_app__desktopMode, (new c_DisplayMode)->m_new(hx_app__devWidth, hx_app__devHeight));
  }
}

Array<c_DisplayMode*> hx_app_DisplayModes() { return hx_app__displayModes; }
c_DisplayMode* hx_app_DesktopMode() { return hx_app__desktopMode; }

void hx_app_EndApp() { hxError(String()); }
