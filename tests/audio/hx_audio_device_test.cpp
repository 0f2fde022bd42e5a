// The audio device on real OpenAL Soft. Each suite needs its own OpenAL
// configuration (see CMakeLists.txt): AudioDevice and AudioOpenOnFirstUse
// run on the null backend,
// AudioSourceLimit with only four sources, AudioWaveOut on the wave backend
// writing a file, AudioNoDevice with no usable backend at all.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "audio/hx_audio_device.h"
#include "host/hx_glfw_game.h"
#include "tests/audio/hx_test_sounds.h"

namespace {

gxtkAudio* g_device = nullptr;
gxtkSample* g_kept[8] = {};  // samples the test itself holds on to

void MarkTestRoots() {
  gc_mark_q(g_device);
  for (gxtkSample* s : g_kept) gc_mark_q(s);
}

// The sound files every test can load, in a fresh folder.
std::string g_dir;
std::string PathOf(const char* name) { return g_dir + "/" + name; }

void MakeFiles() {
  char tmpl[] = "/tmp/zelk-audio-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  g_dir = tmpl;
  ASSERT_TRUE(WriteFile(PathOf("tone.wav"), PcmWav(1, 16, 44100, SineBytes(1, 16, 44100, 440, 2.0, 0.5))));
  ASSERT_TRUE(WriteFile(PathOf("short.wav"), PcmWav(1, 8, 22050, SineBytes(1, 8, 22050, 440, 0.03, 0.5))));
  ASSERT_TRUE(WriteFile(PathOf("music.ogg"), OggSine(2, 22050, 220, 1.0)));
  ASSERT_TRUE(WriteFile(PathOf("bad.ogg"), Bytes(3000, 0x3c)));
}

// One host and one device per process, as in the game.
HxGlfwGame* g_game = nullptr;
gxtkAudio* Device() {
  if (!g_device) {
    g_game = new HxGlfwGame();
    gc_mark_roots = MarkTestRoots;
    gxtkAudio* device = new gxtkAudio();
    gc_assign(g_device, device);
    MakeFiles();
  }
  return g_device;
}

// Runs the whole collector cycle and then the destructors of what it freed.
void CollectEverything() {
  gc_mark();
  gc_collect_all();
  gc_collect_all();
  gc_flush_free(INT_MAX);
  fflush(stdout);
}

ALint SourceState(ALuint source) {
  ALint state = 0;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  return state;
}
ALint SourceInt(ALuint source, ALenum param) {
  ALint v = -99;
  alGetSourcei(source, param, &v);
  return v;
}

bool WaitForStop(ALuint source, int ms = 3000) {
  for (int waited = 0; waited < ms; waited += 5) {
    if (SourceState(source) == AL_STOPPED) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

gxtkSample* Load(const char* name) { return Device()->LoadSample(String(PathOf(name).c_str())); }

class AudioDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    dev = Device();
    ASSERT_NE(dev->m_context, nullptr) << "the null backend must open";
    for (int ch = 0; ch < HX_AUDIO_CHANNELS; ++ch) dev->StopChannel(ch);
  }
  gxtkAudio* dev = nullptr;
};

TEST_F(AudioDevice, StartsWithOnlyTheMusicSource) {
  EXPECT_EQ(gxtkAudio::audio, dev);
  EXPECT_NE(dev->m_device, nullptr);
  EXPECT_NE(dev->m_channels[32].m_source, 0u);
  for (int ch = 0; ch < 32; ++ch) EXPECT_EQ(dev->m_channels[ch].m_source, 0u) << ch;
  EXPECT_EQ(alGetInteger(AL_DISTANCE_MODEL), AL_NONE);
}

TEST_F(AudioDevice, LoadSampleUploadsTheDecodedSound) {
  struct Case {
    const char* name;
    Bytes file;
    int bits, channels, hertz, bytes;  // bytes 0: no sample
  } cases[] = {
      {"m8.wav", PcmWav(1, 8, 11025, Bytes(300, 128)), 8, 1, 11025, 300},
      {"s8.wav", PcmWav(2, 8, 22050, Bytes(300, 128)), 8, 2, 22050, 300},
      {"m16.wav", PcmWav(1, 16, 44100, Bytes(300, 0)), 16, 1, 44100, 300},
      {"S16.WAV", PcmWav(2, 16, 48000, Bytes(300, 0)), 16, 2, 48000, 300},
      {"mono.ogg", OggSine(1, 22050, 440, 0.1), 16, 1, 22050, 2 * 2205},
      // OpenAL plays only mono and stereo, 8 and 16 bits.
      {"m24.wav", PcmWav(1, 24, 44100, Bytes(300, 0)), 0, 0, 0, 0},
      {"quad.wav", PcmWav(4, 16, 44100, Bytes(320, 0)), 0, 0, 0, 0},
      {"song.mp3", PcmWav(1, 8, 11025, Bytes(300, 128)), 0, 0, 0, 0},
      {"broken.wav", Bytes(40, 'x'), 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteFile(PathOf(c.name), c.file));
    gxtkSample* s = Load(c.name);
    if (c.bytes == 0) {
      EXPECT_EQ(s, nullptr);
      continue;
    }
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(alIsBuffer(s->m_buffer));
    ALint v = 0;
    alGetBufferi(s->m_buffer, AL_SIZE, &v);
    EXPECT_EQ(v, c.bytes);
    alGetBufferi(s->m_buffer, AL_BITS, &v);
    EXPECT_EQ(v, c.bits);
    alGetBufferi(s->m_buffer, AL_CHANNELS, &v);
    EXPECT_EQ(v, c.channels);
    alGetBufferi(s->m_buffer, AL_FREQUENCY, &v);
    EXPECT_EQ(v, c.hertz);
  }
  EXPECT_EQ(Load("missing.wav"), nullptr);
}

// The host's loader closes the file whatever the extension.
TEST_F(AudioDevice, LoadingClosesTheFile) {
  auto openFiles = [] {
    int n = 0;
    for (int fd = 0; fd < 1024; ++fd) n += fcntl(fd, F_GETFD) != -1;
    return n;
  };
  ASSERT_TRUE(WriteFile(PathOf("x.mp3"), PcmWav(1, 8, 11025, Bytes(30, 128))));
  int before = openFiles();
  EXPECT_EQ(Load("x.mp3"), nullptr);
  EXPECT_EQ(Load("bad.ogg"), nullptr);
  EXPECT_NE(Load("short.wav"), nullptr);
  EXPECT_EQ(openFiles(), before);
}

TEST_F(AudioDevice, ChannelStateTransitions) {
  gxtkSample* s = Load("tone.wav");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(dev->ChannelState(5), 0);
  EXPECT_EQ(dev->PlaySample(s, 5, 1), 0);
  ALuint src = dev->m_channels[5].m_source;
  ASSERT_NE(src, 0u);
  EXPECT_EQ(dev->ChannelState(5), 1);
  EXPECT_EQ(SourceState(src), AL_PLAYING);
  EXPECT_EQ(SourceInt(src, AL_BUFFER), static_cast<ALint>(s->m_buffer));
  EXPECT_EQ(dev->m_channels[5].m_sample, s);

  dev->PauseChannel(5);
  EXPECT_EQ(dev->ChannelState(5), 2);
  EXPECT_EQ(SourceState(src), AL_PAUSED);
  dev->PauseChannel(5);  // only a playing channel pauses
  EXPECT_EQ(dev->ChannelState(5), 2);
  dev->ResumeChannel(5);
  EXPECT_EQ(dev->ChannelState(5), 1);
  EXPECT_EQ(SourceState(src), AL_PLAYING);
  dev->StopChannel(5);
  EXPECT_EQ(dev->ChannelState(5), 0);
  EXPECT_EQ(SourceState(src), AL_STOPPED);
  dev->ResumeChannel(5);  // only a paused channel resumes
  EXPECT_EQ(SourceState(src), AL_STOPPED);
  EXPECT_EQ(dev->m_channels[5].m_sample, s) << "the sample stays after the stop";
  EXPECT_EQ(dev->m_channels[5].m_source, src) << "the channel keeps its source";
}

TEST_F(AudioDevice, AnyNonZeroFlagLoops) {
  gxtkSample* s = Load("short.wav");
  for (int flags : {0, 1, 2, -1}) {
    dev->PlaySample(s, 6, flags);
    EXPECT_EQ(SourceInt(dev->m_channels[6].m_source, AL_LOOPING), flags ? 1 : 0) << flags;
    EXPECT_EQ(dev->m_channels[6].m_flags, flags);
  }
}

TEST_F(AudioDevice, FinishedSampleStaysPlayingUntilAsked) {
  gxtkSample* s = Load("short.wav");
  ASSERT_EQ(dev->PlaySample(s, 0, 0), 0);
  ASSERT_TRUE(WaitForStop(dev->m_channels[0].m_source));
  EXPECT_EQ(dev->m_channels[0].m_state, 1);
  EXPECT_EQ(dev->ChannelState(0), 0);
  EXPECT_EQ(dev->m_channels[0].m_state, 0);
}

TEST_F(AudioDevice, PausingAnEndedSampleMakesTheChannelIdle) {
  gxtkSample* s = Load("short.wav");
  ASSERT_EQ(dev->PlaySample(s, 1, 0), 0);
  ASSERT_TRUE(WaitForStop(dev->m_channels[1].m_source));
  dev->PauseChannel(1);
  EXPECT_EQ(dev->m_channels[1].m_state, 0);
  dev->ResumeChannel(1);
  EXPECT_EQ(dev->m_channels[1].m_state, 0);
  EXPECT_EQ(SourceState(dev->m_channels[1].m_source), AL_STOPPED);
}

TEST_F(AudioDevice, ResumeRestartsOnlyWhatSuspendPaused) {
  gxtkSample* tone = Load("tone.wav");
  gxtkSample* blip = Load("short.wav");
  dev->PlaySample(tone, 0, 1);  // playing
  dev->PlaySample(tone, 1, 1);
  dev->PauseChannel(1);  // paused by the game
  dev->PlaySample(blip, 2, 0);  // runs out while "playing"
  ASSERT_TRUE(WaitForStop(dev->m_channels[2].m_source));
  ALuint s0 = dev->m_channels[0].m_source, s1 = dev->m_channels[1].m_source,
         s2 = dev->m_channels[2].m_source;

  EXPECT_EQ(dev->Suspend(), 0);
  EXPECT_EQ(SourceState(s0), AL_PAUSED);
  EXPECT_EQ(SourceState(s1), AL_PAUSED);
  EXPECT_EQ(SourceState(s2), AL_STOPPED);
  EXPECT_EQ(dev->m_channels[0].m_state, 1) << "suspending leaves the channel states";
  EXPECT_EQ(dev->m_channels[1].m_state, 2);

  EXPECT_EQ(dev->Resume(), 0);
  EXPECT_EQ(SourceState(s0), AL_PLAYING);
  EXPECT_EQ(SourceState(s1), AL_PAUSED);
  EXPECT_EQ(SourceState(s2), AL_STOPPED);
  EXPECT_EQ(dev->ChannelState(1), 2);
}

TEST_F(AudioDevice, PanIsAnAngle) {
  const float pi = 3.14159265f;
  struct Case {
    float pan, x, z;
  } cases[] = {{0, 0, -1}, {pi / 2, 1, 0}, {-pi / 2, -1, 0}, {pi, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pan);
    EXPECT_EQ(dev->SetPan(9, c.pan), 0);
    ALuint src = dev->m_channels[9].m_source;
    ASSERT_NE(src, 0u) << "setting a property gives the channel its source";
    float x = 9, y = 9, z = 9;
    alGetSource3f(src, AL_POSITION, &x, &y, &z);
    EXPECT_NEAR(x, c.x, 1e-6);
    EXPECT_EQ(y, 0.0f);
    EXPECT_NEAR(z, c.z, 1e-6);
  }
}

TEST_F(AudioDevice, VolumeAndRateCarryOverToTheNextSample) {
  gxtkSample* s = Load("short.wav");
  dev->SetVolume(10, 0.25f);
  dev->SetRate(10, 1.5f);
  dev->PlaySample(s, 10, 0);
  float gain = 0, pitch = 0;
  alGetSourcef(dev->m_channels[10].m_source, AL_GAIN, &gain);
  alGetSourcef(dev->m_channels[10].m_source, AL_PITCH, &pitch);
  EXPECT_FLOAT_EQ(gain, 0.25f);
  EXPECT_FLOAT_EQ(pitch, 1.5f);
  dev->SetMusicVolume(0.5f);
  alGetSourcef(dev->m_channels[32].m_source, AL_GAIN, &gain);
  EXPECT_FLOAT_EQ(gain, 0.5f);
  dev->SetMusicVolume(1.0f);
}

TEST_F(AudioDevice, MusicPlaysWholeOnItsOwnChannel) {
  ALuint musicSource = dev->m_channels[32].m_source;
  EXPECT_EQ(dev->PlayMusic(String(PathOf("music.ogg").c_str()), 1), 0);
  EXPECT_EQ(dev->MusicState(), 1);
  EXPECT_EQ(dev->m_channels[32].m_source, musicSource);
  EXPECT_EQ(SourceInt(musicSource, AL_LOOPING), 1);
  ALint size = 0;
  alGetBufferi(dev->m_channels[32].m_sample->m_buffer, AL_SIZE, &size);
  EXPECT_EQ(size, 22050 * 2 * 2) << "the whole file is in one buffer";
  dev->PauseMusic();
  EXPECT_EQ(dev->MusicState(), 2);
  dev->ResumeMusic();
  EXPECT_EQ(dev->MusicState(), 1);

  // A file that cannot be decoded still stops the music that was playing.
  EXPECT_EQ(dev->PlayMusic(String(PathOf("bad.ogg").c_str()), 1), -1);
  EXPECT_EQ(dev->MusicState(), 0);
  EXPECT_EQ(SourceState(musicSource), AL_STOPPED);
  EXPECT_EQ(dev->PlayMusic(String(PathOf("missing.ogg").c_str()), 1), -1);
  dev->StopMusic();
  EXPECT_EQ(dev->MusicState(), 0);
}

TEST_F(AudioDevice, ChannelNumbersOutOfRangeAreIgnored) {
  gxtkSample* s = Load("short.wav");
  for (int ch : {-1, 33, 1000}) {
    EXPECT_EQ(dev->PlaySample(s, ch, 0), -1);
    EXPECT_EQ(dev->ChannelState(ch), 0);
    EXPECT_EQ(dev->StopChannel(ch), 0);
    EXPECT_EQ(dev->PauseChannel(ch), 0);
    EXPECT_EQ(dev->ResumeChannel(ch), 0);
    EXPECT_EQ(dev->SetVolume(ch, 1), 0);
    EXPECT_EQ(dev->SetPan(ch, 1), 0);
    EXPECT_EQ(dev->SetRate(ch, 1), 0);
  }
}

TEST_F(AudioDevice, SoundingSamplesSurviveTheCollector) {
  hx_audio_discarded.clear();
  // Loaded up front: a load after a deletion may get the deleted name back.
  g_kept[0] = Load("short.wav");
  gxtkSample* looped = Load("tone.wav");
  gxtkSample* ended = Load("short.wav");
  const ALuint loopedBuffer = looped->m_buffer, endedBuffer = ended->m_buffer;
  dev->PlaySample(looped, 3, 1);
  dev->PlaySample(ended, 4, 0);
  ASSERT_TRUE(WaitForStop(dev->m_channels[4].m_source));
  looped = ended = nullptr;  // only the channels know them now

  testing::internal::CaptureStdout();
  CollectEverything();
  std::string out = testing::internal::GetCapturedStdout();
  // The ended sample goes, and with it its buffer: the finished source lets
  // go of it. The looping one is kept by the device.
  EXPECT_EQ(out, "Discarding sample\n");
  EXPECT_TRUE(hx_audio_discarded.empty());
  EXPECT_FALSE(alIsBuffer(endedBuffer));
  EXPECT_EQ(SourceState(dev->m_channels[3].m_source), AL_PLAYING);
  EXPECT_TRUE(alIsBuffer(loopedBuffer));

  // Once stopped, the looping sample goes too.
  dev->StopChannel(3);
  testing::internal::CaptureStdout();
  CollectEverything();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Discarding sample\n");
  EXPECT_TRUE(hx_audio_discarded.empty());
  EXPECT_FALSE(alIsBuffer(loopedBuffer));
  EXPECT_EQ(dev->PlaySample(g_kept[0], 7, 0), 0);
  g_kept[0] = nullptr;
}

// A program that loads, plays and allocates nothing more still gets the
// buffer of a dropped sample back: the collector's steps run the sample's
// destructor and the buffer is deleted there.
TEST_F(AudioDevice, DroppedSampleReleasesItsBufferWithoutFurtherWork) {
  hx_audio_discarded.clear();
  gxtkSample* dropped = Load("tone.wav");
  ASSERT_NE(dropped, nullptr);
  const ALuint buffer = dropped->m_buffer;
  dev->PlaySample(dropped, 2, 0);
  dev->StopChannel(2);
  dropped = nullptr;
  // Completing steps, brought on by outside memory as a load would (the
  // play's write barrier kept the sample through the current cycle).
  gc_mark();
  testing::internal::CaptureStdout();
  for (int i = 0; i < 2; ++i) {
    gc_ext_malloced(GC_TRIGGER + 1);
    gc_collect();
  }
  EXPECT_TRUE(alIsBuffer(buffer)) << "the sweep itself destroys nothing";
  for (int i = 0; i < 4 && alIsBuffer(buffer); ++i) gc_collect();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Discarding sample\n");
  EXPECT_FALSE(alIsBuffer(buffer));
  EXPECT_TRUE(hx_audio_discarded.empty());
}

// Every sample object of the collector, live or waiting for its destructor.
int SamplesInTheCollector() {
  int n = 0;
  for (gc_object* list : {&gc_unmarked_list, &gc_queued_list, &gc_marked_list, &gc_free_list}) {
    for (gc_object* p = list->succ; p != list; p = p->succ) n += dynamic_cast<gxtkSample*>(p) ? 1 : 0;
  }
  return n;
}

TEST_F(AudioDevice, SameMusicPlayedAHundredTimesIsDecodedOnce) {
  const String path(PathOf("again.ogg").c_str());
  ASSERT_TRUE(WriteFile(PathOf("again.ogg"), OggSine(2, 22050, 220, 0.5)));
  ASSERT_EQ(dev->PlayMusic(path, 1), 0);
  gxtkSample* first = dev->m_channels[32].m_sample;
  ASSERT_NE(first, nullptr);
  CollectEverything();
  const int samples = SamplesInTheCollector();
  // The file is not read again: a damaged copy in its place changes nothing.
  ASSERT_TRUE(WriteFile(PathOf("again.ogg"), Bytes(3000, 0x3c)));
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(dev->PlayMusic(path, 1), 0) << i;
    EXPECT_EQ(dev->m_channels[32].m_sample, first);
    if (i % 10 == 9) CollectEverything();
  }
  CollectEverything();
  EXPECT_EQ(SamplesInTheCollector(), samples);
  EXPECT_EQ(dev->MusicState(), 1);
  EXPECT_TRUE(alIsBuffer(first->m_buffer));
  // Loading ahead of play is the same held track.
  EXPECT_EQ(dev->LoadMusic(path), 0);
  EXPECT_EQ(dev->m_music, first);

