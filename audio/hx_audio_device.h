// The audio device: 33 OpenAL playback channels (0-31 effects, 32 music)
// and the samples they play.
#pragma once
#include <vector>
#include <AL/al.h>
#include <AL/alc.h>
#include "runtime/hx_runtime.h"

class gxtkSample;

// One playback channel, a plain record held inside the device.
struct gxtkChannel {
  ALuint m_source = 0;           // OpenAL source name, 0 while the channel has none
  gxtkSample* m_sample = nullptr;  // the sample last started here (kept after it stops)
  int m_flags = 0;               // flags of the last PlaySample (non-zero loops)
  int m_state = 0;               // 0 idle, 1 playing, 2 paused

  // The channel's source, created (or taken from an idle channel) when it
  // has none; 0 when no source could be obtained.
  ALuint AL_Source();
};

enum { HX_AUDIO_CHANNELS = 33, HX_AUDIO_MUSIC_CHANNEL = 32 };

class gxtkAudio : public Object {
 public:
  static gxtkAudio* audio;

  ALCdevice* m_device = nullptr;    // null when the default device could not be opened
  ALCcontext* m_context = nullptr;  // null when no context could be made
  gxtkChannel m_channels[HX_AUDIO_CHANNELS];
  // The music sample last loaded and the path it came from: playing the
  // same track again reuses it instead of decoding the file once more.
  gxtkSample* m_music = nullptr;
  String m_musicPath;

  // Whether the output device is opened by the first call that needs it
  // (a play, a volume, pan or rate) instead of by the constructor. Until
  // then no channel has a source and every channel is idle; samples load
  // (their files are read and checked) and get their sound when the device
  // opens. Set for the browser, where the output is a Web Audio context and
  // making one takes a good part of a second on some systems: the game
  // loads its first sounds behind its first frames, and the context is
  // made with the first sound played, on the loading screen.
  static bool openOnFirstUse;

  gxtkAudio();
  void mark() override;

  virtual int Suspend();
  virtual int Resume();
  virtual gxtkSample* LoadSample(String path);
  virtual bool LoadSample__UNSAFE__(gxtkSample* sample, String path);
  virtual int PlaySample(gxtkSample* sample, int channel, int flags);
  virtual int StopChannel(int channel);
  virtual int PauseChannel(int channel);
  virtual int ResumeChannel(int channel);
  virtual int ChannelState(int channel);
  virtual int SetVolume(int channel, float volume);
  virtual int SetPan(int channel, float pan);
  virtual int SetRate(int channel, float rate);
  virtual int PlayMusic(String path, int flags);
  virtual int StopMusic();
  virtual int PauseMusic();
  virtual int ResumeMusic();
  virtual int MusicState();
  virtual int SetMusicVolume(float volume);
  // Decodes a music track ahead of its first PlayMusic (nothing to do when
  // it is the track already held): 0 ready, -1 the file could not be loaded.
  virtual int LoadMusic(String path);
  // Stops every source and releases the sources, the buffers, the context
  // and the device (once; every later OpenAL call does nothing).
  void Close();

  // Watches the output device: called every update and by every load and
  // play, it asks about once a second whether the device is still there
  // (where OpenAL can tell). A lost device leaves the game playing on in
  // silence; once a default device exists again it is opened and the
  // channels come back: looping sounds and the music carry on near where
  // they were, paused ones stay paused, short sounds that were cut off are
  // over. Channel states and samples stay as the game left them. Returns
  // false while the device is lost.
  bool CheckDevice();
  bool DeviceLost() const { return m_lost; }

 private:
  bool m_canCheck = false;   // the device reports whether it is connected
  bool m_lost = false;       // the device went away and is not back yet
  bool m_suspended = false;  // between Suspend and Resume
  double m_nextCheck = 0;    // steady-clock seconds of the next look
  // Where each channel's sample was at the last look (sample frames), -1
  // when it had ended: a channel brought back carries on from there.
  int m_position[HX_AUDIO_CHANNELS] = {};

  bool m_opened = false;     // the device has been opened (or tried)

  // Opens the default device, once.
  void Open();
  bool CheckNow();
  bool Reconnect();
  void RestoreChannels(bool newDevice);
  // Whether the channel's sound is over. While the device is lost the
  // sources tell nothing: short sounds count as over, looping sounds and
  // the music as still playing.
  bool Ended(int channel);
};

class gxtkSample : public Object {
 public:
  ALuint m_buffer = 0;  // OpenAL buffer name, 0 when none
  String m_path;        // the file it was loaded from: a new device loads it again

  gxtkSample();
  explicit gxtkSample(unsigned int buffer);
  ~gxtkSample() override;
  void SetBuffer(unsigned int buffer);
  virtual int Discard();
};

// Buffers of discarded samples waiting to be deleted, oldest first. A
// discarded buffer that no source holds is deleted at once; the others wait
// for the next discard, load or play after their source has stopped.
extern std::vector<unsigned int> hx_audio_discarded;
