// Image and sound file loading for the graphics and audio devices.
#define STB_IMAGE_IMPLEMENTATION
// Damaged or hostile headers must not make the decoder allocate and fill
// gigabytes: no side beyond 16384 pixels (see also kMaxImagePixels).
#define STBI_MAX_DIMENSIONS 16384
// The data folder holds PNG images; PNM stays for simple fixtures. The
// other decoders of this stb version are left out (its JPEG Huffman set-up
// overflows on bad input).
#define STBI_ONLY_PNG
#define STBI_ONLY_PNM
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "audio/hx_audio_decode.h"
#include "host/hx_glfw_game.h"

namespace {
// Outside memory reported to the collector, clamped to what an int holds.
void ReportBytes(long long bytes) { gc_ext_malloced(bytes > 0x7fffffff ? 0x7fffffff : static_cast<int>(bytes)); }
}  // namespace

unsigned char* HxGlfwGame::LoadImageData(String path, int* width, int* height, int* depth) {
  FILE* f = OpenFile(path, String("rb"));
  if (!f) return nullptr;
  int w = 0, h = 0, d = 0;
  // At most 16M pixels (64 MB of RGBA); stbi_info leaves the file position.
  const long long kMaxImagePixels = 16LL << 20;
  if (!stbi_info_from_file(f, &w, &h, &d) || static_cast<long long>(w) * h > kMaxImagePixels) {
    fclose(f);
    return nullptr;
  }
  // No conversion: the pixels keep the file's own channel count (1-4).
  unsigned char* data = stbi_load_from_file(f, &w, &h, &d, 0);
  fclose(f);
  if (!data) return nullptr;
  *width = w;
  *height = h;
  *depth = d;
  ReportBytes(static_cast<long long>(w) * h * d);
  return data;
}

unsigned char* HxGlfwGame::LoadAudioData(String path, int* length, int* channels, int* format,
                                         int* hertz) {
  FILE* f = OpenFile(path, String("rb"));
  if (!f) return nullptr;
  unsigned char* data = hx_decode_audio_file(f, path, length, channels, format, hertz);
  fclose(f);
  if (data) ReportBytes(static_cast<long long>(*length) * *channels * *format);
  return data;
}