  // Another track takes its place and the first one's buffer goes.
  const ALuint firstBuffer = first->m_buffer;
  EXPECT_EQ(dev->LoadMusic(String(PathOf("music.ogg").c_str())), 0);
  EXPECT_EQ(dev->MusicState(), 1) << "loading ahead does not touch what plays";
  EXPECT_EQ(dev->PlayMusic(String(PathOf("music.ogg").c_str()), 0), 0);
  EXPECT_NE(dev->m_channels[32].m_sample, first);
  first = nullptr;
  CollectEverything();
  EXPECT_FALSE(alIsBuffer(firstBuffer));
  EXPECT_EQ(SamplesInTheCollector(), samples);
  // A track that cannot be loaded keeps the one held.
  gxtkSample* held = dev->m_music;
  EXPECT_EQ(dev->LoadMusic(path), -1);
  EXPECT_EQ(dev->m_music, held);
  dev->StopMusic();
}

// The normal end (hxError of an empty text) closes the OpenAL device: no
// complaint from OpenAL on standard error, status 0, at once.
TEST_F(AudioDevice, NormalEndClosesTheDeviceAtOnce) {
  std::string err = g_dir + "/exit-err.txt";
  std::string cmd = std::string(ZELK_AUDIO_EXIT_CHILD) + " '" + PathOf("tone.wav") + "' 2>'" + err + "'";
  auto t0 = std::chrono::steady_clock::now();
  int status = system(cmd.c_str());
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string text;
  if (FILE* f = fopen(err.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    fclose(f);
  }
  EXPECT_EQ(text, "");
  EXPECT_LT(ms, 2000);
}

TEST_F(AudioDevice, BufferStillPlayingWaitsInTheQueue) {
  hx_audio_discarded.clear();
  g_kept[2] = Load("short.wav");
  g_kept[1] = Load("tone.wav");
  const ALuint buffer = g_kept[1]->m_buffer;
  dev->PlaySample(g_kept[1], 8, 1);
  EXPECT_EQ(g_kept[1]->Discard(), 0);
  EXPECT_EQ(g_kept[1]->m_buffer, 0u);
  EXPECT_EQ(g_kept[1]->Discard(), 0) << "discarding twice queues once";
  ASSERT_EQ(hx_audio_discarded.size(), 1u);

  dev->PlaySample(g_kept[2], 9, 0);  // flush: OpenAL refuses, the name stays queued
  EXPECT_EQ(hx_audio_discarded, std::vector<unsigned int>{buffer});
  EXPECT_TRUE(alIsBuffer(buffer));
  EXPECT_EQ(SourceState(dev->m_channels[8].m_source), AL_PLAYING);

  dev->StopChannel(8);
  dev->PlaySample(g_kept[2], 9, 0);
  EXPECT_TRUE(hx_audio_discarded.empty());
  EXPECT_FALSE(alIsBuffer(buffer));
  g_kept[1] = g_kept[2] = nullptr;
}

// ---- four OpenAL sources in all: the music channel's and three more ----

class AudioSourceLimit : public AudioDevice {};

TEST_F(AudioSourceLimit, IdleChannelsGiveUpTheirSourcesButMusicNever) {
  gxtkSample* tone = Load("tone.wav");
  gxtkSample* blip = Load("short.wav");
  const ALuint music = dev->m_channels[32].m_source;
  ASSERT_NE(music, 0u);
  EXPECT_EQ(dev->MusicState(), 0) << "the music channel is idle, yet never a victim";

  ASSERT_EQ(dev->PlaySample(tone, 0, 1), 0);
  ASSERT_EQ(dev->PlaySample(tone, 1, 1), 0);
  ASSERT_EQ(dev->PlaySample(blip, 2, 0), 0);
  ASSERT_TRUE(WaitForStop(dev->m_channels[2].m_source));
  const ALuint s1 = dev->m_channels[1].m_source, s2 = dev->m_channels[2].m_source;

  // Out of sources: channel 2's sample has run out, so its source moves.
  EXPECT_EQ(dev->PlaySample(tone, 10, 1), 0);
  EXPECT_EQ(dev->m_channels[10].m_source, s2);
  EXPECT_EQ(dev->m_channels[2].m_source, 0u);
  EXPECT_EQ(dev->m_channels[2].m_state, 0) << "reaped on the way";

  // Everything busy: nothing to take.
  EXPECT_EQ(dev->PlaySample(tone, 11, 1), -1);
  EXPECT_EQ(dev->m_channels[11].m_source, 0u);
  EXPECT_EQ(dev->m_channels[11].m_state, 0);
  EXPECT_EQ(dev->SetVolume(11, 0.5f), 0);  // lost, quietly
  EXPECT_EQ(dev->m_channels[32].m_source, music);

  // A stopped channel is idle and gives its source to the next player.
  dev->StopChannel(1);
  EXPECT_EQ(dev->PlaySample(tone, 11, 1), 0);
  EXPECT_EQ(dev->m_channels[11].m_source, s1);
  EXPECT_EQ(dev->m_channels[1].m_source, 0u);

  // Music still plays on its own source with every effect source busy.
  EXPECT_EQ(dev->PlayMusic(String(PathOf("music.ogg").c_str()), 1), 0);
  EXPECT_EQ(dev->m_channels[32].m_source, music);
  EXPECT_EQ(SourceState(music), AL_PLAYING);
}

// ---- the device opened by its first use (as in the browser) ----

// Calls that only ask or change nothing leave the device closed; the first
// that needs it opens it and takes effect.
TEST(AudioOpenOnFirstUse, IdleCallsLeaveItClosedVolumeOpensIt) {
  gxtkAudio::openOnFirstUse = true;
  gxtkAudio* dev = Device();
  EXPECT_EQ(dev->m_device, nullptr);
  EXPECT_EQ(alcGetCurrentContext(), nullptr);
  for (int ch = 0; ch < HX_AUDIO_CHANNELS; ++ch) EXPECT_EQ(dev->ChannelState(ch), 0) << ch;
  EXPECT_EQ(dev->MusicState(), 0);
  EXPECT_EQ(dev->StopChannel(3), 0);
  EXPECT_EQ(dev->PauseChannel(3), 0);
  EXPECT_EQ(dev->ResumeChannel(3), 0);
  EXPECT_EQ(dev->StopMusic(), 0);
  EXPECT_EQ(dev->Suspend(), 0);
  EXPECT_EQ(dev->Resume(), 0);
  EXPECT_TRUE(dev->CheckDevice());
  dev->mark();
  EXPECT_EQ(dev->m_device, nullptr) << "nothing asked for the device yet";

  EXPECT_EQ(dev->SetVolume(3, 0.25f), 0);
  ASSERT_NE(dev->m_context, nullptr);
  EXPECT_EQ(alcGetCurrentContext(), dev->m_context);
  EXPECT_NE(dev->m_channels[HX_AUDIO_MUSIC_CHANNEL].m_source, 0u) << "music has its source";
  ALfloat gain = 0;
  alGetSourcef(dev->m_channels[3].m_source, AL_GAIN, &gain);
  EXPECT_FLOAT_EQ(gain, 0.25f);
  EXPECT_EQ(alGetInteger(AL_DISTANCE_MODEL), AL_NONE);

  gxtkSample* tone = Load("tone.wav");
  ASSERT_NE(tone, nullptr);
  EXPECT_EQ(dev->PlaySample(tone, 3, 0), 0);
  EXPECT_EQ(SourceState(dev->m_channels[3].m_source), AL_PLAYING);
  EXPECT_EQ(dev->ChannelState(3), 1);
}

// Loads come first in the game: they wait for the device, which the first
// play opens; the sounds loaded before are then there, music included.
TEST(AudioOpenOnFirstUse, LoadsWaitForTheFirstPlay) {
  gxtkAudio::openOnFirstUse = true;
  gxtkAudio* dev = Device();
  gxtkSample* tone = Load("short.wav");
  ASSERT_NE(tone, nullptr);
  EXPECT_EQ(Load("bad.ogg"), nullptr) << "a file that does not decode still fails at once";
  g_kept[0] = tone;
  EXPECT_EQ(dev->LoadMusic(String(PathOf("music.ogg").c_str())), 0);
  EXPECT_EQ(dev->m_device, nullptr);
  EXPECT_EQ(tone->m_buffer, 0u);

  EXPECT_EQ(dev->PlaySample(tone, 5, 0), 0);
  ASSERT_NE(dev->m_context, nullptr);
  EXPECT_NE(tone->m_buffer, 0u);
  EXPECT_EQ(SourceInt(dev->m_channels[5].m_source, AL_BUFFER), static_cast<ALint>(tone->m_buffer));
  EXPECT_EQ(SourceState(dev->m_channels[5].m_source), AL_PLAYING);
  ASSERT_NE(dev->m_music, nullptr);
  EXPECT_NE(dev->m_music->m_buffer, 0u) << "the music loaded before has its sound too";
  EXPECT_EQ(dev->PlayMusic(String(PathOf("music.ogg").c_str()), 1), 0);
  EXPECT_EQ(dev->MusicState(), 1);
  EXPECT_EQ(SourceState(dev->m_channels[HX_AUDIO_MUSIC_CHANNEL].m_source), AL_PLAYING);
}

// ---- the wave backend: what played is written to a file ----

struct WavOut {
  int channels = 0, rate = 0;
  std::vector<int16_t> samples;
};

WavOut ReadWaveOutput(const std::string& path) {
  WavOut out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  Bytes b;
  unsigned char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
  fclose(f);
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
  };
  size_t at = 12;
  while (at + 8 <= b.size()) {
    std::string tag(b.begin() + at, b.begin() + at + 4);
    uint32_t size = u32(at + 4);
    if (tag == "fmt ") {
      out.channels = b[at + 10] | b[at + 11] << 8;
      out.rate = static_cast<int>(u32(at + 12));
    } else if (tag == "data") {
      size_t end = std::min(b.size(), at + 8 + size);
      for (size_t i = at + 8; i + 1 < end; i += 2)
        out.samples.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8));
      break;
    }
    at += 8 + size + (size & 1);
  }
  return out;
}

