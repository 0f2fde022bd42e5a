#include "framework/hx_math.h"

// Abs of the smallest int wraps to itself instead of overflowing.
int hx_math_Abs(int x) { return x >= 0 ? x : static_cast<int>(0u - static_cast<unsigned>(x)); }
float hx_math_Abs2(float x) { return x >= 0 ? x : -x; }
int hx_math_Max(int x, int y) { return x > y ? x : y; }
float hx_math_Max2(float x, float y) { return x > y ? x : y; }
int hx_math_Min(int x, int y) { return x < y ? x : y; }
float hx_math_Min2(float x, float y) { return x < y ? x : y; }
