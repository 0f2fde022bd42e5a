// Audio module: sounds and the game-facing channel and music functions.
// Every function goes to the device installed with hx_audio_SetAudioDevice.
#pragma once
#include "runtime/hx_runtime.h"
#include "audio/hx_audio_device.h"

class c_Sound : public Object {
 public:
  gxtkSample* m_sample = nullptr;

  c_Sound* m_new(gxtkSample* sample);
  c_Sound* m_new2();
  void mark() override;
};

extern gxtkAudio* hx_audio_device;

int hx_audio_SetAudioDevice(gxtkAudio* device);

// Null when the file is missing or cannot be decoded.
c_Sound* hx_audio_LoadSound(String path);
// A null sound, or one without a sample, plays nothing.
int hx_audio_PlaySound(c_Sound* sound, int channel, int flags);
int hx_audio_StopChannel(int channel);
int hx_audio_SetChannelVolume(int channel, float volume);
// pan is an angle in radians: 0 ahead, pi/2 right, -pi/2 left.
int hx_audio_SetChannelPan(int channel, float pan);
int hx_audio_SetChannelRate(int channel, float rate);
// 0 when started, -1 when the file could not be loaded (music is stopped either way).
int hx_audio_PlayMusic(String path, int flags);
// Decodes a music file ahead of its first hx_audio_PlayMusic, which then
// starts at once: 0 ready, -1 the file could not be loaded.
int hx_audio_LoadMusic(String path);
int hx_audio_StopMusic();
int hx_audio_PauseMusic();
int hx_audio_ResumeMusic();