TEST(AudioWaveOut, PlayedToneIsHeard) {
  // The output file is the one the OpenAL configuration names.
  const char* conf = getenv("ALSOFT_CONF");
  ASSERT_NE(conf, nullptr);
  std::string outPath;
  {
    FILE* f = fopen(conf, "r");
    ASSERT_NE(f, nullptr);
    char line[512];
    while (fgets(line, sizeof line, f)) {
      std::string l(line);
      if (l.rfind("file = ", 0) == 0) outPath = l.substr(7, l.find_last_not_of("\r\n") - 6);
    }
    fclose(f);
  }
  ASSERT_FALSE(outPath.empty());
  remove(outPath.c_str());
  gxtkAudio* dev = Device();
  ASSERT_NE(dev->m_context, nullptr) << "the wave backend must open";
  gxtkSample* tone = Load("tone.wav");  // 440 Hz
  dev->PlaySample(tone, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  dev->StopChannel(0);
  // Closing the device completes the file.
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(dev->m_context);
  alcCloseDevice(dev->m_device);
  dev->m_context = nullptr;
  dev->m_device = nullptr;

  WavOut out = ReadWaveOutput(outPath);
  ASSERT_EQ(out.channels, 2);
  ASSERT_EQ(out.rate, 44100);
  ASSERT_GT(out.samples.size(), 2u * 44100 / 4) << "at least a quarter second was written";
  // Left channel: loud enough, and a tone of about 440 Hz, counted by sign
  // changes with a margin so that dither noise in the silence counts nothing.
  double sum = 0;
  int crossings = 0, first = -1, last = -1, sign = 0;
  const size_t frames = out.samples.size() / 2;
  for (size_t i = 0; i < frames; ++i) {
    int v = out.samples[2 * i];
    sum += static_cast<double>(v) * v;
    int now = v > 500 ? 1 : v < -500 ? -1 : sign;
    if (sign != 0 && now != sign) {
      ++crossings;
      if (first < 0) first = static_cast<int>(i);
      last = static_cast<int>(i);
    }
    sign = now;
  }
  double rms = std::sqrt(sum / frames);
  EXPECT_GT(rms, 1000) << "the output is not silent";
  ASSERT_GT(crossings, 10);
  double hz = (crossings - 1) / 2.0 / ((last - first) / 44100.0);
  EXPECT_NEAR(hz, 440, 10);
}

// ---- no usable OpenAL backend ----

TEST(AudioNoDevice, GameRunsSilently) {
  testing::internal::CaptureStdout();
  gxtkAudio* dev = Device();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "OpenAl error: alcOpenDevice failed\n");
  EXPECT_EQ(dev->m_device, nullptr);
  EXPECT_EQ(dev->m_context, nullptr);
  EXPECT_EQ(dev->m_channels[32].m_source, 0u);

  gxtkSample* s = Load("tone.wav");
  ASSERT_NE(s, nullptr) << "the file decodes; it only has nowhere to go";
  EXPECT_EQ(s->m_buffer, 0u);
  EXPECT_EQ(Load("bad.ogg"), nullptr);
  EXPECT_EQ(dev->PlaySample(s, 0, 1), -1);
  EXPECT_EQ(dev->ChannelState(0), 0);
  EXPECT_EQ(dev->SetVolume(0, 0.5f), 0);
  EXPECT_EQ(dev->SetPan(0, 1.0f), 0);
  EXPECT_EQ(dev->SetRate(0, 2.0f), 0);
  EXPECT_EQ(dev->PauseChannel(0), 0);
  EXPECT_EQ(dev->ResumeChannel(0), 0);
  EXPECT_EQ(dev->StopChannel(0), 0);
  EXPECT_EQ(dev->Suspend(), 0);
  EXPECT_EQ(dev->Resume(), 0);
  EXPECT_EQ(dev->PlayMusic(String(PathOf("music.ogg").c_str()), 1), 0);
  EXPECT_EQ(dev->MusicState(), 0);
  EXPECT_EQ(dev->PlayMusic(String(PathOf("bad.ogg").c_str()), 1), -1);
  EXPECT_EQ(dev->PauseMusic(), 0);
  EXPECT_EQ(dev->ResumeMusic(), 0);
  EXPECT_EQ(dev->StopMusic(), 0);
  EXPECT_EQ(dev->SetMusicVolume(0.3f), 0);
  testing::internal::CaptureStdout();
  CollectEverything();
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Discarding sample"), std::string::npos);
  EXPECT_TRUE(hx_audio_discarded.empty()) << "samples without a buffer queue nothing";
}

}  // namespace
