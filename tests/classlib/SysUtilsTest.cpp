#include "classlib/SysUtils.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

TEST(SysUtils, StrToInt) {
  struct {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {{"0", true, 0},          {" 42 ", true, 42},      {"-2147483648", true, INT32_MIN},
               {"2147483648", false, 0}, {"0x7fffffff", true, INT32_MAX}, {"$FF", true, 255},
               {"0x", false, 0},          {"", false, 0},         {"1e3", false, 0},
               {"12 3", false, 0},        {"+7", true, 7},        {"0x1FFFFFFFF", false, 0}};
  for (auto& c : cases) {
    int32_t v = -99;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  try {
    StrToInt("abc");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("x", 9), 9);
  EXPECT_EQ(IntToStr(-12), "-12");
}

TEST(SysUtils, Format) {
  EXPECT_EQ(Format("Cannot open file \"%s\". %s", "a.txt", "No such file"), "Cannot open file \"a.txt\". No such file");
  EXPECT_EQ(Format("%d|%5d|%-3d|%03d|%x|%X|%u|%%", -1, 42, 7, 5, 255, 255, 3u), "-1|   42|7  |005|ff|FF|3|%");
  EXPECT_EQ(Format("%.2f|%*d", 3.14159, 4, 9), "3.14|   9");
  EXPECT_EQ(Format("%s", std::string(200, 'x')).size(), 200u);
  // Missing or mismatched arguments are errors, never a read past the arguments.
  EXPECT_THROW(Format("%s %s", "one"), EConvertError);
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%q", 1), EConvertError);
  EXPECT_THROW(Format("100%", 1), EConvertError);
  EXPECT_THROW(Format("%99999d", 1), EConvertError);
}

TEST(SysUtils, Paths) {
  EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(ExtractFilePath("c.txt"), "");
  EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
  EXPECT_EQ(ExtractFileExt("x/pic.PNG"), ".PNG");
  EXPECT_EQ(ChangeFileExt("/a/b.txt", ".ini"), "/a/b.ini");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  TempDir dir;
  EXPECT_TRUE(FileExists(dir.Write("f", "x")));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_FALSE(FileExists(dir.File("none")));
  EXPECT_FALSE(FileExists(""));
  // The test program's own folder.
  EXPECT_EQ(ProgramDirectory(), std::string(HK_BINARY_DIR) + "/tests/");
  EXPECT_EQ(ExtractFileName(ProgramFileName()), "classlib_tests");
}

TEST(SysUtils, RandomStaysInRange) {
  SetRandSeed(7);
  int seen[3] = {};
  for (int i = 0; i < 300; ++i) {
    int r = Random(3);
    ASSERT_GE(r, 0);
    ASSERT_LT(r, 3);
    ++seen[r];
  }
  EXPECT_GT(seen[0] * seen[1] * seen[2], 0);
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(Random(-5), 0);
}

TEST(SysUtils, Utf8Conversions) {
  struct {
    std::string utf8;
    std::u16string wide;
  } cases[] = {
      {"abc", u"abc"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xE6\x0D\x0A", u"\uFFFD\r\n"},  // a cut sequence keeps the line break
      {"\xC0\x80", u"\uFFFD\uFFFD"},    // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"\xF0\x9F\x98", u"\uFFFD\uFFFD\uFFFD"},
  };
  for (auto& c : cases) EXPECT_EQ(UTF8Decode(c.utf8), c.wide) << c.utf8;
  EXPECT_EQ(UTF8Encode(u"\u65E5\U0001F600x"), "\xE6\x97\xA5\xF0\x9F\x98\x80x");
  EXPECT_EQ(UTF8Encode(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}
