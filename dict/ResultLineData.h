// The record behind each result-list item: the whole dictionary line of the
// hit. Records point into the dictionary text they were found in instead of
// each copying its line, and are made in blocks by the store of their list,
// which keeps that text alive (also after a reload replaces it) until the
// list's records are freed.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "classlib/SysTypes.h"

class TResultLineData : public TObject {
 public:
  TResultLineData(const WideString& text, size_t start, size_t length)
      : FText(&text), FStart(start), FLength(length) {}
  std::u16string_view Line() const { return std::u16string_view(*FText).substr(FStart, FLength); }

 private:
  const WideString* FText;
  size_t FStart;
  size_t FLength;
};

class TResultRecords {
 public:
  TResultLineData* Add(const std::shared_ptr<const WideString>& text, size_t start, size_t length) {
    if (FTexts.empty() || FTexts.back() != text) FTexts.push_back(text);
    return &FRecords.emplace_back(*text, start, length);
  }
  // Frees every record (and the text, unless another holder keeps it).
  void Clear() {
    FRecords.clear();
    FRecords.shrink_to_fit();
    FTexts.clear();
  }
  size_t Count() const { return FRecords.size(); }

 private:
  std::vector<std::shared_ptr<const WideString>> FTexts;  // one, but for a list filled from two
  std::deque<TResultLineData> FRecords;
};
