#include "dict/ResultText.h"

#include <gtest/gtest.h>

#include "dict/Markers.h"

namespace {

TWideStringList List(std::initializer_list<const char16_t*> items) {
  TWideStringList list;
  for (const char16_t* s : items) list.Add(s);
  return list;
}

}  // namespace

TEST(GlossText, NumbersOnlyWhenAtLeastTwoGlossesShow) {
  struct Case {
    TWideStringList glosses;
    bool numbers;
    WideString text;
  } cases[] = {
      {List({u"water"}), true, u"water"},
      {List({u"water", u"cold water"}), true, u"1. water\r\n2. cold water"},
      {List({u"water", u"cold water"}), false, u"water\r\ncold water"},
      {List({u"water", u"(P)"}), true, u"water\r\n"},  // common: "(P)" left out, unnumbered
      {List({u"water", u"cold water", u"(P)"}), true, u"1. water\r\n2. cold water\r\n"},
      {List({}), true, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(GlossText(c.glosses, c.numbers), c.text);
}

TEST(GlossText, CommonOnlyWhenLast) {
  EXPECT_TRUE(IsCommonEntry(List({u"a", u"(P)"})));
  EXPECT_FALSE(IsCommonEntry(List({u"(P)", u"a"})));
  EXPECT_FALSE(IsCommonEntry(List({})));
}

TEST(MarkerLegend, KeysInOrderOfFirstOccurrence) {
  SetMarkersFromLines({"n|noun", "vs|takes suru", "uk|kana", "x|"});
  EXPECT_EQ(MarkerLegend(u"1. (vs) study\r\n2. (n) learning (vs)"), u"vs : takes suru, n : noun");
  EXPECT_EQ(MarkerLegend(u"plain (words)"), u"");
  EXPECT_EQ(MarkerLegend(u"(x) odd"), u"x : ");
  SetMarkersFromLines({});
}
