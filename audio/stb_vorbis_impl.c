/* The Ogg Vorbis decoder, compiled once for the whole program. */
#include <stb/stb_vorbis.h>
