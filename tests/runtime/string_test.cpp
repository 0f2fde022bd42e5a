// Strings and arrays: conversions, sharing, Split/Replace, Load, ToInt, Slice.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/hx_runtime.h"

using namespace std::string_literals;

namespace {

String S(std::u16string_view t) {
  return String(reinterpret_cast<const Char*>(t.data()), static_cast<int>(t.size()));
}
std::u16string U(const String& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.Data()), s.Length());
}
std::vector<std::u16string> U(const Array<String>& a) {
  std::vector<std::u16string> v;
  for (int i = 0; i < a.Length(); ++i) v.push_back(U(a[i]));
  return v;
}

TEST(RuntimeString, EmptyValuesAreTheSharedStaticBlock) {
  const String empties[] = {String(), String(""), String(static_cast<const Char*>(nullptr), 0),
                            String("abc").Slice(2, 1), String("abc").Slice(3),
                            String("ab").Replace(String("ab"), String()), String() + String()};
  for (const String& e : empties) EXPECT_EQ(e.GetRep(), &String::nullRep);
  EXPECT_TRUE(Array<int>(0).IsNullRep());
  EXPECT_EQ(Array<int>(0).rep, Array<int>(-5).rep);
}

TEST(RuntimeString, NumberTexts) {
  const struct {
    float f;
    const char* text;
  } floats[] = {{1.0f, "1.0"},  {-3.0f, "-3.0"}, {0.5f, "0.5"},
                {2.5f, "2.5"},  {0.1f, "0.10000000149011612"}, {0.0f, "0.0"},
                {1e16f, "10000000272564224.0"}, {1e20f, "1.0000000200408773e+20"},
                {1e-10f, "1.000000013351432e-10"}};
  for (const auto& c : floats) EXPECT_EQ(String(c.f).ToUtf8(), c.text) << c.text;
  const struct {
    int n;
    const char* text;
  } ints[] = {{0, "0"}, {-7, "-7"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}};
  for (const auto& c : ints) EXPECT_EQ(String(c.n).ToUtf8(), c.text);
}

TEST(RuntimeString, BytesWidenAsSigned) {
  EXPECT_EQ(U(String("A\xE9")), (std::u16string{0x41, 0xFFE9}));
  const wchar_t wide[] = {L'a', 0x20AC};
  EXPECT_EQ(U(String(wide, 2)), (std::u16string{'a', 0x20AC}));
}

TEST(RuntimeString, ConcatenationSharesEmptyOperand) {
  String s("abc"), e;
  EXPECT_TRUE((s + e).SameRep(s));
  EXPECT_TRUE((e + s).SameRep(s));
  EXPECT_EQ(U(s + String("de")), u"abcde");
  EXPECT_TRUE(String("ab") == String("ab"));
  EXPECT_FALSE(String("ab") == String("abc"));
  EXPECT_FALSE(String("ab") == String("ac"));
}

TEST(RuntimeString, ToInt) {
  const struct {
    std::u16string text;
    int value;
  } cases[] = {
      {u"  -12xyz", -12}, {u"", 0}, {u"+7", 7}, {u"abc", 0}, {u"- 5", 0}, {u"\t\n 5", 5},
      {u"0042", 42}, {u"2147483647", INT_MAX}, {u"-2147483648", INT_MIN},
      {u"\u0131\u0132", 12},  // low 8 bits: '1', '2'
      // beyond the int range: clamped
      {u"2147483648", INT_MAX}, {u"-2147483649", INT_MIN},
      {u"99999999999999999999999", INT_MAX}, {u"-99999999999999999999999", INT_MIN},
      // only the first 63 characters count
      {std::u16string(62, u'0') + u"12", 1},
  };
  for (const auto& c : cases) {
    String s = S(c.text);
    EXPECT_EQ(s.ToInt(), c.value) << s.ToUtf8();
    // Within the int range the result is the C library's.
    std::string narrow;
    for (int i = 0; i < s.Length() && i < 63; ++i) narrow += static_cast<char>(s[i] & 0xff);
    long long wide = strtoll(narrow.c_str(), nullptr, 10);
    if (wide >= INT_MIN && wide <= INT_MAX) {
      EXPECT_EQ(s.ToInt(), atoi(narrow.c_str()));
    }
  }
}

