// Asset loading stages, resolution choice, file names, and the game's sound
// routines on the real audio device (OpenAL Soft, null backend).
#include <AL/al.h>

#include <vector>

#include "game_harness.h"

namespace {

// A real sound of the given length in an OpenAL buffer (the windowless
// test host has no file loaders; the real game loads files end to end).
c_Sound* MakeSound(int frames) {
  std::vector<short> pcm(frames);
  for (int i = 0; i < frames; ++i) pcm[i] = static_cast<short>((i % 50) * 400);
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  alBufferData(buffer, AL_FORMAT_MONO16, pcm.data(), frames * 2, 22050);
  return (new c_Sound())->m_new(new gxtkSample(buffer));
}

gxtkAudio* AudioDevice() {
  static gxtkAudio* dev = [] {
    gxtkAudio* d = new gxtkAudio();
    return d;
  }();
  return dev;
}

}  // namespace

class ShellAssets : public GameHarness {
 protected:
  void TearDown() override {
    hx_audio_device = nullptr;
    hx_app__devWidth = 640;
    hx_app__devHeight = 480;
  }
};

TEST_F(ShellAssets, ResolutionFollowsTheDeviceSize) {
  struct {
    int w, h, divisor;
    float scale;
    const char* path;
  } cases[] = {
      {640, 480, 1, 1.0f, "common/icons.png"},       {800, 600, 1, 1.0f, "common/icons.png"},
      {1280, 720, 2, 0.5f, "common/icons-hd.png"},   {480, 640, 2, 0.5f, "common/icons-hd.png"},
      {1920, 1080, 4, 0.25f, "common/icons-hd2.png"}, {630, 1240, 4, 0.25f, "common/icons-hd2.png"},
      {1642, 100, 4, 0.25f, "common/icons-hd2.png"},
  };
  for (auto& c : cases) {
    hx_app__devWidth = c.w;
    hx_app__devHeight = c.h;
    app->p_Reload();
    EXPECT_EQ(app->m_gfxDivisor, c.divisor) << c.w << "x" << c.h;
    EXPECT_EQ(app->m_imgScale, c.scale) << c.w << "x" << c.h;
    EXPECT_EQ(app->p_ImagePath(String("common/icons")).ToUtf8(), c.path);
    // The logo records its frame size in device pixels, the font its design metrics.
    EXPECT_EQ(app->m_imgInfo[93 * 3], 256 * c.divisor);
    EXPECT_EQ(app->m_imgInfo[93 * 3 + 2], 1);
    EXPECT_EQ(app->m_imgInfo[90 * 3], 7);
    EXPECT_EQ(app->m_imgInfo[90 * 3 + 1], 10);
    EXPECT_EQ(app->m_imgInfo[90 * 3 + 2], 128);
    EXPECT_EQ(app->m_fontSlot, 90);
    EXPECT_EQ(app->m_loadStep, 1);
  }
  EXPECT_EQ(app->m_clsA, 1);
  EXPECT_EQ(app->m_clsR, 0);
}

TEST_F(ShellAssets, SoundFileNamesHaveThreeDigits) {
  EXPECT_EQ(app->p_SfxPath(7).ToUtf8(), "sfx/007.wav");
  EXPECT_EQ(app->p_SfxPath(42).ToUtf8(), "sfx/042.wav");
  EXPECT_EQ(app->p_SfxPath(96).ToUtf8(), "sfx/096.wav");
  EXPECT_EQ(app->p_SfxPath(100).ToUtf8(), "sfx/100.wav");
}

TEST_F(ShellAssets, LoaderRunsTwentyFourStepsAndPlaysTheJingleOnce) {
  app->m_options[5] = 1;
  app->m_sfxChannel = 0;
  for (int pass = 0; pass < 2; ++pass) {
    app->m_loadStep = 1;
    std::vector<int> seen;
    for (int i = 0; i < 25; ++i) {
      int before = app->m_sfxChannel;
      app->p_Loader();
      seen.push_back(app->m_loadStep);
      // Only step 4 of the first pass plays a sound.
      EXPECT_EQ(app->m_sfxChannel - before, (pass == 0 && i == 3) ? 1 : 0) << "pass " << pass << " step " << i + 1;
      EXPECT_EQ(app->m_clsB, 80);  // every step shows the loading screen
    }
    for (int i = 0; i < 24; ++i) EXPECT_EQ(seen[i], i + 2);
    EXPECT_EQ(seen[24], 0);
    EXPECT_EQ(app->m_jinglePlayed, 1);
    // Every image slot of the table got its measurements, though no file loaded.
    EXPECT_EQ(app->m_imgInfo[5 * 3], 128);
    EXPECT_EQ(app->m_imgInfo[96 * 3 + 2], 256);
    EXPECT_EQ(app->m_images[5], nullptr);
  }
}

TEST_F(ShellAssets, MissingSoundsLeaveTheirSlotsEmpty) {
  // The windowless test host does not map "quoll://data/"; the file names
  // are checked above and the real game loads through them end to end.
  hx_audio_SetAudioDevice(AudioDevice());
  app->p_LoadSFX(8);
  app->p_LoadSFX(100);  // no slot: ignored
  app->p_LoadSFX(-1);
  EXPECT_EQ(app->m_sounds[8], nullptr);
  EXPECT_EQ(app->m_sounds[100 - 1], nullptr);
}

TEST_F(ShellAssets, EffectsRotateOverTwentyFourChannelsAndObeyTheSoundMode) {
  gxtkAudio* dev = AudioDevice();
  hx_audio_SetAudioDevice(dev);
  gc_assign(app->m_sounds[7], MakeSound(22050 * 3));

  // Music only: effects neither play nor take a slot.
  app->m_options[5] = 3;
  app->m_sfxChannel = 0;
  app->p_PlaySFX(7);
  EXPECT_EQ(app->m_sfxChannel, 0);
  EXPECT_EQ(dev->ChannelState(1), 0);

  app->m_options[5] = 2;
  app->p_PlaySFX(7, 1, 0.5f, 0);
  EXPECT_EQ(app->m_sfxChannel, 1);
  EXPECT_EQ(dev->ChannelState(1), 1);
  // An empty slot plays nothing but still moves on.
  for (int i = 2; i <= 24; ++i) app->p_PlaySFX(8);
  EXPECT_EQ(app->m_sfxChannel, 0);
  EXPECT_EQ(dev->ChannelState(1), 1);
  // The 25th effect reuses slot 1 and cuts what still plays there.
  app->p_PlaySFX(8);
  EXPECT_EQ(app->m_sfxChannel, 1);
  EXPECT_EQ(dev->ChannelState(1), 0);
  // A damaged slot value starts over.
  app->m_sfxChannel = -7;
  app->p_PlaySFX(8);
  EXPECT_EQ(app->m_sfxChannel, 0);
}

TEST_F(ShellAssets, TunesObeyTheSoundMode) {
  hx_audio_SetAudioDevice(AudioDevice());
  struct {
    int mode, musicOn;
  } cases[] = {{0, 0}, {1, 1}, {2, 0}, {3, 1}};
  for (auto& c : cases) {
    app->m_options[5] = c.mode;
    app->m_musicOn = 1;  // a tune was playing
    app->p_PlayTune(String("no-such-tune"), 1);
    EXPECT_EQ(app->m_musicOn, c.musicOn) << "mode " << c.mode;
  }
  app->p_StopTune();
  EXPECT_EQ(app->m_musicOn, 0);
}
