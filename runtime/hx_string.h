// Immutable, shared, counted strings of 16-bit characters and
// collected fixed-length arrays.
#pragma once
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include "runtime/hx_gc.h"

typedef unsigned short Char;

class String;
template <class T> class Array;

// Counted blocks of String::CString: a block with refs 1 and the length,
// then the n characters of p converted to units of unit_size bytes (1, 2
// or 4; each keeps the character's low bits) and a 0 unit. Release frees
// it at count 0. (Out of line: this keeps the compiler from reasoning about
// the static empty string's storage and a shared block's lifetime at every
// use.)
void* hx_cstring_alloc(const unsigned short* p, int n, int unit_size);
void hx_cstring_release(int* refs);

// Error text of the last String::Load ("Invalid UTF-8" or empty).
extern String _str_load_err;

class String {
 public:
  struct Rep {
    int refs;
    int length;
    Char* data() { return reinterpret_cast<Char*>(this + 1); }
    const Char* data() const { return reinterpret_cast<const Char*>(this + 1); }
    void retain() { ++refs; }
    void release();
    static Rep* alloc(int length);
  };
  static Rep nullRep;

  // A temporary 8-bit copy (low 8 bits of each character), NUL terminated.
  template <class C>
  class CString {
   public:
    CString(const Char* p, int n);
    CString(const CString& o) : blk_(o.blk_) { ++blk_->refs; }
    CString& operator=(const CString& o) {
      ++o.blk_->refs;
      drop();
      blk_ = o.blk_;
      return *this;
    }
    ~CString() { drop(); }
    operator const C*() const { return reinterpret_cast<const C*>(blk_ + 1); }
    const C* c_str() const { return reinterpret_cast<const C*>(blk_ + 1); }
    int Length() const { return blk_->length; }

   private:
    struct Blk {
      int refs;
      int length;
    };
    void drop() { hx_cstring_release(&blk_->refs); }
    Blk* blk_;
  };

  String() : rep(&nullRep) { rep->retain(); }
  String(const String& s) : rep(s.rep) { rep->retain(); }
  String(String&& s) noexcept : rep(s.rep) { s.rep = &nullRep; nullRep.retain(); }
  String(const Char* p, int n);
  // n characters from p, each keeping its low 16 bits.
  String(const wchar_t* p, int n);
  String(const char* p);
  String(const char* p, int n);
  String(Char ch, int n);
  String(int n);
  String(float f);
  String(double f);
  explicit String(Rep* r) : rep(r) {}  // takes ownership of one count
  ~String() { rep->release(); }

  String& operator=(const String& s) {
    s.rep->retain();
    rep->release();
    rep = s.rep;
    return *this;
  }

  int Length() const { return rep->length; }
  int operator[](int i) const { return rep->data()[i]; }
  const Char* Data() const { return rep->data(); }
  bool IsEmpty() const { return rep->length == 0; }

  String operator+(const String& s) const;
  String& operator+=(const String& s) { return *this = *this + s; }
  bool operator==(const String& s) const;
  bool operator!=(const String& s) const { return !(*this == s); }
  bool operator<(const String& s) const { return Compare(s) < 0; }
  int Compare(const String& s) const;

  int ToInt() const;
  float ToFloat() const;
  int Find(const String& sub, int start = 0) const;
  int FindLast(const String& sub) const;
  bool StartsWith(const String& s) const;
  bool EndsWith(const String& s) const;
  bool Contains(const String& s) const { return Find(s, 0) != -1; }
  String Slice(int from) const { return Slice(from, Length()); }
  String Slice(int from, int to) const;
  String ToUpper() const;
  String ToLower() const;
  String Trim() const;
  Array<String> Split(const String& sep) const;
  String Replace(const String& find, const String& repl) const;
  String Join(const Array<String>& bits) const;

  static String Load(FILE* fp);
  // Decodes bytes with the rules of Load (BOMs, UTF-8, byte fallback).
  static String FromBytes(const unsigned char* p, int n);
  static String FromChars(const Array<int>& chars);

  template <class C>
  CString<C> ToCString() const {
    return CString<C>(rep->data(), rep->length);
  }
  // UTF-8 encoding, one 1-3 byte sequence per 16-bit unit.
  std::string ToUtf8() const;

  // Construct / destroy strings in place (used by Array<String>).
  static void t_create(int n, String* p);
  static void t_create(int n, String* p, const String* src);
  static void t_destroy(int n, String* p);

  bool SameRep(const String& s) const { return rep == s.rep; }
  Rep* GetRep() const { return rep; }

 private:
  Rep* rep;
};

