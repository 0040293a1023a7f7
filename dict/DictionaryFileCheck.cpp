#include "dict/DictionaryFileCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "classlib/Streams.h"
#include "unicode/WideUnicode.h"

namespace {

[[noreturn]] void NoDictionary(const AnsiString& fileName, const char* why) {
  throw EDictionaryFileError("The dictionary file " + fileName + " " + why + ".");
}

// The start of a longer text without the character its end cuts in two.
std::string_view WithoutCutCharacter(std::string_view head) {
  for (size_t back = 1; back <= 4 && back <= head.size(); ++back) {
    const auto b = static_cast<uint8_t>(head[head.size() - back]);
    if ((b & 0xC0) == 0x80) continue;
    const size_t length = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    return length > back ? head.substr(0, head.size() - back) : head;
  }
  return head;
}

// Text in another encoding, judged by the share of its non-ASCII text that
// is not UTF-8. Text in EUC-JP, Shift_JIS or Latin-1 is 80 % ill-formed or
// more when read as UTF-8 (the few well-formed pairs are chance), while a
// UTF-8 dictionary with a damaged byte or a line cut short holds one
// ill-formed part among thousands of characters. A quarter leaves a wide
// margin on both sides: a hand-edited dictionary or word list with a few
// damaged bytes is read, each of them a U+FFFD.
bool IsInAnotherEncoding(std::string_view head) {
  const TUtf8Census census = CountUTF8Sequences(head);
  return census.IllFormed > 0 && census.IllFormed * 4 >= census.WellFormed + census.IllFormed;
}

// Nothing but line ends and blanks, after a byte-order mark.
bool HoldsNoEntry(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

std::string ReadDictionaryBytes(const AnsiString& fileName) {
  std::string bytes;
  {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    const int64_t size = std::max<int64_t>(file.Size() - file.Position(), 0);
    // The first part shows whether the file is text at all: a program or
    // an image is refused before the rest of it is read.
    const size_t judged = static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(DictionaryJudgedBytes)));
    std::string head(judged, '\0');
    if (judged > 0) file.ReadBuffer(head.data(), static_cast<int64_t>(judged));
    const std::string_view shown = judged < static_cast<size_t>(size) ? WithoutCutCharacter(head) : head;
    if (std::memchr(head.data(), 0, head.size()) || IsInAnotherEncoding(shown))
      NoDictionary(fileName, "is not a UTF-8 text file");
    if (judged == static_cast<size_t>(size)) {
      bytes = std::move(head);
    } else {
      try {
        bytes.resize(static_cast<size_t>(size));
      } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory");
      }
      std::memcpy(bytes.data(), head.data(), judged);
      head = std::string();
      file.ReadBuffer(bytes.data() + judged, size - static_cast<int64_t>(judged));
      // A zero byte would end the text there and drop the rest unseen.
      if (std::memchr(bytes.data() + judged, 0, bytes.size() - judged))
        NoDictionary(fileName, "is not a UTF-8 text file");
    }
  }
  if (HoldsNoEntry(bytes)) NoDictionary(fileName, "holds no entry");
  return bytes;
}
