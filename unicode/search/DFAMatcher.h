// The general matcher: runs a TDFA over UTF-16 text and finds the leftmost,
// longest match. Its symbols may overlap, so it follows the set of states
// that every accepting transition reaches; line anchors consume nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "unicode/search/URETypes.h"

bool IsLineSeparator(UCS4 c);

class TDFAMatcher {
 public:
  explicit TDFAMatcher(const TDFA& DFA);

  // The leftmost-longest match [Start, Stop) that starts at or after From
  // (never inside a surrogate pair). Offsets count from Text; line anchors
  // see the whole Text.
  bool Find(const char16_t* Text, int64_t Length, int64_t From, int64_t& Start, int64_t& Stop);

 private:
  // End of the longest match starting at Start, or -1.
  int64_t LongestAt(const char16_t* Text, int64_t Length, int64_t Start);
  bool Accepts(const TUcSymbolTableEntry& Symbol, UCS4 c) const;
  void Add(std::vector<uint32_t>& Set, uint32_t State);

  const TDFA& FDFA;
  bool FHasAnchors = false;
  // Units that can begin a match, when a match must begin by consuming one
  // (empty when any unit may start one).
  std::vector<uint8_t> FCanStart;
  std::vector<uint32_t> FCurrent, FNext;
  std::vector<uint64_t> FMark;
  uint64_t FGeneration = 0;
  // States of the last failed run, by offset from its start: a later run that
  // reaches the same single state at the same place fails the same way.
  std::vector<uint32_t> FDeadTrace, FTrace;
  int64_t FDeadStart = -1;
  const char16_t* FText = nullptr;
  int64_t FLength = -1;
  int64_t FLastFrom = 0;
};