template <class C>
String::CString<C>::CString(const Char* p, int n) {
  static_assert(sizeof(C) == 1 || sizeof(C) == 2 || sizeof(C) == 4, "unit size");
  blk_ = static_cast<Blk*>(hx_cstring_alloc(p, n, sizeof(C)));
}

String operator+(const char* a, const String& b);
String operator+(const String& a, const char* b);
String operator+(const String& a, int b);
String operator+(const String& a, float b);

// ---------------------------------------------------------------- arrays

namespace hx_detail {
template <class T, class = void>
struct elem_traits {
  static void init(int n, T* p) {
    for (int i = 0; i < n; ++i) new (p + i) T();
  }
  static void copy(int n, T* p, const T* src) {
    for (int i = 0; i < n; ++i) new (p + i) T(src[i]);
  }
  static void destroy(int, T*) {}
  static void mark(int, T*) {}
};
template <>
struct elem_traits<String> {
  static void init(int n, String* p) { String::t_create(n, p); }
  static void copy(int n, String* p, const String* src) { String::t_create(n, p, src); }
  static void destroy(int n, String* p) { String::t_destroy(n, p); }
  static void mark(int, String*) {}
};
template <class U>
struct elem_traits<U*, std::enable_if_t<std::is_base_of<gc_object, U>::value ||
                                        std::is_base_of<gc_interface, U>::value>> {
  static void init(int n, U** p) {
    for (int i = 0; i < n; ++i) p[i] = nullptr;
  }
  static void copy(int n, U** p, U* const* src) {
    for (int i = 0; i < n; ++i) p[i] = src[i];
  }
  static void destroy(int, U**) {}
  static void mark(int n, U** p) {
    for (int i = 0; i < n; ++i)
      if (p[i]) gc_mark(p[i]);
  }
};
}  // namespace hx_detail

template <class T>
class Array {
 public:
  struct Rep : gc_object {
    int length;
    T* data() { return reinterpret_cast<T*>(this + 1); }
    Rep() : length(0) {}
    constexpr explicit Rep(gc_object::permanent_tag t) : gc_object(t), length(0) {}
    explicit Rep(int n) : length(n) { hx_detail::elem_traits<T>::init(n, data()); }
    Rep(int n, const T* src, int m) : length(n) {
      hx_detail::elem_traits<T>::copy(m, data(), src);
      hx_detail::elem_traits<T>::init(n - m, data() + m);
    }
    ~Rep() { hx_detail::elem_traits<T>::destroy(length, data()); }
    void mark() override { hx_detail::elem_traits<T>::mark(length, data()); }
  };

  static Rep* nullRep() {
    // Never marked, queued, swept or freed: mark state 3. Never destroyed
    // either (the union keeps its destructor from running at exit), so it
    // stays valid for other statics torn down later.
    union Permanent {
      Rep rep;
      constexpr Permanent() : rep(gc_object::permanent_tag()) {}
      ~Permanent() {}
    };
    static Permanent permanent;
    return &permanent.rep;
  }

  Array() : rep(nullRep()) {}
  explicit Array(int n) : rep(n > 0 ? new (static_cast<int>(n * sizeof(T))) Rep(n) : nullRep()) {}
  Array(const T* p, int n)
      : rep(n > 0 ? new (static_cast<int>(n * sizeof(T))) Rep(n, p, n) : nullRep()) {}
  explicit Array(Rep* r) : rep(r) {}

  int Length() const { return rep->length; }
  T& operator[](int i) const { return rep->data()[i]; }
  T* Data() const { return rep->data(); }
  bool IsEmpty() const { return rep->length == 0; }
  bool IsNullRep() const { return rep == nullRep(); }

  Array<T> Resize(int n) const {
    if (n <= 0) return Array<T>();
    int m = rep->length < n ? rep->length : n;
    return Array<T>(new (static_cast<int>(n * sizeof(T))) Rep(n, rep->data(), m));
  }
  Array<T> Slice(int from, int to) const {
    int len = rep->length;
    if (from < 0) from = from + len < 0 ? 0 : from + len;
    else if (from > len) from = len;
    if (to < 0) to = to + len < 0 ? 0 : to + len;
    else if (to > len) to = len;
    if (to <= from) return Array<T>();
    return Array<T>(rep->data() + from, to - from);
  }

  Rep* rep;
};

template <class T>
inline void gc_mark_q(const Array<T>& a) {
  gc_mark_q(a.rep);
}
template <class T>
inline void gc_mark(const Array<T>& a) {
  gc_mark(a.rep);
}
template <class T>
inline void gc_assign(Array<T>& field, const Array<T>& value) {
  gc_mark_q(value.rep);
  field = value;
}
template <class T>
inline void gc_assign_mark(Array<T>& field, const Array<T>& value) {
  gc_mark(value.rep);
  field = value;
}
