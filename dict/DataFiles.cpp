#include "dict/DataFiles.h"

#include <memory>
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
  auto lines = std::make_unique<TStringList>();
  lines->LoadFromFile(fileName);
  return UTF8ToWide(lines->Text());
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
