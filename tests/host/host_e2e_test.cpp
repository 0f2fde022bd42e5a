// The real host (host/hx_main.cpp + the test application) on its own Xvfb
// server: the window, rendering, the close request, focus suspend/resume,
// the uncaught-exception stop and a start without any display.
#include <gtest/gtest.h>
// Xlib after gtest: it defines None, Bool and Status as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "tests/common/x11_close.h"

namespace {

using Clock = std::chrono::steady_clock;

// A child process with its standard output on a pipe, read line by line.
using Env = std::vector<std::pair<const char*, const char*>>;

class Child {
 public:
  explicit Child(const Env& env, bool noDisplay = false) {
    int p[2];
    if (pipe(p) != 0) return;
    fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(p[1], 1);
      close(p[0]);
      close(p[1]);
      if (noDisplay) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
      }
      for (auto& e : env) setenv(e.first, e.second, 1);
      execl(HOST_TEST_APP, HOST_TEST_APP, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(p[1]);
    fd_ = p[0];
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) close(fd_);
  }
  // Waits for a line that starts with prefix; every line read is kept.
  bool WaitFor(const std::string& prefix, double seconds = 20) {
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      for (; seen_ < lines.size(); ++seen_)
        if (lines[seen_].compare(0, prefix.size(), prefix) == 0) {
          ++seen_;
          return true;
        }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
      if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return false;
    }
  }
  // Reads to the end of the output and reaps the process.
  int Finish() {
    while (ReadSome(20000)) {
    }
    int st = 0;
    waitpid(pid_, &st, 0);
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
    return status_;
  }
  // The next line that starts with prefix (empty when none comes in time).
  std::string Next(const std::string& prefix, double seconds = 20) {
    return WaitFor(prefix, seconds) ? lines[seen_ - 1] : std::string();
  }
  bool Alive() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  std::string Output() const {
    std::string s;
    for (auto& l : lines) s += l + "\n";
    return s + partial_;
  }
  std::vector<std::string> lines;

 private:
  bool ReadSome(int ms) {
    struct pollfd pfd = {fd_, POLLIN, 0};
    if (poll(&pfd, 1, ms) <= 0) return false;
    char buf[1024];
    ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) return false;
    partial_.append(buf, static_cast<size_t>(n));
    size_t nl;
    while ((nl = partial_.find('\n')) != std::string::npos) {
      lines.push_back(partial_.substr(0, nl));
      partial_.erase(0, nl + 1);
    }
    return true;
  }
  pid_t pid_ = -1;
  int fd_ = -1;
  int status_ = -1;
  size_t seen_ = 0;
  std::string partial_;
};

