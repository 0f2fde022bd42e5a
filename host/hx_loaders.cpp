// Image and sound file loading for the graphics and audio devices.
#include <cstdlib>
#include <vector>

#include "audio/hx_audio_decode.h"
#include "host/hx_image_decode.h"
#include "host/hx_glfw_game.h"

namespace {
// Outside memory reported to the collector, clamped to what an int holds.
void ReportBytes(long long bytes) { gc_ext_malloced(bytes > 0x7fffffff ? 0x7fffffff : static_cast<int>(bytes)); }
}  // namespace

unsigned char* HxGlfwGame::LoadImageData(String path, int* width, int* height, int* depth) {
  FILE* f = OpenFile(path, String("rb"));
  if (!f) return nullptr;
  // The whole file, up to what the largest acceptable image could need.
  const size_t kMaxFileBytes = 64u << 20;
  std::vector<unsigned char> file;
  unsigned char buf[16384];
  size_t n;
  while (file.size() <= kMaxFileBytes && (n = fread(buf, 1, sizeof buf, f)) > 0) file.insert(file.end(), buf, buf + n);
  fclose(f);
  if (file.size() > kMaxFileBytes) return nullptr;
  int w = 0, h = 0, d = 0;
  unsigned char* data = hx_decode_png(file.data(), file.size(), &w, &h, &d);
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
