// libFuzzer target: every input goes through both sound decoders, as a file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "audio/hx_audio_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen wants a non-empty buffer
  unsigned char* (*decoders[])(FILE*, int*, int*, int*, int*) = {LoadWAV, LoadOGG};
  for (auto decode : decoders) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    int length = 0, channels = 0, format = 0, hertz = 0;
    unsigned char* pcm = decode(f, &length, &channels, &format, &hertz);
    fclose(f);
    if (pcm) {
      // The promised shape must fit in what came back.
      if (length < 0 || channels <= 0 || format <= 0 || hertz <= 0) abort();
      volatile unsigned char sink = 0;
      size_t bytes = static_cast<size_t>(length) * channels * format;
      if (bytes) sink = sink + pcm[bytes - 1];
      free(pcm);
    }
  }
  return 0;
}
