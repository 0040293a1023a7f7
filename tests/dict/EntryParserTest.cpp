#include "dict/EntryParser.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<WideString> Items(const TWideStringList& list) {
  std::vector<WideString> v;
  for (int i = 0; i < list.Count(); ++i) v.push_back(list[i]);
  return v;
}

struct Parsed {
  WideString headword, reading;
  std::vector<WideString> glosses;
};

Parsed Parse(const WideString& line) {
  Parsed p;
  TWideStringList glosses;
  glosses.Add(u"stale");
  ParseEntryLine(line, p.headword, p.reading, glosses);
  p.glosses = Items(glosses);
  return p;
}

}  // namespace

TEST(ParseEntryLine, LineFormsGiveTheirFields) {
  struct Case {
    WideString line, headword, reading;
    std::vector<WideString> glosses;
  } cases[] = {
      {u"水 [みず] /(n) water/cold water/(P)/", u"水", u"みず", {u"(n) water", u"cold water", u"(P)"}},
      {u"もっと /(adv) more/longer/", u"もっと", u"", {u"(adv) more", u"longer"}},
      {u"水 [みず]/water/", u"水", u"みず", {}},         // "]" directly followed by "/"
      {u"水 [みず /water/", u"水", u"", {}},              // no "]": the "/" is not where it is looked for
      {u"", u"", u"", {}},
      {u"x", u"x", u"", {}},
      {u"abc", u"a", u"", {}},                            // no space: the first character
      {u"水 [", u"水", u"", {}},
      {u"水 [みず]", u"水", u"みず", {}},
      {u"a /x//y/", u"a", u"", {u"x", u"", u"y"}},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.line);
    EXPECT_EQ(p.headword, c.headword);
    EXPECT_EQ(p.reading, c.reading);
    EXPECT_EQ(p.glosses, c.glosses);
  }
}

TEST(ParseEntryLine, GlossesAreStoredComposed) {
  Parsed p = Parse(u"cafe /cafe\u0301/");
  ASSERT_EQ(p.glosses.size(), 1u);
  EXPECT_EQ(p.glosses[0], u"caf\u00e9");
}

TEST(SplitText, TokensFollowTheSeparatorRules) {
  struct Case {
    WideString text;
    std::vector<WideString> tokens;
  } cases[] = {
      {u"/a//b/", {u"a", u"", u"b"}},
      {u"   ", {}},
      {u"", {}},
      {u"a,b", {u"a", u"b"}},
      {u" a/ b /", {u"a", u" b "}},
      {u"tail/last", {u"tail", u"last"}},
  };
  for (const Case& c : cases) {
    TWideStringList list;
    SplitText(c.text, c.text.find(u',') != WideString::npos ? u',' : u'/', list);
    EXPECT_EQ(Items(list), c.tokens) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(WidePosIgnoreCase, FindsWithoutRegardToCase) {
  EXPECT_EQ(WidePosIgnoreCase(u"WAT", u"cold water"), 6);
  EXPECT_EQ(WidePosIgnoreCase(u"x", u"abc"), 0);
  EXPECT_EQ(WidePosIgnoreCase(u"", u"abc"), 0);
  EXPECT_EQ(WidePosIgnoreCase(u"\u00e9", u"CAF\u00c9"), 4);
  EXPECT_EQ(WidePosIgnoreCase(u"みず", u"おみず"), 2);
}
