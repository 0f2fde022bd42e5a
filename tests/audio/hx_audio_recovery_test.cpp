// A lost output device and a new one, on a real PulseAudio server started
// by the test (null sinks only, its own runtime folder, so that parallel
// runs never meet) and OpenAL Soft's pulse driver (ALSOFT_CONF, see
// CMakeLists.txt). The game plays music and sounds on one null sink; the
// sink goes away and the game plays on; a new sink becomes the default and
// a recording of its monitor (parec) must hold the music and the sounds
// again within 2 s.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/hx_audio.h"
#include "host/hx_glfw_game.h"
#include "tests/audio/hx_test_sounds.h"

namespace {

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Starts a program with its standard output into outFd (or the log file)
// and extra environment entries; returns its process id or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int outFd,
            const std::string& logPath) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  // Gone with the test, even when it crashes.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
  int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  dup2(outFd >= 0 ? outFd : log, 1);
  dup2(log, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    SleepMs(10);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// A PulseAudio server of the test's own, reached through PULSE_SERVER.
struct PulseServer {
  std::string dir;
  pid_t pid = -1;

  bool Start() {
    char tmpl[] = "/tmp/zelk-pulse-XXXXXX";
    if (!mkdtemp(tmpl)) return false;
    dir = tmpl;
    mkdir((dir + "/rt").c_str(), 0700);
    FILE* f = fopen((dir + "/server.pa").c_str(), "w");
    if (!f) return false;
    fprintf(f,
            "load-module module-native-protocol-unix auth-anonymous=1 socket=%s/native\n"
            "load-module module-null-sink sink_name=first rate=44100 channels=2\n"
            "set-default-sink first\n",
            dir.c_str());
    fclose(f);
    f = fopen((dir + "/client.conf").c_str(), "w");
    if (!f) return false;
    fprintf(f, "autospawn = no\n");
    fclose(f);
    // This process and every pactl and parec find the server here, never
    // a session's own one.
    setenv("PULSE_SERVER", ("unix:" + dir + "/native").c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (dir + "/client.conf").c_str(), 1);
    setenv("PULSE_COOKIE", (dir + "/cookie").c_str(), 1);
    pid = Spawn({"pulseaudio", "-n", "-F", dir + "/server.pa", "--daemonize=no", "--system=false",
                 "--exit-idle-time=-1", "--use-pid-file=no", "--realtime=no", "--high-priority=no",
                 "--log-target=stderr"},
                {"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir + "/rt", "XDG_CONFIG_HOME=" + dir,
                 "PULSE_RUNTIME_PATH=" + dir + "/rt/pulse", "PULSE_STATE_PATH=" + dir + "/state",
                 "DBUS_SESSION_BUS_ADDRESS=disabled:"},
                -1, dir + "/server.log");
    if (pid < 0) return false;
    for (int i = 0; i < 500; ++i) {
      if (Pactl("info") == 0) return true;
      if (waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;
        return false;
      }
      SleepMs(20);
    }
    return false;
  }
  int Pactl(const std::string& args) {
    return system(("pactl " + args + " >>" + dir + "/pactl.log 2>&1").c_str());
  }
  std::string Output(const std::string& args) {
    std::string text;
    if (FILE* p = popen(("pactl " + args + " 2>>" + dir + "/pactl.log").c_str(), "r")) {
      char buf[1024];
      size_t n;
      while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
      pclose(p);
    }
    return text;
  }
  std::string Log(const char* name = "server.log") {
    std::string text;
    if (FILE* f = fopen((dir + "/" + name).c_str(), "r")) {
      char buf[4096];
      size_t n;
      while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
      fclose(f);
    }
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
  }
  ~PulseServer() {
    Stop(pid);
    if (!dir.empty()) system(("rm -rf '" + dir + "'").c_str());
  }
};

// parec on a sink's monitor: mono 16-bit at 44100 Hz, each block stamped
// with the time it arrived.
struct Recorder {
  static constexpr int kRate = 44100;
  pid_t pid = -1;
  int fd = -1;
  std::thread reader;
  std::mutex lock;
  std::vector<int16_t> samples;
  std::vector<std::pair<size_t, double>> arrivals;  // samples so far, time

  bool Start(const std::string& source, const std::string& logPath) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    pid = Spawn({"parec", "--raw", "--format=s16le", "--channels=1", "--rate=44100",
                 "--latency-msec=20", "-d", source},
                {}, pipeFds[1], logPath);
    close(pipeFds[1]);
    fd = pipeFds[0];
    if (pid < 0) return false;
    reader = std::thread([this] {
      unsigned char buf[4096];
      std::vector<unsigned char> carry;
      ssize_t n;
      while ((n = read(fd, buf, sizeof buf)) > 0) {
        double t = Now();
        carry.insert(carry.end(), buf, buf + n);
        std::lock_guard<std::mutex> hold(lock);
        size_t whole = carry.size() / 2;
        for (size_t i = 0; i < whole; ++i)
          samples.push_back(static_cast<int16_t>(carry[2 * i] | carry[2 * i + 1] << 8));
        carry.erase(carry.begin(), carry.begin() + 2 * whole);
        arrivals.push_back({samples.size(), t});
      }
    });
    return true;
  }
  void Finish() {
    Stop(pid);
    pid = -1;
    if (reader.joinable()) reader.join();
    if (fd >= 0) close(fd);
    fd = -1;
  }
  ~Recorder() { Finish(); }

  size_t Size() {
    std::lock_guard<std::mutex> hold(lock);
    return samples.size();
  }
  // The first sample louder than quiet (as a fraction of full scale), or
  // the end of the recording.
  size_t FirstLoud(double quiet = 1000 / 32768.0) {
    std::lock_guard<std::mutex> hold(lock);
    size_t i = 0;
    while (i < samples.size() && std::abs(samples[i]) < quiet * 32768) ++i;
    return i;
  }

  // When sample i was made: the recording runs in real time, so the start
  // of the stream is no later than any block's arrival less its length so far.
  double TimeOf(size_t i) const {
    double start = 1e300;
    for (const auto& a : arrivals) start = std::min(start, a.second - a.first / double(kRate));
    return start + i / double(kRate);
  }
};

