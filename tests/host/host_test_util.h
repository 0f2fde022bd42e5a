// Helpers shared by the host tests.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/hx_glfw_game.h"
#include "host/hx_glfw2.h"

// Runs fn in a child process with its standard output captured; gives the
// exit status (or 1000 + signal) and the output.
struct ChildResult {
  int status;
  std::string out;
};
inline ChildResult RunInChild(const std::function<void()>& fn) {
  int p[2];
  if (pipe(p) != 0) return {-1, ""};
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    close(p[0]);
    dup2(p[1], 1);
    fn();
    fflush(nullptr);
    _exit(0);
  }
  close(p[1]);
  std::string out;
  char buf[512];
  ssize_t n;
  while ((n = read(p[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(p[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  return {WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st), out};
}

// A delegate that records what reaches it.
class RecordingDelegate : public HxGameDelegate {
 public:
  std::vector<std::string> calls;
  bool throwOnUpdate = false;
  void StartGame() override { calls.push_back("start"); }
  void SuspendGame() override { calls.push_back("suspend"); }
  void ResumeGame() override { calls.push_back("resume"); }
  void UpdateGame() override {
    calls.push_back("update");
    if (throwOnUpdate) throw new ThrowableObject;
  }
  void RenderGame() override { calls.push_back("render"); }
  void KeyEvent(int event, int data) override {
    calls.push_back("key " + std::to_string(event) + " " + std::to_string(data));
  }
  void MouseEvent(int event, int data, float x, float y) override {
    calls.push_back("mouse " + std::to_string(event) + " " + std::to_string(data) + " " +
                    std::to_string(static_cast<int>(x)) + " " +
                    std::to_string(static_cast<int>(y)));
  }
  void TouchEvent(int event, int data, float, float) override {
    calls.push_back("touch " + std::to_string(event) + " " + std::to_string(data));
  }
  void MotionEvent(int event, int, float, float, float) override {
    calls.push_back("motion " + std::to_string(event));
  }
  void DiscardGraphics() override { calls.push_back("discard"); }
};

// The desktop host with its schedule exposed and collector steps counted.
class TestGlfwGame : public HxGlfwGame {
 public:
  int collects = 0;
  void gc_collect() override {
    ++collects;
    HxGlfwGame::gc_collect();
  }
  double& nextUpdate() { return _nextUpdate; }
  double& updatePeriod() { return _updatePeriod; }
  int& updateRate() { return _updateRate; }
};

// One fake pad in GLFW 3 terms: axes with vertical down positive, buttons
// without hats, hat bit masks (up 1, right 2, down 4, left 8).
class FakePads : public glfw2::JoystickSource {
 public:
  bool present = true;
  std::vector<float> axes;
  std::vector<unsigned char> buttons, hats;
  bool Present(int joy) override { return joy == 0 && present; }
  const float* Axes(int, int* n) override {
    *n = static_cast<int>(axes.size());
    return axes.data();
  }
  const unsigned char* Buttons(int, int* n) override {
    *n = static_cast<int>(buttons.size());
    return buttons.data();
  }
  const unsigned char* Hats(int, int* n) override {
    *n = static_cast<int>(hats.size());
    return hats.data();
  }
};

// A pad from Source plugged in as joystick 0 of the desktop host, and one
// poll of it as the game makes it.
template <class Source>
class PadTest : public ::testing::Test {
 protected:
  void SetUp() override { glfw2::SetJoystickSource(&pad_); }
  void TearDown() override { glfw2::SetJoystickSource(nullptr); }
  // stale: every button starts held, as left over from another pad.
  bool Poll(bool stale = false) {
    for (int i = 0; i < 2; ++i) x_[i] = y_[i] = z_[i] = 9;
    for (int i = 0; i < 32; ++i) b_[i] = stale;
    return game_.PollJoystick(0, x_, y_, z_, b_);
  }
  std::string Pressed() {
    std::string s;
    for (int i = 0; i < 32; ++i)
      if (b_[i]) s += std::to_string(i) + " ";
    return s;
  }
  Source pad_;
  TestGlfwGame game_;
  Array<float> x_{2}, y_{2}, z_{2};
  Array<bool> b_{32};
};
