// libFuzzer target: the game's image path, the host's PNG loader with its
// chunk walk and its size caps, over the fuzzer's bytes as an image file.
#include <cstdint>
#include <cstdlib>

#include "host/hx_image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int w = -1, h = -1, d = -1;
  unsigned char* pixels = hx_decode_png(data, size, &w, &h, &d);
  if (!pixels) return 0;
  // What comes back is a whole image of the promised shape, within the caps.
  if (w <= 0 || h <= 0 || d < 1 || d > 4 || w > HX_IMAGE_MAX_SIDE || h > HX_IMAGE_MAX_SIDE ||
      static_cast<long long>(w) * h > HX_IMAGE_MAX_PIXELS)
    abort();
  volatile unsigned char sink = pixels[0];
  sink = sink + pixels[static_cast<size_t>(w) * h * d - 1];
  free(pixels);
  return 0;
}
