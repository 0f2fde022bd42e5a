// The game-facing audio module over the real device (OpenAL Soft, null
// backend) and the real host file loading: paths go into ./data/.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "framework/hx_audio.h"
#include "host/hx_glfw_game.h"
#include "tests/audio/hx_test_sounds.h"

namespace {

c_Sound* g_sound = nullptr;

void MarkTestRoots() {
  gc_mark_q(hx_audio_device);
  gc_mark_q(g_sound);
}

class AudioModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/zelk-audio-module-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    ASSERT_EQ(chdir(tmpl), 0);
    ASSERT_EQ(system("mkdir -p data/sfx"), 0);
    ASSERT_TRUE(WriteFile("data/sfx/001.wav", PcmWav(1, 16, 22050, SineBytes(1, 16, 22050, 440, 1.0, 0.5))));
    ASSERT_TRUE(WriteFile("data/sfx/tune.ogg", OggSine(2, 22050, 220, 0.5)));
    ASSERT_TRUE(WriteFile("data/sfx/broken.ogg", Bytes(500, 0x11)));
    new HxGlfwGame();
    gc_mark_roots = MarkTestRoots;
    hx_audio_SetAudioDevice(new gxtkAudio());
  }
  gxtkAudio* dev() { return hx_audio_device; }
};

TEST_F(AudioModule, LoadSoundLooksInTheDataFolder) {
  c_Sound* s = hx_audio_LoadSound(String("sfx/001.wav"));
  ASSERT_NE(s, nullptr);
  ASSERT_NE(s->m_sample, nullptr);
  EXPECT_NE(s->m_sample->m_buffer, 0u);
  EXPECT_EQ(hx_audio_LoadSound(String("sfx/002.wav")), nullptr) << "missing: no empty sound";
  EXPECT_EQ(hx_audio_LoadSound(String("sfx/broken.ogg")), nullptr);
}

TEST_F(AudioModule, PlaySoundOnAChannel) {
  gc_assign(g_sound, hx_audio_LoadSound(String("sfx/001.wav")));
  ASSERT_NE(g_sound, nullptr);
  EXPECT_EQ(hx_audio_PlaySound(g_sound, 4, 1), 0);
  EXPECT_EQ(dev()->ChannelState(4), 1);
  EXPECT_EQ(dev()->m_channels[4].m_sample, g_sound->m_sample);
  hx_audio_SetChannelVolume(4, 0.5f);
  hx_audio_SetChannelRate(4, 2.0f);
  hx_audio_SetChannelPan(4, 0.0f);
  float gain = 0, pitch = 0, x = 9, y = 9, z = 9;
  ALuint src = dev()->m_channels[4].m_source;
  alGetSourcef(src, AL_GAIN, &gain);
  alGetSourcef(src, AL_PITCH, &pitch);
  alGetSource3f(src, AL_POSITION, &x, &y, &z);
  EXPECT_FLOAT_EQ(gain, 0.5f);
  EXPECT_FLOAT_EQ(pitch, 2.0f);
  EXPECT_FLOAT_EQ(z, -1.0f);
  EXPECT_EQ(hx_audio_StopChannel(4), 0);
  EXPECT_EQ(dev()->ChannelState(4), 0);
}

TEST_F(AudioModule, NullAndEmptySoundsPlayNothing) {
  EXPECT_EQ(hx_audio_PlaySound(nullptr, 5, 0), 0);
  EXPECT_EQ(hx_audio_PlaySound((new c_Sound())->m_new2(), 5, 0), 0);
  EXPECT_EQ(dev()->ChannelState(5), 0);
  EXPECT_EQ(dev()->m_channels[5].m_source, 0u) << "not even a source was made";
}

TEST_F(AudioModule, MusicStopsEvenWhenTheNewFileFails) {
  EXPECT_EQ(hx_audio_PlayMusic(String("sfx/tune.ogg"), 1), 0);
  EXPECT_EQ(dev()->MusicState(), 1);
  hx_audio_PauseMusic();
  EXPECT_EQ(dev()->MusicState(), 2);
  hx_audio_ResumeMusic();
  EXPECT_EQ(dev()->MusicState(), 1);
  EXPECT_EQ(hx_audio_PlayMusic(String("sfx/broken.ogg"), 1), -1);
  EXPECT_EQ(dev()->MusicState(), 0);
  EXPECT_EQ(hx_audio_PlayMusic(String("sfx/tune.ogg"), 0), 0);
  EXPECT_EQ(hx_audio_StopMusic(), 0);
  EXPECT_EQ(dev()->MusicState(), 0);
}

// Dropping a sound never cuts it short: the device keeps the sample while
// it plays; the sound's own reference goes with the sound.
TEST_F(AudioModule, DroppedSoundKeepsPlaying) {
  c_Sound* s = hx_audio_LoadSound(String("sfx/001.wav"));
  gxtkSample* sample = s->m_sample;
  hx_audio_PlaySound(s, 6, 1);
  s = nullptr;
  testing::internal::CaptureStdout();
  gc_mark();
  gc_collect_all();
  gc_collect_all();
  gc_flush_free(INT_MAX);
  fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("Discarding sample"), std::string::npos);
  EXPECT_NE(sample->m_buffer, 0u);
  EXPECT_EQ(dev()->ChannelState(6), 1);
  hx_audio_StopChannel(6);
}

TEST(AudioModuleNoDevice, CallsAreQuietNoOps) {
  gxtkAudio* saved = hx_audio_device;
  hx_audio_SetAudioDevice(nullptr);
  EXPECT_EQ(hx_audio_LoadSound(String("sfx/001.wav")), nullptr);
  EXPECT_EQ(hx_audio_PlayMusic(String("sfx/tune.ogg"), 1), -1);
  EXPECT_EQ(hx_audio_PlaySound(nullptr, 0, 0), 0);
  EXPECT_EQ(hx_audio_StopChannel(0), 0);
  EXPECT_EQ(hx_audio_SetChannelVolume(0, 1), 0);
  EXPECT_EQ(hx_audio_SetChannelPan(0, 1), 0);
  EXPECT_EQ(hx_audio_SetChannelRate(0, 1), 0);
  EXPECT_EQ(hx_audio_StopMusic(), 0);
  EXPECT_EQ(hx_audio_PauseMusic(), 0);
  EXPECT_EQ(hx_audio_ResumeMusic(), 0);
  hx_audio_SetAudioDevice(saved);
}

}  // namespace
