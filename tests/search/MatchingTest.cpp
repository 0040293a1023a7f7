#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "SearchTestUtil.h"
#include "unicode/search/URESearch.h"

namespace {

TEST(Matching, FoldedWordFoundInEveryCase) {
  TURESearch engine;
  engine.PreparePattern(u"nihon", 8);
  EXPECT_EQ(AllMatches(engine, u"Nihon to NIHON, nIhOn"), (TMatchList{{0, 5}, {9, 14}, {16, 21}}));
}

TEST(Matching, MatchesNotKeptStillReachTheHandler) {
  TURESearch engine;
  engine.PreparePattern(u"nihon", 8);
  engine.SetKeepMatches(false);
  TMatchList seen;
  engine.OnMatch = [&](int64_t start, int64_t stop) { seen.push_back({start, stop}); };
  EXPECT_TRUE(engine.FindAllMatches(std::u16string(u"Nihon to NIHON")));
  EXPECT_EQ(seen, (TMatchList{{0, 5}, {9, 14}}));
  EXPECT_EQ(engine.ResultCount(), 0);
  EXPECT_FALSE(engine.FindAllMatches(std::u16string(u"none")));
}

struct TCase {
  const char16_t* pattern;
  const char16_t* text;
  TMatchList expected;
  uint8_t options = 8;
};

void Check(const TCase& c) {
  const std::u16string p(c.pattern), t(c.text);
  EXPECT_EQ(Describe(Search(p, t, c.options)), Describe(c.expected))
      << "pattern " << std::string(p.begin(), p.end()) << " text " << std::string(t.begin(), t.end());
}

TEST(Matching, RestartsAfterFailedPartialMatch) {
  const TCase cases[] = {
      {u"ab", u"aab", {{1, 3}}},
      {u"ab", u"xab", {{1, 3}}},
      {u"ab", u"abab", {{0, 2}, {2, 4}}},
      {u"ter", u"letter better matter", {{3, 6}, {10, 13}, {17, 20}}},
      {u"aab", u"aaab", {{1, 4}}},
      {u"abac", u"ababac", {{2, 6}}},
      {u"aa", u"aaaaa", {{0, 2}, {2, 4}}},
      {u"a.c", u"aabc", {{1, 4}}},
  };
  for (const TCase& c : cases) Check(c);
}

TEST(Matching, LongestFromTheLeftmostStart) {
  const TCase cases[] = {
      {u"ab|abcd", u"abcx", {{0, 2}}},
      {u"ab|abcd", u"abcd", {{0, 4}}},
      {u"a|ab|abc", u"abd", {{0, 2}}},
      {u"x*", u"axxb", {{0, 0}, {1, 3}, {3, 3}, {4, 4}}},
      // An accepting start state makes no match of a refused unit.
      {u"a*", u"b", {{0, 0}, {1, 1}}},
      // After an empty match the search steps a whole surrogate pair on.
      {u"x*", u"\U0001F600x", {{0, 0}, {2, 3}, {3, 3}}},
      {u"a?b", u"cab", {{1, 3}}},
      // Overlapping symbols: both the literal and the class are followed.
      {u"a|[a-c]x", u"ax", {{0, 2}}},
      {u"(a|b)*abb", u"babb", {{0, 4}}},
  };
  for (const TCase& c : cases) Check(c);
}

TEST(Matching, LineAnchors) {
  const TCase cases[] = {
      {u"^a", u"a\nab\r\na", {{0, 1}, {2, 3}, {6, 7}}},
      {u"^a", u"aa", {{0, 1}}},  // a resumed search is not at a line start
      {u"a$", u"a\nba\r\nca", {{0, 1}, {3, 4}, {7, 8}}},
      {u"^", u"a\nb", {{0, 0}, {2, 2}}},
      {u"$", u"a\r\nb", {{1, 1}, {4, 4}}},
      {u"^$", u"a\n\nb", {{2, 2}}},
      {u"^$", u"", {{0, 0}}},
      {u"^ab$", u"ab\u2028ab\u2029xab", {{0, 2}, {3, 5}}},
      {u"b$|bc", u"bc", {{0, 2}}},
      {u"(^|x)a", u"axa", {{0, 1}, {1, 3}}},
  };
  for (const TCase& c : cases) Check(c);
}

TEST(Matching, CaseAndCodePoints) {
  const TCase cases[] = {
      {u"Ab", u"ab", {}, 1},
      {u"Ab", u"xAb", {{1, 3}}, 1},
      {u"k", u"K\u212Ak", {{0, 1}, {1, 2}, {2, 3}}},
      {u"[A-C]", u"xb", {{1, 2}}},
      {u"[^a]", u"A\u00C0", {{1, 2}}},
      {u"\u00E0", u"\u00C0", {{0, 1}}},
      // A surrogate pair is one code point to the automaton, two units in offsets.
      {u".", u"\U0001F600a", {{0, 2}, {2, 3}}},
      {u"x.y", u"x\U0001F600y", {{0, 4}}},
      {u"\\xD83D", u"\U0001F600\xD83D", {{2, 3}}},  // a lone surrogate, not half a pair
      {u"\\p0+", u"abCDe", {{2, 4}}, 1},
      {u"[[:digit:]]+", u"ab123", {{2, 5}}},
      {u"\\P0,1", u"aB1", {{2, 3}}, 1},
      {u"[[:space:]]", u"a\tb", {{1, 2}}},
      {u"[[:xdigit:]]+", u"xyzF09g", {{3, 6}}, 1},
  };
  for (const TCase& c : cases) Check(c);
}

TEST(Matching, EmptyTextAndStaleResults) {
  TURESearch engine;
  engine.PreparePattern(u"ab", 8);
  EXPECT_TRUE(engine.FindAllMatches(u"ab"));
  int fired = 0;
  engine.OnMatch = [&](int64_t, int64_t) { ++fired; };
  EXPECT_FALSE(engine.FindAllMatches(u""));
  EXPECT_FALSE(engine.FindAllMatches(nullptr, 0));
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(engine.ResultCount(), 0);
}

TEST(Matching, FirstMatchAndMatchText) {
  TURESearch engine;
  engine.PreparePattern(u"b+", 8);
  int64_t s = -1, e = -1;
  int fired = 0;
  engine.OnMatch = [&](int64_t, int64_t) { ++fired; };
  EXPECT_TRUE(engine.FindFirstMatch(u"abbcb", s, e));
  EXPECT_EQ(std::make_pair(s, e), std::make_pair(int64_t{1}, int64_t{3}));
  EXPECT_EQ(engine.ResultCount(), 1);
  EXPECT_EQ(fired, 1);
  const std::u16string text = u"xxBx";
  EXPECT_TRUE(engine.MatchText(text.data() + 1, 3, s, e));
  EXPECT_EQ(std::make_pair(s, e), std::make_pair(int64_t{1}, int64_t{2}));
  EXPECT_EQ(fired, 1);  // MatchText records nothing
  EXPECT_FALSE(engine.FindFirstMatch(u"xyz", s, e));
  EXPECT_EQ(engine.ResultCount(), 0);
  TURESearch empty;
  EXPECT_FALSE(empty.MatchText(text.data(), 4, s, e));
}

TEST(Matching, HandlerMayRecompileOrClearDuringTheScan) {
  TURESearch engine;
  engine.PreparePattern(u"a.c", 8);
  TMatchList seen;
  engine.OnMatch = [&](int64_t s, int64_t e) {
    seen.emplace_back(s, e);
    // Frees the engine's automaton: the scan keeps its own.
    if (seen.size() == 1) engine.ClearMatches();
    if (seen.size() == 2) engine.PreparePattern(u"zz", 8);
  };
  EXPECT_TRUE(engine.FindAllMatches(u"abc axc ayc azc"));
  EXPECT_EQ(seen, (TMatchList{{0, 3}, {4, 7}, {8, 11}, {12, 15}}));
  EXPECT_EQ(engine.Compiled()->DFA.SymbolTable.size(), 1u);
}

TEST(Matching, HandlerExceptionKeepsRecordedMatches) {
  TURESearch engine;
  engine.PreparePattern(u"a", 8);
  engine.OnMatch = [&](int64_t s, int64_t) {
    if (s == 2) throw std::runtime_error("stop");
  };
  EXPECT_THROW(engine.FindAllMatches(u"aaaa"), std::runtime_error);
  EXPECT_EQ(engine.ResultCount(), 3);
}

TEST(Matching, ResultListOperations) {
  TURESearch engine;
  engine.PreparePattern(u"a", 8);
  engine.FindAllMatches(u"a a a");
  engine.RemoveResult(1);
  int64_t s = 0, e = 0;
  engine.ResultAt(1, s, e);
  EXPECT_EQ(s, 4);
  EXPECT_THROW(engine.ResultAt(2, s, e), EListError);
  EXPECT_THROW(engine.RemoveResult(-1), EListError);
}

TEST(Matching, AdversarialPatternsStayLinear) {
  // Without the record of failed runs these take quadratic time.
  const std::u16string text(200000, u'a');
  EXPECT_TRUE(Search(u"a*b", text).empty());
  EXPECT_EQ(Search(u"a|a*b", text).size(), 200000u);
}

}  // namespace
