#include "classlib/StringLists.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "classlib/Streams.h"

namespace {
std::vector<std::string> Lines(const TStrings& l) {
  std::vector<std::string> r;
  for (int i = 0; i < l.Count(); ++i) r.push_back(l[i]);
  return r;
}
}  // namespace

TEST(StringList, LoadSplitsAtCrLfAndCrLfAndStopsAtZero) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR: two breaks
      {"\r\n\r\n", {"", ""}},
      {"a\r\r\nb", {"a", "", "b"}},
      {std::string("ab\0cd\r\nef", 9), {"ab"}},
      {"\xEF\xBB\xBF\xE6\x97\xA5\xFF\r\n", {"\xEF\xBB\xBF\xE6\x97\xA5\xFF"}},  // bytes kept as they are
  };
  TempDir dir;
  for (const Case& c : cases) {
    TStringList list;
    list.LoadFromFile(dir.Write("d.txt", c.bytes));
    EXPECT_EQ(Lines(list), c.lines) << testing::PrintToString(c.bytes);
  }
}

TEST(StringList, LongTextSplitsTheSameWithEveryLineEnd) {
  // Two million short lines with each line end alone, and mixed.  Searching
  // for LF from every line start to the end of a CR-only text takes over a
  // minute here (the test's time limit catches it), one pass a fraction of
  // a second.
  constexpr int kLines = 1 << 21;
  for (const std::string eol : {"\n", "\r\n", "\r", "mixed"}) {
    SCOPED_TRACE(testing::PrintToString(eol));
    std::string text;
    for (int i = 0; i < kLines; ++i) {
      text += static_cast<char>('a' + i % 26);
      text += eol != "mixed" ? eol : i % 3 == 0 ? "\r" : i % 3 == 1 ? "\n" : "\r\n";
    }
    TStringList list;
    list.SetText(text);
    ASSERT_EQ(list.Count(), kLines);
    for (int i : {0, 1, 2, kLines / 2, kLines - 1}) EXPECT_EQ(list[i], std::string(1, static_cast<char>('a' + i % 26)));
  }
}

TEST(StringList, TextJoinsWithCrLfAfterEveryLine) {
  TStringList list;
  list.SetText("one\ntwo");
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\n");
  TMemoryStream m;
  list.SaveToStream(m);
  EXPECT_EQ(m.Size(), 10);
  TStringList back;
  m.SetPosition(5);
  back.LoadFromStream(m);  // from the position on
  EXPECT_EQ(Lines(back), std::vector<std::string>{"two"});
  EXPECT_THROW(TStringList().LoadFromFile("/nonexistent/x"), EFOpenError);
}

TEST(StringList, SortedFindAndDuplicates) {
  TStringList list;
  list.SetSorted(true);
  for (const char* s : {"pear", "Apple", "fig", "apple"}) list.Add(s);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"Apple", "fig", "pear"}));  // dupIgnore, case-insensitive
  int i;
  EXPECT_TRUE(list.Find("FIG", i));
  EXPECT_EQ(i, 1);
  EXPECT_FALSE(list.Find("grape", i));
  EXPECT_EQ(i, 2);
  EXPECT_THROW(list.Insert(0, "x"), EStringListError);
  list.SetDuplicates(dupError);
  EXPECT_THROW(list.Add("PEAR"), EStringListError);
  list.SetCaseSensitive(true);
  list.Add("PEAR");
  EXPECT_EQ(list.IndexOf("pear"), 3);
  EXPECT_EQ(list.IndexOf("Pear"), -1);
}

TEST(StringList, IndexErrorsAndEvents) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  list.Add("a");
  list.BeginUpdate();
  list.Add("b");
  list.Add("c");
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
  try {
    list.Get(3);
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (3)");
  }
  EXPECT_THROW(list.Delete(-1), EStringListError);
  list.Move(0, 2);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"b", "c", "a"}));
  list.SetValue("key", "v=1");
  EXPECT_EQ(list.Values("KEY"), "v=1");
  TStringList copy;
  copy.Assign(&list);
  EXPECT_EQ(copy.Text(), list.Text());
}
