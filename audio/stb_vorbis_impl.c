/* The Ogg Vorbis decoder, compiled once for the whole program.

   Two conversions in the decoder have no defined result on damaged streams,
   and both are made defined here rather than left to the machine:
   - its fast float-to-int sample conversion subtracts in int arithmetic and
     overflows on out-of-range samples: the unit is built with -fwrapv (see
     CMakeLists.txt), and the clamp that follows gives the right sample;
   - sizing a codebook from its header casts floor() of a power to int,
     which may be far beyond int or NaN for a damaged header: floor() is kept
     inside the int range here (NaN gives 0), so the cast is exact and the
     decoder's own range checks then refuse the header. */
#include <limits.h>
#include <math.h>

static double hx_floor_in_int_range(double x) {
  if (x != x) return 0.0;
  if (x >= (double)INT_MAX) return (double)INT_MAX;
  if (x <= (double)INT_MIN) return (double)INT_MIN;
  return floor(x);
}
#define floor(x) hx_floor_in_int_range(x)

#include <stb/stb_vorbis.h>

#undef floor
