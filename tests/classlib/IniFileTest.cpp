#include "classlib/IniFiles.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "TestUtil.h"

TEST(IniFile, ReadsCaseInsensitiveWithDefaults) {
  TempDir dir;
  std::string path = dir.Write("c.ini",
                               "; comment\r\n[Dictionary]\r\n DictionaryFileName = /x/edict.txt \r\n"
                               "ShowLineNumber=0\r\n[Card]\nAlpha=0x1F\nBad=12a\nNeg=-7\nBig=99999999999\n"
                               "Empty=\nFirstRun=2\nHex=0xFFFFFFFF\nDollar=$1F\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("dictionary", "DICTIONARYFILENAME", "d"), "/x/edict.txt");
  EXPECT_EQ(ini.ReadString("Dictionary", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Nope", "ShowLineNumber", "d"), "d");
  EXPECT_FALSE(ini.ReadBool("Dictionary", "ShowLineNumber", true));
  struct {
    const char* key;
    int32_t expected;
  } ints[] = {{"Alpha", 31}, {"Bad", 5}, {"Neg", -7}, {"Big", 5}, {"Empty", 5}, {"Missing", 5}, {"Hex", -1}, {"Dollar", 5}};
  for (auto& c : ints) EXPECT_EQ(ini.ReadInteger("card", c.key, 5), c.expected) << c.key;
  EXPECT_TRUE(ini.ReadBool("Card", "FirstRun", false));
  EXPECT_TRUE(ini.ReadBool("Card", "Bad", true));
  EXPECT_FALSE(ini.ReadBool("Card", "Bad", false));
}

TEST(IniFile, MissingOrBrokenFileReadsAsDefaults) {
  TempDir dir;
  TIniFile missing(dir.File("none.ini"));
  EXPECT_EQ(missing.ReadInteger("Card", "Alpha", 100), 100);
  TIniFile broken(dir.Write("b.ini", std::string("\0\xFF[Card\nAlpha\n=3\n", 17)));
  EXPECT_EQ(broken.ReadInteger("Card", "Alpha", 100), 100);
  TIniFile folder(dir.Path());
  EXPECT_TRUE(folder.ReadBool("Card", "Lock", true));
}

TEST(IniFile, WritesKeepEveryOtherLine) {
  TempDir dir;
  const std::string original =
      "# kept\r\n[Dictionary]\r\nShowLineNumber = 1 ; note\r\nOther=x\r\n\r\n[Card]\nAlpha=3\n  odd line\n";
  std::string path = dir.Write("c.txt", original);
  TIniFile ini(path);
  ini.WriteBool("DICTIONARY", "showlinenumber", false);
  ini.WriteString("Dictionary", "DictionaryFileName", "/a b/edict.txt");
  ini.WriteInteger("Card", "RefreshTime", 900000);
  ini.WriteString("New", "Key", "v");
  EXPECT_EQ(TempDir::Read(path),
            "# kept\r\n[Dictionary]\r\nshowlinenumber=0\r\nOther=x\r\nDictionaryFileName=/a b/edict.txt\r\n\r\n"
            "[Card]\nAlpha=3\n  odd line\nRefreshTime=900000\r\n[New]\r\nKey=v\r\n");
  EXPECT_EQ(TIniFile(path).ReadString("dictionary", "DictionaryFileName", ""), "/a b/edict.txt");
  EXPECT_FALSE(TIniFile(path).ReadBool("Dictionary", "ShowLineNumber", true));

  // A new file is made when none is there.
  TIniFile fresh(dir.File("new.ini"));
  fresh.WriteBool("Card", "FirstRun", false);
  EXPECT_EQ(TempDir::Read(dir.File("new.ini")), "[Card]\r\nFirstRun=0\r\n");
}

TEST(IniFile, FailedWriteRaisesAndKeepsTheFile) {
  TempDir dir;
  TIniFile nowhere(dir.File("no/such/dir/config.ini"));
  try {
    nowhere.WriteString("A", "B", "C");
    FAIL();
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("no/such/dir/config.ini"));
  }
  if (geteuid() != 0) {
    std::string path = dir.Write("ro.ini", "[A]\nB=1\n");
    chmod(path.c_str(), 0444);
    chmod(dir.Path().c_str(), 0555);
    EXPECT_THROW(TIniFile(path).WriteString("A", "B", "2"), EIniFileException);
    chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(TempDir::Read(path), "[A]\nB=1\n");
  }
  // A key that would not read back as itself is refused, not written.
  std::string path = dir.Write("k.ini", "[A]\nB=1\n");
  EXPECT_THROW(TIniFile(path).WriteString("A", "x=y", "2"), EIniFileException);
  EXPECT_THROW(TIniFile(path).WriteString("A]", "x", "2"), EIniFileException);
  EXPECT_EQ(TempDir::Read(path), "[A]\nB=1\n");
}
