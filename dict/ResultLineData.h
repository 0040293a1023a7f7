// The record behind each result-list item: the whole dictionary line of the
// hit. Items share the dictionary text they were found in instead of each
// copying its line; the shared text outlives a reload for as long as items
// from it remain.
#pragma once

#include <cstdint>
#include <memory>

#include "classlib/SysTypes.h"

class TResultLineData : public TObject {
 public:
  TResultLineData(std::shared_ptr<const WideString> text, size_t start, size_t length)
      : FText(std::move(text)), FStart(start), FLength(length) {}
  WideString Line() const { return FText->substr(FStart, FLength); }

 private:
  std::shared_ptr<const WideString> FText;
  size_t FStart;
  size_t FLength;
};
