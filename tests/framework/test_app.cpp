// App module and game delegate on the real host, graphics and audio
// devices: device creation, the update/render brackets, suspend/resume
// order, display modes, the ways out, and the collector's roots.
#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdlib>
#include <string>
#include <vector>
#include "framework/hx_framework.h"
#include "host/hx_glfw_game.h"
#include "tests/framework/fw_wav.h"
#include <GL/gl.h>

namespace {

std::vector<std::string> g_log;

// The real desktop host with a scripted device size and display modes.
class ScriptHost : public HxGlfwGame {
 public:
  bool scriptSize = false;
  int w = 0, h = 0;
  bool scriptModes = false;
  std::vector<std::pair<int, int>> modes;
  bool hasDesktop = false;
  int deskW = 0, deskH = 0;

  int GetDeviceWidth() override {
    g_log.push_back("host.width");
    return scriptSize ? w : HxGlfwGame::GetDeviceWidth();
  }
  int GetDeviceHeight() override {
    g_log.push_back("host.height");
    return scriptSize ? h : HxGlfwGame::GetDeviceHeight();
  }
  Array<HxDisplayMode*> GetDisplayModes() override {
    if (!scriptModes) return HxGlfwGame::GetDisplayModes();
    Array<HxDisplayMode*> out(static_cast<int>(modes.size()));
    for (size_t i = 0; i < modes.size(); ++i) {
      HxDisplayMode* m = new HxDisplayMode;
      m->width = modes[i].first;
      m->height = modes[i].second;
      out[static_cast<int>(i)] = m;
    }
    return out;
  }
  HxDisplayMode* GetDesktopMode() override {
    if (!scriptModes) return HxGlfwGame::GetDesktopMode();
    if (!hasDesktop) return nullptr;
    HxDisplayMode* m = new HxDisplayMode;
    m->width = deskW;
    m->height = deskH;
    return m;
  }
};

struct TestApp : c_App {
  c_Sound* m_sound = nullptr;
  int creates = 0, updates = 0, renders = 0;
  int seenWidth = 0;
  int keyHit65 = 0;
  bool devicesAtCreate = false;
  bool renderDeviceAtRender = false;
  int garbagePerUpdate = 0;

  TestApp* m_new() {
    c_App::m_new();
    return this;
  }
  int p_OnCreate() override {
    ++creates;
    g_log.push_back("app.create");
    devicesAtCreate = hx_graphics_device && hx_audio_device && hx_input_device &&
                      hx_graphics_device == hx_app__delegate->m__graphics &&
                      hx_audio_device == hx_app__delegate->m__audio && hx_input_device == hx_app__delegate->m__input;
    return 0;
  }
  int p_OnUpdate() override {
    ++updates;
    seenWidth = hx_app_DeviceWidth();
    keyHit65 = hx_input_KeyHit(65);
    for (int i = 0; i < garbagePerUpdate; ++i) (void)Array<int>(4096);  // 16 KiB each
    return 0;
  }
  int p_OnRender() override {
    ++renders;
    seenWidth = hx_app_DeviceWidth();
    renderDeviceAtRender = hx_graphics_renderDevice == hx_app__delegate->m__graphics;
    hx_app__delegate->m__graphics->Cls(0, 255, 0);
    return 0;
  }
  int p_OnSuspend() override {
    g_log.push_back("app.suspend:" + SoundState());
    return 0;
  }
  int p_OnResume() override {
    g_log.push_back("app.resume:" + SoundState());
    return 0;
  }
  // State of the OpenAL source on channel 0.
  static std::string SoundState() {
    ALint state = 0;
    alGetSourcei(hx_audio_device->m_channels[0].m_source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING ? "playing" : state == AL_PAUSED ? "paused" : "other";
  }
  void mark() override {
    c_App::mark();
    gc_mark_q(m_sound);
  }
};

bool g_haveDisplay = false;

class FwApp : public ::testing::Test {
 protected:
  ScriptHost* host = nullptr;
  TestApp* app = nullptr;

