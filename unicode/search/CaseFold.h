// Flat case-folding table for the search engine: the first code point of each
// BMP unit's lower-case mapping, built once from the case data.
#pragma once

#include <cstdint>

#include "unicode/UnicodeData.h"

// 65536 entries, indexed by UTF-16 unit.
const UCS4* SearchFoldTable();

// First code point of LowerCaseMapping(code).
inline UCS4 SearchFoldCode(UCS4 code) {
  if (code <= 0xFFFF) return SearchFoldTable()[code];
  return code;  // no case data above the BMP
}
