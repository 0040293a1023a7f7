#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "unicode/Normalization.h"
#include "unicode/WideUnicode.h"

namespace {

// The full path, without the quick check.
WideString NormalizeSlowly(const WideString& s, uint8_t form) {
  if (form == nfNone) return s;
  const bool compatible = form == nfKC || form == nfKD;
  if (form == nfD || form == nfKD) return DecomposeText(s, compatible);
  return ComposeCanonical(DecomposeText(s, compatible));
}

WideString Normalize(const WideString& s, uint8_t form) {
  const WideString fast = NormalizeWide(s, form);
  EXPECT_EQ(fast, NormalizeSlowly(s, form));
  if (IsNormalizedQuick(s, form)) {
    EXPECT_EQ(fast, s);
  }
  return fast;
}

TEST(NormalizeWide, ListedCases) {
  const struct {
    WideString in;
    uint8_t form;
    WideString out;
  } cases[] = {
      {u"A\u0300", nfC, u"\u00C0"},
      {u"\u00C0", nfD, u"A\u0300"},
      {u"A\u0300", nfNone, u"A\u0300"},
      {u"A\u0300", 7, u"\u00C0"},
      {u"a\u0301\u0316", nfD, u"a\u0316\u0301"},
      {u"a\u0301\u0316", nfC, u"\u00E1\u0316"},
      {u"\u1100\u1161\u11A8", nfC, u"\uAC01"},
      {u"\uAC01", nfD, u"\u1100\u1161\u11A8"},
      {u"\uAC00\u11A7", nfC, u"\uAC00\u11A7"},
      {u"\u0B47\u0B3E", nfC, u"\u0B4B"},
      {u"\u0301a", nfC, u"\u0301a"},
      {u"\uFB01", nfKC, u"fi"},
      {u"\uFB01", nfC, u"\uFB01"},
      {u"\u1E9B\u0323", nfKC, u"\u1E69"},
      {u"\u30AB\u3099", nfC, u"\u30AC"},
      {u"\uFF76\uFF9E", nfKC, u"\u30AC"},
      // Decompositions beyond the BMP come out as surrogate pairs.
      {u"\uFA6C", nfC, u"\U000242EE"},
      {u"\uFA6C", nfKD, u"\U000242EE"},
      // Surrogate units pass through and act as starters.
      {WideString{0xD83D, 0xDE00, 0x301}, nfC, WideString{0xD83D, 0xDE00, 0x301}},
  };
  for (const auto& c : cases) EXPECT_EQ(Normalize(c.in, c.form), c.out) << int(c.form);
  for (uint8_t form = 0; form <= 5; ++form) EXPECT_EQ(Normalize(u"", form), u"");
}

TEST(NormalizeWide, LongRunsOfMarks) {
  // Classes 230 and 220 alternating: ordering keeps each class in order and
  // puts the 220s first; a huge run must not take quadratic time.
  WideString marks = u"a";
  for (int i = 0; i < 100000; ++i) marks += (i % 2) ? u'\u0316' : u'\u0301';
  marks += u"b\u0301";
  const WideString nfd = NormalizeWide(marks, nfD);
  const WideString want = u"a" + WideString(50000, u'\u0316') + WideString(50000, u'\u0301') + u"b\u0301";
  EXPECT_TRUE(nfd == want);
  // The first acute composes with a past the lower class; the rest stay.
  const WideString nfc = NormalizeWide(marks, nfC);
  EXPECT_TRUE(nfc == u"\u00E1" + WideString(50000, u'\u0316') + WideString(49999, u'\u0301') + u"b\u0301");
}

WideString ParseColumn(const std::string& field, bool& bmp) {
  WideString out;
  std::istringstream in(field);
  std::string word;
  while (in >> word) {
    const unsigned long c = std::stoul(word, nullptr, 16);
    if (c > 0xFFFF) bmp = false;
    out.push_back(static_cast<char16_t>(c));
  }
  return out;
}

TEST(NormalizeWide, AgreesWithNormalizationTest) {
  std::ifstream in(HK_NORMALIZATION_TEST);
  if (!in) GTEST_SKIP() << "no NormalizationTest.txt";
  std::string line;
  int part = -1, lines = 0, failures = 0;
  std::set<char16_t> listed;
  while (std::getline(in, line) && failures < 20) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '@') {
      part = line.compare(0, 6, "@Part1") == 0 ? 1 : 0;
      continue;
    }
    WideString c[5];
    bool bmp = true;
    size_t pos = 0;
    for (WideString& col : c) {
      const size_t semi = line.find(';', pos);
      col = ParseColumn(line.substr(pos, semi - pos), bmp);
      pos = semi + 1;
    }
    if (part == 1 && c[0].size() == 1) listed.insert(c[0][0]);
    if (!bmp) continue;
    ++lines;
    const WideString* nfcWant[5] = {&c[1], &c[1], &c[1], &c[3], &c[3]};
    const WideString* nfdWant[5] = {&c[2], &c[2], &c[2], &c[4], &c[4]};
    for (int i = 0; i < 5; ++i) {
      const bool ok = Normalize(c[i], nfC) == *nfcWant[i] && Normalize(c[i], nfD) == *nfdWant[i] &&
                      Normalize(c[i], nfKC) == c[3] && Normalize(c[i], nfKD) == c[4];
      if (!ok) {
        ADD_FAILURE() << line << " (column " << i + 1 << ")";
        ++failures;
      }
    }
  }
  EXPECT_GT(lines, 10000);
  // Every code point the test does not list is left alone by all forms.
  for (uint32_t u = 1; u <= 0xFFFF && failures < 20; ++u) {
    if (listed.count(static_cast<char16_t>(u)) || (u >= 0xD800 && u <= 0xDFFF)) continue;
    const WideString one(1, static_cast<char16_t>(u));
    for (uint8_t form : {nfC, nfD, nfKC, nfKD})
      if (Normalize(one, form) != one) {
        ADD_FAILURE() << "U+" << std::hex << u << " form " << int(form);
        ++failures;
      }
  }
}

TEST(NormalizeWide, QuickCheckAgreesOnTheDictionary) {
  std::ifstream in(HK_PROGRAM_DIR "/edict.txt", std::ios::binary);
  if (!in) GTEST_SKIP() << "no edict.txt";
  std::string line;
  int n = 0;
  // Every 50th line keeps the sanitizer build quick.
  while (std::getline(in, line))
    if (n++ % 50 == 0) {
      const WideString w = UTF8ToWide(line);
      for (uint8_t form : {nfC, nfD, nfKC}) Normalize(w, form);
    }
}

}  // namespace
