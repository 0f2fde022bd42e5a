// The audio device over OpenAL.
#include "audio/hx_audio_device.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#if __has_include(<AL/alext.h>)
#include <AL/alext.h>
#endif

#include "host/hx_game.h"

#ifndef ALC_CONNECTED
#define ALC_CONNECTED 0x313
#endif
#ifndef AL_SAMPLE_OFFSET
#define AL_SAMPLE_OFFSET 0x1025
#endif

gxtkAudio* gxtkAudio::audio = nullptr;
std::vector<unsigned int> hx_audio_discarded;

namespace {

// alcReopenDeviceSOFT (OpenAL Soft 1.22 and later), fetched at run time:
// older libraries lack it, and not every header declares it.
#if defined(_WIN32)
#define HX_ALC_CALL __cdecl
#else
#define HX_ALC_CALL
#endif
typedef ALCboolean(HX_ALC_CALL* ReopenDeviceFn)(ALCdevice* device, const ALCchar* name,
                                                const ALCint* attributes);

// Every sample alive, so that a new device can be given their sounds again.
// Never freed: samples may be destroyed while the process ends.
std::vector<gxtkSample*>& liveSamples() {
  static std::vector<gxtkSample*>* samples = new std::vector<gxtkSample*>();
  return *samples;
}

double steadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

const double kCheckInterval = 1.0;

ALint sourceState(ALuint source) {
  ALint state = 0;  // stays 0 when there is no context to ask
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  return state;
}

// Deletes the buffers of discarded samples that no source holds any more.
// Every stopped source first lets go of its buffer (a stopped source is
// never resumed, only given a new buffer), whether its channel ran out or
// was stopped; a buffer OpenAL still refuses to delete waits for the next
// flush.
void FlushDiscarded() {
  if (hx_audio_discarded.empty()) return;
  gxtkAudio* audio = gxtkAudio::audio;
  if (audio) {
    for (gxtkChannel& chan : audio->m_channels) {
      if (chan.m_source != 0 && sourceState(chan.m_source) == AL_STOPPED)
        alSourcei(chan.m_source, AL_BUFFER, 0);
    }
  }
  std::vector<unsigned int> pending;
  for (unsigned int buffer : hx_audio_discarded) {
    alGetError();
    alDeleteBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) pending.push_back(buffer);
  }
  hx_audio_discarded.swap(pending);
}

bool validChannel(int channel) { return channel >= 0 && channel < HX_AUDIO_CHANNELS; }

}  // namespace

ALuint gxtkChannel::AL_Source() {
  if (m_source) return m_source;
  alGetError();
  ALuint source = 0;
  alGenSources(1, &source);
  if (alGetError() == AL_NO_ERROR && source != 0) {
    m_source = source;
    return m_source;
  }
  m_source = 0;
  // Out of sources: take the one of the first idle effect channel. Asking
  // ChannelState reaps channels whose sample has run out on the way. The
  // music channel (32) is never searched.
  gxtkAudio* audio = gxtkAudio::audio;
  if (!audio) return 0;
  for (int i = 0; i < HX_AUDIO_MUSIC_CHANNEL; ++i) {
    gxtkChannel& victim = audio->m_channels[i];
    if (&victim == this || victim.m_source == 0) continue;
    if (audio->ChannelState(i) != 0) continue;
    m_source = victim.m_source;
    victim.m_source = 0;
    break;
  }
  return m_source;
}

#ifdef __EMSCRIPTEN__
bool gxtkAudio::openOnFirstUse = true;
#else
bool gxtkAudio::openOnFirstUse = false;
#endif

gxtkAudio::gxtkAudio() {
  audio = this;
  for (gxtkChannel& chan : m_channels) chan = gxtkChannel();
  if (!openOnFirstUse) Open();
  // A normal end closes the device (OpenAL complains about open ones).
  hx_add_exit_step([] {
    if (gxtkAudio::audio) gxtkAudio::audio->Close();
  });
}

