#include <gtest/gtest.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <fstream>
#include <random>
#include <sstream>

#include "unicode/WideUnicode.h"

namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s.push_back(static_cast<char>(c));
  return s;
}

// Decodes through both forms from a buffer of exactly the input's size, so
// the sanitizer sees any read past the end; the forms must agree.
WideString DecodeBoth(const std::string& s) {
  std::vector<char> exact(s.begin(), s.end());
  std::vector<char16_t> plain(s.size() + 1), fast(s.size() + 1);
  const size_t n1 = UTF8ToWidePlain(exact.data(), exact.size(), plain.data());
  const size_t n2 = UTF8ToWideSSE2(exact.data(), exact.size(), fast.data());
  EXPECT_EQ(n1, n2);
  EXPECT_LE(n1, s.size());
  const WideString a(plain.data(), n1), b(fast.data(), n2);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, UTF8ToWide(s));
  return a;
}

WideString IcuStrict(const std::string& s) {
  WideString out(s.size() + 1, u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length, s.data(),
                static_cast<int32_t>(s.size()), &status);
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  out.resize(static_cast<size_t>(length));
  return out;
}

struct DecodeCase {
  const char* what;
  std::string bytes;
  WideString units;
};

TEST(UTF8ToWide, DecodesTheListedSequences) {
  const DecodeCase cases[] = {
      {"empty", "", u""},
      {"ascii", "abc", u"abc"},
      {"three bytes", Bytes({0xE6, 0x97, 0xA5}), u"\u65E5"},
      {"four bytes", Bytes({0xF0, 0x9F, 0x98, 0x80}), WideString{0xD83D, 0xDE00}},
      {"overlong NUL", Bytes({0xC0, 0x80}), WideString(1, u'\0')},
      {"encoded surrogate", Bytes({0xED, 0xA0, 0x80}), WideString{0xD800}},
      {"lone continuation", Bytes({0xA9}), u"\u00A9"},
      {"above U+10FFFF", Bytes({0xF4, 0x90, 0x80, 0x80}), u"\uFFFD"},
      {"five bytes", Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), u"\uFFFD"},
      {"six bytes", Bytes({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}), u"\uFFFD"},
      // The formula alone would turn these overlong forms into LF and NUL.
      {"five-byte overlong LF", Bytes({0xF8, 0x80, 0x80, 0x80, 0x8A}), u"\uFFFD"},
      {"six-byte overlong NUL", Bytes({0xFC, 0x80, 0x80, 0x80, 0x80, 0x80}), u"\uFFFD"},
      // A byte that breaks a sequence is decoded afresh.
      {"broken by CR LF", Bytes({0xE6, 0x0D, 0x0A, 0x41}), u"\uFFFD\r\nA"},
      {"broken after one continuation", Bytes({0xE6, 0x97, 0x0A}), u"\uFFFD\n"},
      {"broken by a lead", Bytes({0xC3, 0xE6, 0x97, 0xA5}), u"\uFFFD\u65E5"},
      {"cut at the end", Bytes({0x61, 0xF0, 0x9F, 0x98}), u"a\uFFFD"},
      {"five bytes cut short", Bytes({0xF8, 0x80, 0x41}), u"\uFFFDA"},
  };
  for (const DecodeCase& c : cases) EXPECT_EQ(DecodeBoth(c.bytes), c.units) << c.what;
}

TEST(UTF8ToWide, FastPathHandlesEveryAlignment) {
  // Non-ASCII at every offset of the 16-byte blocks, and a tail after them.
  for (size_t prefix = 0; prefix < 40; ++prefix) {
    std::string s(prefix, 'x');
    s += "\xE6\x97\xA5z\xC3\xA9";
    s += std::string(prefix % 19, 'y');
    WideString want(prefix, u'x');
    want += u"\u65E5z\u00E9";
    want += WideString(prefix % 19, u'y');
    EXPECT_EQ(DecodeBoth(s), want) << prefix;
  }
}

TEST(UTF8ToWide, AgreesWithIcuOnValidText) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::string s;
    const int n = static_cast<int>(rng() % 64);
    for (int i = 0; i < n; ++i) {
      uint32_t c;
      switch (rng() % 4) {
        case 0: c = rng() % 0x80; break;
        case 1: c = 0x80 + rng() % 0x780; break;
        case 2: c = 0x800 + rng() % 0xF800; break;
        default: c = 0x10000 + rng() % 0x100000; break;
      }
      if (c >= 0xD800 && c <= 0xDFFF) c = 0x3042;
      char buf[4];
      int32_t len = 0;
      U8_APPEND_UNSAFE(buf, len, c);
      s.append(buf, static_cast<size_t>(len));
    }
    EXPECT_EQ(DecodeBoth(s), IcuStrict(s));
  }
}

