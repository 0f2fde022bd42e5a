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

// An Ogg Vorbis file of a sine tone, encoded with libvorbisenc. A comment
// of commentBytes bytes (a picture tag, as cover art is stored) goes into
// the comment header when asked for.
Bytes OggSine(int channels, int rate, double hz, double seconds, size_t commentBytes = 0);

// Ogg pages of a file: where each starts and how long it is.
struct OggPage {
  size_t offset, size;
  int64_t granule;
};
std::vector<OggPage> OggPages(const Bytes& ogg);
// The same stream with every sample position of the audio pages moved by
// delta (as in a stream cut out of a longer one); the checksums are redone.
Bytes OggShiftGranules(const Bytes& ogg, int64_t delta);

bool WriteFile(const std::string& path, const Bytes& bytes);
