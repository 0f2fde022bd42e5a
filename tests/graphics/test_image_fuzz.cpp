// Bounded, deterministic fuzzing of the image decode path behind
// LoadSurface__UNSAFE__ (host LoadImageData + stb_image): mutated PNG, BMP,
// TGA and JPEG files must give either a consistent image or nothing (only
// PNGs are ever decoded).
// Run under the sanitizer build to catch memory errors in the decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/graphics/gfx_test_util.h"

namespace {

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::vector<unsigned char> out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  unsigned char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  fclose(f);
  return out;
}

struct Rng {
  uint32_t s = 0x2545F491u;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
};

TEST(ImageFuzz, MutatedFilesDecodeConsistentlyOrNotAtAll) {
  gfxtest::Setup();
  std::vector<unsigned char> px;
  for (int i = 0; i < 12 * 10; ++i) {
    px.push_back(static_cast<unsigned char>(i * 7));
    px.push_back(static_cast<unsigned char>(255 - i));
    px.push_back(static_cast<unsigned char>(i * 3));
    px.push_back(static_cast<unsigned char>(i * 11));
  }
  std::vector<std::vector<unsigned char>> seeds;
  seeds.push_back(ReadAll(gfxtest::WritePng("seed4.png", 12, 10, 4, px)));
  std::vector<unsigned char> grey(px.begin(), px.begin() + 120);
  seeds.push_back(ReadAll(gfxtest::WritePng("seed1.png", 12, 10, 1, grey)));
  for (const char* kind : {"bmp", "tga", "jpg"}) {
    std::string path = std::string("data/seed.") + kind;
    gfxtest::WriteEncoded(path, kind, 12, 10, 4, px);
    seeds.push_back(ReadAll(path));
  }
  for (const auto& s : seeds) ASSERT_GT(s.size(), 16u);

  gxtkGraphics* g = new gxtkGraphics();
  Rng rng;
  int decoded = 0, refused = 0;
  const int kRounds = 300;
  for (int round = 0; round < kRounds; ++round) {
    for (const auto& seed : seeds) {
      std::vector<unsigned char> f = seed;
      switch (rng.Below(4)) {
        case 0:  // flip a few bytes
          for (int k = 1 + rng.Below(8); k > 0; --k) f[rng.Below(f.size())] ^= static_cast<unsigned char>(1 + rng.Below(255));
          break;
        case 1:  // truncate
          f.resize(rng.Below(f.size()));
          break;
        case 2:  // overwrite a header byte (sizes, depths, chunk lengths)
          f[rng.Below(f.size() < 40 ? f.size() : 40)] = static_cast<unsigned char>(rng.Next());
          break;
        default:  // insert junk
          f.insert(f.begin() + rng.Below(f.size()), 1 + rng.Below(32), static_cast<unsigned char>(rng.Next()));
          break;
      }
      gfxtest::WriteFile("fuzz.img", f);
      gxtkSurface* s = new gxtkSurface();
      bool ok = g->LoadSurface__UNSAFE__(s, String("quoll://data/fuzz.img"));
      if (ok) {
        ++decoded;
        ASSERT_NE(s->data, nullptr);
        ASSERT_GT(s->Width(), 0);
        ASSERT_GT(s->Height(), 0);
        ASSERT_GE(s->depth, 1);
        ASSERT_LE(s->depth, 4);
        // Touch every byte so the sanitizer sees a short buffer.
        unsigned sum = 0;
        size_t n = static_cast<size_t>(s->Width()) * s->Height() * s->depth;
        for (size_t i = 0; i < n; ++i) sum += s->data[i];
        (void)sum;
      } else {
        ++refused;
        ASSERT_EQ(s->data, nullptr);
      }
      s->Discard();
    }
  }
  // Both outcomes occur: the mutations are neither all harmless nor all fatal.
  EXPECT_GT(decoded, 0);
  EXPECT_GT(refused, 0);
  printf("decoded %d, refused %d\n", decoded, refused);
}

}  // namespace
