#include "runtime/hx_string.h"

#include <climits>
#include <cstdlib>
#include <vector>

String::Rep String::nullRep = {1, 0};
String _str_load_err;

void* hx_cstring_alloc(const unsigned short* p, int n, int unit_size) {
  if (n < 0) n = 0;
  int* blk = static_cast<int*>(malloc(2 * sizeof(int) + static_cast<size_t>(n + 1) * unit_size));
  blk[0] = 1;
  blk[1] = n;
  void* d = blk + 2;
  for (int i = 0; i <= n; ++i) {
    unsigned c = i < n ? p[i] : 0;
    if (unit_size == 1) static_cast<unsigned char*>(d)[i] = static_cast<unsigned char>(c);
    else if (unit_size == 2) static_cast<unsigned short*>(d)[i] = static_cast<unsigned short>(c);
    else static_cast<unsigned*>(d)[i] = c;
  }
  return blk;
}

void hx_cstring_release(int* refs) {
  if (--*refs == 0) free(refs);
}

void String::Rep::release() {
  if (--refs == 0 && this != &nullRep) free(this);
}

String::Rep* String::Rep::alloc(int length) {
  if (length <= 0) {
    nullRep.retain();
    return &nullRep;
  }
  Rep* r = static_cast<Rep*>(malloc(sizeof(Rep) + sizeof(Char) * static_cast<size_t>(length)));
  r->refs = 1;
  r->length = length;
  return r;
}

String::String(const Char* p, int n) : rep(Rep::alloc(n)) {
  if (n > 0) memcpy(rep->data(), p, n * sizeof(Char));
}

String::String(const wchar_t* p, int n) : rep(Rep::alloc(n)) {
  Char* d = rep->data();
  for (int i = 0; i < n; ++i) d[i] = static_cast<Char>(p[i]);
}

String::String(const char* p, int n) : rep(Rep::alloc(n)) {
  Char* d = rep->data();
  for (int i = 0; i < n; ++i) d[i] = static_cast<Char>(static_cast<signed char>(p[i]));
}

String::String(const char* p) : String(p, static_cast<int>(strlen(p))) {}

String::String(Char ch, int n) : rep(Rep::alloc(n)) {
  Char* d = rep->data();
  for (int i = 0; i < n; ++i) d[i] = ch;
}

static String::Rep* ascii_rep(const char* p) {
  int n = static_cast<int>(strlen(p));
  String::Rep* r = String::Rep::alloc(n);
  for (int i = 0; i < n; ++i) r->data()[i] = static_cast<Char>(p[i]);
  return r;
}

static String::Rep* int_rep(int n) {
  char buf[32];
  snprintf(buf, sizeof(buf), "%i", n);
  return ascii_rep(buf);
}

static String::Rep* float_rep(double f) {
  char buf[64];
  snprintf(buf, sizeof(buf), "%.17lg", f);
  if (!strchr(buf, '.') && !strchr(buf, 'e')) strcat(buf, ".0");
  return ascii_rep(buf);
}

String::String(int n) : rep(int_rep(n)) {}

String::String(double f) : rep(float_rep(f)) {}

String::String(float f) : String(static_cast<double>(f)) {}

String String::operator+(const String& s) const {
  if (s.rep->length == 0) return *this;
  if (rep->length == 0) return s;
  int n = rep->length + s.rep->length;
  Rep* r = Rep::alloc(n);
  memcpy(r->data(), rep->data(), rep->length * sizeof(Char));
  memcpy(r->data() + rep->length, s.rep->data(), s.rep->length * sizeof(Char));
  return String(r);
}

bool String::operator==(const String& s) const {
  if (rep == s.rep) return true;
  if (rep->length != s.rep->length) return false;
  return memcmp(rep->data(), s.rep->data(), rep->length * sizeof(Char)) == 0;
}

int String::Compare(const String& s) const {
  int n = rep->length < s.rep->length ? rep->length : s.rep->length;
  for (int i = 0; i < n; ++i) {
    int d = static_cast<int>(rep->data()[i]) - static_cast<int>(s.rep->data()[i]);
    if (d) return d;
  }
  return rep->length - s.rep->length;
}

// atoi semantics over the first 63 characters (low 8 bits each), with the
// value clamped to the int range instead of the C library's undefined
// overflow.
int String::ToInt() const {
  char buf[64];
  int n = rep->length < 63 ? rep->length : 63;
  for (int i = 0; i < n; ++i) buf[i] = static_cast<char>(rep->data()[i] & 0xff);
  buf[n] = 0;
  const char* p = buf;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool neg = false;
  if (*p == '+' || *p == '-') neg = *p++ == '-';
  long long v = 0;
  while (*p >= '0' && *p <= '9') {
    v = v * 10 + (*p++ - '0');
    if (v > 2147483648LL) v = 2147483648LL;
  }
  if (neg) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  return static_cast<int>(v);
}

