// Fast scan for the dictionary's searches: a pattern that is a plain word of
// BMP code points, case-folded or not. Each text unit maps through one flat
// table to its class in the word, a transition table carries partial matches
// along (linear in the text), and in the start state a vector scan skips to
// the next unit that can begin a match.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "unicode/search/URETypes.h"

class TLiteralScanner {
 public:
  // A scanner for DFA when it is a chain of literals the scanner can take;
  // nullptr otherwise.
  static std::unique_ptr<TLiteralScanner> Create(const TDFA& DFA);

  int64_t WordLength() const { return FLength; }

  // Start of the first match at or after From, or -1. Every match is
  // WordLength() units long.
  int64_t Find(const char16_t* Text, int64_t Length, int64_t From) const {
    return FUseSSE2 ? FindSSE2(Text, Length, From) : FindPlain(Text, Length, From);
  }
  int64_t FindPlain(const char16_t* Text, int64_t Length, int64_t From) const;
  int64_t FindSSE2(const char16_t* Text, int64_t Length, int64_t From) const;

 private:
  TLiteralScanner() = default;
  // The next unit at or after From that can start a match, or Length.
  int64_t SkipPlain(const char16_t* Text, int64_t Length, int64_t From) const;
  int64_t SkipSSE2(const char16_t* Text, int64_t Length, int64_t From) const;
  template <bool SSE2>
  int64_t Scan(const char16_t* Text, int64_t Length, int64_t From) const;

  int64_t FLength = 0;
  uint32_t FClassCount = 0;
  uint8_t FFirstClass = 0;
  // Units whose class is the word's first one.
  std::vector<char16_t> FFirstUnits;
  bool FUseSSE2 = false;
  // Class of every UTF-16 unit (0: in no place of the word).
  std::unique_ptr<uint8_t[]> FClass;
  // Next state by [state * FClassCount + class]; FLength is the match.
  std::vector<uint16_t> FNext;
};

// The processor's SSE2, tested once.
bool SearchHasSSE2();
