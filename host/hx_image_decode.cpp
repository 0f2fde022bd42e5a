// PNG decoding with stb_image, behind a walk over the file's chunks.
#include "host/hx_image_decode.h"

#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
// Damaged or hostile headers must not make the decoder allocate and fill
// gigabytes: no side beyond HX_IMAGE_MAX_SIDE (see also HX_IMAGE_MAX_PIXELS).
#define STBI_MAX_DIMENSIONS 16384
// The data folder holds PNG images only; every other decoder of this stb
// version stays out (its JPEG Huffman set-up overflows on bad input, its PNM
// header reader overflows on long numbers).
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
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

static_assert(HX_IMAGE_MAX_SIDE == STBI_MAX_DIMENSIONS, "one side limit");

namespace {

const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

unsigned long Be32(const unsigned char* p) {
  return static_cast<unsigned long>(p[0]) << 24 | static_cast<unsigned long>(p[1]) << 16 |
         static_cast<unsigned long>(p[2]) << 8 | p[3];
}

}  // namespace

bool hx_png_checked(const unsigned char* data, size_t size, std::vector<unsigned char>* out) {
  out->clear();
  if (!data || size < sizeof kSignature || memcmp(data, kSignature, sizeof kSignature) != 0) return false;
  out->reserve(size);
  out->insert(out->end(), data, data + sizeof kSignature);
  size_t pos = sizeof kSignature;
  while (size - pos >= 12) {  // length, type, CRC
    unsigned long length = Be32(data + pos);
    const unsigned char* type = data + pos + 4;
    // A length beyond what PNG allows or beyond the bytes still in the file.
    if (length > 0x7fffffffUL || length > size - pos - 12) return false;
    size_t whole = 12 + static_cast<size_t>(length);
    bool empty_idat = length == 0 && memcmp(type, "IDAT", 4) == 0;
    if (!empty_idat) out->insert(out->end(), data + pos, data + pos + whole);
    pos += whole;
    if (memcmp(type, "IEND", 4) == 0) return true;
  }
  return false;  // cut off before IEND
}

unsigned char* hx_decode_png(const unsigned char* data, size_t size, int* width, int* height, int* depth) {
  std::vector<unsigned char> png;
  if (!hx_png_checked(data, size, &png) || png.size() > 0x7fffffff) return nullptr;
  const int length = static_cast<int>(png.size());
  int w = 0, h = 0, d = 0;
  if (!stbi_info_from_memory(png.data(), length, &w, &h, &d) || w <= 0 || h <= 0 ||
      static_cast<long long>(w) * h > HX_IMAGE_MAX_PIXELS)
    return nullptr;
  // No conversion: the pixels keep the file's own channel count (1-4).
  unsigned char* pixels = stbi_load_from_memory(png.data(), length, &w, &h, &d, 0);
  if (!pixels) return nullptr;
  *width = w;
  *height = h;
  *depth = d;
  return pixels;
}
