#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "classlib/Classes.h"
#include "unicode/WideStrings.h"
#include "unicode/WideUnicode.h"

namespace {

std::string Saved(TWideStrings& list) {
  TMemoryStream stream;
  list.SaveToStream(stream);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

void Load(TWideStrings& list, const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  list.LoadFromStream(stream);
}

std::vector<WideString> Items(const TWideStrings& list) {
  std::vector<WideString> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

TEST(TWideStringList, StoresNormalizedAndFindsIgnoringCase) {
  TWideStringList list;
  EXPECT_EQ(list.IndexOf(u"a"), -1);
  EXPECT_EQ(list.Add(u""), 0);
  EXPECT_EQ(list[0], u"");
  EXPECT_EQ(list.Add(u"A\u0301"), 1);
  EXPECT_EQ(list[1], u"\u00C1");
  for (const WideString& key : {WideString(u"A\u0301"), WideString(u"a\u0301"), WideString(u"\u00E1")})
    EXPECT_EQ(list.IndexOf(key), 1);
  list.Add(u"Stra\u00DFe");
  EXPECT_EQ(list.IndexOf(u"STRASSE"), 2);  // full case folding
  list.Add(u"\u304B");                      // hiragana ka
  EXPECT_EQ(list.IndexOf(u"\u30AB"), -1);   // katakana stays different
  EXPECT_EQ(list.IndexOf(u"\uFF41"), -1);   // so does full width
  list.SetNormalForm(nfNone);
  list.Add(u"e\u0301");
  EXPECT_EQ(list[4], u"e\u0301");
}

TEST(TWideStringList, IndexErrors) {
  TWideStringList list;
  list.Add(u"a");
  for (int bad : {1, -1}) {
    try {
      list.Get(bad);
      ADD_FAILURE() << "no error for " << bad;
    } catch (const EStringListError& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
    }
  }
  EXPECT_THROW(list.Insert(2, u"x"), EStringListError);
  EXPECT_THROW(list.Delete(1), EStringListError);
  EXPECT_THROW(list.Exchange(0, 1), EStringListError);
  EXPECT_THROW(list.PutObject(-1, nullptr), EStringListError);
  EXPECT_EQ(Items(list), std::vector<WideString>{u"a"});
  list.Insert(1, u"b");
  list.Insert(0, u"c");
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"c", u"a", u"b"}));
}

TEST(TWideStringList, GrowsByTheRule) {
  TWideStringList list;
  std::vector<int> capacities;
  for (int i = 0; i < 95; ++i) {
    list.Add(u"x");
    if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95}));
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(TWideStringList, SortedListsAndDuplicates) {
  TWideStringList list;
  for (const char16_t* s : {u"pear", u"Apple", u"fig", u"banana"}) list.Add(s);
  list.Sort();
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"Apple", u"banana", u"fig", u"pear"}));
  list.SetSorted(true);
  EXPECT_THROW(list.Insert(0, u"x"), EStringListError);
  EXPECT_THROW(list.Put(0, u"x"), EStringListError);

  // Ignoring: an equal string returns the index of the one stored.
  EXPECT_EQ(list.Add(u"FIG"), 2);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.IndexOf(u"BANANA"), 1);
  EXPECT_EQ(list.IndexOf(u"cherry"), -1);
  int at = -1;
  EXPECT_FALSE(list.Find(u"cherry", at));
  EXPECT_EQ(at, 2);  // the insertion point

  list.SetDuplicates(wdupError);
  EXPECT_THROW(list.Add(u"fig"), EStringListError);
  EXPECT_EQ(list.Count(), 4);

  // Accepting: the duplicate goes in before the equal one, in order.
  list.SetDuplicates(wdupAccept);
  EXPECT_EQ(list.Add(u"Fig"), 2);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"Apple", u"banana", u"Fig", u"fig", u"pear"}));
  EXPECT_EQ(list.Add(u"cherry"), 2);
  EXPECT_TRUE(list.Find(u"FIG", at));
  EXPECT_EQ(at, 3);  // the first equal item
}

