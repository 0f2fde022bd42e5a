// File names between the system's bytes and the game's 16-bit text (see
// hx_platform.h): UTF-8 with surrogate pairs, and every byte that is not
// part of well-formed UTF-8 carried as the lone low surrogate U+DC80 + (byte
// - 0x80), so that any name comes back as the bytes it went in as.
#include <string>
#include <vector>

#include "host/hx_platform.h"

namespace hx_platform {

namespace {

// The length of the well-formed UTF-8 sequence at p (at most n bytes
// available) and its code point; 0 when the byte at p does not begin one.
// Overlong forms, encoded surrogates and values beyond U+10FFFF are not
// well-formed.
int Sequence(const unsigned char* p, size_t n, unsigned* cp) {
  unsigned b0 = p[0];
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  int len;
  unsigned min, c;
  if ((b0 & 0xe0) == 0xc0) {
    len = 2, min = 0x80, c = b0 & 0x1f;
  } else if ((b0 & 0xf0) == 0xe0) {
    len = 3, min = 0x800, c = b0 & 0x0f;
  } else if ((b0 & 0xf8) == 0xf0) {
    len = 4, min = 0x10000, c = b0 & 0x07;
  } else {
    return 0;
  }
  if (n < static_cast<size_t>(len)) return 0;
  for (int i = 1; i < len; ++i) {
    if ((p[i] & 0xc0) != 0x80) return 0;
    c = (c << 6) | (p[i] & 0x3f);
  }
  if (c < min || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) return 0;
  *cp = c;
  return len;
}

void Put3(std::string& out, unsigned c) {
  out += static_cast<char>(0xe0 | (c >> 12));
  out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
  out += static_cast<char>(0x80 | (c & 0x3f));
}

}  // namespace

String PathFromBytes(const std::string& bytes) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  std::vector<Char> out;
  out.reserve(n);
  for (size_t i = 0; i < n;) {
    unsigned cp = 0;
    int len = Sequence(p + i, n - i, &cp);
    if (len == 0) {
      out.push_back(static_cast<Char>(0xdc00 | p[i]));  // p[i] >= 0x80 here
      i += 1;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<Char>(0xd800 | (cp >> 10)));
      out.push_back(static_cast<Char>(0xdc00 | (cp & 0x3ff)));
    } else {
      out.push_back(static_cast<Char>(cp));
    }
    i += static_cast<size_t>(len);
  }
  return out.empty() ? String() : String(out.data(), static_cast<int>(out.size()));
}

std::string PathToBytes(const String& path) {
  std::string out;
  const int n = path.Length();
  out.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    unsigned c = path[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c >= 0xd800 && c <= 0xdbff && i + 1 < n && path[i + 1] >= 0xdc00 && path[i + 1] <= 0xdfff) {
      unsigned cp = 0x10000 + ((c - 0xd800) << 10) + (static_cast<unsigned>(path[i + 1]) - 0xdc00);
      out += static_cast<char>(0xf0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (cp & 0x3f));
      ++i;
    } else if (c >= 0xdc80 && c <= 0xdcff) {
      out += static_cast<char>(c & 0xff);  // a byte that was not UTF-8
    } else {
      Put3(out, c);  // any other lone surrogate, as the state file writes it
    }
  }
  return out;
}

}  // namespace hx_platform