// Levels of a stretch of the recording, as fractions of full scale.
struct Levels {
  double rms = 0, peak = 0;
};
Levels LevelsOf(const std::vector<int16_t>& s, size_t from, size_t to) {
  Levels l;
  if (to <= from) return l;
  double sum = 0;
  for (size_t i = from; i < to; ++i) {
    double v = s[i] / 32768.0;
    sum += v * v;
    l.peak = std::max(l.peak, std::fabs(v));
  }
  l.rms = std::sqrt(sum / (to - from));
  return l;
}
// The amplitude of one frequency in a stretch (Goertzel).
double ToneLevel(const std::vector<int16_t>& s, size_t from, size_t to, double hz) {
  if (to <= from) return 0;
  double w = 2 * M_PI * hz / Recorder::kRate, c = 2 * std::cos(w), a = 0, b = 0;
  for (size_t i = from; i < to; ++i) {
    double v = s[i] / 32768.0 + c * a - b;
    b = a;
    a = v;
  }
  double re = a - b * std::cos(w), im = b * std::sin(w);
  return 2 * std::sqrt(re * re + im * im) / (to - from);
}

c_Sound* g_blip = nullptr;
c_Sound* g_hum = nullptr;
void MarkTestRoots() {
  gc_mark_q(hx_audio_device);
  gc_mark_q(g_blip);
  gc_mark_q(g_hum);
}

const double kMusicHz = 220, kBlipHz = 880, kHumHz = 660;
const int kBlipChannel = 0, kHumChannel = 3;