TEST(TWideStringList, SetLocaleResortsASortedList) {
  TWideStringList list;
  list.SetSorted(true);
  list.SetDuplicates(wdupAccept);
  for (const char16_t* s : {u"b", u"a", u"c"}) list.Add(s);
  // Out of order through the back door of Exchange; the locale change
  // must bring the order back.
  list.Exchange(0, 2);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  list.SetLocale(0x0411);
  EXPECT_EQ(list.Language(), 0x0411u);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"b", u"c"}));
  EXPECT_EQ(changes, 1);
}

TEST(TWideStringList, ChangeEvents) {
  TWideStringList list;
  std::string log;
  list.OnChanging = [&](TObject*) { log += '<'; };
  list.OnChange = [&](TObject*) { log += '>'; };
  list.Add(u"a");
  list.Add(u"b");
  EXPECT_EQ(log, "<><>");
  log.clear();
  list.BeginUpdate();
  list.Add(u"c");
  list.Delete(0);
  list.BeginUpdate();
  list.EndUpdate();
  EXPECT_EQ(log, "<");
  list.EndUpdate();
  EXPECT_EQ(log, "<>");
  log.clear();
  list.SetText(u"x\ny");  // one bracket around the whole
  EXPECT_EQ(log, "<>");
  log.clear();
  list.Move(0, 1);
  EXPECT_EQ(log, "<>");
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"y", u"x"}));
}

TEST(TWideStrings, TextSplitsAndJoins) {
  TWideStringList list;
  list.SetText(u"a\r\n\rb\n");
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"", u"b"}));
  EXPECT_EQ(list.Text(), u"a\r\n\r\nb");
  list.SetText(u"1\u000B2\u000C3\u20284\u20295\n\n");
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"1", u"2", u"3", u"4", u"5", u""}));
  list.SetText(WideString(u"x\ny\0z", 5));
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"x", u"y"}));
  EXPECT_EQ(list.JoinWithSeparator(u", "), u"x, y");
  char16_t* text = list.GetText();
  EXPECT_EQ(WideString(text), u"x\r\ny");
  WideStrDispose(text);
  list.Clear();
  EXPECT_EQ(list.Text(), u"");
}

TEST(TWideStrings, LoadsAndSavesEveryFormatByteForByte) {
  const struct {
    const char* what;
    std::string bytes;
    uint8_t format;
    std::vector<WideString> lines;
  } cases[] = {
      {"UTF-16LE", std::string("\xFF\xFE\xE5\x65\x0D\x00\x0A\x00\x61\x00", 10), sfUTF16LSB, {u"\u65E5", u"a"}},
      {"UTF-16BE", std::string("\xFE\xFF\x65\xE5\x00\x0D\x00\x0A\x00\x61", 10), sfUTF16MSB, {u"\u65E5", u"a"}},
      {"UTF-8", "\xEF\xBB\xBF\xE6\x97\xA5", sfUTF8, {u"\u65E5"}},
      {"ANSI", "caf\xE9\r\nna\xEFve", sfANSI, {u"caf\u00E9", u"na\u00EFve"}},
  };
  for (const auto& c : cases) {
    TWideStringList list;
    Load(list, c.bytes);
    EXPECT_EQ(list.StreamFormat(), c.format) << c.what;
    EXPECT_EQ(Items(list), c.lines) << c.what;
    EXPECT_EQ(Saved(list), c.bytes) << c.what;
    EXPECT_TRUE(list.SaveDone());
  }
}

TEST(TWideStrings, LoadEdgeCases) {
  TWideStringList list;
  Load(list, "\xFF\xFE");
  EXPECT_EQ(list.Count(), 0);
  Load(list, "\xFF\xFE\x41");
  EXPECT_EQ(list.Count(), 0);
  Load(list, std::string("\xFF\xFE\x41\x00\x42", 5));  // odd last byte ignored
  EXPECT_EQ(Items(list), std::vector<WideString>{u"A"});
  Load(list, "");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.StreamFormat(), sfANSI);
  Load(list, "ab");  // shorter than any mark: all of it is text
  EXPECT_EQ(Items(list), std::vector<WideString>{u"ab"});

  // Loading from the middle of a stream takes what follows, mark and all.
  TMemoryStream stream;
  const std::string bytes = "skip\xEF\xBB\xBFxy\nz";
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(4);
  list.LoadFromStream(stream);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"xy", u"z"}));
  EXPECT_EQ(list.StreamFormat(), sfUTF8);

  // A Japanese list keeps its text through an ANSI file of its code page.
  TWideStringList japanese;
  japanese.SetLocale(0x0411);
  japanese.SetStreamFormat(sfANSI);
  japanese.Add(u"\u65E5\u672C");
  const std::string saved = Saved(japanese);
  EXPECT_EQ(saved, "\x93\xFA\x96\x7B");
  TWideStringList again;
  again.SetLocale(0x0411);
  Load(again, saved);
  EXPECT_EQ(Items(again), std::vector<WideString>{u"\u65E5\u672C"});
}