TEST(UTF8ToWide, AgreesWithIcuOnTheDictionary) {
  std::ifstream in(HK_PROGRAM_DIR "/edict.txt", std::ios::binary);
  if (!in) GTEST_SKIP() << "no edict.txt";
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  EXPECT_EQ(UTF8ToWide(text), IcuStrict(text));
}

TEST(UTF8ToWide, DamagedTextKeepsEveryAsciiByte) {
  // Truncations and flipped bytes of a mixed text: no read past the end, and
  // no ASCII byte (a line break above all) is ever swallowed.
  const std::string valid = "\xE6\x97\xA5\xE6\x9C\xAC /Japan/\r\n\xF0\x9F\x98\x80 \xC3\xA9t\xC3\xA9 (P)/\n";
  std::mt19937 rng(11);
  // An ASCII byte always stands for itself and splits the text: what comes
  // before it decodes as if the text ended there.
  auto check = [](const std::string& s) {
    const WideString w = DecodeBoth(s);
    for (size_t i = 0; i < s.size(); ++i)
      if (static_cast<unsigned char>(s[i]) < 0x80) {
        EXPECT_EQ(w, UTF8ToWide(s.substr(0, i)) + static_cast<char16_t>(s[i]) + UTF8ToWide(s.substr(i + 1)));
        break;
      }
  };
  for (size_t cut = 0; cut <= valid.size(); ++cut) check(valid.substr(0, cut));
  for (size_t i = 0; i < valid.size(); ++i)
    for (int bit = 0; bit < 8; ++bit) {
      std::string s = valid;
      s[i] = static_cast<char>(s[i] ^ (1 << bit));
      check(s);
    }
  for (int round = 0; round < 500; ++round) {
    std::string s(rng() % 48, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    check(s);
  }
}

// Well-formed as ICU's strict decoding judges it, and the census of
// characters and ill-formed parts as ICU's substituting decoding counts
// them: every sequence of up to four bytes, the valid text cut at every
// length and with every bit flipped, and random bytes.
TEST(IsValidUTF8, AgreesWithIcu) {
  auto icuValid = [](const std::string& s) {
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(nullptr, 0, &length, s.data(), static_cast<int32_t>(s.size()), &status);
    return status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING || U_SUCCESS(status);
  };
  auto icuCensus = [](const std::string& s) {
    std::vector<UChar> out(s.size() * 2 + 1);
    int32_t length = 0, substitutions = 0;
    UErrorCode status = U_ZERO_ERROR;
    // An ASCII stand-in, so that what remains at or above U+0080 is the
    // well-formed characters.
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, s.data(),
                         static_cast<int32_t>(s.size()), 0x1A, &substitutions, &status);
    size_t characters = 0;
    for (int32_t i = 0; i < length; ++i)
      if (out[i] >= 0x80 && !U16_IS_TRAIL(out[i])) ++characters;
    return std::make_pair(characters, static_cast<size_t>(substitutions));
  };
  auto check = [&](const std::string& s) {
    // Exactly sized, so the sanitizer sees a read past the end.
    const std::vector<char> exact(s.begin(), s.end());
    const std::string_view view(exact.data(), exact.size());
    EXPECT_EQ(IsValidUTF8(view), icuValid(s)) << ::testing::PrintToString(s);
    const TUtf8Census census = CountUTF8Sequences(view);
    EXPECT_EQ(std::make_pair(census.WellFormed, census.IllFormed), icuCensus(s)) << ::testing::PrintToString(s);
  };
  for (int a = 0x80; a < 0x100; ++a)
    for (int b = 0x70; b < 0xD0; ++b) {
      check(Bytes({a, b}));
      check(Bytes({a, b, 0x80}));
      check(Bytes({a, b, 0xBF, 0x80}));
      check(Bytes({'x', 'y', 'z', 'w', 'v', 'u', 't', 's', a, b, 0xBF}));
    }
  const std::string valid = "\xE6\x97\xA5\xE6\x9C\xAC /Japan/\r\n\xF0\x9F\x98\x80 \xC3\xA9t\xC3\xA9 (P)/\n";
  for (size_t cut = 0; cut <= valid.size(); ++cut) check(valid.substr(0, cut));
  for (size_t i = 0; i < valid.size(); ++i)
    for (int bit = 0; bit < 8; ++bit) {
      std::string s = valid;
      s[i] = static_cast<char>(s[i] ^ (1 << bit));
      check(s);
    }
  std::mt19937 rng(5);
  for (int round = 0; round < 2000; ++round) {
    std::string s(rng() % 24, '\0');
    for (char& c : s) c = static_cast<char>(rng() % 2 ? 0x80 | rng() : 0x20 + rng() % 0x60);
    check(s);
  }
}

