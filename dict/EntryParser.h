// The dictionary line format, shared by both programs: a headword, a space,
// an optional "[reading]" and one more character, then "/" and the glosses,
// each ended by "/". Positions in the routines count UTF-16 units.
#pragma once

#include <string_view>

#include "classlib/SysTypes.h"
#include "unicode/UnicodeData.h"
#include "unicode/WideStrings.h"

// Cuts a line (without its CR LF) into headword, reading ('' when absent)
// and glosses, stored through the list's Add (so held in NFC). Malformed
// lines give what the rules find and never read beyond the line.
void ParseEntryLine(const WideString& line, WideString& headword, WideString& reading,
                    TWideStringList& glosses);

// The same cut as slices of the line: the glosses are still to be split
// (SplitText or ForEachToken at "/"), and are not yet normalized.
struct TEntryFields {
  std::u16string_view Headword;
  std::u16string_view Reading;
  std::u16string_view Glosses;  // from the "/" on; empty when the line has none
};
TEntryFields CutEntryLine(std::u16string_view line);

// Splits the trimmed text at each separator into the list (cleared first):
// a separator in the first position yields nothing, adjacent separators an
// empty token, a final separator no trailing empty token.
void SplitText(std::u16string_view text, char16_t separator, TWideStringList& list);

// SplitText's tokens one at a time, as slices of the text (before a list
// would normalize them), for callers that may stop early.
class TTokenCursor {
 public:
  TTokenCursor() = default;
  TTokenCursor(std::u16string_view text, char16_t separator)
      : FText(text.empty() ? text : WideTrimSpaceView(text)), FSeparator(separator) {}
  bool Next(std::u16string_view& token) {
    while (!FDone) {
      const size_t i = FText.find(FSeparator, FStart);
      if (i == std::u16string_view::npos) {
        FDone = true;
        if (FStart >= FText.size()) return false;
        token = FText.substr(FStart);
        return true;
      }
      const size_t start = FStart;
      FStart = i + 1;
      // Each separator ends the token before it; none before the first position.
      if (i > 0) {
        token = FText.substr(start, i - start);
        return true;
      }
    }
    return false;
  }

 private:
  std::u16string_view FText;
  char16_t FSeparator = 0;
  size_t FStart = 0;
  bool FDone = false;
};

template <typename F>
void ForEachToken(std::u16string_view text, char16_t separator, F&& f) {
  TTokenCursor cursor(text, separator);
  for (std::u16string_view token; cursor.Next(token);) f(token);
}

// The 1-based position of `sub` in `s` with both upper-cased unit by unit,
// 0 when absent (or when `sub` is empty).
int WidePosIgnoreCase(std::u16string_view sub, std::u16string_view s);

// A unit upper-cased as WidePosIgnoreCase compares it (a unit whose upper
// case is not one unit stays).
char16_t UpperUnit(char16_t c);
// Whether `s` upper-cased holds `upperSub` (already upper-cased); false for
// an empty `upperSub`.
bool ContainsUpperCased(std::u16string_view s, std::u16string_view upperSub);
