#include "dict/DataFiles.h"

#include <memory>
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

WideString ReadDictionaryText(const AnsiString& fileName) {
  std::string bytes;
  {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    const int64_t size = file.Size() - file.Position();
    if (size > 0) {
      try {
        bytes.resize(static_cast<size_t>(size));
      } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory");
      }
      file.ReadBuffer(bytes.data(), size);
    }
  }
  return DictionaryTextOf(bytes);
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

void LoadMarkers() { LoadMarkersFrom(ProgramDirectory() + "markers.txt"); }

void LoadMarkersFrom(const AnsiString& fileName) {
  auto list = std::make_unique<TStringList>();
  list->LoadFromFile(fileName);
  std::vector<AnsiString> lines;
  lines.reserve(static_cast<size_t>(list->Count()));
  for (int i = 0; i < list->Count(); ++i) lines.push_back(list->Strings(i));
  SetMarkersFromLines(lines);
}
