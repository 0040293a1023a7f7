// Where the dictionary line around a match lies in the whole text.
#pragma once

#include <cstdint>

#include "classlib/SysTypes.h"

struct TLineBounds {
  size_t LineStart;   // 0-based offset of the line's first character
  size_t LineLength;  // up to (not including) its CR, or the text's end
};

// The line holding the match [start, stop) of the text: it begins after the
// nearest LF before the match and ends before the nearest CR after it.
// start and stop become offsets within the line.
TLineBounds GetLineAt(const WideString& text, int64_t& start, int64_t& stop);