float String::ToFloat() const {
  char buf[64];
  int n = rep->length < 63 ? rep->length : 63;
  for (int i = 0; i < n; ++i) buf[i] = static_cast<char>(rep->data()[i] & 0xff);
  buf[n] = 0;
  return static_cast<float>(atof(buf));
}

int String::Find(const String& sub, int start) const {
  if (start < 0) start = 0;
  int len = rep->length, sl = sub.rep->length;
  const Char* d = rep->data();
  const Char* s = sub.rep->data();
  // i <= len - sl rather than i + sl <= len: a start near INT_MAX must not
  // wrap around.
  for (int i = start; i <= len - sl; ++i) {
    if (memcmp(d + i, s, sl * sizeof(Char)) == 0) return i;
  }
  return -1;
}

int String::FindLast(const String& sub) const {
  int len = rep->length, sl = sub.rep->length;
  for (int i = len - sl; i >= 0; --i) {
    if (memcmp(rep->data() + i, sub.rep->data(), sl * sizeof(Char)) == 0) return i;
  }
  return -1;
}

bool String::StartsWith(const String& s) const {
  return s.rep->length <= rep->length &&
         memcmp(rep->data(), s.rep->data(), s.rep->length * sizeof(Char)) == 0;
}

bool String::EndsWith(const String& s) const {
  return s.rep->length <= rep->length &&
         memcmp(rep->data() + rep->length - s.rep->length, s.rep->data(),
                s.rep->length * sizeof(Char)) == 0;
}

String String::Slice(int from, int to) const {
  int len = rep->length;
  if (from < 0) {
    from += len;
    if (from < 0) from = 0;
  } else if (from > len) {
    from = len;
  }
  if (to < 0) {
    to += len;
    if (to < 0) to = 0;
  } else if (to > len) {
    to = len;
  }
  if (to < from) return String();
  if (from == 0 && to == len) return *this;
  return String(rep->data() + from, to - from);
}

String String::ToUpper() const {
  Rep* r = Rep::alloc(rep->length);
  for (int i = 0; i < rep->length; ++i) {
    Char c = rep->data()[i];
    r->data()[i] = (c >= 'a' && c <= 'z') ? static_cast<Char>(c - 32) : c;
  }
  return String(r);
}

String String::ToLower() const {
  Rep* r = Rep::alloc(rep->length);
  for (int i = 0; i < rep->length; ++i) {
    Char c = rep->data()[i];
    r->data()[i] = (c >= 'A' && c <= 'Z') ? static_cast<Char>(c + 32) : c;
  }
  return String(r);
}

String String::Trim() const {
  int b = 0, e = rep->length;
  while (b < e && rep->data()[b] <= 32) ++b;
  while (e > b && rep->data()[e - 1] <= 32) --e;
  return Slice(b, e);
}

Array<String> String::Split(const String& sep) const {
  int len = rep->length, sl = sep.rep->length;
  if (sl == 0) {
    Array<String> out(len);
    for (int i = 0; i < len; ++i) out[i] = String(rep->data() + i, 1);
    return out;
  }
  int count = 0;
  for (int i = Find(sep, 0); i != -1; i = Find(sep, i + sl)) ++count;
  Array<String> out(count + 1);
  if (count == 0) {
    out[0] = *this;
    return out;
  }
  int prev = 0, k = 0;
  for (int i = Find(sep, 0); i != -1; i = Find(sep, i + sl)) {
    out[k++] = Slice(prev, i);
    prev = i + sl;
  }
  out[k] = Slice(prev, len);
  return out;
}

String String::Replace(const String& find, const String& repl) const {
  int len = rep->length, fl = find.rep->length, rl = repl.rep->length;
  if (fl == 0) return *this;
  int count = 0;
  for (int i = Find(find, 0); i != -1; i = Find(find, i + fl)) ++count;
  if (count == 0) return *this;
  Rep* r = Rep::alloc(len - count * fl + count * rl);
  Char* d = r->data();
  int prev = 0;
  for (int i = Find(find, 0); i != -1; i = Find(find, i + fl)) {
    memcpy(d, rep->data() + prev, (i - prev) * sizeof(Char));
    d += i - prev;
    memcpy(d, repl.rep->data(), rl * sizeof(Char));
    d += rl;
    prev = i + fl;
  }
  memcpy(d, rep->data() + prev, (len - prev) * sizeof(Char));
  return String(r);
}