void gxtkAudio::Open() {
  if (m_opened) return;
  m_opened = true;
  m_device = alcOpenDevice(nullptr);
  if (!m_device) {
    hxPrint(String("OpenAl error: alcOpenDevice failed"));
  } else {
    m_context = alcCreateContext(m_device, nullptr);
    if (!m_context) {
      hxPrint(String("OpenAl error: alcCreateContext failed"));
    } else if (!alcMakeContextCurrent(m_context)) {
      hxPrint(String("OpenAl error: alcMakeContextCurrent failed"));
    }
  }
  alDistanceModel(AL_NONE);
  // Where OpenAL reports a lost device, it is watched (CheckDevice).
  m_canCheck = m_context && alcIsExtensionPresent(m_device, "ALC_EXT_disconnect");
  m_nextCheck = steadySeconds() + kCheckInterval;
  // Music always has a source of its own.
  m_channels[HX_AUDIO_MUSIC_CHANNEL].AL_Source();
  // Samples loaded before the device was open get their sound now.
  if (!m_context) return;
  for (gxtkSample* sample : liveSamples()) {
    if (!sample->m_buffer && sample->m_path.Length() > 0) LoadSample__UNSAFE__(sample, sample->m_path);
  }
}

void gxtkAudio::Close() {
  m_opened = true;  // once closed, it stays closed
  m_canCheck = false;
  if (!m_device) return;
  for (gxtkChannel& chan : m_channels) {
    if (chan.m_source) {
      alSourceStop(chan.m_source);
      alSourcei(chan.m_source, AL_BUFFER, 0);
      alDeleteSources(1, &chan.m_source);
      chan.m_source = 0;
    }
    chan.m_state = 0;
  }
  // No source holds a buffer now: every discarded one goes, and the music.
  if (m_music) m_music->Discard();
  FlushDiscarded();
  alcMakeContextCurrent(nullptr);
  if (m_context) alcDestroyContext(m_context);
  m_context = nullptr;
  alcCloseDevice(m_device);
  m_device = nullptr;
}

bool gxtkAudio::CheckDevice() {
  if (!m_canCheck) return true;
  if (m_suspended) return !m_lost;  // looked at again on Resume
  double now = steadySeconds();
  if (now < m_nextCheck) return !m_lost;
  m_nextCheck = now + kCheckInterval;
  return CheckNow();
}

bool gxtkAudio::CheckNow() {
  if (!m_lost) {
    ALCint connected = 1;
    alcGetIntegerv(m_device, ALC_CONNECTED, 1, &connected);
    if (connected) {
      // Note where every sounding channel is, for a device lost later.
      for (int ch = 0; ch < HX_AUDIO_CHANNELS; ++ch) {
        gxtkChannel& chan = m_channels[ch];
        if (chan.m_state == 0 || !chan.m_source) continue;
        ALint state = sourceState(chan.m_source);
        ALint offset = 0;
        alGetSourcei(chan.m_source, AL_SAMPLE_OFFSET, &offset);
        m_position[ch] = state == AL_STOPPED ? -1 : offset;
      }
      return true;
    }
    m_lost = true;
    hxPrint(String("Audio device lost"));
  }
  if (!Reconnect()) return false;
  m_lost = false;
  hxPrint(String("Audio device reopened"));
  return true;
}

