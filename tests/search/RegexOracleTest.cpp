// Matches agree with glibc's POSIX regex (leftmost-longest) on random
// ASCII patterns and texts.
#include <gtest/gtest.h>
#include <regex.h>

#include <random>
#include <string>

#include "SearchTestUtil.h"
#include "unicode/search/URESearch.h"

namespace {

class TPatternMaker {
 public:
  static constexpr int TopDepth = 2;

  // Lines: anchors too, and no negated classes (ours take a line break,
  // POSIX's REG_NEWLINE ones do not).
  TPatternMaker(std::mt19937& rng, bool lines) : FRng(rng), FLines(lines) {}

  std::string Alternation(int depth) {
    std::string out = Concatenation(depth);
    while (Chance(15)) out += "|" + Concatenation(depth);
    return out;
  }

 private:
  bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(FRng) < percent; }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(FRng); }

  std::string Concatenation(int depth) {
    std::string out;
    const int n = 1 + Pick(3);
    for (int i = 0; i < n; ++i) out += Quantified(depth);
    return out;
  }

  std::string Quantified(int depth) {
    std::string atom = Atom(depth);
    if (atom == "^" || atom == "$") return atom;  // POSIX repeats no anchor
    switch (Pick(10)) {
      case 0: return atom + "*";
      case 1: return atom + "+";
      case 2: return atom + "?";
      case 3: {
        const int m = Pick(3), n = m + Pick(3);
        if (n == 0) return atom + "{1}";
        return atom + "{" + std::to_string(m) + "," + std::to_string(n) + "}";
      }
      case 4: return atom + "{" + std::to_string(1 + Pick(3)) + "}";
      case 5: return atom + "{" + std::to_string(1 + Pick(2)) + ",}";
      default: return atom;
    }
  }

  std::string Atom(int depth) {
    static const char* const classes[] = {"[ab]", "[a-c]", "[bB]", "[A-C]", "[^a]", "[^bc]"};
    const int k = Pick(10);
    // Outside groups only: glibc lets "^" match inside a line in "(^c)+".
    if (FLines && depth == TopDepth && Pick(6) == 0) return Pick(2) ? "^" : "$";
    if (k < 5) return std::string(1, "abcAB"[Pick(5)]);
    if (k == 5) return ".";
    if (k < 8 || depth == 0) return classes[Pick(FLines ? 4 : 6)];
    return "(" + Alternation(depth - 1) + ")";
  }

  std::mt19937& FRng;
  bool FLines;
};

// All matches the way FindAllMatches reports them, found with regexec; each
// search starts inside the whole text so that anchors see what precedes it.
TMatchList PosixMatches(const regex_t& re, const std::string& text) {
  TMatchList out;
  size_t pos = 0;
  while (pos <= text.size()) {
    regmatch_t m;
    m.rm_so = static_cast<regoff_t>(pos);
    m.rm_eo = static_cast<regoff_t>(text.size());
    if (regexec(&re, text.c_str(), 1, &m, REG_STARTEND) != 0) break;
    const auto s = static_cast<int64_t>(m.rm_so), e = static_cast<int64_t>(m.rm_eo);
    out.emplace_back(s, e);
    pos = static_cast<size_t>(e > s ? e : e + 1);
  }
  return out;
}

void Agree(bool lines, unsigned seed) {
  std::mt19937 rng(seed);
  TPatternMaker maker(rng, lines);
  int compared = 0;
  for (int round = 0; round < 2500; ++round) {
    const std::string pattern = maker.Alternation(TPatternMaker::TopDepth);
    const bool fold = round % 2 == 0;
    regex_t re;
    const int flags = REG_EXTENDED | (fold ? REG_ICASE : 0) | (lines ? REG_NEWLINE : 0);
    ASSERT_EQ(regcomp(&re, pattern.c_str(), flags), 0) << pattern;
    TURESearch engine;
    engine.PreparePattern(std::u16string(pattern.begin(), pattern.end()), fold ? 8 : 1);
    for (int t = 0; t < 8; ++t) {
      std::string text(std::uniform_int_distribution<size_t>(0, 24)(rng), ' ');
      const char* alphabet = lines ? "abcAB\n" : "abcABx";
      for (char& c : text) c = alphabet[std::uniform_int_distribution<int>(0, 5)(rng)];
      const TMatchList expected = PosixMatches(re, text);
      const TMatchList got = AllMatches(engine, std::u16string(text.begin(), text.end()));
      EXPECT_EQ(Describe(got), Describe(expected)) << "pattern " << pattern << (fold ? " (folded)" : "") << " text "
                                                   << text;
      ++compared;
    }
    regfree(&re);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(compared, 20000);
}

TEST(RegexOracle, AgreesWithPosixRegex) { Agree(false, 4242); }

TEST(RegexOracle, AgreesWithPosixRegexOnLines) { Agree(true, 777); }

}  // namespace
