// Turns fuzz bytes into wide text: an even first byte reads the rest as
// UTF-8 (as the dictionary file is), an odd one as raw UTF-16 units, so
// lone surrogates and unpaired units reach the routines too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "unicode/WideUnicode.h"

inline WideString FuzzWideText(const uint8_t* data, size_t size) {
  if (size == 0) return WideString();
  if ((data[0] & 1) == 0) return UTF8ToWide(reinterpret_cast<const char*>(data + 1), size - 1);
  WideString text((size - 1) / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), data + 1, text.size() * 2);
  return text;
}
