#include <gtest/gtest.h>

#include <string>

#include "SearchTestUtil.h"
#include "unicode/search/URESearch.h"

namespace {

const TDFA& Compile(TURESearch& engine, const std::u16string& pattern, uint8_t options = 8) {
  engine.PreparePattern(pattern, options);
  EXPECT_TRUE(engine.Compiled());
  return engine.Compiled()->DFA;
}

std::u32string Literals(const TDFA& dfa) {
  std::u32string out;
  for (const TUcSymbolTableEntry& s : dfa.SymbolTable)
    if (s.AType == _URE_CHAR) out += static_cast<char32_t>(s.Symbol.Chr);
  return out;
}

bool SameAutomaton(const TDFA& a, const TDFA& b) {
  if (a.Flags != b.Flags || a.StateList.size() != b.StateList.size() ||
      a.TransitionList.size() != b.TransitionList.size() || a.SymbolTable.size() != b.SymbolTable.size())
    return false;
  for (size_t i = 0; i < a.StateList.size(); ++i)
    if (a.StateList[i].Accepting != b.StateList[i].Accepting ||
        a.StateList[i].NumberTransitions != b.StateList[i].NumberTransitions)
      return false;
  for (size_t i = 0; i < a.TransitionList.size(); ++i)
    if (a.TransitionList[i].LHS != b.TransitionList[i].LHS || a.TransitionList[i].RHS != b.TransitionList[i].RHS)
      return false;
  for (size_t i = 0; i < a.SymbolTable.size(); ++i)
    if (a.SymbolTable[i].AType != b.SymbolTable[i].AType || a.SymbolTable[i].Symbol.Chr != b.SymbolTable[i].Symbol.Chr ||
        !(a.SymbolTable[i].Symbol.CCL == b.SymbolTable[i].Symbol.CCL))
      return false;
  return true;
}

TEST(PatternCompiler, OptionBitZeroDecidesCaseFolding) {
  TURESearch engine;
  EXPECT_EQ(Literals(Compile(engine, u"Word", 8)), U"word");
  EXPECT_EQ(engine.Compiled()->DFA.Flags & _URE_DFA_CASEFOLD, 1u);
  EXPECT_EQ(Literals(Compile(engine, u"Word", 1)), U"Word");
  EXPECT_EQ(Literals(Compile(engine, u"Word", 9)), U"Word");
}

TEST(PatternCompiler, AutomatonShapes) {
  TURESearch a, b;
  const TDFA& alt = Compile(a, u"a|b");
  EXPECT_EQ(alt.StateList[0].NumberTransitions, 2u);
  // Both branches end in the same accepting state after merging.
  EXPECT_EQ(alt.StateList.size(), 2u);
  EXPECT_TRUE(SameAutomaton(Compile(a, u"ab"), Compile(b, u"a(b)")));
  EXPECT_TRUE(SameAutomaton(Compile(a, u"[a-c]"), Compile(b, u"[c-a]")));
  // Anchors alone keep the blank-line flag; anything else clears it.
  EXPECT_EQ(Compile(a, u"^$").Flags & _URE_DFA_BLANKLINE, 2u);
  EXPECT_EQ(Compile(a, u"^a").Flags & _URE_DFA_BLANKLINE, 0u);
}

TEST(PatternCompiler, ClassContents) {
  TURESearch engine;
  const TDFA& dfa = Compile(engine, u"[]a]");
  ASSERT_EQ(dfa.SymbolTable.size(), 1u);
  const auto& ranges = dfa.SymbolTable[0].Symbol.CCL.Ranges;
  ASSERT_EQ(ranges.size(), 2u);
  // Kept by descending first code point.
  EXPECT_EQ(ranges[0], (TUcRange{'a', 'a'}));
  EXPECT_EQ(ranges[1], (TUcRange{']', ']'}));
  // Folding lower-cases both ends of a range.
  EXPECT_EQ(Compile(engine, u"[A-C]").SymbolTable[0].Symbol.CCL.Ranges[0], (TUcRange{'a', 'c'}));
  // Classes of categories or POSIX names alone can be closed.
  EXPECT_EQ(Compile(engine, u"[[:alpha:]]").SymbolTable.size(), 1u);
  EXPECT_FALSE(engine.Compiled()->DFA.SymbolTable[0].Categories.Empty());
  EXPECT_EQ(Compile(engine, u"[\\p0]").SymbolTable[0].Categories.Bits[0], 1u);
  EXPECT_EQ(Compile(engine, u"[:digit:]x").SymbolTable.size(), 2u);
  // A "-" before "]" stands for itself.
  EXPECT_EQ(Search(u"[a-]+", u"x-a-"), (TMatchList{{1, 4}}));
}

TEST(PatternCompiler, ErrorsCarryMessageAndPattern) {
  struct Case {
    std::u16string pattern;
    const char* message;
  };
  const Case cases[] = {
      {u"[a", "Character class not closed, ']' is missing."},
      {u"(a", "Unbalanced group expression, ')' is missing."},
      {u"a)", "Unbalanced group expression, ')' is missing."},
      {u"a|b)", "Unbalanced group expression, ')' is missing."},
      {u"a{2,1}", "Invalid repetition range."},
      {u"a{x}", "Invalid repetition range."},
      {u"a{1001}", "Invalid repetition range."},
      {u"a{0,99999999999}", "Invalid repetition range."},
      {u"a{1,2", "Repetition range not closed, '}' is missing."},
      {u"a{1", "Repetition range not closed, '}' is missing."},
      {u"a{", "Repetition range not closed, '}' is missing."},
      {u"a{1,2x}", "Repetition range not closed, '}' is missing."},
      {u"\\p99", "A character property is invalid"},
      {u"[\\p1,55]", "A character property is invalid"},
      {u"ab\\", "Unexpected end of pattern."},
      {u"[a\\", "Unexpected end of pattern."},
      {u"(a|b)*a(a|b){40}", "Expression is too complex."},
  };
  for (const Case& c : cases) {
    TURESearch engine;
    try {
      engine.PreparePattern(c.pattern, 8);
      ADD_FAILURE() << "compiled: " << std::string(c.pattern.begin(), c.pattern.end());
    } catch (const EUnicodeError& e) {
      const std::string m = e.Message();
      const std::string p(c.pattern.begin(), c.pattern.end());
      EXPECT_EQ(m.rfind("Error in regular expression: ", 0), 0u) << m;
      EXPECT_NE(m.find(c.message), std::string::npos) << m;
      EXPECT_NE(m.find(p), std::string::npos) << m;
    }
    EXPECT_FALSE(engine.Compiled());
  }
}

TEST(PatternCompiler, OperatorsWithoutOperandAreEmpty) {
  for (const char16_t* p : {u"*a", u"a|*", u"(|a)", u"()", u"|a", u"a|", u"(a|)", u"+", u"{2}", u"a(*b)", u"a()"}) {
    TURESearch engine;
    try {
      engine.PreparePattern(p, 8);
      ADD_FAILURE() << "compiled";
    } catch (const EUnicodeError& e) {
      EXPECT_EQ(e.Message(), "Expression is empty.");
    }
  }
}

TEST(PatternCompiler, EmptyPatternKeepsTheCompiledOne) {
  TURESearch engine;
  engine.PreparePattern(u"ab", 8);
  auto before = engine.Compiled();
  engine.PreparePattern(u"", 8);
  engine.PreparePattern(nullptr, 0, 8);
  engine.PreparePattern(u"x", 0, 8);
  EXPECT_EQ(engine.Compiled(), before);
  // A failed compile leaves nothing to search with.
  EXPECT_THROW(engine.PreparePattern(u"[", 8), EUnicodeError);
  EXPECT_FALSE(engine.FindAllMatches(u"ab"));
  engine.PreparePattern(u"ab", 8);
  engine.ClearMatches();
  EXPECT_FALSE(engine.FindAllMatches(u"ab"));
}

TEST(PatternCompiler, Repetitions) {
  struct Case {
    std::u16string pattern, text;
    TMatchList expected;
  };
  const Case cases[] = {
      {u"ba{0}", u"b baa", {{0, 1}, {2, 5}}},  // {0} repeats freely, as a*
      {u"ba{3,}", u"baa baaa baaaaa", {{4, 8}, {9, 15}}},
      {u"ba{0,2}", u"b ba baa baaa", {{0, 1}, {2, 4}, {5, 8}, {9, 12}}},
      {u"ba{1,1}c", u"bc bac baac", {{3, 6}}},
      {u"ba{ 2 , 3}", u"ba baa baaaa", {{3, 6}, {7, 11}}},
      {u"(ab){2}", u"ababab", {{0, 4}}},
      {u"a{1000}", std::u16string(1001, u'a'), {{0, 1000}}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Search(c.pattern, c.text), c.expected) << std::string(c.pattern.begin(), c.pattern.end());
}

TEST(PatternCompiler, NestedQuantifiersTerminate) {
  for (const char16_t* p : {u"a**", u"(a*)*", u"(a|b*)*c", u"((a?)+)*", u"(a*b*)*"}) {
    TURESearch engine;
    engine.PreparePattern(p, 8);
    EXPECT_TRUE(engine.Compiled());
  }
  EXPECT_EQ(Search(u"(a*)*b", u"aab"), (TMatchList{{0, 3}}));
  // Thousands of states in a chain compile in bounded time.
  std::u16string text;
  for (int i = 0; i < 9; ++i) text += u"a" + std::u16string(1000, u'b');
  EXPECT_EQ(Search(u"(ab{1000}){9}", u"x" + text), (TMatchList{{1, 9010}}));
}

TEST(PatternCompiler, Escapes) {
  struct Case {
    std::u16string pattern, text;
    TMatchList expected;
  };
  const Case cases[] = {
      {u"\\t\\n", u"x\t\n", {{1, 3}}},
      {u"\\x41", u"a", {{0, 1}}},                 // hex literal, folded
      {u"\\xg", u"xg", {{0, 2}}},                 // no digit: the letter
      {u"\\u3042", u"\u3042", {{0, 1}}},
      {u"\\.", u"a.", {{1, 2}}},
      {u"[\\r]", u"\rr", {{1, 2}}},               // \r in a class is r
      {u"[\\R]", u"\rr", {{0, 1}}},
      {u"\\xD83D\\xDE00", u"\U0001F600", {{0, 2}}},  // escaped pair is one code point
      {u"\U0001F600", u"a\U0001F600", {{1, 3}}},
      {u"[\U0001F600]", u"\U0001F600", {{0, 2}}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Describe(Search(c.pattern, c.text)), Describe(c.expected))
        << std::string(c.pattern.begin(), c.pattern.end());
}

}  // namespace
