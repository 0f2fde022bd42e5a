// What a screenshot of the game's window shows, for the tests of scaled
// displays: the title menu (the orange logo in the upper left, the grass
// and the play button's green below), the red floor of a game in play, and
// whether the picture was drawn at the window's full resolution or
// magnified from a smaller one. Pictures are packed RGB, row by row.
#pragma once
#include <cmath>
#include <cstdlib>
#include <vector>

namespace title_picture {

struct Picture {
  const std::vector<unsigned char>& rgb;
  int width, height;
  bool Ok() const { return width > 0 && height > 0 && rgb.size() == static_cast<size_t>(width) * height * 3; }
};

// The share (0..1) of the pixels in the rectangle (fractions of the
// picture: x0, y0, x1, y1) for which test(r, g, b) holds.
template <class Test>
double Share(const Picture& p, double x0, double y0, double x1, double y1, Test test) {
  if (!p.Ok()) return 0;
  int xa = static_cast<int>(std::floor(x0 * p.width)), xb = static_cast<int>(std::ceil(x1 * p.width));
  int ya = static_cast<int>(std::floor(y0 * p.height)), yb = static_cast<int>(std::ceil(y1 * p.height));
  long hits = 0, all = 0;
  for (int y = ya; y < yb; ++y)
    for (int x = xa; x < xb; ++x) {
      const unsigned char* c = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
      hits += test(c[0], c[1], c[2]) ? 1 : 0;
      ++all;
    }
  return all ? static_cast<double>(hits) / all : 0;
}

inline bool Orange(int r, int g, int b) { return r > 200 && g > 90 && g < 210 && b < 90; }  // the logo
inline bool Red(int r, int g, int b) { return r > 180 && g < 70 && b < 70; }                 // the floor in play
inline bool Green(int r, int g, int b) { return g > 150 && r < 140 && b < 110; }             // grass, play button

inline double LogoShare(const Picture& p) { return Share(p, 0.15, 0.05, 0.55, 0.33, Orange); }
inline double FloorShare(const Picture& p) { return Share(p, 0, 0.99, 1, 1, Red); }
// The title menu fills the picture: the logo in its place above, the
// grass and the play button in the lower half.
inline bool TitleShown(const Picture& p) {
  return LogoShare(p) > 0.15 && Share(p, 0, 0.5, 1, 1, Green) > 0.02;
}

// Drawn at full resolution rather than magnified: a picture drawn at half
// the size and doubled has equal pixels in every pair (2k, 2k + 1) of a
// row, while one drawn at its own size changes as often inside those pairs
// as across them. The ratio of the changes inside the pairs to those across
// them: near 1 when sharp, near 0 when doubled.
inline double PairChangeRatio(const Picture& p) {
  if (!p.Ok()) return 0;
  long inside = 0, across = 0;
  for (int y = 0; y < p.height; ++y) {
    const unsigned char* row = &p.rgb[static_cast<size_t>(y) * p.width * 3];
    for (int x = 0; x + 2 < p.width; ++x) {
      int d = 0;
      for (int c = 0; c < 3; ++c) d += std::abs(row[x * 3 + c] - row[(x + 1) * 3 + c]);
      if (d < 24) continue;  // only real edges
      (x % 2 == 0 ? inside : across) += 1;
    }
  }
  return across ? static_cast<double>(inside) / across : 0;
}

// Drawn sharp rather than smoothed: of the changes between neighbouring
// pixels of a row, the share that are steep (the outlines of the game's
// pictures). About 0.17 on the title menu drawn at the window's size,
// about 0.02 on the same menu drawn at half the size and smoothly doubled.
inline double SteepEdgeShare(const Picture& p) {
  if (!p.Ok()) return 0;
  long edges = 0, steep = 0;
  for (int y = 0; y < p.height; ++y) {
    const unsigned char* row = &p.rgb[static_cast<size_t>(y) * p.width * 3];
    for (int x = 0; x + 1 < p.width; ++x) {
      int d = 0;
      for (int c = 0; c < 3; ++c) d += std::abs(row[x * 3 + c] - row[(x + 1) * 3 + c]);
      if (d >= 24) ++edges;
      if (d >= 240) ++steep;
    }
  }
  return edges ? static_cast<double>(steep) / edges : 0;
}

}  // namespace title_picture