// A private 1024 x 768 x 24 X server for the whole test program.
class XServer : public ::testing::Environment {
 public:
  static std::string display;
  void SetUp() override {
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    pid_ = fork();
    if (pid_ == 0) {
      close(p[0]);
      std::string fd = std::to_string(p[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(p[1]);
    std::string num;
    char c;
    while (read(p[0], &c, 1) == 1 && c != '\n') num += c;
    close(p[0]);
    ASSERT_FALSE(num.empty()) << "Xvfb did not start";
    display = ":" + num;
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
};
std::string XServer::display;
auto* const xserver = ::testing::AddGlobalTestEnvironment(new XServer);

Window FindWindow(Display* dpy, const char* title) {
  Window root = DefaultRootWindow(dpy), parent, *children = nullptr;
  unsigned n = 0;
  Window found = 0;
  if (!XQueryTree(dpy, root, &root, &parent, &children, &n)) return 0;
  for (unsigned i = 0; i < n && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(dpy, children[i], &name) && name) {
      if (strcmp(name, title) == 0) found = children[i];
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

class HostE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    dpy_ = XOpenDisplay(XServer::display.c_str());
    ASSERT_NE(dpy_, nullptr);
  }
  void TearDown() override {
    if (dpy_) XCloseDisplay(dpy_);
  }
  // Starts the app and waits for its window.
  Window Launch(Child& app) {
    EXPECT_TRUE(app.WaitFor("start")) << app.Output();
    Window w = 0;
    for (int i = 0; i < 200 && !w; ++i) {
      w = FindWindow(dpy_, "Zelk");
      if (!w) usleep(10000);
    }
    EXPECT_NE(w, 0u);
    return w;
  }
  Display* dpy_ = nullptr;
};

TEST_F(HostE2E, WindowIsCentredTitledAndDrawn) {
  Child app(Env{{"DISPLAY", XServer::display.c_str()}});
  Window w = Launch(app);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(app.lines[1], "start 640 480");
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(dpy_, w, &a));
  EXPECT_EQ(a.width, 640);
  EXPECT_EQ(a.height, 480);
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(dpy_, w, DefaultRootWindow(dpy_), 0, 0, &x, &y, &child);
  EXPECT_EQ(x, (1024 - 640) / 2);
  EXPECT_EQ(y, (768 - 480) / 2);
  // What the loop rendered and swapped: blue around a red centre.
  ASSERT_TRUE(app.WaitFor("updates"));
  XImage* img = XGetImage(dpy_, w, 0, 0, 640, 480, AllPlanes, ZPixmap);
  ASSERT_NE(img, nullptr);
  unsigned long edge = XGetPixel(img, 10, 10), centre = XGetPixel(img, 320, 240);
  XDestroyImage(img);
  EXPECT_EQ(edge & 0xffffff, 0x1a3399u) << std::hex << edge;
  EXPECT_EQ(centre & 0xffffff, 0xff0000u) << std::hex << centre;
}

TEST_F(HostE2E, CloseRequestBecomesCloseKeyAndWindowStays) {
  Child app(Env{{"DISPLAY", XServer::display.c_str()}});
  Window w = Launch(app);
  ASSERT_NE(w, 0u);
  SendWmDeleteWindow(dpy_, w);
  ASSERT_TRUE(app.WaitFor("key 1 432")) << app.Output();
  ASSERT_TRUE(app.WaitFor("key 2 432")) << app.Output();
  // The loop goes on and the window is still there.
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  EXPECT_TRUE(app.Alive());
  EXPECT_EQ(FindWindow(dpy_, "Zelk"), w);
}

TEST_F(HostE2E, FocusLossSuspendsAndFocusGainResumes) {
  Child app(Env{{"DISPLAY", XServer::display.c_str()}});
  Window w = Launch(app);
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  Window other = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 50, 50, 0, 0, 0);
  XMapWindow(dpy_, other);
  XSync(dpy_, False);
  usleep(100000);
  XSetInputFocus(dpy_, other, RevertToParent, CurrentTime);
  XSync(dpy_, False);
  ASSERT_TRUE(app.WaitFor("suspend")) << app.Output();
  size_t atSuspend = app.lines.size();
  usleep(600000);  // long enough for 30 updates if the loop still updated
  XSetInputFocus(dpy_, w, RevertToParent, CurrentTime);
  XSync(dpy_, False);
  ASSERT_TRUE(app.WaitFor("resume")) << app.Output();
  for (size_t i = atSuspend; i < app.lines.size() && app.lines[i] != "resume"; ++i)
    EXPECT_NE(app.lines[i].rfind("updates", 0), 0u) << "update while suspended: " << app.lines[i];
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  XDestroyWindow(dpy_, other);
  XSync(dpy_, False);
}

// Real key presses through the X server (xdotool uses XTest).
void Keys(const std::string& args) {
  std::string cmd = "DISPLAY=" + XServer::display + " xdotool " + args;
  ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
}

TEST_F(HostE2E, KeysAndFullscreenSwitchReleasingHeldKeys) {
  Child app(Env{{"DISPLAY", XServer::display.c_str()}});
  ASSERT_NE(Launch(app), 0u);
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  Keys("key Escape key Up key Delete");
  for (const char* line : {"key 1 27", "key 3 27", "key 2 27", "key 1 38", "key 3 65574",
                           "key 2 38", "key 1 46", "key 3 127", "key 2 46"})
    ASSERT_TRUE(app.WaitFor(line)) << line << "\n" << app.Output();
  // F is still held when the window is re-created: it gets one key-up
  // before the old window goes, and none from the new window.
  Keys("keydown f");
  ASSERT_TRUE(app.WaitFor("key 1 70")) << app.Output();
  ASSERT_TRUE(app.WaitFor("key 3 102")) << app.Output();
  ASSERT_TRUE(app.WaitFor("key 2 70")) << app.Output();
  ASSERT_TRUE(app.WaitFor("fullscreen 1024 768 seq 2")) << app.Output();
  Keys("keyup f");
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  int keyUps = 0;
  for (auto& l : app.lines) keyUps += l == "key 2 70";
  EXPECT_EQ(keyUps, 1) << app.Output();
  // The fullscreen window is given no title: it keeps the one it was
  // created with, and no window carries the game's name meanwhile.
  Window full = FindWindow(dpy_, "GLFW Window");
  ASSERT_NE(full, 0u);
  EXPECT_EQ(FindWindow(dpy_, "Zelk"), 0u);
  XWindowAttributes attrs;
  ASSERT_NE(XGetWindowAttributes(dpy_, full, &attrs), 0);
  EXPECT_EQ(attrs.width, 1024);
  EXPECT_EQ(attrs.height, 768);
}

// Printable keys send the code of their label on the layout in use: the
// key labelled A is 65 wherever the layout puts it. Names the codes have no
// room for (a letter outside ASCII) keep the key's US-place code.
TEST_F(HostE2E, PrintableKeysSendTheirLabelOnEveryLayout) {
  Child app(Env{{"DISPLAY", XServer::display.c_str()}});
  ASSERT_NE(Launch(app), 0u);
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  const struct {
    const char* layout;
    const char* key;  // as xdotool names the character the key types
    int code;
  } cases[] = {
      {"us", "z", 90},         {"us", "comma", 188},     {"de", "z", 90},
      {"de", "y", 89},         {"de", "minus", 189},     {"de", "odiaeresis", 186},
      {"fr", "a", 65},         {"fr", "q", 81},          {"fr", "comma", 188},
      {"fr", "m", 77},         {"fr", "eacute", 50},
  };
  std::string layout;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.layout) + " " + c.key);
    if (layout != c.layout) {
      layout = c.layout;
      std::string cmd = "setxkbmap -display " + XServer::display + " -layout " + layout;
      ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    }
    Keys(std::string("key ") + c.key);
    EXPECT_EQ(app.Next("key 1 "), "key 1 " + std::to_string(c.code)) << app.Output();
    EXPECT_EQ(app.Next("key 2 "), "key 2 " + std::to_string(c.code)) << app.Output();
  }
  std::string cmd = "setxkbmap -display " + XServer::display + " -layout us";
  EXPECT_EQ(system(cmd.c_str()), 0);
}

