#include "dict/DataFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "TempFolderFixture.h"
#include "classlib/SysTypes.h"
#include "classlib/SysUtils.h"
#include "classlib/StringLists.h"
#include "dict/Markers.h"
#include "unicode/WideUnicode.h"

TEST_F(TempFolder, DictionaryLinesEndInCrLfWhateverTheFileUsed) {
  const std::string file = Write("d.txt", "a /x/\nb /y/\r\nc /z/\rlast /w/");
  EXPECT_EQ(ReadDictionaryText(file), u"a /x/\r\nb /y/\r\nc /z/\r\nlast /w/\r\n");
}

TEST_F(TempFolder, ByteOrderMarkStaysAndZeroByteEndsTheListsText) {
  const std::string text("\xEF\xBB\xBF\xE6\xB0\xB4 /water/\n", 14);
  EXPECT_EQ(ReadDictionaryText(Write("d.txt", text)), u"\uFEFF\u6C34 /water/\r\n");
  EXPECT_EQ(DictionaryTextOf(text + std::string(1, '\0') + "junk\n"), u"\uFEFF\u6C34 /water/\r\n");
}

// The text is decoded line by line straight into place: it must be what a
// string list's lines, joined by its Text, decode to, whatever the bytes.
TEST_F(TempFolder, DictionaryTextIsTheStringListsTextDecoded) {
  const std::string cases[] = {
      "", "\n", "\r", "\r\n", "\r\r\n\n", "a", "a\rb\rc", "a\nb\n", "a\r\nb",
      std::string("a\0b\nc", 5), std::string("\0a", 2),
      "\xE6\xB0\n\xB4x\r\n",            // a sequence cut short by a line end
      "\xF0\x9F\x92\xA7 drop\n\xC3",      // four bytes, and a lead byte at the end
      "\x80\xBF stray\r\xE6\xB0\xB4\r",  // stray continuation bytes
      "\xEF\xBB\xBF" "bom\n",
  };
  int n = 0;
  for (const std::string& bytes : cases) {
    const std::string file = Write("d" + std::to_string(n++) + ".txt", bytes);
    TStringList lines;
    lines.LoadFromFile(file);
    EXPECT_EQ(DictionaryTextOf(bytes), UTF8ToWide(lines.Text())) << n;
  }
}

TEST_F(TempFolder, ConfigNamesTheDictionary) {
  const std::string dict = Write("mine.txt", "x /y/\n");
  ConfigFileName = Write("config.txt", "[Dictionary]\nDictionaryFileName=" + dict + "\n");
  LoadDictionary();
  EXPECT_EQ(DictFileName, dict);
  EXPECT_EQ(*DictionaryText, u"x /y/\r\n");
}

TEST_F(TempFolder, MissingDictionaryRaisesAndKeepsTheOldText) {
  ConfigFileName = Write("config.txt", "[Dictionary]\nDictionaryFileName=" + (dir / "none.txt").string() + "\n");
  DictionaryText = std::make_shared<const WideString>(u"old\r\n");
  EXPECT_THROW(LoadDictionary(), EFOpenError);
  EXPECT_EQ(*DictionaryText, u"old\r\n");
}

TEST_F(TempFolder, MarkerFileFillsTheTable) {
  LoadMarkersFrom(Write("markers.txt", "n|noun\nplain\n|x|y\n"));
  ASSERT_EQ(Markers.size(), 3u);
  EXPECT_EQ(Markers[0].Key, "n");
  EXPECT_EQ(Markers[1].Key, "");
  EXPECT_EQ(Markers[2].Description, "x|y");
  EXPECT_THROW(LoadMarkersFrom((dir / "none.txt").string()), EFOpenError);
}

TEST_F(TempFolder, FifoAsDictionaryOrMarkersIsRefusedWithoutHanging) {
  const std::string fifo = (dir / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string refused = "Cannot open file \"" + fifo + "\". not a regular file";
  ConfigFileName = Write("config.txt", "[Dictionary]\nDictionaryFileName=" + fifo + "\n");
  DictionaryText = std::make_shared<const WideString>(u"old\r\n");
  try {
    LoadDictionary();
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), refused);
  }
  EXPECT_EQ(*DictionaryText, u"old\r\n");
  try {
    LoadMarkersFrom(fifo);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), refused);
  }
  // The settings file itself a FIFO: it reads as empty, so the default.
  ConfigFileName = fifo;
  EXPECT_THROW(LoadDictionary(), EFOpenError);
  EXPECT_EQ(DictFileName, ProgramDirectory() + "edict.txt");
}
