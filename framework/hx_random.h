// The program's single pseudo-random stream (32-bit linear congruential).
#pragma once

// Current seed; 1234 at start-up. Every draw advances it exactly once.
extern int hx_random_Seed;

// Float in [0, 1).
float hx_random_Rnd();
// low + (high - low) * Rnd().
float hx_random_Rnd2(float low, float high);
// Rnd() * range.
float hx_random_Rnd3(float range);
