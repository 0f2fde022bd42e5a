/* The Ogg Vorbis decoder, compiled once for the whole program. */
#include <stb/stb_vorbis.h>

/* Non-zero when the last page the decoder read carried the end-of-stream
   flag, i.e. the stream was decoded to its real end rather than cut off. */
int hx_vorbis_reached_last_page(stb_vorbis* v) {
  return v && (v->page_flag & PAGEFLAG_last_page) != 0;
}