// Opens the default device in place of the lost one: the same device
// reopened where OpenAL Soft offers it (sources and buffers stay), else a
// new device and context, with new sources and every sample's sound loaded
// again. False while there is no device to open; nothing has changed then.
bool gxtkAudio::Reconnect() {
  if (alcIsExtensionPresent(m_device, "ALC_SOFT_reopen_device")) {
    ReopenDeviceFn reopen =
        reinterpret_cast<ReopenDeviceFn>(alcGetProcAddress(m_device, "alcReopenDeviceSOFT"));
    if (reopen) {
      if (!reopen(m_device, nullptr, nullptr)) return false;
      RestoreChannels(false);
      return true;
    }
  }
  ALCdevice* device = alcOpenDevice(nullptr);
  if (!device) return false;
  ALCcontext* context = alcCreateContext(device, nullptr);
  if (!context) {
    alcCloseDevice(device);
    return false;
  }
  // What the game set on each channel's source lives on the old context.
  struct Settings {
    bool had = false;
    ALfloat gain = 1, pitch = 1, pos[3] = {0, 0, 0};
  } settings[HX_AUDIO_CHANNELS];
  for (int ch = 0; ch < HX_AUDIO_CHANNELS; ++ch) {
    gxtkChannel& chan = m_channels[ch];
    if (!chan.m_source) continue;
    Settings& set = settings[ch];
    set.had = true;
    alGetSourcef(chan.m_source, AL_GAIN, &set.gain);
    alGetSourcef(chan.m_source, AL_PITCH, &set.pitch);
    alGetSource3f(chan.m_source, AL_POSITION, &set.pos[0], &set.pos[1], &set.pos[2]);
    alSourceStop(chan.m_source);
    alSourcei(chan.m_source, AL_BUFFER, 0);
    alDeleteSources(1, &chan.m_source);
    chan.m_source = 0;
  }
  // The old device's buffers go with it; the samples load theirs again.
  std::vector<gxtkSample*> reload;
  for (gxtkSample* sample : liveSamples()) {
    if (!sample->m_buffer) continue;
    alDeleteBuffers(1, &sample->m_buffer);
    sample->m_buffer = 0;
    reload.push_back(sample);
  }
  for (unsigned int buffer : hx_audio_discarded) alDeleteBuffers(1, &buffer);
  hx_audio_discarded.clear();
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(m_context);
  alcCloseDevice(m_device);

  m_device = device;
  m_context = context;
  alcMakeContextCurrent(m_context);
  alDistanceModel(AL_NONE);
  m_canCheck = alcIsExtensionPresent(m_device, "ALC_EXT_disconnect");
  // A sample whose file can no longer be read stays silent.
  for (gxtkSample* sample : reload) LoadSample__UNSAFE__(sample, sample->m_path);
  for (int ch = 0; ch < HX_AUDIO_CHANNELS; ++ch) {
    const Settings& set = settings[ch];
    if (!set.had && ch != HX_AUDIO_MUSIC_CHANNEL) continue;
    ALuint source = m_channels[ch].AL_Source();
    if (!source || !set.had) continue;
    alSourcef(source, AL_GAIN, set.gain);
    alSourcef(source, AL_PITCH, set.pitch);
    alSource3f(source, AL_POSITION, set.pos[0], set.pos[1], set.pos[2]);
  }
  RestoreChannels(true);
  return true;
}

// After a reconnection: looping channels and the music play on from where
// they were last seen, channels the game paused wait there, and short
// sounds that were cut off are over.
void gxtkAudio::RestoreChannels(bool newDevice) {
  for (int ch = 0; ch < HX_AUDIO_CHANNELS; ++ch) {
    gxtkChannel& chan = m_channels[ch];
    if (chan.m_state == 0) continue;
    bool keep = chan.m_state == 2 || chan.m_flags != 0 || ch == HX_AUDIO_MUSIC_CHANNEL;
    int position = m_position[ch];
    if (!keep || position < 0 || !chan.m_sample || !chan.m_sample->m_buffer || !chan.m_source) {
      if (chan.m_source) alSourceStop(chan.m_source);
      chan.m_state = 0;
      continue;
    }
    ALuint source = chan.m_source;
    if (!newDevice) alSourceRewind(source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(chan.m_sample->m_buffer));
    alSourcei(source, AL_LOOPING, chan.m_flags ? 1 : 0);
    ALint size = 0, bits = 0, channels = 0;
    alGetBufferi(chan.m_sample->m_buffer, AL_SIZE, &size);
    alGetBufferi(chan.m_sample->m_buffer, AL_BITS, &bits);
    alGetBufferi(chan.m_sample->m_buffer, AL_CHANNELS, &channels);
    ALint frames = bits > 0 && channels > 0 ? size / (bits / 8 * channels) : 0;
    if (position >= frames) position = 0;
    alSourcei(source, AL_SAMPLE_OFFSET, position);
    if (chan.m_state == 1) alSourcePlay(source);
  }
}

