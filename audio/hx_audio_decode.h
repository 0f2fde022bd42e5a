// Sound file decoding to interleaved little-endian PCM.
#pragma once
#include <cstdio>
#include "runtime/hx_runtime.h"

// Each returns a malloc'ed block (free() it) or null when the file is not a
// readable sound of that kind. length is in sample frames, format is bytes
// per sample (1 or 2), hertz the sample rate.
unsigned char* LoadWAV(FILE* f, int* length, int* channels, int* format, int* hertz);
unsigned char* LoadOGG(FILE* f, int* length, int* channels, int* format, int* hertz);

// Picks the decoder by the path's extension (".wav" / ".ogg", any case) and
// decodes the already opened file (the caller closes it); null for any
// other extension. The caller reports the decoded bytes to the collector.
unsigned char* hx_decode_audio_file(FILE* f, const String& path, int* length, int* channels,
                                    int* format, int* hertz);
