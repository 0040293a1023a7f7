// The dictionary line format, shared by both programs: a headword, a space,
// an optional "[reading]" and one more character, then "/" and the glosses,
// each ended by "/". Positions in the routines count UTF-16 units.
#pragma once

#include "classlib/SysTypes.h"
#include "unicode/WideStrings.h"

// Cuts a line (without its CR LF) into headword, reading ('' when absent)
// and glosses, stored through the list's Add (so held in NFC). Malformed
// lines give what the rules find and never read beyond the line.
void ParseEntryLine(const WideString& line, WideString& headword, WideString& reading,
                    TWideStringList& glosses);

// Splits the trimmed text at each separator into the list (cleared first):
// a separator in the first position yields nothing, adjacent separators an
// empty token, a final separator no trailing empty token.
void SplitText(const WideString& text, char16_t separator, TWideStringList& list);

// The 1-based position of `sub` in `s` with both upper-cased unit by unit,
// 0 when absent (or when `sub` is empty).
int WidePosIgnoreCase(const WideString& sub, const WideString& s);
