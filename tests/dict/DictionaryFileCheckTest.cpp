#include "dict/DictionaryFileCheck.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "TempFolderFixture.h"
#include "dict/DataFiles.h"

// A file that holds no dictionary is refused, naming it: nothing but line
// ends and blanks, or not UTF-8 text. The first part judges the encoding;
// a zero byte anywhere would cut the text short unseen.
TEST_F(TempFolder, AFileThatHoldsNoDictionaryIsRefused) {
  const std::string valid(DictionaryJudgedBytes - 1, 'a');
  const struct {
    const char* Name;
    std::string Bytes;
    const char* Why;  // nullptr: read as a dictionary
  } cases[] = {
      {"empty", "", "holds no entry"},
      {"blank lines", "\r\n\n  \t\r\n", "holds no entry"},
      {"a byte-order mark alone", "\xEF\xBB\xBF\r\n", "holds no entry"},
      {"a program", std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10) + "x /y/\n", "is not a UTF-8 text file"},
      {"UTF-16", std::string("\xFF\xFEx\0 \0/\0", 8), "is not a UTF-8 text file"},
      {"Latin-1", "caf\xE9 /coffee/\n", "is not a UTF-8 text file"},
      {"EUC-JP", "\xBF\xE5 [\xA4\xDF\xA4\xBA] /water/\n", "is not a UTF-8 text file"},
      {"an encoded surrogate", "\xED\xA0\x80 /x/\n", "is not a UTF-8 text file"},
      {"a zero byte late", valid + "\n" + std::string(5000, 'b') + std::string(1, '\0') + "c\n",
       "is not a UTF-8 text file"},
      // Whole characters cut by the end of the judged part, and a damaged
      // byte past it, which is left to the reader.
      {"a character across the judged part's end", valid + "\xE6\xB0\xB4\n", nullptr},
      {"a damaged byte late", valid + "\n\xE9 /x/\n", nullptr},
      {"a byte-order mark and an entry", "\xEF\xBB\xBF\xE6\xB0\xB4 /water/", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = Write("d.txt", c.Bytes);
    if (c.Why == nullptr) {
      EXPECT_EQ(ReadDictionaryBytes(file), c.Bytes);
      continue;
    }
    try {
      ReadDictionaryBytes(file);
      ADD_FAILURE() << "taken as a dictionary";
    } catch (const EDictionaryFileError& e) {
      EXPECT_EQ(e.Message(), "The dictionary file " + file + " " + c.Why + ".");
    }
  }
}

// A huge file whose start is no text is refused from its start: reading it
// whole (64 GiB, sparse here) would run out of memory first.
TEST_F(TempFolder, AHugeBinaryFileIsRefusedWithoutReadingItWhole) {
  const std::string file = Write("huge.bin", std::string("\x7F" "ELF\x02\x01\x01\0", 8));
  std::filesystem::resize_file(file, uint64_t{64} << 30);
  EXPECT_THROW(ReadDictionaryBytes(file), EDictionaryFileError);
}

namespace {

// The start of the program directory's dictionary (the full one where the
// package is installed, else our sample): `count` lines, each ending in LF.
std::string DictionaryStart(int count) {
  std::ifstream in(HK_PROGRAM_DIR "/edict.txt", std::ios::binary);
  std::string text, line;
  for (int i = 0; i < count && std::getline(in, line); ++i) text += line + "\n";
  return text;
}

// UTF-8 text in another encoding, as iconv makes it; characters the
// encoding lacks are left out.
std::string Converted(const std::string& utf8, const char* encoding) {
  const iconv_t cd = iconv_open((std::string(encoding) + "//IGNORE").c_str(), "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << encoding;
  std::string out(utf8.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size(), outLeft = out.size();
  char* to = out.data();
  iconv(cd, &in, &inLeft, &to, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

// A dictionary with a damaged byte or two is read, each a U+FFFD, so one
// bad byte never costs the user the whole dictionary; only a file plainly
// in another encoding is refused. The files are the dictionary's first 300
// lines as a hand edit or another program might leave them.
TEST_F(TempFolder, ADamagedByteIsReadAndAnotherEncodingIsRefused) {
  const std::string utf8 = DictionaryStart(300);
  ASSERT_GT(utf8.size(), 1000u);
  const size_t tenth = [&] {
    size_t at = 0;
    for (int i = 0; i < 10; ++i) at = utf8.find('\n', at) + 1;
    return at;
  }();
  // A Latin-1 gloss appended to the tenth line, and a first line whose
  // first character is cut short.
  const std::string latin1Gloss = utf8.substr(0, tenth - 1) + "caf\xE9/" + utf8.substr(tenth - 1);
  const std::string cutStart = "\xE6\xB0" + utf8;
  std::string latin1;
  for (int i = 0; i < 200; ++i) latin1 += "caf\xE9 /coffee/\nna\xEFve /na\xEFve/\ncr\xE8me br\xFBl\xE9\x65 /custard/\n";
  const struct {
    const char* Name;
    std::string Bytes;
    const char16_t* Reads;  // nullptr: refused as no UTF-8 text
  } cases[] = {
      {"a Latin-1 byte in a gloss", latin1Gloss, u"caf\uFFFD/\r\n"},
      {"a character cut short at the start", cutStart, u"\uFFFD"},
      {"EUC-JP", Converted(utf8, "EUC-JP"), nullptr},
      {"Shift_JIS", Converted(utf8, "SHIFT_JIS"), nullptr},
      {"Latin-1 throughout", latin1, nullptr},
      {"UTF-16 with its byte-order mark", "\xFF\xFE" + Converted(utf8, "UTF-16LE"), nullptr},
  };
  const WideString undamaged = DictionaryTextOf(utf8);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = Write("d.txt", c.Bytes);
    if (c.Reads == nullptr) {
      try {
        ReadDictionaryBytes(file);
        ADD_FAILURE() << "taken as a dictionary";
      } catch (const EDictionaryFileError& e) {
        EXPECT_EQ(e.Message(), "The dictionary file " + file + " is not a UTF-8 text file.");
      }
      continue;
    }
    // Every line is there, the damage a U+FFFD where it stood.
    const WideString text = ReadDictionaryText(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\n'), 300);
    EXPECT_NE(text.find(c.Reads), WideString::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\uFFFD'), 1);
    EXPECT_EQ(text.size(), undamaged.size() + (c.Bytes == cutStart ? 1 : 5));
  }
}