TEST(WideToUTF8, EncodesEachUnitByItself) {
  EXPECT_EQ(WideToUTF8(u""), "");
  EXPECT_EQ(WideToUTF8(u"a\u00E9"), Bytes({0x61, 0xC3, 0xA9}));
  EXPECT_EQ(WideToUTF8(u"\u65E5"), Bytes({0xE6, 0x97, 0xA5}));
  EXPECT_EQ(WideToUTF8(WideString{0xD83D, 0xDE00}), Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
  EXPECT_EQ(WideToUTF8(WideString{0x7FF, 0x800, 0xFFFF}),
            Bytes({0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}));
  // Every unit, lone surrogates included, comes back through the decoder.
  WideString all;
  for (uint32_t u = 1; u <= 0xFFFF; ++u) all.push_back(static_cast<char16_t>(u));
  EXPECT_EQ(UTF8ToWide(WideToUTF8(all)), all);
}

TEST(CodePages, ConvertThroughTheirTables) {
  EXPECT_EQ(AnsiToWideCP("\x80 caf\xE9", 1252), u"\u20AC caf\u00E9");
  EXPECT_EQ(AnsiToWideCP("\x93\xFA\x96\x7B", 932), u"\u65E5\u672C");
  EXPECT_EQ(WideToAnsiCP(u"\u65E5\u672C", 932), "\x93\xFA\x96\x7B");
  EXPECT_EQ(WideToAnsiCP(u"\u20AC", 0), "\x80");  // the system code page
  EXPECT_EQ(RecodeAnsi("\x93\xFA", 932, 20932), "\xC6\xFC");
  EXPECT_EQ(RecodeAnsi("\xC6\xFC", 20932, 65001), "\xE6\x97\xA5");
  // What the code page lacks or cannot decode is replaced, the rest kept.
  EXPECT_EQ(WideToAnsiCP(u"a\u65E5b", 1252), "a?b");
  EXPECT_EQ(WideToAnsiCP(WideString{u'a', 0xD83D, 0xDE00, u'b'}, 1252), "a?b");
  EXPECT_EQ(AnsiToWideCP("a\xA0" "b", 932), u"a\uFFFDb");
  EXPECT_EQ(AnsiToWideCP("a\x93", 932), u"a\uFFFD");
  // An unknown code page is a failed conversion: empty.
  EXPECT_EQ(AnsiToWideCP("abc", 4242), u"");
  EXPECT_EQ(WideToAnsiCP(u"abc", 4242), "");
  EXPECT_EQ(AnsiToWideCP("", 1252), u"");
}

TEST(CodePages, CodePageOfLanguage) {
  const struct {
    LCID language;
    int codePage;
  } cases[] = {
      {0x0409, 1252}, {0x0407, 1252}, {0x0411, 932},  {0x0804, 936}, {0x0404, 950},
      {0x0412, 949},  {0x0419, 1251}, {0x0415, 1250}, {0x0408, 1253}, {0x041F, 1254},
      {0x040D, 1255}, {0x0401, 1256}, {0x0425, 1257}, {0x042A, 1258}, {0x041E, 874},
      {0x0C1A, 1251}, {0x081A, 1250}, {0x0439, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CodePageOfLanguage(c.language), c.codePage) << std::hex << c.language;
  EXPECT_EQ(CodePageOfLanguage(0x03FF), 1252);
  EXPECT_EQ(CodePageOfLanguage(0xFFFFFFFF), 1252);
  SetSystemAnsiCodePage(1250);
  EXPECT_EQ(CodePageOfLanguage(0x0477), 1250);
  SetSystemAnsiCodePage(1252);
}

TEST(WideBuffers, AllocateWithTheirSizeInFront) {
  char16_t* block = WideStrAlloc(3);
  EXPECT_EQ(WideStrBlockSize(block), 10u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(block[i], 0);
  WideStrDispose(block);
  EXPECT_THROW(WideStrAlloc(size_t{0x80000000}), EOutOfMemory);
  EXPECT_THROW(WideStrAlloc(SIZE_MAX), EOutOfMemory);

  EXPECT_EQ(WideStrNew(nullptr), nullptr);
  char16_t* empty = WideStrNew(u"");
  EXPECT_EQ(WideStrBlockSize(empty), 6u);
  EXPECT_EQ(empty[0], 0);
  WideStrDispose(empty);
  char16_t* copy = WideStrNewFrom(u"ab");
  EXPECT_EQ(WideStrLen(copy), 2u);
  EXPECT_EQ(WideString(copy), u"ab");
  SwapWordBytes(copy);
  EXPECT_EQ(copy[0], 0x6100);
  EXPECT_EQ(copy[1], 0x6200);
  WideStrDispose(copy);
}

TEST(WideBuffers, MoveOverlappingAreas) {
  char16_t up[] = u"abcdef";
  WideStrMove(up + 1, up, 4);
  EXPECT_EQ(WideString(up), u"aabcdf");
  char16_t down[] = u"abcdef";
  WideStrMove(down, down + 2, 4);
  EXPECT_EQ(WideString(down), u"cdefef");
}

}  // namespace
