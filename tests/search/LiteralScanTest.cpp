#include <gtest/gtest.h>

#include <random>
#include <string>

#include "SearchTestUtil.h"
#include "unicode/search/LiteralScanner.h"
#include "unicode/search/URESearch.h"

namespace {

TEST(LiteralScan, PlainWordsTakeTheFastScan) {
  TURESearch engine;
  for (const char16_t* p : {u"water", u"\u307F\u305A", u"k", u"Ab"}) {
    engine.PreparePattern(p, 8);
    EXPECT_TRUE(engine.Compiled()->Literal) << std::string(p, p + 1);
  }
  for (const char16_t* p : {u"wat.r", u"a|b", u"^a", u"a*", u"\U0001F600", u"\\xD800", u"[a]b"}) {
    engine.PreparePattern(p, 8);
    EXPECT_FALSE(engine.Compiled()->Literal);
  }  // A long word whose partial matches all fail late stays one pass.
  const std::u16string word = std::u16string(299, u'a') + u"b";
  engine.PreparePattern(word, 8);
  ASSERT_TRUE(engine.Compiled()->Literal);
  const std::u16string text = std::u16string(1000, u'A') + u"B";
  EXPECT_EQ(AllMatches(engine, text), (TMatchList{{701, 1001}}));
  EXPECT_EQ(GeneralMatches(engine.Compiled()->DFA, text), (TMatchList{{701, 1001}}));
}

// Units that fold onto each other, kana, and surrogates whole and alone.
const char16_t Alphabet[] = {u'a', u'A', u'b', u'k', u'K', 0x212A, u'i', u'I', 0x0130, 0x3042,
                             0x30A2, 0x307F, u'\n', 0xD83D, 0xDE00, u'x', 0x00DF, u's', u'S', 0x017F};

std::u16string RandomText(std::mt19937& rng, size_t maxLength) {
  std::u16string t(std::uniform_int_distribution<size_t>(0, maxLength)(rng), u' ');
  for (char16_t& c : t) c = Alphabet[std::uniform_int_distribution<size_t>(0, std::size(Alphabet) - 1)(rng)];
  return t;
}

TEST(LiteralScan, AgreesWithTheGeneralMatcher) {
  std::mt19937 rng(20261210);
  TURESearch engine;
  int fastPatterns = 0;
  for (int round = 0; round < 3000; ++round) {
    std::u16string pattern = RandomText(rng, 4);
    // Patterns of surrogates or specials go elsewhere; keep plain words.
    std::erase_if(pattern, [](char16_t c) { return (c >= 0xD800 && c <= 0xDFFF) || c == u'\n'; });
    if (pattern.empty()) continue;
    const uint8_t options = round % 3 == 0 ? 1 : 8;
    engine.PreparePattern(pattern, options);
    auto compiled = engine.Compiled();
    ASSERT_TRUE(compiled->Literal);
    ++fastPatterns;
    // Long runs of few units make partial matches that fail late.
    const std::u16string text = RandomText(rng, round % 10 == 0 ? 400 : 40);
    const TMatchList expected = GeneralMatches(compiled->DFA, text);
    EXPECT_EQ(AllMatches(engine, text), expected) << round;
    for (bool sse2 : {false, true}) {
      TMatchList got;
      const auto len = static_cast<int64_t>(text.size());
      const TLiteralScanner& scan = *compiled->Literal;
      for (int64_t pos = 0, s; (s = sse2 ? scan.FindSSE2(text.data(), len, pos) : scan.FindPlain(text.data(), len, pos)) >= 0;
           pos = s + scan.WordLength())
        got.emplace_back(s, s + scan.WordLength());
      EXPECT_EQ(got, expected) << round << (sse2 ? " sse2" : " plain");
    }
  }
  EXPECT_GT(fastPatterns, 2000);
}

TEST(LiteralScan, VectorSkipAtEveryAlignment) {
  // Matches at each offset of a long text, near both ends, and a word that
  // starts with a unit of three case forms (k, K and KELVIN SIGN).
  TURESearch engine;
  engine.PreparePattern(u"kab", 8);
  for (size_t at = 0; at < 40; ++at) {
    std::u16string text(40, u'z');
    text.replace(at, 3, at % 3 == 0 ? u"\u212AAB" : at % 3 == 1 ? u"KaB" : u"kab");
    text.resize(40);
    const TMatchList expected = at + 3 <= 40 ? TMatchList{{int64_t(at), int64_t(at + 3)}} : TMatchList{};
    EXPECT_EQ(AllMatches(engine, text), expected) << at;
  }
}

}  // namespace