bool gxtkAudio::Ended(int channel) {
  gxtkChannel& chan = m_channels[channel];
  if (m_lost) return chan.m_flags == 0 && channel != HX_AUDIO_MUSIC_CHANNEL;
  return sourceState(chan.m_source) == AL_STOPPED;
}

void gxtkAudio::mark() {
  Object::mark();
  gc_mark_q(m_music);
  // A sample that is still sounding stays alive even when the game has
  // dropped it.
  for (int ch = 0; ch < HX_AUDIO_CHANNELS; ++ch) {
    gxtkChannel& chan = m_channels[ch];
    if (chan.m_state != 0 && chan.m_sample && !Ended(ch)) gc_mark_q(chan.m_sample);
  }
}

int gxtkAudio::Suspend() {
  m_suspended = true;
  for (gxtkChannel& chan : m_channels) {
    if (chan.m_state == 1 && sourceState(chan.m_source) == AL_PLAYING) alSourcePause(chan.m_source);
  }
  return 0;
}

int gxtkAudio::Resume() {
  m_suspended = false;
  for (gxtkChannel& chan : m_channels) {
    if (chan.m_state == 1 && sourceState(chan.m_source) == AL_PAUSED) alSourcePlay(chan.m_source);
  }
  // The device may have gone (or come back) meanwhile: the next update looks.
  m_nextCheck = 0;
  return 0;
}

gxtkSample* gxtkAudio::LoadSample(String path) {
  CheckDevice();
  FlushDiscarded();
  gxtkSample* sample = new gxtkSample();
  if (LoadSample__UNSAFE__(sample, path)) return sample;
  return nullptr;
}

bool gxtkAudio::LoadSample__UNSAFE__(gxtkSample* sample, String path) {
  if (!sample || !HxGame::_game) return false;
  int length = 0, channels = 0, format = 0, hertz = 0;
  unsigned char* data = HxGame::_game->LoadAudioData(path, &length, &channels, &format, &hertz);
  if (!data) return false;
  ALenum alFormat = 0;
  if (format == 1 && channels == 1) alFormat = AL_FORMAT_MONO8;
  else if (format == 1 && channels == 2) alFormat = AL_FORMAT_STEREO8;
  else if (format == 2 && channels == 1) alFormat = AL_FORMAT_MONO16;
  else if (format == 2 && channels == 2) alFormat = AL_FORMAT_STEREO16;
  if (alFormat == 0) {
    // OpenAL plays only mono and stereo, 8 or 16 bits: no sound to load.
    free(data);
    return false;
  }
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  alBufferData(buffer, alFormat, data, length * channels * format, hertz);
  free(data);
  sample->SetBuffer(buffer);
  sample->m_path = path;
  return true;
}

int gxtkAudio::PlaySample(gxtkSample* sample, int channel, int flags) {
  Open();
  CheckDevice();
  FlushDiscarded();
  if (!validChannel(channel)) return -1;
  gxtkChannel& chan = m_channels[channel];
  ALuint source = chan.AL_Source();
  if (!source) return -1;
  alSourceStop(source);
  alSourcei(source, AL_BUFFER, sample ? static_cast<ALint>(sample->m_buffer) : 0);
  alSourcei(source, AL_LOOPING, flags ? 1 : 0);
  alSourcePlay(source);
  gc_assign(chan.m_sample, sample);
  chan.m_flags = flags;
  chan.m_state = 1;
  m_position[channel] = 0;
  return 0;
}

int gxtkAudio::StopChannel(int channel) {
  if (!validChannel(channel)) return 0;
  gxtkChannel& chan = m_channels[channel];
  if (chan.m_state != 0) {
    alSourceStop(chan.m_source);
    chan.m_state = 0;
  }
  return 0;
}