// A key held across a window change is released by the code it went down
// as, also where the layout moved its label: on a French layout the key
// labelled A (US place Q) goes up as 65 once, and Q (81) is not touched.
TEST_F(HostE2E, WindowChangeReleasesHeldKeysByTheirLabel) {
  std::string cmd = "setxkbmap -display " + XServer::display + " -layout fr";
  ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
  Child app(Env{{"DISPLAY", XServer::display.c_str()}});
  ASSERT_NE(Launch(app), 0u);
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  Keys("keydown a");
  ASSERT_TRUE(app.WaitFor("key 1 65")) << app.Output();
  Keys("keydown f");
  ASSERT_TRUE(app.WaitFor("key 1 70")) << app.Output();
  ASSERT_TRUE(app.WaitFor("fullscreen ")) << app.Output();
  Keys("keyup f keyup a");
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  int ups65 = 0, ups81 = 0;
  for (auto& l : app.lines) {
    ups65 += l == "key 2 65";
    ups81 += l == "key 2 81";
  }
  EXPECT_EQ(ups65, 1) << app.Output();
  EXPECT_EQ(ups81, 0) << app.Output();
  cmd = "setxkbmap -display " + XServer::display + " -layout us";
  EXPECT_EQ(system(cmd.c_str()), 0);
}

TEST_F(HostE2E, UpdatesNeverRunAheadOfTheRate) {
  Child app(Env{{"DISPLAY", XServer::display.c_str()}});
  ASSERT_NE(Launch(app), 0u);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(app.WaitFor("updates")) << app.Output();
  int n = 0, ms = 0;
  ASSERT_EQ(sscanf(app.lines.back().c_str(), "updates %d ms %d", &n, &ms), 2);
  // 60 per second from the first update on; one period of slack.
  EXPECT_LE(n, 60.0 * ms / 1000.0 + 1) << app.Output();
}

TEST_F(HostE2E, ExceptionInUpdateEndsWithReport) {
  Child app(Env{{"DISPLAY", XServer::display.c_str()}, {"ZELK_TEST_MODE", "throw-update"}});
  EXPECT_EQ(app.Finish(), 255);
  EXPECT_NE(app.Output().find("start 640 480\nQuoll Runtime Error : Uncaught Quoll Exception\n"),
            std::string::npos)
      << app.Output();
}

TEST_F(HostE2E, ExceptionDuringStartUpEndsWithReport) {
  Child app(Env{{"DISPLAY", XServer::display.c_str()}, {"ZELK_TEST_MODE", "throw-main"}});
  EXPECT_EQ(app.Finish(), 255);
  EXPECT_EQ(app.Output(), "init\nQuoll Runtime Error : Uncaught Quoll Exception\n");
}

TEST(HostNoDisplay, GlfwInitFailure) {
  Child app(Env{}, /*noDisplay=*/true);
  EXPECT_EQ(app.Finish(), 255);
  EXPECT_EQ(app.Output(), "glfwInit failed\n");
}

}  // namespace
