#include "dict/DataFiles.h"

#include <memory>
#include <new>
#include <vector>

#include "classlib/IniFiles.h"
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

WideString ReadDictionaryText(const AnsiString& fileName) {
  const std::string bytes = ReadDictionaryBytes(fileName);
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
