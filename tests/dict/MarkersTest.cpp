#include "dict/Markers.h"

#include <gtest/gtest.h>

namespace {

std::vector<WideString> Items(const TWideStringList& list) {
  std::vector<WideString> v;
  for (int i = 0; i < list.Count(); ++i) v.push_back(list[i]);
  return v;
}

struct MarkerTable : ::testing::Test {
  void SetUp() override { SetMarkersFromLines({"n|noun", "vs|takes suru", "no bar here", "|empty key", "uk|kana|alone"}); }
  void TearDown() override { SetMarkersFromLines({}); }
};

}  // namespace

TEST_F(MarkerTable, LinesSplitAtTheFirstBar) {
  ASSERT_EQ(Markers.size(), 5u);
  EXPECT_EQ(Markers[2].Key, "");
  EXPECT_EQ(Markers[2].Description, "");
  EXPECT_EQ(Markers[3].Key, "");
  EXPECT_EQ(Markers[3].Description, "empty key");
  EXPECT_EQ(Markers[4].Key, "uk");
  EXPECT_EQ(Markers[4].Description, "kana|alone");
}

TEST_F(MarkerTable, KeysAndTextsCompareExactly) {
  EXPECT_TRUE(IsMarkerKey(u"n"));
  EXPECT_FALSE(IsMarkerKey(u"N"));
  EXPECT_TRUE(IsMarkerText(u"n,vs"));
  EXPECT_TRUE(IsMarkerText(u"adj,n"));
  EXPECT_FALSE(IsMarkerText(u"adj, n"));  // parts keep their spaces
  EXPECT_EQ(GetMarkerDescription(u"vs"), u"takes suru");
  EXPECT_EQ(GetMarkerDescription(u"xx"), u"");
}

TEST_F(MarkerTable, RemoveMarkersTakesOnlyMarkerGroups) {
  EXPECT_EQ(RemoveMarkers(u"(n) water"), u" water");
  EXPECT_EQ(RemoveMarkers(u"noun form (n)"), u"noun form ");
  EXPECT_EQ(RemoveMarkers(u"(n,vs) study (of it)"), u" study (of it)");
  EXPECT_EQ(RemoveParentheses(u"(n) study (of it)"), u" study ");
}

TEST_F(MarkerTable, CollectMarkersKeepsFirstOccurrenceOrder) {
  TWideStringList list;
  CollectMarkers(u"(vs) a (n) b (n) c (other)", list);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"vs", u"n"}));
  CollectMarkers(u"(adj,n) word", list);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"adj", u"n"}));
}

TEST_F(MarkerTable, UnpairedParenthesesEnd) {
  TWideStringList list;
  CollectMarkers(u"a) b (n", list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(RemoveParentheses(u"a) b (c) d"), u"a) b  d");
  EXPECT_EQ(RemoveMarkers(u"x (n"), u"x (n");
  EXPECT_EQ(RemoveParentheses(u"((n)x)"), u"x)");
}
