// The desktop host: the window, the main loop, files and input on GLFW.
#pragma once
#include "host/hx_game.h"
#include "host/hx_glfw2.h"

// Provided by the application (framework + game): module and game globals,
// then the application object, which registers its delegate with the host.
void hxInit();
int hxMain();

// Bumped after every window open: a texture made under an older value
// belongs to a GL context that no longer exists.
extern int glfwGraphicsSeq;

// Copies of main's arguments.
extern int argc;
extern const char** argv;

// One GLFW video mode: size and bits per colour channel.
class HxGlfwVideoMode : public Object {
 public:
  int width = 0;
  int height = 0;
  int red = 0;
  int green = 0;
  int blue = 0;
};

class HxGlfwGame : public HxGame {
 public:
  static HxGlfwGame* _glfwGame;

  HxGlfwGame();

  void SetUpdateRate(int hz) override;
  int Millisecs() override;
  bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                    Array<bool> buttons) override;
  void OpenUrl(String url) override;
  void SetMouseVisible(bool visible) override;
  int GetDeviceWidth() override;
  int GetDeviceHeight() override;
  void SetDeviceWindow(int width, int height, int flags) override;
  Array<HxDisplayMode*> GetDisplayModes() override;
  HxDisplayMode* GetDesktopMode() override;
  void SetSwapInterval(int interval) override;
  String PathToFilePath(String path) override;
  unsigned char* LoadImageData(String path, int* width, int* height, int* depth) override;
  unsigned char* LoadAudioData(String path, int* length, int* channels, int* format,
                               int* hertz) override;

  virtual void SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha,
                             int depth, int stencil, bool fullscreen);
  virtual HxGlfwVideoMode* GetGlfwDesktopMode();
  virtual Array<HxGlfwVideoMode*> GetGlfwVideoModes();
  // The main loop; returns when the window is no longer open. Where the
  // display drives the program (the browser), Run hands the loop over to
  // it and FramePass runs once per displayed frame instead.
  virtual void Run();

  // One pass of a loop that the display drives, at the frame's time
  // (seconds): the event step, the updates due by then (no sleeping), and a
  // render when they changed the picture or the window's size or state
  // changed.
  void FramePass(double time);

  // The event step of the loop: poll (or wait while suspended), then
  // suspend or resume with the window's focus.
  void UpdateEvents();

  // Input translation (GLFW 2.7 key numbers in, framework key codes out).
  static int TransKey(int glfwKey);
  static int KeyToChar(int key);
  // A pad that a game-pad mapping recognises, in the controls' layout:
  // buttons 0 A, 1 B, 2 X, 3 Y, 4/5 shoulders, 6 back, 7 start, 8-11 d-pad
  // left, up, right, down, 12/13 stick clicks, 14 guide; sticks on joyx/joyy
  // [0] (left) and [1] (right) with up positive; triggers on joyz 0..1.
  static void PutGamepad(const glfw2::GamepadState& pad, Array<float> joyx, Array<float> joyy,
                         Array<float> joyz, Array<bool> buttons);

  // GLFW callbacks.
  static void OnKey(int glfwKey, int action);
  static void OnChar(int character, int action);
  static void OnMouseButton(int button, int action);
  static void OnMousePos(int x, int y);
  static int OnWindowClose();

 protected:
  double _updatePeriod = 0;
  double _nextUpdate = 0;
  int _swapInterval = -1;
  double _lastFrame = 0;  // time of the previous FramePass; 0 before the first
  int _frameWidth = -1;   // window size at the last FramePass render
  int _frameHeight = -1;
};

class HxQuollGame : public HxGlfwGame {
 public:
  // Start-up, loop and shut-down of the process; returns 0.
  static int Main(int argc, const char** argv);
};