TEST(RuntimeString, FindStartsWithSlice) {
  const struct {
    const char16_t* text;
    const char16_t* sub;
    int start, found;
  } finds[] = {{u"abcabc", u"c", 0, 2}, {u"abcabc", u"c", 3, 5}, {u"abcabc", u"c", -9, 2},
               {u"abc", u"", -5, 0},    {u"abc", u"", 3, 3},    {u"abc", u"", 4, -1},
               {u"abc", u"abcd", 0, -1}, {u"abc", u"bc", 2, -1}, {u"", u"", 0, 0},
               // Starts near the top of the int range are past the end.
               {u"abc", u"c", INT_MAX, -1}, {u"abc", u"bc", INT_MAX - 1, -1},
               {u"abc", u"", INT_MAX, -1},  {u"", u"", INT_MAX, -1}};
  for (const auto& c : finds)
    EXPECT_EQ(S(c.text).Find(S(c.sub), c.start), c.found) << "start " << c.start;
  EXPECT_TRUE(String("abc").StartsWith(String("ab")));
  EXPECT_TRUE(String("abc").StartsWith(String()));
  EXPECT_FALSE(String("ab").StartsWith(String("abc")));
  EXPECT_FALSE(String("abc").StartsWith(String("b")));

  String t("abcdef");
  const struct {
    int from, to;
    const char16_t* text;
  } slices[] = {{-3, 6, u"def"}, {4, 2, u""}, {-100, 2, u"ab"}, {2, 100, u"cdef"},
                {3, 3, u""},     {-2, -1, u"e"}, {6, 6, u""},   {0, -7, u""}};
  for (const auto& c : slices) EXPECT_EQ(U(t.Slice(c.from, c.to)), c.text) << c.from << "," << c.to;
  EXPECT_EQ(U(t.Slice(-3)), u"def");
  EXPECT_TRUE(t.Slice(0).SameRep(t));
  EXPECT_TRUE(t.Slice(-10, 10).SameRep(t));
}

TEST(RuntimeString, Split) {
  const struct {
    const char16_t* text;
    const char16_t* sep;
    std::vector<std::u16string> parts;
  } cases[] = {
      {u"a,,b,", u",", {u"a", u"", u"b", u""}},
      {u",a", u",", {u"", u"a"}},
      {u"", u",", {u""}},
      {u"", u"", {}},
      {u"abc", u"", {u"a", u"b", u"c"}},
      {u"a--b--c", u"--", {u"a", u"b", u"c"}},
      {u"aaa", u"aa", {u"", u"a"}},
      {u"abc", u"x", {u"abc"}},
  };
  for (const auto& c : cases) {
    Array<String> a = S(c.text).Split(S(c.sep));
    EXPECT_EQ(U(a), c.parts) << S(c.text).ToUtf8() << " / " << S(c.sep).ToUtf8();
  }
  String t("no separator here");
  Array<String> one = t.Split(String(","));
  ASSERT_EQ(one.Length(), 1);
  EXPECT_TRUE(one[0].SameRep(t));
  EXPECT_TRUE(String().Split(String()).IsNullRep());
}

TEST(RuntimeString, Replace) {
  const struct {
    const char16_t *text, *find, *repl, *result;
  } cases[] = {{u"aaaa", u"aa", u"b", u"bb"},     {u"abc", u"b", u"", u"ac"},
               {u"xax", u"x", u"yy", u"yyayy"},   {u"aaa", u"aa", u"b", u"ba"},
               {u"hello", u"hello", u"", u""},    {u"a.b.c", u".", u"::", u"a::b::c"}};
  for (const auto& c : cases) EXPECT_EQ(U(S(c.text).Replace(S(c.find), S(c.repl))), c.result);
  String t("nothing to change");
  EXPECT_TRUE(t.Replace(String("xyz"), String("q")).SameRep(t));
}

String load_bytes(const std::string& bytes) {
  FILE* f = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  String s = String::Load(f);
  fclose(f);
  return s;
}