// How the game reaches the device while it is lost and found again.
enum class Drive {
  EveryUpdate,  // the application's update asks every frame (CheckDevice)
  PlaysOnly,    // only the game's own sound calls (hx_audio_PlaySound)
  Suspended,    // every update, but the device goes and comes back while
                // the game is suspended (the window has lost the focus)
};
struct Case {
  const char* name;
  Drive drive;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
const Case kCases[] = {{"EveryUpdate", Drive::EveryUpdate},
                       {"PlaysOnly", Drive::PlaysOnly},
                       {"Suspended", Drive::Suspended}};

class AudioRecovery : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start()) << "could not start pulseaudio:\n" << server.Log();
    ASSERT_EQ(chdir(server.dir.c_str()), 0);
    ASSERT_EQ(system("mkdir -p data/sfx"), 0);
    ASSERT_TRUE(WriteFile("data/sfx/blip.wav",
                          PcmWav(1, 16, 44100, SineBytes(1, 16, 44100, kBlipHz, 0.15, 0.3))));
    ASSERT_TRUE(WriteFile("data/sfx/hum.wav",
                          PcmWav(1, 16, 44100, SineBytes(1, 16, 44100, kHumHz, 1.0, 0.3))));
    ASSERT_TRUE(WriteFile("data/sfx/tune.ogg", OggSine(2, 44100, kMusicHz, 3.0)));
    new HxGlfwGame();
    gc_mark_roots = MarkTestRoots;
    hx_audio_SetAudioDevice(new gxtkAudio());
    dev = hx_audio_device;
    ASSERT_NE(dev->m_context, nullptr) << "OpenAL's pulse driver must open:\n" << server.Log();
    gc_assign(g_blip, hx_audio_LoadSound(String("sfx/blip.wav")));
    gc_assign(g_hum, hx_audio_LoadSound(String("sfx/hum.wav")));
    ASSERT_NE(g_blip, nullptr);
    ASSERT_NE(g_hum, nullptr);
  }

  // One frame of the game: about 60 a second; a sound every few frames.
  void Frame() {
    SleepMs(16);
    ++frame;
    double start = Now();
    if (suspended) {
      // No updates and no sounds; a look at the device must change nothing.
      dev->CheckDevice();
    } else if (GetParam().drive != Drive::PlaysOnly) {
      dev->CheckDevice();
      if (frame % 25 == 0) hx_audio_PlaySound(g_blip, kBlipChannel, 0);
    } else if (frame % 6 == 0) {
      hx_audio_PlaySound(g_blip, kBlipChannel, 0);
    }
    slowest = std::max(slowest, Now() - start);
  }
  void Frames(double seconds) {
    for (double end = Now() + seconds; Now() < end;) Frame();
  }

  PulseServer server;
  gxtkAudio* dev = nullptr;
  long frame = 0;
  bool suspended = false;
  double slowest = 0;  // the longest the audio calls of one frame took
};