  void SetUp() override {
    if (!g_haveDisplay) GTEST_SKIP() << "needs an X display";
    g_log.clear();
    host = new ScriptHost;
    hx_framework_Init();
    app = (new TestApp)->m_new();
    host->SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
  }
  void Start() { host->StartGame(); }
};

TEST_F(FwApp, EnumDisplayModesDedupesAndFallsBackToTheDeviceSize) {
  struct Case {
    std::vector<std::pair<int, int>> modes;
    bool desktop;
    std::vector<std::pair<int, int>> expected;
    std::pair<int, int> expectedDesktop;
  };
  const Case cases[] = {
      // The same size at two colour depths appears once, where it first appeared.
      {{{800, 600}, {640, 480}, {800, 600}, {1024, 768}, {640, 480}},
       true,
       {{800, 600}, {640, 480}, {1024, 768}},
       {1920, 1080}},
      // No desktop mode: the cached device size stands in.
      {{{640, 480}}, false, {{640, 480}}, {320, 200}},
      // No modes at all: the shared empty array.
      {{}, false, {}, {320, 200}},
      // Width and height are not confused by the key.
      {{{480, 640}, {640, 480}}, true, {{480, 640}, {640, 480}}, {1920, 1080}},
  };
  host->scriptSize = true;
  host->w = 320;
  host->h = 200;
  hx_app_ValidateDeviceWindow(false);
  host->scriptModes = true;
  host->deskW = 1920;
  host->deskH = 1080;
  for (const Case& c : cases) {
    host->modes = c.modes;
    host->hasDesktop = c.desktop;
    hx_app_EnumDisplayModes();
    ASSERT_EQ(hx_app__displayModes.Length(), static_cast<int>(c.expected.size()));
    if (c.expected.empty()) {
      EXPECT_TRUE(hx_app__displayModes.IsNullRep());
    }
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(hx_app__displayModes[static_cast<int>(i)]->width, c.expected[i].first);
      EXPECT_EQ(hx_app__displayModes[static_cast<int>(i)]->height, c.expected[i].second);
    }
    ASSERT_NE(hx_app__desktopMode, nullptr);
    EXPECT_EQ(hx_app__desktopMode->width, c.expectedDesktop.first);
    EXPECT_EQ(hx_app__desktopMode->height, c.expectedDesktop.second);
  }
}

TEST_F(FwApp, StartGameCreatesTheDevicesBeforeOnCreate) {
  host->scriptSize = true;
  host->w = 640;
  host->h = 480;
  Start();
  EXPECT_EQ(app->creates, 1);
  EXPECT_TRUE(app->devicesAtCreate);
  EXPECT_EQ(hx_app_DeviceWidth(), 640);
  EXPECT_EQ(hx_app_DeviceHeight(), 480);
  ASSERT_NE(hx_app__desktopMode, nullptr);  // real GLFW modes under the X server
  EXPECT_GT(hx_app__desktopMode->width, 0);
  // Width asked before height, both before the game's creation.
  std::vector<std::string> expected = {"host.width", "host.height", "app.create"};
  EXPECT_EQ(g_log, expected);
  host->StartGame();  // the host starts once
  EXPECT_EQ(app->creates, 1);
  EXPECT_EQ(hx_graphics_context->m_firstChar, 32);
}

TEST_F(FwApp, DeviceSizeChangesAreSeenAtTheNextUpdateOrRender) {
  host->scriptSize = true;
  host->w = 640;
  host->h = 480;
  Start();
  host->w = 800;
  EXPECT_EQ(hx_app_DeviceWidth(), 640);
  host->UpdateGame();
  EXPECT_EQ(app->seenWidth, 800);
  host->w = 1024;
  EXPECT_EQ(hx_app_DeviceWidth(), 800);
  host->RenderGame();
  EXPECT_EQ(app->seenWidth, 1024);
  EXPECT_EQ(app->renders, 1);
  EXPECT_TRUE(app->renderDeviceAtRender);
  EXPECT_EQ(hx_graphics_renderDevice, nullptr);  // only while rendering
  // The game's clear reached the real framebuffer.
  unsigned char px[4] = {0, 0, 0, 0};
  glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[1], 255);
  EXPECT_EQ(px[2], 0);
}

TEST_F(FwApp, UpdateSeesHitsOfTheEventStepOnlyOnce) {
  Start();
  host->KeyEvent(HX_EVENT_KEYDOWN, 65);
  host->KeyEvent(HX_EVENT_KEYUP, 65);
  host->UpdateGame();
  EXPECT_EQ(app->keyHit65, 1);
  host->UpdateGame();  // a catch-up update of the same pass sees none
  EXPECT_EQ(app->keyHit65, 0);
  EXPECT_EQ(app->updates, 2);
}

TEST_F(FwApp, SuspendCallsTheAppBeforeAudioAndResumeAudioBeforeTheApp) {
  Start();
  ASSERT_NE(hx_audio_device->m_device, nullptr) << "OpenAL device (ALSOFT_DRIVERS=null)";
  std::string wav = WriteTestWav("/tmp/fw_app_test_" + std::to_string(getpid()) + ".wav");
  gc_assign(app->m_sound, hx_audio_LoadSound(String(wav.c_str())));
  ASSERT_NE(app->m_sound, nullptr);
  hx_audio_PlaySound(app->m_sound, 0, 1);  // looped, so it keeps playing
  ASSERT_EQ(TestApp::SoundState(), "playing");
  g_log.clear();
  host->SuspendGame();
  EXPECT_EQ(TestApp::SoundState(), "paused");
  host->ResumeGame();
  EXPECT_EQ(TestApp::SoundState(), "playing");
  std::vector<std::string> expected = {"app.suspend:playing", "app.resume:playing"};
  EXPECT_EQ(g_log, expected);
  hx_audio_StopChannel(0);
  unlink(wav.c_str());
}

