// WAV and Ogg Vorbis decoding to interleaved PCM.
#include "audio/hx_audio_decode.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <vector>

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

namespace {

// Four bytes as a little-endian 32-bit value, or -1 when they cannot be read.
int readInt(FILE* f) {
  unsigned char b[4];
  if (fread(b, 1, 4, f) != 4) return -1;
  return static_cast<int>(static_cast<unsigned>(b[0]) | static_cast<unsigned>(b[1]) << 8 |
                          static_cast<unsigned>(b[2]) << 16 | static_cast<unsigned>(b[3]) << 24);
}

// Two bytes as a little-endian unsigned value, or -1 when they cannot be read.
int readShort(FILE* f) {
  unsigned char b[2];
  if (fread(b, 1, 2, f) != 2) return -1;
  return b[0] | b[1] << 8;
}

// A four-character tag; empty when four bytes cannot be read.
bool readTag(FILE* f, char (&tag)[5]) {
  tag[0] = tag[4] = 0;
  if (fread(tag, 1, 4, f) != 4) {
    tag[0] = 0;
    return false;
  }
  return true;
}

// Bytes left in the file from the current position, or -1 when the stream
// cannot tell (a pipe).
long bytesLeft(FILE* f) {
  long here = ftell(f);
  if (here < 0) return -1;
  if (fseek(f, 0, SEEK_END) != 0) return -1;
  long end = ftell(f);
  if (fseek(f, here, SEEK_SET) != 0 || end < here) return -1;
  return end - here;
}

// Reads exactly n bytes into a new block; null when the file holds fewer.
// The block grows with what is actually read, so a size field that lies
// never turns into one huge allocation.
unsigned char* readBody(FILE* f, int n) {
  long left = bytesLeft(f);
  if (left >= 0 && n > left) return nullptr;
  const int step = 1 << 20;
  unsigned char* p = nullptr;
  int have = 0;
  while (have < n || p == nullptr) {
    int want = n - have < step ? n - have : step;
    unsigned char* q = static_cast<unsigned char*>(realloc(p, static_cast<size_t>(have + want) + 1));
    if (!q) {
      free(p);
      return nullptr;
    }
    p = q;
    if (static_cast<int>(fread(p + have, 1, want, f)) != want) {
      free(p);
      return nullptr;
    }
    have += want;
    if (n == 0) break;
  }
  return p;
}

// Skips n bytes; false when the file ends first.
bool skipBody(FILE* f, int n) {
  long left = bytesLeft(f);
  if (left >= 0) {
    if (n > left) return false;
    return fseek(f, n, SEEK_CUR) == 0;
  }
  unsigned char scratch[4096];
  while (n > 0) {
    int want = n < static_cast<int>(sizeof scratch) ? n : static_cast<int>(sizeof scratch);
    if (static_cast<int>(fread(scratch, 1, want, f)) != want) return false;
    n -= want;
  }
  return true;
}

// ext is lower case; the path's characters go through wide lower-casing.
bool endsWithNoCase(const String& path, const char* ext) {
  int n = static_cast<int>(strlen(ext));
  int start = path.Length() - n;
  if (start < 0) return false;
  for (int i = 0; i < n; ++i)
    if (towlower(static_cast<wint_t>(path[start + i])) != static_cast<wint_t>(ext[i])) return false;
  return true;
}

}  // namespace