TEST_P(AudioRecovery, SoundComesBackOnANewDefaultSink) {
  // 1. Music (looping, a little quieter), a sound now and then, and a
  // looping sound the game has paused, all on the first sink.
  ASSERT_EQ(hx_audio_PlayMusic(String("sfx/tune.ogg"), 1), 0);
  dev->SetMusicVolume(0.8f);
  hx_audio_PlaySound(g_hum, kHumChannel, 1);
  dev->PauseChannel(kHumChannel);
  {
    Recorder first;
    ASSERT_TRUE(first.Start("first.monitor", server.dir + "/parec.log"));
    // (parec may take a while to start on a busy machine.)
    for (double start = Now(); first.Size() < Recorder::kRate / 2 && Now() - start < 8;) Frame();
    first.Finish();
    size_t n = first.samples.size();
    ASSERT_GT(n, 4410u) << "no recording of the first sink:\n" << server.Log("parec.log");
    size_t from = first.FirstLoud();
    double music = ToneLevel(first.samples, from, n, kMusicHz);
    printf("first sink: %.2f s recorded, music (%.0f Hz) %.3f from the first sound on\n",
           n / double(Recorder::kRate), kMusicHz, music);
    EXPECT_GT(music, 0.1) << "the music plays at first";
  }

  // OpenAL Soft 1.22 and later reopen the device in place; older ones get a
  // new device and context.
  ALCdevice* before = dev->m_device;
  const bool inPlace = alcIsExtensionPresent(before, "ALC_SOFT_reopen_device");
  printf("OpenAL %s: %s\n", alGetString(AL_VERSION),
         inPlace ? "reopens the device in place" : "a new device and context");
  if (getenv("ZELK_EXPECT_REOPEN_IN_PLACE")) {
    ASSERT_TRUE(inPlace) << "this OpenAL cannot reopen in place";
  }
  const bool whileSuspended = GetParam().drive == Drive::Suspended;
  if (whileSuspended) {
    // 2'. The game is suspended; the sink goes away and a new one comes
    // meanwhile. Nothing is looked at before the game resumes.
    dev->Suspend();
    suspended = true;
    ASSERT_EQ(server.Pactl("unload-module module-null-sink"), 0);
    Frames(1.5);
    EXPECT_FALSE(dev->DeviceLost());
    EXPECT_EQ(dev->MusicState(), 1);
  }

  // 2. The sink goes away: the game plays on and notices within a second or so.
  if (!whileSuspended) {
    ASSERT_EQ(server.Pactl("unload-module module-null-sink"), 0);
  }
  double lostAt = Now();
  while (!whileSuspended && !dev->DeviceLost() && Now() - lostAt < 3) Frame();
  if (!whileSuspended) {
    ASSERT_TRUE(dev->DeviceLost()) << "the lost device went unnoticed";
    double noticedAt = Now();
    printf("device loss noticed after %.0f ms\n", (noticedAt - lostAt) * 1000);
    // The device looks again about once a second: the new sink comes just
    // after one such look, the worst moment.
    slowest = 0;
    while (Now() - noticedAt < 1.1) Frame();
    printf("longest frame of audio calls while no device can be opened: %.1f ms\n",
           slowest * 1000);
    EXPECT_TRUE(dev->DeviceLost()) << "no sink: nothing to open";
    EXPECT_EQ(dev->MusicState(), 1) << "the music plays on, silently";
    EXPECT_EQ(dev->ChannelState(kHumChannel), 2) << "the paused channel stays paused";
    EXPECT_EQ(dev->PlaySample(g_blip->m_sample, 5, 0), 0);
    EXPECT_EQ(dev->ChannelState(5), 0) << "a short sound is over at once";
  }

  // 3. A new sink, made the default; the game plays on.
  ASSERT_EQ(server.Pactl("load-module module-null-sink sink_name=second rate=44100 channels=2"), 0);
  double loadedAt = Now();
  ASSERT_EQ(server.Pactl("set-default-sink second"), 0);
  double reopenedAt = 0;
  slowest = 0;
  auto step = [&] {
    Frame();
    if (!reopenedAt && !suspended && !dev->DeviceLost()) reopenedAt = Now();
  };
  Recorder second;
  ASSERT_TRUE(second.Start("second.monitor", server.dir + "/parec.log"));
  // A null sink that nothing listened to at its start works in blocks of
  // 2 s until it is woken: once the recording is attached, a short suspend
  // sets it to the recording's 20 ms (a real output has no such delay).
  while (Now() - loadedAt < 3 && server.Output("list short source-outputs").empty()) step();
  if (dev->DeviceLost() || whileSuspended) {
    ASSERT_EQ(server.Pactl("suspend-sink second 1"), 0);
    ASSERT_EQ(server.Pactl("suspend-sink second 0"), 0);
  }
  // Suspended: the game resumes now, and the time counts from here.
  double since = loadedAt;
  if (whileSuspended) {
    Frames(0.3);
    EXPECT_FALSE(dev->DeviceLost());
    since = Now();
    suspended = false;
    dev->Resume();
  }
  // Until half a second of sound is recorded (or for long enough to fail).
  while (Now() - since < 8) {
    step();
    size_t loud = second.FirstLoud();
    if (loud < second.Size() && second.Size() - loud > Recorder::kRate / 2) break;
  }
  second.Finish();
  printf("longest frame of audio calls while reopening: %.1f ms\n", slowest * 1000);

  // 4. The recording holds the music and the sounds again, within 2 s.
  ASSERT_NE(reopenedAt, 0) << "the device never came back:\n" << server.Log();
  const std::vector<int16_t>& rec = second.samples;
  size_t first = second.FirstLoud();
  ASSERT_LT(first, rec.size()) << "the new sink stayed silent: recorded "
                               << rec.size() / double(Recorder::kRate) << " s";
  double heardAt = second.TimeOf(first);
  ASSERT_GT(first, 0u) << "the recording began after the sound was back: no figure";
  Levels quiet = LevelsOf(rec, 0, first);
  size_t to = std::min(rec.size(), first + static_cast<size_t>(0.5 * Recorder::kRate));
  Levels loud = LevelsOf(rec, first, to);
  double music = ToneLevel(rec, first, to, kMusicHz), blip = ToneLevel(rec, first, to, kBlipHz),
         hum = ToneLevel(rec, first, to, kHumHz), other = ToneLevel(rec, first, to, 1500);
  printf("device reopened %.0f ms after the new sink was %s; sound in the recording after "
         "%.0f ms\n",
         (reopenedAt - since) * 1000, whileSuspended ? "there and the game resumed" : "loaded",
         (heardAt - since) * 1000);
  printf("recording: %.2f s; before the sound: rms %.4f peak %.4f; the 0.5 s after it: rms %.4f "
         "peak %.4f, music (%.0f Hz) %.3f, sound (%.0f Hz) %.3f, paused (%.0f Hz) %.4f, "
         "1500 Hz %.4f\n",
         rec.size() / double(Recorder::kRate), quiet.rms, quiet.peak, loud.rms, loud.peak,
         kMusicHz, music, kBlipHz, blip, kHumHz, hum, other);
  EXPECT_LT(heardAt - since, 2.0) << "sound must be back within 2 s";
  EXPECT_GT(loud.rms, 0.1);
  EXPECT_GT(music, 0.15) << "the music is heard again";
  EXPECT_GT(blip, 0.02) << "the sounds are heard again";
  EXPECT_LT(hum, 0.01) << "the paused channel stays silent";
  EXPECT_LT(other, 0.01);

  if (inPlace) {
    EXPECT_EQ(dev->m_device, before) << "reopened in place";
  }
  // Nothing the game holds has changed.
  EXPECT_EQ(dev->MusicState(), 1);
  EXPECT_EQ(dev->ChannelState(kHumChannel), 2);
  gxtkChannel& music32 = dev->m_channels[HX_AUDIO_MUSIC_CHANNEL];
  ALint state = 0, buffer = 0;
  alGetSourcei(music32.m_source, AL_SOURCE_STATE, &state);
  alGetSourcei(music32.m_source, AL_BUFFER, &buffer);
  EXPECT_EQ(state, AL_PLAYING);
  EXPECT_EQ(buffer, static_cast<ALint>(music32.m_sample->m_buffer));
  ALfloat gain = 0;
  alGetSourcef(music32.m_source, AL_GAIN, &gain);
  EXPECT_FLOAT_EQ(gain, 0.8f) << "the music's volume carries over";
  for (c_Sound* s : {g_blip, g_hum}) EXPECT_TRUE(alIsBuffer(s->m_sample->m_buffer));
  // The paused channel carries on when the game resumes it.
  dev->ResumeChannel(kHumChannel);
  alGetSourcei(dev->m_channels[kHumChannel].m_source, AL_SOURCE_STATE, &state);
  EXPECT_EQ(state, AL_PLAYING);
}

INSTANTIATE_TEST_SUITE_P(PulseAudio, AudioRecovery, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
