#include "dict/DictionaryFileCheck.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "TempFolderFixture.h"

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
