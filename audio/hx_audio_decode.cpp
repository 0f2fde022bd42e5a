// Placeholder until the decoders land; every file reads as "no sound".
#include "audio/hx_audio_decode.h"
unsigned char* LoadWAV(FILE*, int*, int*, int*, int*) { return nullptr; }
unsigned char* LoadOGG(FILE*, int*, int*, int*, int*) { return nullptr; }
unsigned char* hx_decode_audio_file(FILE*, const String&, int*, int*, int*, int*) { return nullptr; }