unsigned char* LoadWAV(FILE* f, int* length, int* channels, int* format, int* hertz) {
  char tag[5];
  if (!readTag(f, tag) || strcmp(tag, "RIFF") != 0) return nullptr;
  readInt(f);  // RIFF size: the chunks themselves say how long they are
  if (!readTag(f, tag) || strcmp(tag, "WAVE") != 0) return nullptr;
  if (!readTag(f, tag) || strcmp(tag, "fmt ") != 0) return nullptr;
  int fmtLength = readInt(f);
  if (fmtLength < 16) return nullptr;  // too short for the fields below, or unreadable
  if (readShort(f) != 1) return nullptr;  // integer PCM only
  int chans = readShort(f);
  int rate = readInt(f);
  readInt(f);    // byte rate
  readShort(f);  // block align
  int bits = readShort(f);
  // A zero, unreadable or sub-byte field would leave nothing to divide by.
  if (chans <= 0 || bits < 8 || rate <= 0) return nullptr;
  int bytes = bits >> 3;
  if (fmtLength > 16 && !skipBody(f, fmtLength - 16)) return nullptr;

  for (;;) {
    if (!readTag(f, tag) || feof(f)) return nullptr;
    int size = readInt(f);
    if (size < 0) return nullptr;
    if (strcmp(tag, "data") != 0) {
      if (!skipBody(f, size)) return nullptr;
      // RIFF pads odd-sized chunks with one zero byte. Tags never start with
      // a zero byte, so a zero here is the pad and anything else is the
      // next tag of a writer that left the pad out.
      if (size & 1) {
        int c = fgetc(f);
        if (c != 0 && c != EOF) ungetc(c, f);
      }
      continue;
    }
    unsigned char* data = readBody(f, size);
    if (!data) return nullptr;  // cut short: the file ends inside this chunk
    *length = size / (chans * bytes);
    *channels = chans;
    *format = bytes;
    *hertz = rate;
    return data;
  }
}

namespace {

// The largest block of working memory the Vorbis decoder is given.
const int kMaxArena = 16 * 1024 * 1024;

// Reads one Ogg page header at the file position: its flags and segment
// table. False when the file does not hold a whole header there.
bool ReadOggPage(FILE* f, int* flags, unsigned char (&segments)[255], int* count) {
  unsigned char h[27];
  if (fread(h, 1, 27, f) != 27 || memcmp(h, "OggS", 4) != 0 || h[4] != 0) return false;
  *flags = h[5];
  *count = h[26];
  return static_cast<int>(fread(segments, 1, *count, f)) == *count;
}

// The decoder trusts the length fields of the comment header (vendor text,
// number of comments, each comment's length) and writes out of bounds, or
// dereferences null, when they are larger than the header or negative.
// This walks the first two pages the way the decoder does and checks that
// every length fits in the comment packet. The file position is restored.
bool CommentHeaderIsSound(FILE* f) {
  const long start = ftell(f);
  if (start < 0) return false;
  bool ok = false;
  std::vector<unsigned char> packet;
  // The comment texts live in the decoder's memory, so no bigger packet
  // can be opened.
  const size_t kMaxPacket = kMaxArena;
  unsigned char segments[255];
  int flags = 0, count = 0;
  // Page one holds the identification header alone; the comment header
  // starts on page two and may continue over more pages.
  if (ReadOggPage(f, &flags, segments, &count)) {
    long body = 0;
    for (int i = 0; i < count; ++i) body += segments[i];
    bool more = fseek(f, body, SEEK_CUR) == 0;  // past the identification header
    bool done = false;                          // the comment packet is whole
    while (more && !done && ReadOggPage(f, &flags, segments, &count)) {
      for (int i = 0; i < count && !done; ++i) {
        size_t at = packet.size();
        packet.resize(at + segments[i]);
        if (packet.size() > kMaxPacket ||
            fread(packet.data() + at, 1, segments[i], f) != segments[i]) {
          more = false;
          break;
        }
        done = segments[i] < 255;
      }
    }
    if (done && packet.size() >= 7 && packet[0] == 3 && memcmp(&packet[1], "vorbis", 6) == 0) {
      size_t at = 7;
      auto field = [&](uint32_t* v) {
        if (packet.size() - at < 4) return false;
        *v = static_cast<uint32_t>(packet[at]) | static_cast<uint32_t>(packet[at + 1]) << 8 |
             static_cast<uint32_t>(packet[at + 2]) << 16 | static_cast<uint32_t>(packet[at + 3]) << 24;
        at += 4;
        return true;
      };
      uint32_t n = 0;
      ok = field(&n) && n <= packet.size() - at;  // vendor text
      if (ok) at += n;
      uint32_t comments = 0;
      ok = ok && field(&comments) && comments <= (packet.size() - at) / 4;
      for (uint32_t i = 0; ok && i < comments; ++i) {
        ok = field(&n) && n <= packet.size() - at;
        if (ok) at += n;
      }
    }
  }
  if (fseek(f, start, SEEK_SET) != 0) ok = false;
  return ok;
}

// Opens the decoder with its working memory in one block of ours. The
// decoder's own allocations leak on some damaged headers; in a block of our
// own nothing can leak, and a header that asks for absurd amounts fails
// instead of allocating them. A file that needs more gets a bigger block.
stb_vorbis* OpenVorbis(FILE* f, char** arena) {
  *arena = nullptr;
  if (!CommentHeaderIsSound(f)) return nullptr;
  long start = ftell(f);
  for (int size = 256 * 1024; size <= kMaxArena; size *= 4) {
    *arena = static_cast<char*>(malloc(size));
    if (!*arena) return nullptr;
    stb_vorbis_alloc alloc = {*arena, size};
    int error = 0;
    stb_vorbis* v = stb_vorbis_open_file(f, 0, &error, &alloc);
    if (v) return v;
    free(*arena);
    *arena = nullptr;
    if (error != VORBIS_outofmem || start < 0 || fseek(f, start, SEEK_SET) != 0) return nullptr;
  }
  return nullptr;
}

}  // namespace

