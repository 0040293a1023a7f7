// The dictionary program's data: its settings file, the dictionary text and
// the marker table, held for the life of the process.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/SysTypes.h"
#include "dict/DictionaryFileCheck.h"

// The program directory's config.txt; set by InitializeDataFiles.
extern AnsiString ConfigFileName;
// The dictionary file in use (from config.txt, or replaced by Apply).
extern AnsiString DictFileName;
// The whole dictionary, every line followed by CR LF. Shared, so result
// items can keep the text they point into after a reload replaces it.
extern std::shared_ptr<const WideString> DictionaryText;

// Fixes ConfigFileName next to the program (the unit's start-up step).
void InitializeDataFiles();

// Reads the dictionary named in config.txt (default: the program
// directory's edict.txt) into DictFileName and DictionaryText. The text is
// replaced only once the new one has been read whole.
void LoadDictionary();
// The dictionary file's lines (ending at CR, LF or CR LF) each followed by
// CR LF, decoded from UTF-8; a file that holds no dictionary is refused as
// ReadDictionaryBytes says. Damage past the judged part is decoded as
// UTF8ToWide does.
WideString ReadDictionaryText(const AnsiString& fileName);
// The same text made from the file's bytes: what a string list's lines of
// them, joined by its Text, would decode to.
WideString DictionaryTextOf(std::string_view bytes);

// Fills Markers from the program directory's markers.txt (or another file).
void LoadMarkers();
void LoadMarkersFrom(const AnsiString& fileName);

// The start's reads, LoadDictionary then LoadMarkers. A file that cannot
// be read, or a dictionary file that holds none, leaves its data empty and
// is told in a message of its own for the user, naming the file and the
// reason; the main window still opens, so the settings page can choose
// another dictionary. config.txt is not touched.
std::vector<std::string> LoadStartupFiles();