String String::Join(const Array<String>& bits) const {
  if (bits.Length() == 0) return String();
  if (bits.Length() == 1) return bits[0];
  int n = rep->length * (bits.Length() - 1);
  for (int i = 0; i < bits.Length(); ++i) n += bits[i].Length();
  Rep* r = Rep::alloc(n);
  Char* d = r->data();
  for (int i = 0; i < bits.Length(); ++i) {
    if (i) {
      memcpy(d, rep->data(), rep->length * sizeof(Char));
      d += rep->length;
    }
    memcpy(d, bits[i].Data(), bits[i].Length() * sizeof(Char));
    d += bits[i].Length();
  }
  return String(r);
}

String String::FromChars(const Array<int>& chars) {
  Rep* r = Rep::alloc(chars.Length());
  for (int i = 0; i < chars.Length(); ++i) r->data()[i] = static_cast<Char>(chars[i]);
  return String(r);
}

String String::FromBytes(const unsigned char* p, int n) {
  if (n <= 0) return String();
  _str_load_err = String();

  if (n >= 2 && p[0] == 0xfe && p[1] == 0xff) {
    int m = (n - 2) / 2;
    Rep* r = Rep::alloc(m);
    for (int i = 0; i < m; ++i) r->data()[i] = static_cast<Char>((p[2 + i * 2] << 8) | p[3 + i * 2]);
    return String(r);
  }
  if (n >= 2 && p[0] == 0xff && p[1] == 0xfe) {
    int m = (n - 2) / 2;
    Rep* r = Rep::alloc(m);
    for (int i = 0; i < m; ++i) r->data()[i] = static_cast<Char>(p[2 + i * 2] | (p[3 + i * 2] << 8));
    return String(r);
  }
  if (n > 2 && p[0] == 0xef && p[1] == 0xbb && p[2] == 0xbf) {
    p += 3;
    n -= 3;
  }

  std::vector<Char> out;
  out.reserve(n);
  bool ok = true;
  for (int i = 0; i < n && ok;) {
    unsigned c = p[i];
    if (c < 0x80) {
      out.push_back(static_cast<Char>(c));
      i += 1;
    } else if ((c & 0xe0) == 0xc0) {
      if (i + 1 < n && (p[i + 1] & 0xc0) == 0x80) {
        out.push_back(static_cast<Char>(((c & 0x1f) << 6) | (p[i + 1] & 0x3f)));
        i += 2;
      } else {
        ok = false;
      }
    } else if ((c & 0xf0) == 0xe0) {
      if (i + 2 < n && (p[i + 1] & 0xc0) == 0x80 && (p[i + 2] & 0xc0) == 0x80) {
        out.push_back(static_cast<Char>(((c & 0x0f) << 12) | ((p[i + 1] & 0x3f) << 6) | (p[i + 2] & 0x3f)));
        i += 3;
      } else {
        ok = false;
      }
    } else {
      ok = false;
    }
  }
  if (!ok) {
    _str_load_err = String("Invalid UTF-8");
    Rep* r = Rep::alloc(n);
    for (int i = 0; i < n; ++i) r->data()[i] = p[i];
    return String(r);
  }
  return String(out.data(), static_cast<int>(out.size()));
}

String String::Load(FILE* fp) {
  std::vector<unsigned char> buf;
  if (fp) {
    for (;;) {
      size_t at = buf.size();
      buf.resize(at + 4096);
      size_t n = fread(buf.data() + at, 1, 4096, fp);
      buf.resize(at + n);
      if (n < 4096) break;
    }
  }
  return FromBytes(buf.data(), static_cast<int>(buf.size()));
}

std::string String::ToUtf8() const {
  std::string out;
  out.reserve(rep->length);
  for (int i = 0; i < rep->length; ++i) {
    unsigned c = rep->data()[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 63));
    } else {
      out += static_cast<char>(0xe0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 63));
      out += static_cast<char>(0x80 | (c & 63));
    }
  }
  return out;
}

void String::t_create(int n, String* p) {
  for (int i = 0; i < n; ++i) new (p + i) String();
}

void String::t_create(int n, String* p, const String* src) {
  for (int i = 0; i < n; ++i) new (p + i) String(src[i]);
}

void String::t_destroy(int n, String* p) {
  for (int i = 0; i < n; ++i) p[i].~String();
}

String operator+(const char* a, const String& b) { return String(a) + b; }
String operator+(const String& a, const char* b) { return a + String(b); }
String operator+(const String& a, int b) { return a + String(b); }
String operator+(const String& a, float b) { return a + String(b); }