TEST(RuntimeString, LoadEncodings) {
  const std::u16string invalid = u"Invalid UTF-8";
  const struct {
    std::string bytes;
    std::u16string text;
    bool invalid;
  } cases[] = {
      {"\xEF\xBB\xBF" "A"s, u"A", false},
      {"\xFF\xFE\x41\x00"s, u"A", false},
      {"\xFE\xFF\x00\x41"s, u"A", false},
      {"\xFE\xFF\x00\x41\x20"s, u"A", false},  // odd final byte ignored
      {"\xFF\xFE\xAC\x20\x41"s, u"\u20AC", false},
      {"\xFE\xFF"s, u"", false},
      {"\xEF\xBB\xBF"s, u"", false},           // only the byte-order mark
      {"\xE2\x82\xAC"s, u"\u20AC", false},
      {"a\xC3\xA9z"s, u"a\u00E9z", false},
      {"\xC0\x80", std::u16string(1, u'\0'), false},  // overlong forms pass
      {"\xC3"s, u"\u00C3", true},               // cut off by the end
      {"\xE2\x82"s, u"\u00E2\u0082", true},
      {"\xC3\x41"s, u"\u00C3A", true},          // wrong continuation
      {"A\x80"s, u"A\u0080", true},             // continuation without lead
      {"\xF0\x9F\x98\x80"s, u"\u00F0\u009F\u0098\u0080", true},  // 4-byte form
      {"\xEF\xBB\xBF\xFF"s, u"\u00FF", true},   // fallback starts after the BOM
      {"\xFE"s, u"\u00FE", true},
      {"\xEF\xBB"s, u"\u00EF\u00BB", true},     // too short for a BOM
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    _str_load_err = String("stale");
    EXPECT_EQ(U(load_bytes(c.bytes)), c.text);
    EXPECT_EQ(U(_str_load_err), c.invalid ? invalid : u"");
  }
  // Nothing read: the empty string, and the error text is left alone.
  _str_load_err = String("stale");
  EXPECT_EQ(load_bytes("").GetRep(), &String::nullRep);
  EXPECT_EQ(U(_str_load_err), u"stale");
}

TEST(RuntimeString, LoadReadsPastManyBlocks) {
  for (size_t n : {4095u, 4096u, 4097u, 12288u, 20000u}) {
    std::string bytes(n, 'x');
    bytes[n - 1] = 'y';
    String s = load_bytes(bytes);
    ASSERT_EQ(s.Length(), static_cast<int>(n));
    EXPECT_EQ(s[static_cast<int>(n) - 1], 'y');
  }
}

TEST(RuntimeString, CStringKeepsLowBytes) {
  String s = S(u"A\u0141\u00E9");
  String::CString<char> c = s.ToCString<char>();
  EXPECT_EQ(std::string(c.c_str(), 4), std::string("A\x41\xE9\0", 4));
  String::CString<char> copy = c;
  EXPECT_EQ(copy.c_str(), c.c_str());  // one counted block
  EXPECT_STREQ(String().ToCString<char>().c_str(), "");
}

TEST(RuntimeArray, ResizeKeepsPrefixAndDefaults) {
  Array<int> a(3);
  for (int i = 0; i < 3; ++i) a[i] = i + 1;
  const struct {
    int n;
    std::vector<int> values;
  } cases[] = {{5, {1, 2, 3, 0, 0}}, {2, {1, 2}}, {3, {1, 2, 3}}, {0, {}}, {-1, {}}};
  for (const auto& c : cases) {
    Array<int> b = a.Resize(c.n);
    EXPECT_EQ(std::vector<int>(b.Data(), b.Data() + b.Length()), c.values);
    EXPECT_NE(b.rep, a.rep);
    if (c.n <= 0) {
      EXPECT_TRUE(b.IsNullRep());
    }
  }
  EXPECT_EQ(a.Length(), 3);

  Array<String> s(2);
  s[0] = String("x");
  Array<String> t = s.Resize(3);
  EXPECT_TRUE(t[0].SameRep(s[0]));
  EXPECT_EQ(t[2].GetRep(), &String::nullRep);
  EXPECT_EQ(Array<String>().Resize(2)[1].GetRep(), &String::nullRep);
}

}  // namespace
