// Unicode normalization of UTF-16 text (forms C, D, KC and KD), one unit
// at a time: surrogate units pass through unchanged.
#pragma once

#include <cstdint>
#include <string_view>

#include "classlib/SysTypes.h"
#include "unicode/UnicodeData.h"

// Normalization forms as the wide string lists store them.
constexpr uint8_t nfNone = 0;
constexpr uint8_t nfC = 1;
constexpr uint8_t nfD = 2;
constexpr uint8_t nfKC = 3;
constexpr uint8_t nfKD = 4;

// Any form other than 0, 2, 3 and 4 behaves as NFC. Text that is already in
// the form comes back as it is.
WideString NormalizeWide(const WideString& s, uint8_t form);
// Whether NormalizeWide would return the text unchanged, found without
// rebuilding it (a conservative answer: false means "may change").
bool IsNormalizedQuick(std::u16string_view s, uint8_t form);

WideString DecomposeText(const WideString& s, bool compatible);
void DecomposeCode(bool compatible, UCS4 code, TUCS4Array& list);
void ReorderCanonical(WideString& s);
WideString ComposeHangul(const WideString& s);
WideString ComposeCanonical(const WideString& s);
