// Drives the real game in this process for long runs: the real desktop host
// (GLFW window on the X display, OpenGL, OpenAL Soft), the framework and the
// game with its data folder, one render, swap, event poll and update per
// frame, and scripted key events through the host's own entry point. One
// cycle goes from the title menu into a game and out of it again (pause,
// quit, game-over panel, back to the menu).
//
// After every cycle it takes the figures a leak would show in: live OpenAL
// buffers and OpenGL textures (asked from OpenAL and OpenGL themselves), the
// bytes the collector holds, and the process's resident memory.
//
// One driver per process: the host, the collector and the game's globals
// exist once.
#pragma once
#include <AL/al.h>
#include <malloc.h>
#include <GL/gl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <functional>
#include <string>

#include "framework/hx_app.h"
#include "game/myapp.h"
#include "host/hx_glfw_game.h"

namespace soak {

struct Figures {
  int cycle = 0;
  long rssKb = 0;        // resident memory of the process
  long heapKb = 0;       // bytes the C allocator has handed out and not had back
  int alBuffers = 0;     // OpenAL buffers that exist
  int glTextures = 0;    // OpenGL textures that exist
  int gcAlloced = 0;     // bytes of collected objects not yet swept
  int gcFree = 0;        // bytes of garbage waiting for its destructor
  // From the start key to 30 updates into the game: the slowest update
  // (wall clock and this thread's CPU time) and the slowest whole frame
  // (render, swap, events, update).
  double startUpdateMs = 0;
  double startUpdateCpuMs = 0;
  double startFrameMs = 0;
};

inline double ThreadCpuMs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline long ResidentKb() {
  long pages = 0, resident = 0;
  FILE* f = fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Names are handed out from 1 and reused after deletion, so the live ones
// of a program with a few hundred objects lie far below the scanned range.
inline int CountAlBuffers() {
  int n = 0;
  for (ALuint id = 1; id <= 65536; ++id) n += alIsBuffer(id) ? 1 : 0;
  return n;
}
inline int CountGlTextures() {
  int n = 0;
  for (GLuint id = 1; id <= 65536; ++id) n += glIsTexture(id) ? 1 : 0;
  return n;
}

class Driver : public HxGlfwGame {
 public:
  enum { KEY_ENTER = 13, KEY_ESCAPE = 27, KEY_SPACE = 32, KEY_LEFT = 37 };

  std::string error;  // why the last step failed
  std::string dir;    // the working folder (data linked in, state file kept)
  int frames = 0;
  // The slowest update of the loading screen (wall clock, CPU time).
  double loadWorstMs = 0, loadWorstCpuMs = 0;

  // Opens the window and starts the game in a fresh folder that links the
  // data folder at dataDir; false (with error set) when it cannot.
  bool Open(const std::string& dataDir) {
    char tmpl[] = "/tmp/zelk-soak-XXXXXX";
    if (!mkdtemp(tmpl)) return Fail("no temporary folder");
    dir = tmpl;
    if (symlink(dataDir.c_str(), (dir + "/data").c_str()) != 0 || chdir(dir.c_str()) != 0)
      return Fail("cannot prepare " + dir);
    if (!glfw2::Init()) return Fail("glfwInit failed");
    gc_init1();
    hxInit();
    gc_init2();
    hxMain();
    if (!Delegate()) return Fail("the game registered no delegate");
    SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
    StartGame();
    for (int i = 0; i < 2000; ++i) {
      if (App() && App()->m_loadStep == 0 && App()->m_gameMode == 1) return true;
      double cpu = 0;
      double wall = Frame(&cpu);
      if (wall > loadWorstMs) loadWorstMs = wall;
      if (cpu > loadWorstCpuMs) loadWorstCpuMs = cpu;
    }
    return Fail("loading did not finish");
  }

  // Removes the working folder (the data folder itself is only linked).
  // Ends as the game's own normal end does (exit steps, then GLFW).
  void Close() {
    hx_run_exit_steps();
    glfw2::Terminate();
    if (!dir.empty()) {
      std::string cmd = "rm -rf '" + dir + "'";
      if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
  }

  c_MyApp* App() { return static_cast<c_MyApp*>(hx_app__app); }

  // One pass of the main loop without pacing: render, swap, events, update.
  // Returns the update's wall time in milliseconds (its CPU time in *cpuMs).
  double Frame(double* cpuMs = nullptr) {
    RenderGame();
    glfw2::SwapBuffers();
    glfw2::PollEvents();
    double c0 = ThreadCpuMs();
    auto t0 = std::chrono::steady_clock::now();
    UpdateGame();
    ++frames;
    double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (cpuMs) *cpuMs = ThreadCpuMs() - c0;
    return wall;
  }

  void Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }

  // A key held for two updates, as a player's press.
  void Press(int key) {
    KeyEvent(HX_EVENT_KEYDOWN, key);
    Frames(2);
    KeyEvent(HX_EVENT_KEYUP, key);
    Frame();
  }

  bool WaitFor(const std::function<bool()>& done, int maxFrames, const char* what) {
    for (int i = 0; i < maxFrames; ++i) {
      if (done()) return true;
      Frame();
    }
    return done() || Fail(what);
  }

  // Title menu -> game -> pause -> quit -> game-over panel -> title menu.
  bool Cycle(Figures* timing) {
    c_MyApp* app = App();
    double worstUpdate = 0, worstCpu = 0, worstFrame = 0;
    auto timed = [&](int n) {
      for (int i = 0; i < n; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        double cpu = 0;
        double u = Frame(&cpu);
        double f = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (u > worstUpdate) worstUpdate = u;
        if (cpu > worstCpu) worstCpu = cpu;
        if (f > worstFrame) worstFrame = f;
      }
    };
    // The menu takes a key again once every key is up and the latch of the
    // last press has cleared; a player looks at it for a moment first.
    Frames(30);
    if (!WaitFor([app] { return app->m_keyLatch == 0; }, 120, "the menu's key latch stayed on")) return false;
    // The start key, and the updates that set up the game and follow it.
    KeyEvent(HX_EVENT_KEYDOWN, KEY_ENTER);
    timed(2);
    KeyEvent(HX_EVENT_KEYUP, KEY_ENTER);
    for (int i = 0; i < 60 && app->m_gameMode != 10; ++i) timed(1);
    if (app->m_gameMode != 10)
      return Fail("the game did not start (mode " + std::to_string(app->m_gameMode) + ", menu item " +
                  std::to_string(app->m_menuSel) + ", key latch " + std::to_string(app->m_keyLatch) + ")");
    timed(30);
    if (timing) {
      timing->startUpdateMs = worstUpdate;
      timing->startUpdateCpuMs = worstCpu;
      timing->startFrameMs = worstFrame;
    }
    // A little play: two flaps.
    for (int i = 0; i < 2; ++i) {
      Press(KEY_SPACE);
      Frames(10);
    }
    Press(KEY_ESCAPE);
    if (!WaitFor([app] { return app->m_paused == 1 && app->m_pauseY > 100; }, 120, "the game did not pause"))
      return false;
    Press(KEY_LEFT);  // the quit button
    Frames(5);
    Press(KEY_ENTER);
    return WaitFor([app] { return app->m_gameMode == 1 && app->m_gameOverTimer == 0; }, 1200,
                   "the game did not end back in the title menu");
  }

  Figures Measure(int cycle) {
    Figures f;
    f.cycle = cycle;
    f.rssKb = ResidentKb();
    f.heapKb = static_cast<long>(mallinfo2().uordblks / 1024);
    f.alBuffers = CountAlBuffers();
    f.glTextures = CountGlTextures();
    f.gcAlloced = gc_alloced_bytes;
    f.gcFree = gc_free_bytes;
    return f;
  }

 private:
  bool Fail(const std::string& why) {
    error = why;
    return false;
  }
};

}  // namespace soak
