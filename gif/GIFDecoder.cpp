#include "gif/GIFDecoder.h"

#include <cstring>

#include "gif/GIFTypes.h"

TGIFDecoder::TGIFDecoder(TStream& stream, int minCodeSize, TWarn warn)
    : FStream(stream), FWarn(std::move(warn)), FStreamSize(stream.Size()), FMin(minCodeSize) {
  FClear = 1 << FMin;
  FEnd = FClear + 1;
  FCodeSize = FMin + 1;
  FNext = FClear + 2;
  FThreshold = 2 * FClear;
  std::memset(FBlock, 0, sizeof FBlock);
  std::memset(FPrefix, 0, sizeof FPrefix);
  std::memset(FSuffix, 0, sizeof FSuffix);
}

// Takes the next data sub-block into FBlock; false when there is none.
bool TGIFDecoder::NextBlock() {
  if (FDone) return false;
  uint8_t size = 0;
  if (!ReadByteChecked(FStream, size)) {
    FDone = true;
    return false;
  }
  if (size == 0) {
    FDone = FTerminatorSeen = true;
    return false;
  }
  int64_t left = FStreamSize - FStream.Position();
  if (size > left) {
    FWarn("Premature end of data");
    size = static_cast<uint8_t>(left < 0 ? 0 : left);
    if (size == 0) {
      FDone = true;
      return false;
    }
  }
  ReadExact(FStream, FBlock, size);
  FBlockPos = 0;
  FBlockLen = size;
  return true;
}

// One code of FCodeSize bits; -1 when the data has run out. Codes may span
// any number of sub-blocks (a sub-block can be a single byte long).
inline int TGIFDecoder::ReadCode() {
  if (FFresh) {
    FFresh = false;
    return FClear;
  }
  while (FBits < FCodeSize) {
    if (FBlockPos >= FBlockLen && !NextBlock()) {
      if (FTerminatorSeen && FBits == 0) FWarn("Decoder bit buffer under-run");
      return -1;
    }
    while (FBits <= 56 && FBlockPos < FBlockLen) {
      FAcc |= static_cast<uint64_t>(FBlock[FBlockPos++]) << FBits;
      FBits += 8;
    }
  }
  int code = static_cast<int>(FAcc & ((1u << FCodeSize) - 1));
  FAcc >>= FCodeSize;
  FBits -= FCodeSize;
  return code;
}

uint64_t TGIFDecoder::Decode(uint8_t* out, uint64_t count) {
  uint64_t pos = 0;
  while (pos < count && !FEnded) {
    int code = ReadCode();
    if (code < 0) {
      FEnded = true;
      break;
    }
    if (code == FClear) {
      for (int i = 0; i < FClear; ++i) {
        FSuffix[i] = static_cast<uint8_t>(i);
        FPrefix[i] = 0;
      }
      std::memset(FPrefix + FClear, 0, sizeof(uint16_t) * static_cast<size_t>(4096 - FClear));
      std::memset(FSuffix + FClear, 0, static_cast<size_t>(4096 - FClear));
      FCodeSize = FMin + 1;
      FThreshold = 2 * FClear;
      FNext = FClear + 2;
      do code = ReadCode();
      while (code == FClear);
      if (code < 0 || code == FEnd) {
        FEnded = true;
        break;
      }
      FFirst = static_cast<uint8_t>(code);
      FPrev = code;
      out[pos++] = static_cast<uint8_t>(code);
      continue;
    }
    if (code == FEnd) {
      FEnded = true;
      break;
    }
    int incoming = code;
    uint8_t* stack = FStack;
    int n = 0;
    if (code < FClear && code < FNext) {
      FFirst = static_cast<uint8_t>(code);
    } else {
      if (code >= FNext) {
        stack[n++] = FFirst;
        code = FPrev;
      }
      // A chain can be no longer than the table; longer ones loop.
      int guard = 0;
      while (code >= FClear) {
        if (++guard > 4096 || FPrefix[code] == code) RaiseGIF("Circular decoder table entry");
        stack[n++] = FSuffix[code];
        code = FPrefix[code];
      }
      FFirst = FSuffix[code];
      stack[n++] = FFirst;
    }
    if (FNext <= 4095) {
      FPrefix[FNext] = static_cast<uint16_t>(FPrev);
      FSuffix[FNext] = FFirst;
      ++FNext;
      if (FNext >= FThreshold && FThreshold <= 4095) {
        FThreshold *= 2;
        ++FCodeSize;
      }
    }
    FPrev = incoming;
    if (n == 0) {
      out[pos++] = FFirst;
    } else {
      uint64_t room = count - pos;
      uint64_t take = static_cast<uint64_t>(n) < room ? static_cast<uint64_t>(n) : room;
      for (uint64_t i = 0; i < take; ++i) out[pos++] = stack[n - 1 - static_cast<int>(i)];
    }
  }
  return pos;
}

void TGIFDecoder::SkipRest() {
  if (!FDone) {
    FDone = true;
    SkipSubBlocks(FStream);
  }
}