int gxtkAudio::PauseChannel(int channel) {
  if (!validChannel(channel)) return 0;
  gxtkChannel& chan = m_channels[channel];
  if (chan.m_state == 1) {
    if (Ended(channel)) {
      chan.m_state = 0;
    } else {
      alSourcePause(chan.m_source);
      chan.m_state = 2;
    }
  }
  return 0;
}

int gxtkAudio::ResumeChannel(int channel) {
  if (!validChannel(channel)) return 0;
  gxtkChannel& chan = m_channels[channel];
  if (chan.m_state == 2) {
    alSourcePlay(chan.m_source);
    chan.m_state = 1;
  }
  return 0;
}

int gxtkAudio::ChannelState(int channel) {
  if (!validChannel(channel)) return 0;
  gxtkChannel& chan = m_channels[channel];
  if (chan.m_state != 1) return chan.m_state;
  if (Ended(channel)) {
    chan.m_state = 0;
    return 0;
  }
  return 1;
}

int gxtkAudio::SetVolume(int channel, float volume) {
  if (!validChannel(channel)) return 0;
  Open();
  alSourcef(m_channels[channel].AL_Source(), AL_GAIN, volume);
  return 0;
}

int gxtkAudio::SetPan(int channel, float pan) {
  if (!validChannel(channel)) return 0;
  Open();
  float x = std::sin(pan);
  float z = -std::cos(pan);
  alSource3f(m_channels[channel].AL_Source(), AL_POSITION, x, 0.0f, z);
  return 0;
}

int gxtkAudio::SetRate(int channel, float rate) {
  if (!validChannel(channel)) return 0;
  Open();
  alSourcef(m_channels[channel].AL_Source(), AL_PITCH, rate);
  return 0;
}

int gxtkAudio::PlayMusic(String path, int flags) {
  StopMusic();
  if (LoadMusic(path) != 0) return -1;
  PlaySample(m_music, HX_AUDIO_MUSIC_CHANNEL, flags);
  return 0;
}

int gxtkAudio::LoadMusic(String path) {
  // (Without a context there is never a buffer: the track is held all the same.)
  if (m_music && (m_music->m_buffer || !m_context) && path == m_musicPath) return 0;
  gxtkSample* sample = LoadSample(path);
  if (!sample) return -1;
  // The track held before is dropped; the music channel keeps it alive for
  // as long as it still plays.
  gc_assign(m_music, sample);
  m_musicPath = path;
  return 0;
}

int gxtkAudio::StopMusic() { return StopChannel(HX_AUDIO_MUSIC_CHANNEL); }
int gxtkAudio::PauseMusic() { return PauseChannel(HX_AUDIO_MUSIC_CHANNEL); }
int gxtkAudio::ResumeMusic() { return ResumeChannel(HX_AUDIO_MUSIC_CHANNEL); }
int gxtkAudio::MusicState() { return ChannelState(HX_AUDIO_MUSIC_CHANNEL); }
int gxtkAudio::SetMusicVolume(float volume) { return SetVolume(HX_AUDIO_MUSIC_CHANNEL, volume); }

gxtkSample::gxtkSample() { liveSamples().push_back(this); }
gxtkSample::gxtkSample(unsigned int buffer) : m_buffer(buffer) { liveSamples().push_back(this); }

gxtkSample::~gxtkSample() {
  puts("Discarding sample");
  Discard();
  std::vector<gxtkSample*>& live = liveSamples();
  auto it = std::find(live.begin(), live.end(), this);
  if (it != live.end()) {
    *it = live.back();
    live.pop_back();
  }
}

void gxtkSample::SetBuffer(unsigned int buffer) { m_buffer = buffer; }

int gxtkSample::Discard() {
  if (m_buffer) {
    hx_audio_discarded.push_back(m_buffer);
    m_buffer = 0;
    // Released now unless a source still plays it (the program may not load
    // or play anything for a long time).
    FlushDiscarded();
  }
  return 0;
}
