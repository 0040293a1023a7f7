#include "dict/DataFiles.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "classlib/IniFiles.h"
#include "classlib/Streams.h"
#include "classlib/StringLists.h"
#include "classlib/SysUtils.h"
#include "dict/Markers.h"
#include "unicode/WideUnicode.h"

AnsiString ConfigFileName;
AnsiString DictFileName;
std::shared_ptr<const WideString> DictionaryText = std::make_shared<const WideString>();

void InitializeDataFiles() { ConfigFileName = ProgramDirectory() + "config.txt"; }

void LoadDictionary() {
  {
    TIniFile ini(ConfigFileName);
    DictFileName = ini.ReadString("Dictionary", "DictionaryFileName", ProgramDirectory() + "edict.txt");
  }
  DictionaryText = std::make_shared<const WideString>(ReadDictionaryText(DictFileName));
}

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

// Nothing but line ends and blanks, after a byte-order mark.
bool HoldsNoEntry(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

WideString ReadDictionaryText(const AnsiString& fileName) {
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
    if (std::memchr(head.data(), 0, head.size()) || !IsValidUTF8(shown)) NoDictionary(fileName, "is not a UTF-8 text file");
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
  try {
    return DictionaryTextOf(bytes);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  }
}

// Each line is decoded straight into the text: decoding line by line gives
// what decoding the joined lines would, since a line end always cuts a
// sequence short. The room is reserved once for the longest outcome (every
// byte a unit) and only what is written is ever touched, so the text is
// held once, in place.
WideString DictionaryTextOf(std::string_view bytes) {
  size_t room = 0;
  ForEachTextLine(bytes, [&](std::string_view line) { room += line.size() + 2; });
  WideString text;
  text.reserve(room);
  ForEachTextLine(bytes, [&](std::string_view line) {
    const size_t at = text.size();
    text.resize(at + line.size() + 2);
    const size_t n = UTF8ToWideInto(line.data(), line.size(), text.data() + at);
    text[at + n] = u'\r';
    text[at + n + 1] = u'\n';
    text.resize(at + n + 2);
  });
  return text;
}

namespace {

// The system's reason in a file stream's error ("Cannot open file "NAME".
// REASON"); another error's message as it is.
std::string FailureReason(const Exception& e, const AnsiString& fileName) {
  const std::string opening = "Cannot open file \"" + fileName + "\". ";
  const std::string& message = e.Message();
  std::string reason = message.compare(0, opening.size(), opening) == 0 ? message.substr(opening.size()) : message;
  if (!reason.empty() && reason.back() == '.') reason.pop_back();
  return reason;
}

}  // namespace

std::vector<std::string> LoadStartupFiles() {
  std::vector<std::string> problems;
  try {
    LoadDictionary();
  } catch (const EDictionaryFileError& e) {
    DictionaryText = std::make_shared<const WideString>();
    problems.push_back(e.Message() + "\r\nChoose another one on the settings page.");
  } catch (const Exception& e) {
    DictionaryText = std::make_shared<const WideString>();
    problems.push_back("The dictionary file " + DictFileName + " cannot be read: " + FailureReason(e, DictFileName) +
                       ".\r\nChoose another one on the settings page.");
  }
  const AnsiString markers = ProgramDirectory() + "markers.txt";
  try {
    LoadMarkersFrom(markers);
  } catch (const Exception& e) {
    SetMarkersFromLines({});
    problems.push_back("The marker list " + markers + " cannot be read: " + FailureReason(e, markers) +
                       ".\r\nThe abbreviations in the glosses are shown without their meaning.");
  }
  return problems;
}

void LoadMarkers() { LoadMarkersFrom(ProgramDirectory() + "markers.txt"); }

void LoadMarkersFrom(const AnsiString& fileName) {
  auto list = std::make_unique<TStringList>();
  list->LoadFromFile(fileName);
  std::vector<AnsiString> lines;
  lines.reserve(static_cast<size_t>(list->Count()));
  for (int i = 0; i < list->Count(); ++i) lines.push_back(list->Strings(i));
  SetMarkersFromLines(lines);
}
