// Audio module: sounds and the game-facing channel and music functions.
#include "framework/hx_audio.h"

#if __has_include("framework/hx_graphics.h")
#include "framework/hx_graphics.h"
#else
String hx_data_FixDataPath(String path);
#endif

gxtkAudio* hx_audio_device = nullptr;

int hx_audio_SetAudioDevice(gxtkAudio* device) {
  if (device)
    gc_assign(hx_audio_device, device);
  else
    hx_audio_device = nullptr;
  return 0;
}

c_Sound* c_Sound::m_new(gxtkSample* sample) {
  gc_assign(m_sample, sample);
  return this;
}

c_Sound* c_Sound::m_new2() { return this; }

void c_Sound::mark() {
  Object::mark();
  gc_mark_q(m_sample);
}

// Without an installed device every call is a quiet no-op: loads give null
// and music reports that it could not start.

c_Sound* hx_audio_LoadSound(String path) {
  if (!hx_audio_device) return nullptr;
  gxtkSample* sample = hx_audio_device->LoadSample(hx_data_FixDataPath(path));
  if (!sample) return nullptr;
  return (new c_Sound())->m_new(sample);
}

int hx_audio_PlaySound(c_Sound* sound, int channel, int flags) {
  if (hx_audio_device && sound && sound->m_sample)
    hx_audio_device->PlaySample(sound->m_sample, channel, flags);
  return 0;
}

int hx_audio_StopChannel(int channel) {
  if (hx_audio_device) hx_audio_device->StopChannel(channel);
  return 0;
}

int hx_audio_SetChannelVolume(int channel, float volume) {
  if (hx_audio_device) hx_audio_device->SetVolume(channel, volume);
  return 0;
}

int hx_audio_SetChannelPan(int channel, float pan) {
  if (hx_audio_device) hx_audio_device->SetPan(channel, pan);
  return 0;
}

int hx_audio_SetChannelRate(int channel, float rate) {
  if (hx_audio_device) hx_audio_device->SetRate(channel, rate);
  return 0;
}

int hx_audio_PlayMusic(String path, int flags) {
  if (!hx_audio_device) return -1;
  return hx_audio_device->PlayMusic(hx_data_FixDataPath(path), flags);
}

int hx_audio_LoadMusic(String path) {
  if (!hx_audio_device) return -1;
  return hx_audio_device->LoadMusic(hx_data_FixDataPath(path));
}

int hx_audio_StopMusic() {
  if (hx_audio_device) hx_audio_device->StopMusic();
  return 0;
}

int hx_audio_PauseMusic() {
  if (hx_audio_device) hx_audio_device->PauseMusic();
  return 0;
}

int hx_audio_ResumeMusic() {
  if (hx_audio_device) hx_audio_device->ResumeMusic();
  return 0;
}
