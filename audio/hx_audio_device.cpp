// The audio device over OpenAL.
#include "audio/hx_audio_device.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/hx_game.h"

gxtkAudio* gxtkAudio::audio = nullptr;
std::vector<unsigned int> hx_audio_discarded;

namespace {

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

gxtkAudio::gxtkAudio() {
  audio = this;
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
  for (gxtkChannel& chan : m_channels) chan = gxtkChannel();
  // Music always has a source of its own.
  m_channels[HX_AUDIO_MUSIC_CHANNEL].AL_Source();
  // A normal end closes the device (OpenAL complains about open ones).
  hx_add_exit_step([] {
    if (gxtkAudio::audio) gxtkAudio::audio->Close();
  });
}

void gxtkAudio::Close() {
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

void gxtkAudio::mark() {
  Object::mark();
  gc_mark_q(m_music);
  // A sample that is still sounding stays alive even when the game has
  // dropped it.
  for (gxtkChannel& chan : m_channels) {
    if (chan.m_state != 0 && chan.m_sample && sourceState(chan.m_source) != AL_STOPPED)
      gc_mark_q(chan.m_sample);
  }
}

int gxtkAudio::Suspend() {
  for (gxtkChannel& chan : m_channels) {
    if (chan.m_state == 1 && sourceState(chan.m_source) == AL_PLAYING) alSourcePause(chan.m_source);
  }
  return 0;
}

int gxtkAudio::Resume() {
  for (gxtkChannel& chan : m_channels) {
    if (chan.m_state == 1 && sourceState(chan.m_source) == AL_PAUSED) alSourcePlay(chan.m_source);
  }
  return 0;
}

gxtkSample* gxtkAudio::LoadSample(String path) {
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
  return true;
}

int gxtkAudio::PlaySample(gxtkSample* sample, int channel, int flags) {
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
    if (sourceState(chan.m_source) == AL_STOPPED) {
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
  if (sourceState(chan.m_source) == AL_STOPPED) {
    chan.m_state = 0;
    return 0;
  }
  return 1;
}

int gxtkAudio::SetVolume(int channel, float volume) {
  if (!validChannel(channel)) return 0;
  alSourcef(m_channels[channel].AL_Source(), AL_GAIN, volume);
  return 0;
}

int gxtkAudio::SetPan(int channel, float pan) {
  if (!validChannel(channel)) return 0;
  float x = std::sin(pan);
  float z = -std::cos(pan);
  alSource3f(m_channels[channel].AL_Source(), AL_POSITION, x, 0.0f, z);
  return 0;
}

int gxtkAudio::SetRate(int channel, float rate) {
  if (!validChannel(channel)) return 0;
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

gxtkSample::gxtkSample() {}
gxtkSample::gxtkSample(unsigned int buffer) : m_buffer(buffer) {}

gxtkSample::~gxtkSample() {
  puts("Discarding sample");
  Discard();
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
