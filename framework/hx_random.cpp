#include "framework/hx_random.h"

int hx_random_Seed = 1234;

float hx_random_Rnd() {
  // 32-bit wrap-around arithmetic, done unsigned to stay well defined.
  unsigned seed = static_cast<unsigned>(hx_random_Seed) * 1664525u + 1013904223u;
  hx_random_Seed = static_cast<int>(seed);
  return static_cast<float>(seed >> 8) * (1.0f / 16777216.0f);
}

float hx_random_Rnd2(float low, float high) { return low + (high - low) * hx_random_Rnd(); }

float hx_random_Rnd3(float range) { return hx_random_Rnd() * range; }
