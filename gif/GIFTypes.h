// The GIF codec's exception, version scale and small stream helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/Streams.h"
#include "classlib/SysTypes.h"

class GIFException : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// Version a saved stream needs: 0 unknown, 1 "87a", 2 "89a".
using TGIFVersion = int;
constexpr TGIFVersion gvUnknown = 0;
constexpr TGIFVersion gv87a = 1;
constexpr TGIFVersion gv89a = 2;

// Every warning of the reading side carries this severity.
constexpr int GIFWarningSeverity = 1;

[[noreturn]] void RaiseGIF(const std::string& message);

// Reads exactly size bytes; a short read raises "Premature end of data".
void ReadExact(TStream& stream, void* buffer, int64_t size);
// One byte without a count check; callers that may meet the end use ReadByteChecked.
uint8_t ReadOneByte(TStream& stream);
// One byte, false at the end of the stream.
bool ReadByteChecked(TStream& stream, uint8_t& value);
void WriteOneByte(TStream& stream, uint8_t value);

// Smallest B >= 1 with 2^B >= count; 0 for no colours.
int IndexBitsFor(int colorCount);

// Lines of data sub-blocks, as comment and plain text extensions hold them.
using TGIFLines = std::vector<std::string>;
void WriteLines(TStream& stream, const TGIFLines& lines);
void ReadLines(TStream& stream, TGIFLines& lines);

// Skips data sub-blocks through the block terminator or the end of the stream.
void SkipSubBlocks(TStream& stream);
