// Image decoding for the loaders: PNG files held in memory, checked chunk by
// chunk before the decoder sees them.
#pragma once
#include <cstddef>
#include <vector>

// Largest image accepted: 16384 pixels a side and 16M pixels in all (64 MB
// of RGBA).
enum { HX_IMAGE_MAX_SIDE = 16384 };
const long long HX_IMAGE_MAX_PIXELS = 16LL << 20;

// The PNG as the decoder may see it, or false. Every chunk's length must fit
// in the bytes left in the file (nothing is sized from a length field that
// the file cannot back) and the chunks must end with IEND; empty IDAT chunks
// carry nothing and are left out. Bytes after IEND are ignored.
bool hx_png_checked(const unsigned char* data, size_t size, std::vector<unsigned char>* out);

// Decodes a PNG with its own channel count (1-4): the pixels (free() them)
// with width, height and channels written through the pointers, or null for
// anything that is not a whole, acceptable PNG.
unsigned char* hx_decode_png(const unsigned char* data, size_t size, int* width, int* height, int* depth);
