// Small PNG files made byte by byte for tests: 8-bit grey, grey + alpha, RGB
// or RGBA, the image data in stored (uncompressed) deflate blocks, split into
// as many IDAT chunks as asked, with empty IDAT chunks where asked.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pngbytes {

inline uint32_t Crc32(const unsigned char* p, size_t n, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void Put32(std::vector<unsigned char>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}

inline void Chunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& body) {
  Put32(out, static_cast<uint32_t>(body.size()));
  std::vector<unsigned char> crcd(type, type + 4);
  crcd.insert(crcd.end(), body.begin(), body.end());
  out.insert(out.end(), crcd.begin(), crcd.end());
  Put32(out, Crc32(crcd.data(), crcd.size()));
}

struct Options {
  int idatChunks = 1;       // the zlib stream cut into this many IDAT chunks
  bool emptyIdatFirst = false;  // an empty IDAT before the data
  bool emptyIdatBetween = false;  // an empty IDAT after each data chunk
};

// pixels: width x height x channels bytes, rows top to bottom.
inline std::vector<unsigned char> Png(int width, int height, int channels, const std::vector<unsigned char>& pixels,
                                      Options opt = Options()) {
  static const unsigned char kColourType[5] = {0, 0, 4, 2, 6};
  std::vector<unsigned char> out = {137, 80, 78, 71, 13, 10, 26, 10};
  std::vector<unsigned char> ihdr;
  Put32(ihdr, static_cast<uint32_t>(width));
  Put32(ihdr, static_cast<uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, kColourType[channels], 0, 0, 0});
  Chunk(out, "IHDR", ihdr);

  // Filter byte 0 in front of every row, then zlib with stored blocks.
  std::vector<unsigned char> raw;
  const size_t row = static_cast<size_t>(width) * channels;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), pixels.begin() + y * row, pixels.begin() + (y + 1) * row);
  }
  std::vector<unsigned char> z = {0x78, 0x01};
  size_t at = 0;
  do {
    size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.push_back(static_cast<unsigned char>(n));
    z.push_back(static_cast<unsigned char>(n >> 8));
    z.push_back(static_cast<unsigned char>(~n));
    z.push_back(static_cast<unsigned char>(~n >> 8));
    z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    at += n;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Put32(z, b << 16 | a);

  if (opt.emptyIdatFirst) Chunk(out, "IDAT", {});
  const size_t per = (z.size() + opt.idatChunks - 1) / opt.idatChunks;
  for (size_t from = 0; from < z.size(); from += per) {
    size_t to = from + per < z.size() ? from + per : z.size();
    Chunk(out, "IDAT", std::vector<unsigned char>(z.begin() + from, z.begin() + to));
    if (opt.emptyIdatBetween) Chunk(out, "IDAT", {});
  }
  Chunk(out, "IEND", {});
  return out;
}

inline std::string AsString(const std::vector<unsigned char>& v) { return std::string(v.begin(), v.end()); }

}  // namespace pngbytes
