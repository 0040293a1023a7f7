// The LZW decoder of GIF image data, reading the data sub-blocks of one frame.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "classlib/Streams.h"

class TGIFDecoder {
 public:
  using TWarn = std::function<void(const std::string&)>;
  // minCodeSize must lie in 0..11 (the caller refuses others).
  TGIFDecoder(TStream& stream, int minCodeSize, TWarn warn);

  // Decodes up to count pixel values in stream order into out; answers how
  // many were written. Stops early at the end code or the end of the data.
  uint64_t Decode(uint8_t* out, uint64_t count);
  // Reads the rest of the frame's data sub-blocks through the terminator.
  void SkipRest();

 private:
  int ReadCode();
  bool NextBlock();

  TStream& FStream;
  TWarn FWarn;
  int64_t FStreamSize;

  uint8_t FBlock[256];
  int FBlockPos = 0;
  int FBlockLen = 0;
  uint64_t FAcc = 0;
  int FBits = 0;
  bool FFresh = true;
  bool FDone = false;            // no more sub-blocks
  bool FTerminatorSeen = false;  // a sub-block of size 0 was read
  bool FEnded = false;           // decoding met the end code or ran out of data

  int FMin, FClear, FEnd, FCodeSize, FNext, FThreshold;
  int FPrev = 0;
  uint8_t FFirst = 0;
  uint16_t FPrefix[4096];
  uint8_t FSuffix[4096];
  uint8_t FStack[8192];
};
