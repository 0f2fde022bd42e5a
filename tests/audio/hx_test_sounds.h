// Sound files made in memory for the audio tests and benchmarks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A RIFF/WAVE file assembled from parts.
struct WavBuilder {
  Bytes bytes;
  WavBuilder& tag(const char* t);
  WavBuilder& u32(uint32_t v);
  WavBuilder& u16(uint16_t v);
  WavBuilder& raw(const Bytes& b);
  WavBuilder& zeros(size_t n);
  // "fmt " chunk: length, format tag, channels, rate, bits; extra bytes after
  // the 16 standard ones when length > 16.
  WavBuilder& fmt(uint32_t length, uint16_t formatTag, uint16_t channels, uint32_t rate,
                  uint16_t bits);
  WavBuilder& chunk(const char* t, const Bytes& body);
};

// "RIFF" <size> "WAVE" followed by the given parts.
Bytes WavFile(const Bytes& chunks);
// A plain PCM WAV holding the given sample bytes.
Bytes PcmWav(int channels, int bits, int rate, const Bytes& data);
// A sine tone as PCM bytes (8-bit unsigned or 16-bit signed), every channel alike.
Bytes SineBytes(int channels, int bits, int rate, double hz, double seconds, double amplitude);

// An Ogg Vorbis file of a sine tone, encoded with libvorbisenc.
Bytes OggSine(int channels, int rate, double hz, double seconds);

bool WriteFile(const std::string& path, const Bytes& bytes);
