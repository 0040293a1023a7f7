#include "SearchTestUtil.h"

#include <gtest/gtest.h>

#include "unicode/search/DFAMatcher.h"

TMatchList AllMatches(TURESearch& Engine, const std::u16string& Text) {
  TMatchList fired;
  Engine.OnMatch = [&](int64_t s, int64_t e) { fired.emplace_back(s, e); };
  const bool found = Engine.FindAllMatches(Text);
  Engine.OnMatch = nullptr;
  EXPECT_EQ(found, !fired.empty());
  EXPECT_EQ(Engine.ResultCount(), static_cast<int64_t>(fired.size()));
  for (int64_t i = 0; i < Engine.ResultCount() && i < static_cast<int64_t>(fired.size()); ++i) {
    int64_t s = 0, e = 0;
    Engine.ResultAt(i, s, e);
    EXPECT_EQ(std::make_pair(s, e), fired[static_cast<size_t>(i)]);
  }
  return fired;
}

TMatchList Search(const std::u16string& Pattern, const std::u16string& Text, uint8_t Options) {
  TURESearch engine;
  engine.PreparePattern(Pattern, Options);
  return AllMatches(engine, Text);
}

TMatchList GeneralMatches(const TDFA& DFA, const std::u16string& Text) {
  TDFAMatcher matcher(DFA);
  TMatchList out;
  const auto len = static_cast<int64_t>(Text.size());
  int64_t pos = 0, s = 0, e = 0;
  while (pos <= len && matcher.Find(Text.data(), len, pos, s, e)) {
    out.emplace_back(s, e);
    if (e > s) {
      pos = e;
    } else {
      if (e >= len) break;
      pos = e + (PairAt(Text.data(), len, e) ? 2 : 1);
    }
  }
  return out;
}

std::string Describe(const TMatchList& Matches) {
  std::string out;
  for (auto [s, e] : Matches) out += "[" + std::to_string(s) + "," + std::to_string(e) + ")";
  return out.empty() ? "none" : out;
}
