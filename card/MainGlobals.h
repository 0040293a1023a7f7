// The card program's globals (one program, one card) and the unit's start.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/StringLists.h"
#include "classlib/SysTypes.h"
#include "platform/Types.h"

// The dictionary file's lines as raw UTF-8 bytes, decoded when picked.
extern std::unique_ptr<TStringList> DictionaryLines;
extern bool AutoStopRefresh;
// The card's opacity as configured, 0..255.
extern int Alpha;
// The anchor point in screen pixels, and which point of the card sits on
// it: 0 centre, 1 top left, 2 top right, 3 bottom left, 4 bottom right;
// any other value turns anchoring off.
extern int ResizingPointX;
extern int ResizingPointY;
extern uint8_t ResizingFrom;
// config.ini beside the program, and the dictionary file.
extern std::string ConfigFileName;
extern std::string DictFileName;
// The gloss that marks a common word; dropped from the end of the glosses.
extern const WideString PriorityMark;

constexpr DWORD RefreshFadeMs = 200;
constexpr DWORD DisableFadeMs = 200;

// The autostart value: the Run key of the current user, value "HanakumoCard".
constexpr const char* RunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* RunValueName = "HanakumoCard";

// The unit's start: seeds the random numbers once and names config.ini.
void InitializeMain();

// Reads a dictionary file whole into a new list of its lines. On failure
// returns nullptr and says why in `error` (a file that cannot be read, or
// that holds no dictionary: no entry, or not UTF-8 text, judged as the
// dictionary program judges its file), so the caller can keep what it has.
std::unique_ptr<TStringList> ReadDictionaryFile(const std::string& fileName, std::string& error);