TEST(TWideStrings, ConversionQueryGuardsAnsiSaves) {
  TWideStringList list;
  list.Add(u"\u65E5");
  list.SetStreamFormat(sfANSI);
  int asked = 0;
  list.OnConversionQuery = [&](TObject*, bool& allowed) {
    ++asked;
    allowed = false;
  };
  EXPECT_EQ(Saved(list), "");
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(list.SaveDone());
  list.OnConversionQuery = [&](TObject*, bool&) { ++asked; };
  EXPECT_EQ(Saved(list), "?");
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(list.SaveDone());
  list.Clear();
  list.Add(u"\u00E9");  // fits a byte: nobody is asked
  EXPECT_EQ(Saved(list), "\xE9");
  EXPECT_EQ(asked, 2);
}

TEST(TWideStrings, Files) {
  const std::string path = (std::filesystem::temp_directory_path() / ("hk-wide-" + std::to_string(getpid()))).string();
  TWideStringList list;
  list.SetStreamFormat(sfUTF8);
  list.Add(u"\u65E5\u672C");
  list.Add(u"x");
  list.SaveToFile(path);
  TWideStringList back;
  back.LoadFromFile(path);
  EXPECT_EQ(Items(back), Items(list));
  EXPECT_EQ(back.StreamFormat(), sfUTF8);
  // Refusing the conversion leaves the file as it was.
  back.SetStreamFormat(sfANSI);
  back.OnConversionQuery = [](TObject*, bool& allowed) { allowed = false; };
  back.SaveToFile(path);
  EXPECT_FALSE(back.SaveDone());
  EXPECT_EQ(std::filesystem::file_size(path), 3u + 6u + 2u + 1u);
  std::filesystem::remove(path);
  EXPECT_THROW(back.LoadFromFile(path), EFOpenError);
  EXPECT_EQ(Items(back), Items(list));  // a failed load changes nothing
}

TEST(TWideStrings, AssignBetweenWideAndByteLists) {
  TObject marker;
  TWideStringList wide;
  wide.SetLocale(0x0411);
  wide.AddObject(u"\u65E5", &marker);
  wide.Add(u"b");

  TStringList ansi;
  ansi.Assign(&wide);  // through AssignTo, in the list's code page
  ASSERT_EQ(ansi.Count(), 2);
  EXPECT_EQ(ansi.Get(0), "\x93\xFA");
  EXPECT_EQ(ansi.GetObject(0), &marker);

  TWideStringList back;
  back.SetLocale(0x0411);
  back.Add(u"old");
  back.Assign(&ansi);
  EXPECT_EQ(Items(back), Items(wide));
  EXPECT_EQ(back.GetObject(0), &marker);

  TWideStringList other;  // another language: the text stays as it is
  other.SetLocale(0x0409);
  other.Assign(&wide);
  EXPECT_EQ(Items(other), Items(wide));
  other.Assign(&other);
  EXPECT_EQ(Items(other), Items(wide));

  EXPECT_FALSE(other.StoresWideStrings(&other));
  EXPECT_TRUE(other.StoresWideStrings(&ansi));
  back.Delete(1);
  EXPECT_TRUE(other.StoresWideStrings(&back));
  EXPECT_TRUE(other.StoresWideStrings(nullptr));
  TWideStringList empty;
  EXPECT_FALSE(empty.StoresWideStrings(nullptr));
  empty.ReadWideStringsProperty(other.WideStringsProperty());
  EXPECT_EQ(Items(empty), Items(wide));
}

}  // namespace
