// HxGame: lifecycle wrappers, the collector step, the date and the fatal stop.
#include "host/hx_game.h"

#include <cstdlib>
#include <ctime>

#include "host/hx_platform.h"

HxGame* HxGame::_game = nullptr;

HxGame::HxGame() { _game = this; }

void HxGame::GetDate(Array<int> date) {
  int n = date.Length();
  if (n == 0) return;
  time_t t = time(nullptr);
  struct tm lt = {};
  hx_platform::LocalTime(t, &lt);
  const int fields[7] = {lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour,
                         lt.tm_min,         lt.tm_sec,     0};
  for (int i = 0; i < n && i < 7; ++i) date[i] = fields[i];
}

bool HxGame::PollJoystick(int, Array<float>, Array<float>, Array<float>, Array<bool>) {
  return false;
}

unsigned char* HxGame::LoadImageData(String, int*, int*, int*) { return nullptr; }

unsigned char* HxGame::LoadAudioData(String, int*, int*, int*, int*) { return nullptr; }

void HxGame::Die(ThrowableObject*) {
  const String report("Quoll Runtime Error : Uncaught Quoll Exception");
  hxPrint(report);
  hx_platform::ShowUnseenError(report, stdout);
  exit(-1);
}

void HxGame::gc_collect() {
  // The delegate and everything it reaches are roots; gc_mark_q does
  // nothing when it is already marked in this cycle.
  if (_delegate) gc_mark_q(_delegate);
  ::gc_collect();
}

// Every wrapper: guard, flag, delegate call with language exceptions sent
// to Die, then one collector step.
#define HX_DELEGATE_CALL(call)            \
  try {                                   \
    _delegate->call;                      \
  } catch (ThrowableObject * exception) { \
    Die(exception);                       \
  }                                       \
  gc_collect();

void HxGame::StartGame() {
  if (_started) return;
  _started = true;
  HX_DELEGATE_CALL(StartGame())
}

void HxGame::SuspendGame() {
  if (!_started || _suspended) return;
  _suspended = true;
  HX_DELEGATE_CALL(SuspendGame())
}

void HxGame::ResumeGame() {
  if (!_started || !_suspended) return;
  _suspended = false;
  HX_DELEGATE_CALL(ResumeGame())
}

void HxGame::UpdateGame() {
  if (!_started || _suspended) return;
  HX_DELEGATE_CALL(UpdateGame())
}

void HxGame::RenderGame() {
  if (!_started) return;
  HX_DELEGATE_CALL(RenderGame())
}

void HxGame::KeyEvent(int event, int data) {
  if (!_started) return;
  HX_DELEGATE_CALL(KeyEvent(event, data))
}

void HxGame::MouseEvent(int event, int data, float x, float y) {
  if (!_started) return;
  HX_DELEGATE_CALL(MouseEvent(event, data, x, y))
}

void HxGame::TouchEvent(int event, int data, float x, float y) {
  if (!_started) return;
  HX_DELEGATE_CALL(TouchEvent(event, data, x, y))
}

void HxGame::MotionEvent(int event, int data, float x, float y, float z) {
  if (!_started) return;
  HX_DELEGATE_CALL(MotionEvent(event, data, x, y, z))
}

void HxGame::DiscardGraphics() {
  if (!_started) return;
  HX_DELEGATE_CALL(DiscardGraphics())
}
