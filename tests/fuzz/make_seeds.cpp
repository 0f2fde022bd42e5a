// Writes the fuzzer's seed corpus: small WAV and Ogg files of the shapes the
// game loads. Built and run by hand when the seeds need remaking:
//   g++ -std=c++17 -I. tests/fuzz/make_seeds.cpp tests/audio/hx_test_sounds.cpp \
//       $(pkg-config --libs vorbisenc vorbis ogg) -o /tmp/make_seeds && /tmp/make_seeds tests/fuzz/corpus
#include <string>

#include "tests/audio/hx_test_sounds.h"

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : ".";
  WavBuilder list;
  list.fmt(18, 1, 1, 8000, 8).chunk("LIST", Bytes(7, 'i')).zeros(1).chunk("data", SineBytes(1, 8, 8000, 500, 0.01, 0.5));
  bool ok = WriteFile(dir + "/mono8.wav", PcmWav(1, 8, 8000, SineBytes(1, 8, 8000, 440, 0.02, 0.5))) &&
            WriteFile(dir + "/stereo16.wav", PcmWav(2, 16, 22050, SineBytes(2, 16, 22050, 440, 0.01, 0.5))) &&
            WriteFile(dir + "/list18.wav", WavFile(list.bytes)) &&
            WriteFile(dir + "/mono.ogg", OggSine(1, 8000, 440, 0.05)) &&
            WriteFile(dir + "/stereo.ogg", OggSine(2, 11025, 330, 0.05));
  return ok ? 0 : 1;
}
