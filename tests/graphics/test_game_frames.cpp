// The game's own frames, drawn twice: once batched as the renderer always
// draws, and once with the renderer submitting after every command (texture
// enabled, bound and blend set again for each), the way a renderer without
// batching would. The window's pixels must match byte for byte.
//
// The frames are real: the whole application (host, devices, game, assets
// from data/) runs in this process on a real window, is driven by key
// events through the host, and each frame is the draw list the game built
// in that state: the title menu, play with particles, the pause menu and the
// credits.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "framework/hx_framework.h"
#include "game/myapp.h"
#include "host/hx_glfw_game.h"

namespace {

HxGlfwGame* g_host = nullptr;
c_MyApp* g_app = nullptr;
int g_updates = 0;

// The process as the real entry point sets it up, minus the main loop,
// in a scratch folder of its own that links the data folder.
bool StartProcess() {
  char tmpl[] = "/tmp/zelk-frames-XXXXXX";
  if (!mkdtemp(tmpl)) return false;
  std::string data = std::string(ZELK_SOURCE_DIR) + "/data";
  if (symlink(data.c_str(), (std::string(tmpl) + "/data").c_str()) != 0 || chdir(tmpl) != 0) return false;
  if (!glfw2::Init()) return false;
  g_host = new HxGlfwGame();
  gc_init1();
  hxInit();
  gc_init2();
  hxMain();
  g_app = dynamic_cast<c_MyApp*>(hx_app__app);
  if (!g_app) return false;
  g_host->SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
  g_host->StartGame();
  return glfwGraphicsSeq > 0;
}

// One pass of the main loop without its pacing: an update, then (when
// asked) a render and a swap.
void Pass(bool render) {
  g_host->UpdateGame();
  ++g_updates;
  if (render) {
    g_host->RenderGame();
    glfw2::SwapBuffers();
  }
}
void Passes(int n) {
  for (int i = 0; i < n; ++i) Pass(i % 8 == 0);
}
void Key(int code, bool down) { g_host->KeyEvent(down ? HX_EVENT_KEYDOWN : HX_EVENT_KEYUP, code); }
void Tap(int code) {
  Key(code, true);
  Passes(3);
  Key(code, false);
  Passes(2);
}

struct Frame {
  std::vector<unsigned char> rgba;
  int64_t batches = 0, drawCalls = 0, binds = 0;
  int commands = 0;
};

// Renders the game's current draw list once into a cleared back buffer and
// reads the window back.
Frame Render(bool unbatched) {
  gxtkGraphics* g = hx_graphics_device;
  g->submitEachDraw = unbatched;
  // A clear alpha below 1 blends over the last frame: start both from the
  // same pixels.
  glClearColor(0.25f, 0.5f, 0.75f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  g->ResetStats();
  g_host->RenderGame();
  g->submitEachDraw = false;
  Frame f;
  f.batches = g->statBatches;
  f.drawCalls = g->statDrawCalls;
  f.binds = g->statTextureBinds;
  f.commands = g_app->m_drawCount / 15;
  int w = g->Width(), h = g->Height();
  f.rgba.assign(static_cast<size_t>(w) * h * 4, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, f.rgba.data());
  glfw2::SwapBuffers();
  return f;
}

int DistinctColours(const std::vector<unsigned char>& rgba) {
  std::set<unsigned> c;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) c.insert(rgba[i] | rgba[i + 1] << 8 | rgba[i + 2] << 16);
  return static_cast<int>(c.size());
}

int LiveParticles() {
  int n = 0;
  for (int k = 0; k <= 250; ++k) {
    float kind = g_app->m_particles[10 * k];
    if (kind >= 1 && kind <= 9) ++n;
  }
  return n;
}

// Draws the current state both ways and compares.
void ExpectSamePixels(const char* state, int maxBatchedCalls) {
  SCOPED_TRACE(state);
  Frame batched = Render(false);
  Frame unbatched = Render(true);
  Frame again = Render(false);
  ASSERT_EQ(batched.rgba.size(), unbatched.rgba.size());
  size_t differ = 0, first = 0;
  for (size_t i = 0; i < batched.rgba.size(); i += 4)
    if (memcmp(&batched.rgba[i], &unbatched.rgba[i], 4) != 0 && differ++ == 0) first = i / 4;
  int w = hx_graphics_device->Width();
  EXPECT_EQ(differ, 0u) << differ << " pixels differ, the first at (" << first % w << ", "
                        << hx_graphics_device->Height() - 1 - static_cast<int>(first / w) << ") from the top left";
  EXPECT_TRUE(batched.rgba == again.rgba) << "the same list drew differently twice";
  // A real frame: many commands, a picture with many colours; the
  // unbatched pass really submitted every command on its own.
  EXPECT_GT(batched.commands, 50);
  EXPECT_GT(DistinctColours(batched.rgba), 40);
  EXPECT_GE(unbatched.batches, batched.commands);
  EXPECT_LE(batched.drawCalls, maxBatchedCalls);
  printf("%-10s %4d commands: batched %3lld draw calls, %3lld binds; unbatched %4lld draw calls, %4lld binds\n", state,
         batched.commands, static_cast<long long>(batched.drawCalls), static_cast<long long>(batched.binds),
         static_cast<long long>(unbatched.drawCalls), static_cast<long long>(unbatched.binds));
}

}  // namespace

TEST(GameFrames, BatchedAndUnbatchedDrawTheSamePixels) {
  ASSERT_TRUE(StartProcess());
  // Loading: every pass renders, as the main loop does.
  for (int i = 0; i < 600 && !(g_app->m_loadStep == 0 && g_app->m_gameMode == 1 && g_updates > 30); ++i) Pass(true);
  ASSERT_EQ(g_app->m_loadStep, 0) << "the assets did not load";
  ASSERT_EQ(g_app->m_gameMode, 1);
  Passes(120);  // the menu slides in
  ExpectSamePixels("title", 20);

  Tap('N');  // credits
  Passes(60);
  ASSERT_EQ(g_app->m_creditsOpen, 1);
  ExpectSamePixels("credits", 40);
  Tap('N');  // closed again
  Passes(60);
  ASSERT_EQ(g_app->m_creditsOpen, 0);

  Tap(13);  // play
  Passes(30);
  ASSERT_EQ(g_app->m_gameMode, 10);
  // Flap every 16 updates and steer right, then left, until a baddie is
  // landed on and its particles fly.
  int f = 0;
  for (; f < 60 * 60 * 10 && LiveParticles() < 3; ++f) {
    if (f % 16 == 0) Key(32, true);
    if (f % 16 == 3) Key(32, false);
    if (f % 240 == 0) Key(37, false), Key(39, true);
    if (f % 240 == 150) Key(39, false), Key(37, true);
    Pass(f % 60 == 0);
  }
  Key(32, false), Key(37, false), Key(39, false);
  ASSERT_GE(LiveParticles(), 3) << "no particles after " << f << " updates of play";
  ASSERT_EQ(g_app->m_gameMode, 10);
  ExpectSamePixels("play", 20);

  Tap(27);  // pause
  Passes(60);
  ASSERT_EQ(g_app->m_paused, 1);
  ExpectSamePixels("pause", 20);
}
