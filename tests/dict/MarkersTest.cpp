#include "dict/Markers.h"

#include "dict/EntryParser.h"
#include "unicode/UnicodeData.h"

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

namespace {

// The group routines as the rules read: find the first "(" and the first ")"
// after it, act, delete that stretch, start again.
bool LiteralGroup(const WideString& t, size_t& a, size_t& b) {
  a = t.find(u'(');
  if (a == WideString::npos) return false;
  b = t.find(u')', a + 1);
  return b != WideString::npos;
}

WideString LiteralRemoveParentheses(WideString s) {
  size_t a, b;
  while (LiteralGroup(s, a, b)) s.erase(a, b - a + 1);
  return s;
}

std::vector<WideString> LiteralCollect(const WideString& x) {
  TWideStringList keys;
  auto add = [&](const WideString& k) {
    if (keys.IndexOf(k) < 0) keys.Add(k);
  };
  WideString t = WideTrimSpace(x);
  size_t a, b;
  while (LiteralGroup(t, a, b)) {
    const WideString inner = t.substr(a + 1, b - a - 1);
    if (IsMarkerText(inner)) {
      if (inner.find(u',') != WideString::npos) {
        TWideStringList parts;
        SplitText(inner, u',', parts);
        for (int i = 0; i < parts.Count(); ++i) add(parts[i]);
      } else {
        add(inner);
      }
    }
    t.erase(a, b - a + 1);
  }
  return Items(keys);
}

}  // namespace

// The routines walk the groups in one pass; on texts made of the characters
// that matter they give what the delete-and-start-again rules give.
TEST_F(MarkerTable, OnePassGivesWhatTheRulesGive) {
  const char16_t pieces[] = u"()n,vx N";
  uint32_t seed = 19;
  for (int round = 0; round < 3000; ++round) {
    WideString text;
    for (int i = static_cast<int>(seed % 14); i >= 0; --i) {
      seed = seed * 1103515245u + 12345u;
      text += pieces[(seed >> 16) % 8];
    }
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_EQ(RemoveParentheses(text), LiteralRemoveParentheses(text));
    TWideStringList keys;
    CollectMarkers(text, keys);
    EXPECT_EQ(Items(keys), LiteralCollect(text));
  }
}