unsigned char* LoadOGG(FILE* f, int* length, int* channels, int* format, int* hertz) {
  char* arena = nullptr;
  stb_vorbis* v = OpenVorbis(f, &arena);
  if (!v) return nullptr;
  stb_vorbis_info info = stb_vorbis_get_info(v);
  const int c = info.channels;
  // The rate is stored unsigned; one that does not fit the int it is
  // handed on as is not a rate any device plays.
  if (c <= 0 || info.sample_rate == 0 || info.sample_rate > static_cast<unsigned>(INT_MAX)) {
    stb_vorbis_close(v);
    free(arena);
    return nullptr;
  }
  const int block = c * 4096;
  int limit = block;
  int total = 0;
  short* buf = static_cast<short*>(malloc(static_cast<size_t>(limit) * sizeof(short)));
  bool ok = buf != nullptr;
  while (ok) {
    int n = stb_vorbis_get_frame_short_interleaved(v, c, buf + total, limit - total);
    if (n == 0) break;
    total += n * c;
    if (limit < total + block) {
      if (limit > INT_MAX / 2 / static_cast<int>(sizeof(short))) {
        ok = false;  // more than 1 GB of samples: not a sound this game plays
        break;
      }
      limit *= 2;
      short* grown = static_cast<short*>(realloc(buf, static_cast<size_t>(limit) * sizeof(short)));
      if (!grown) {
        ok = false;
        break;
      }
      buf = grown;
    }
  }
  // What decodes is the sound, also from a stream cut short or one whose
  // sample positions do not start at zero; one that holds no samples at all
  // is no sound.
  if (total == 0) ok = false;
  stb_vorbis_close(v);
  free(arena);
  if (!ok) {
    free(buf);
    return nullptr;
  }
  short* trimmed = static_cast<short*>(realloc(buf, static_cast<size_t>(total) * sizeof(short)));
  if (trimmed) buf = trimmed;
  *length = total / c;
  *channels = c;
  *format = 2;
  *hertz = static_cast<int>(info.sample_rate);
  return reinterpret_cast<unsigned char*>(buf);
}

unsigned char* hx_decode_audio_file(FILE* f, const String& path, int* length, int* channels,
                                    int* format, int* hertz) {
  if (!f) return nullptr;
  if (endsWithNoCase(path, ".wav")) return LoadWAV(f, length, channels, format, hertz);
  if (endsWithNoCase(path, ".ogg")) return LoadOGG(f, length, channels, format, hertz);
  return nullptr;
}
