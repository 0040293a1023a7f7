// The case-insensitive compare of the wide string lists: both strings are
// case-folded code point by code point through the case table, then their
// code points compared. Kana and width variants stay different, as the
// platform's ignore-case compare keeps them.
#pragma once

#include <string_view>

#include "platform/Types.h"

// -1, 0 or 1. The language is accepted for every LCID; the folding is the
// same for all of them.
int LanguageCompare(LCID language, std::u16string_view a, std::u16string_view b);
