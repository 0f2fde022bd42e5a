// The host game object: lifecycle state, platform operations and the
// guarded entry points through which the host reaches the framework.
#pragma once
#include <cstdio>
#include "runtime/hx_runtime.h"

// Event codes shared by host, framework and game.
enum {
  HX_EVENT_KEYDOWN = 1,
  HX_EVENT_KEYUP = 2,
  HX_EVENT_KEYCHAR = 3,
  HX_EVENT_MOUSEDOWN = 4,
  HX_EVENT_MOUSEUP = 5,
  HX_EVENT_MOUSEMOVE = 6,
  HX_EVENT_TOUCHDOWN = 7,
  HX_EVENT_TOUCHUP = 8,
  HX_EVENT_TOUCHMOVE = 9,
  HX_EVENT_MOTIONACCEL = 10,
};

// Key codes the host sends besides keyboard keys.
enum { HX_KEY_BACK = 416, HX_KEY_CLOSE = 432 };

// What the host calls; the framework implements it.
class HxGameDelegate : public Object {
 public:
  virtual void StartGame() {}
  virtual void SuspendGame() {}
  virtual void ResumeGame() {}
  virtual void UpdateGame() {}
  virtual void RenderGame() {}
  virtual void KeyEvent(int event, int data) { (void)event, (void)data; }
  virtual void MouseEvent(int event, int data, float x, float y) { (void)event, (void)data, (void)x, (void)y; }
  virtual void TouchEvent(int event, int data, float x, float y) { (void)event, (void)data, (void)x, (void)y; }
  virtual void MotionEvent(int event, int data, float x, float y, float z) {
    (void)event, (void)data, (void)x, (void)y, (void)z;
  }
  virtual void DiscardGraphics() {}
};

class HxDisplayMode : public Object {
 public:
  int width = 0;
  int height = 0;
};

class HxGame {
 public:
  static HxGame* _game;

  HxGame();
  virtual ~HxGame() {}

  virtual void SetDelegate(HxGameDelegate* delegate) { _delegate = delegate; }
  virtual HxGameDelegate* Delegate() { return _delegate; }
  virtual void SetKeyboardEnabled(bool enabled) { _keyboardEnabled = enabled; }
  virtual bool KeyboardEnabled() { return _keyboardEnabled; }
  virtual void SetUpdateRate(int hz) { _updateRate = hz; }
  virtual int UpdateRate() { return _updateRate; }
  virtual bool Started() { return _started; }
  virtual bool Suspended() { return _suspended; }
  virtual int Millisecs() { return 0; }
  virtual void GetDate(Array<int> date);
  // Replaces "./.quollstate" in one step (temporary file, sync, rename), or
  // where the working folder cannot take it, the same file in the player's
  // own data folder (hx_platform::UserDataFolder): 0 when either took the
  // state, otherwise the working folder's -1 (cannot open) or -2 (write
  // failed); the old copies are kept. A standard-error line tells each
  // change of the place the state goes to.
  virtual int SaveState(String state);
  // The copy saved last of the two.
  virtual String LoadState();
  virtual String LoadString(String path);
  virtual bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                            Array<bool> buttons);
  virtual void OpenUrl(String url) { (void)url; }
  virtual void SetMouseVisible(bool visible) { (void)visible; }
  virtual int GetDeviceWidth() { return 0; }
  virtual int GetDeviceHeight() { return 0; }
  virtual void SetDeviceWindow(int width, int height, int flags) { (void)width, (void)height, (void)flags; }
  virtual Array<HxDisplayMode*> GetDisplayModes() { return Array<HxDisplayMode*>(); }
  virtual HxDisplayMode* GetDesktopMode() { return nullptr; }
  virtual void SetSwapInterval(int interval) { (void)interval; }
  virtual String PathToFilePath(String path) { return path; }
  // Opens the file a path names (after PathToFilePath); null when the path
  // maps to nothing or the file cannot be opened.
  virtual FILE* OpenFile(String path, String mode);
  // The whole file as a malloc'ed block (free() it); null and length left
  // unchanged when the file cannot be opened.
  virtual unsigned char* LoadData(String path, int* length);
  // Pixels (width, height, channels per pixel); free() the block.
  virtual unsigned char* LoadImageData(String path, int* width, int* height, int* depth);
  // Interleaved PCM (frames, channels, bytes per sample, rate); free() the block.
  virtual unsigned char* LoadAudioData(String path, int* length, int* channels, int* format, int* hertz);
  [[noreturn]] virtual void Die(ThrowableObject* exception);
  virtual void gc_collect();
  virtual void StartGame();
  virtual void SuspendGame();
  virtual void ResumeGame();
  virtual void UpdateGame();
  virtual void RenderGame();
  virtual void KeyEvent(int event, int data);
  virtual void MouseEvent(int event, int data, float x, float y);
  virtual void TouchEvent(int event, int data, float x, float y);
  virtual void MotionEvent(int event, int data, float x, float y, float z);
  virtual void DiscardGraphics();

 protected:
  HxGameDelegate* _delegate = nullptr;
  bool _keyboardEnabled = false;
  int _updateRate = 0;
  bool _started = false;
  bool _suspended = false;
};
