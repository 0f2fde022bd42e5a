// The application base class and the framework's side of the host
// contract: the game delegate that creates the devices and brackets every
// update and render.
#pragma once
#include "runtime/hx_runtime.h"
#include "host/hx_game.h"

class gxtkGraphics;
class gxtkAudio;
class c_InputDevice;

// Base of the game's application object. Exactly one may exist.
class c_App : public Object {
 public:
  // Registers this object as the application and hands the delegate to the
  // host. A second application is a fatal "App has already been created".
  c_App* m_new();

  virtual int p_OnCreate();
  virtual int p_OnSuspend();
  virtual int p_OnResume();
  virtual int p_OnUpdate();
  virtual int p_OnRender();

  int p_OnResize();
  int p_OnLoading();
  // Both end the program with status 0.
  int p_OnClose();
  int p_OnBack();
};

class c_GameDelegate : public HxGameDelegate {
 public:
  gxtkGraphics* m__graphics = nullptr;
  gxtkAudio* m__audio = nullptr;
  c_InputDevice* m__input = nullptr;

  c_GameDelegate* m_new() { return this; }

  void StartGame() override;
  void SuspendGame() override;
  void ResumeGame() override;
  void UpdateGame() override;
  void RenderGame() override;
  void KeyEvent(int event, int data) override;
  void MouseEvent(int event, int data, float x, float y) override;
  void TouchEvent(int event, int data, float x, float y) override;
  void MotionEvent(int event, int data, float x, float y, float z) override;
  void DiscardGraphics() override;

  void mark() override;
};

class c_DisplayMode : public Object {
 public:
  int width = 0;
  int height = 0;

  c_DisplayMode* m_new(int w, int h) {
    width = w;
    height = h;
    return this;
  }
  c_DisplayMode* m_new2() { return this; }
};

extern c_App* hx_app__app;
extern c_GameDelegate* hx_app__delegate;
extern HxGame* hx_app__game;
extern int hx_app__updateRate;
extern int hx_app__devWidth;
extern int hx_app__devHeight;
extern Array<c_DisplayMode*> hx_app__displayModes;
extern c_DisplayMode* hx_app__desktopMode;

int hx_app_DeviceWidth();
int hx_app_DeviceHeight();
// Refreshes the cached device size from the host.
void hx_app_ValidateDeviceWindow(bool notify);
void hx_app_SetUpdateRate(int hz);
int hx_app_UpdateRate();
int hx_app_Millisecs();
String hx_app_LoadState();
int hx_app_SaveState(String state);
// Distinct display sizes in order of first appearance, and the desktop size
// (the device size when the host has none).
void hx_app_EnumDisplayModes();
Array<c_DisplayMode*> hx_app_DisplayModes();
c_DisplayMode* hx_app_DesktopMode();
// Ends the process with status 0; never returns.
[[noreturn]] void hx_app_EndApp();

// ---- start-up and collector roots of the whole framework ----

// Sets every framework global to its start value (hx_app__game = the host
// object, random seed 1234, empty async source stack, ...) and installs
// the collector's root hook. The application's hxInit calls it first,
// before its own globals.
void hx_framework_Init();
// Queues every framework global in the collector's root order.
void hx_framework_MarkRoots();
// Set by the application to queue its own globals; runs after the
// framework's roots.
extern void (*hx_framework_GameRoots)();
