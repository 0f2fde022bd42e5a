// Decode time of the sound files the game loads at start-up: a minute of
// stereo 44.1 kHz Ogg Vorbis music and a 1 MB WAV effect.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "audio/hx_audio_decode.h"
#include "tests/audio/hx_test_sounds.h"

namespace {

FILE* OpenBytes(const Bytes& bytes) {
  FILE* f = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), f);
  return f;
}

void Decode(benchmark::State& state, const Bytes& file,
            unsigned char* (*decode)(FILE*, int*, int*, int*, int*)) {
  FILE* f = OpenBytes(file);
  int length = 0, channels = 0, format = 0, hertz = 0;
  for (auto _ : state) {
    rewind(f);
    unsigned char* pcm = decode(f, &length, &channels, &format, &hertz);
    if (!pcm) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(pcm);
    free(pcm);
  }
  fclose(f);
  state.counters["file_KB"] = file.size() / 1024.0;
  state.counters["pcm_MB"] = static_cast<double>(length) * channels * format / (1024.0 * 1024.0);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length * channels * format);
}

void BM_DecodeOgg60sStereo44k(benchmark::State& state) {
  static const Bytes ogg = OggSine(2, 44100, 440, 60.0);
  Decode(state, ogg, LoadOGG);
}
BENCHMARK(BM_DecodeOgg60sStereo44k)->Unit(benchmark::kMillisecond);

void BM_DecodeWav1MB(benchmark::State& state) {
  static const Bytes wav = PcmWav(2, 16, 44100, Bytes(1024 * 1024, 0x33));
  Decode(state, wav, LoadWAV);
}
BENCHMARK(BM_DecodeWav1MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
