// The record behind each result-list item: the whole dictionary line of the
// hit. Records point into the dictionary text they were found in instead of
// each copying its line, and are made in blocks by the store of their list,
// which keeps that text alive (also after a reload replaces it) until the
// list's records are freed. An entry costs its item (24 bytes) and a share
// of its line's record (24 bytes).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "classlib/SysTypes.h"

class TResultLineData : public TObject {
 public:
  explicit TResultLineData(std::u16string_view line) : FLine(line.data()), FLength(line.size()) {}
  std::u16string_view Line() const { return std::u16string_view(FLine, FLength); }

 private:
  const char16_t* FLine;
  size_t FLength;
};

// Items from one line in a row (a line holds many matches) share its record.
class TResultRecords {
 public:
  TResultLineData* Add(const std::shared_ptr<const WideString>& text, size_t start, size_t length) {
    if (FTexts.empty() || FTexts.back() != text) FTexts.push_back(text);
    const std::u16string_view line = std::u16string_view(*text).substr(start, length);
    if (FRecords.empty() || FRecords.back().Line().data() != line.data() || FRecords.back().Line().size() != length)
      FRecords.emplace_back(line);
    return &FRecords.back();
  }
  // Frees every record (and the text, unless another holder keeps it).
  void Clear() {
    FRecords.clear();
    FRecords.shrink_to_fit();
    FTexts.clear();
  }
  size_t Count() const { return FRecords.size(); }
  // The text a record of this store points into.
  std::shared_ptr<const WideString> TextOf(const TResultLineData& record) const {
    const std::u16string_view line = record.Line();
    for (const auto& text : FTexts)
      if (line.data() >= text->data() && line.data() + line.size() <= text->data() + text->size()) return text;
    return nullptr;
  }

 private:
  std::vector<std::shared_ptr<const WideString>> FTexts;  // one, but for a list filled from two
  std::deque<TResultLineData> FRecords;
};
