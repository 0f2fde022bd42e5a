// Small math helpers of the framework.
#pragma once

int hx_math_Abs(int x);
float hx_math_Abs2(float x);
int hx_math_Max(int x, int y);
float hx_math_Max2(float x, float y);
int hx_math_Min(int x, int y);
float hx_math_Min2(float x, float y);