TEST_F(FwApp, ASecondAppIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        if (!freopen("/dev/null", "r", stdin)) exit(3);
        (new TestApp)->m_new();
        exit(4);
      },
      ::testing::ExitedWithCode(255), "");
  // The report names the cause (sent to stderr here so the matcher sees it).
  EXPECT_EXIT(
      {
        if (!freopen("/dev/null", "r", stdin) || dup2(2, 1) < 0) exit(3);
        (new TestApp)->m_new();
        exit(4);
      },
      ::testing::ExitedWithCode(255), "Quoll Runtime Error : App has already been created");
}

TEST_F(FwApp, CloseAndBackKeysEndWithStatusZeroEvenWhenAlreadyDown) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Start();
  struct Case {
    int key;
    bool alreadyDown;
  };
  const Case cases[] = {{432, false}, {432, true}, {416, false}, {416, true}};
  for (const Case& c : cases) {
    EXPECT_EXIT(
        {
          if (c.alreadyDown) hx_input_device->m__keyDown[c.key] = true;
          host->KeyEvent(HX_EVENT_KEYDOWN, c.key);
          exit(5);
        },
        ::testing::ExitedWithCode(0), "")
        << "key " << c.key << (c.alreadyDown ? " already down" : "");
  }
  // Release and characters do not end the program; other keys near the
  // close key neither.
  host->KeyEvent(HX_EVENT_KEYUP, 432);
  host->KeyEvent(HX_EVENT_KEYCHAR, 432);
  host->KeyEvent(HX_EVENT_KEYDOWN, 400);
  host->KeyEvent(HX_EVENT_KEYDOWN, 448);
  EXPECT_TRUE(hx_input_KeyDown(400));
}

// A held sound, the devices and the input arrays survive many completed
// collector cycles while frames run, and the heap stays bounded.
c_Sound* g_heldSound = nullptr;
void MarkGameRoots() { gc_mark_q(g_heldSound); }

TEST_F(FwApp, CompletedCyclesNeverFreeLiveDevicesImagesOrSounds) {
  Start();
  hx_framework_GameRoots = MarkGameRoots;
  std::string wav = WriteTestWav("/tmp/fw_app_gc_" + std::to_string(getpid()) + ".wav");
  gc_assign(g_heldSound, hx_audio_LoadSound(String(wav.c_str())));
  ASSERT_NE(g_heldSound, nullptr);
  gxtkSample* sample = g_heldSound->m_sample;
  gxtkGraphics* gfx = hx_app__delegate->m__graphics;
  gxtkAudio* audio = hx_app__delegate->m__audio;
  c_InputDevice* input = hx_app__delegate->m__input;
  c_GraphicsContext* context = hx_graphics_context;
  c_DisplayMode* desktop = hx_app__desktopMode;
  app->garbagePerUpdate = 16;  // 256 KiB per update: a full cycle every ~32 updates
  int flips = 0;
  int markbit = gc_markbit;
  int maxAlloced = 0;
  for (int frame = 0; frame < 400; ++frame) {
    host->KeyEvent(HX_EVENT_KEYDOWN, 65);
    host->UpdateGame();
    host->KeyEvent(HX_EVENT_KEYUP, 65);
    host->RenderGame();
    if (gc_markbit != markbit) ++flips, markbit = gc_markbit;
    if (gc_alloced_bytes > maxAlloced) maxAlloced = gc_alloced_bytes;
    ASSERT_EQ(app->keyHit65, 1) << "frame " << frame;
    ASSERT_EQ(hx_app__delegate->m__graphics, gfx);
    ASSERT_EQ(g_heldSound->m_sample, sample);
    if (frame % 50 == 0) hx_audio_PlaySound(g_heldSound, 1, 0);
  }
  EXPECT_GE(flips, 8) << "completed cycles";
  EXPECT_LT(maxAlloced, 48 * 1024 * 1024) << "heap must stay bounded";
  // Everything reachable from the framework's globals is intact.
  EXPECT_EQ(hx_app__app, app);
  EXPECT_EQ(hx_audio_device, audio);
  EXPECT_EQ(hx_input_device, input);
  EXPECT_EQ(hx_graphics_context, context);
  EXPECT_EQ(hx_app__desktopMode, desktop);
  EXPECT_EQ(input->m__keyDown.Length(), 512);
  EXPECT_EQ(input->m__joyStates[3]->m_buttons.Length(), 32);
  EXPECT_EQ(context->m_matrixStack.Length(), 192);
  EXPECT_EQ(hx_asyncevent__sources->p_Length2(), 0);
  EXPECT_EQ(hx_audio_PlaySound(g_heldSound, 2, 0), 0);
  EXPECT_NE(sample->m_buffer, 0u);
  EXPECT_EQ(app->renders, 400);
  hx_framework_GameRoots = nullptr;
  g_heldSound = nullptr;
  unlink(wav.c_str());
}

}  // namespace

// The display is opened once for the whole program (glfwInit), as the
// host's entry does.
struct GlfwEnv : ::testing::Environment {
  void SetUp() override { g_haveDisplay = getenv("DISPLAY") && glfw2::Init(); }
};
static ::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new GlfwEnv);
