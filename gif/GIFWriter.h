// Streams that cut data into GIF sub-blocks of at most 255 bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "classlib/Streams.h"

using TGIFWarningHandler = std::function<void(int severity, const std::string& message)>;

// Adapts a target stream for sub-blocks; reading, seeking and plain writing
// are refused unless a descendant supports them.
class TGIFStream : public TStream {
 public:
  TGIFStream(TStream& target, TGIFWarningHandler warning) : FTarget(target), FWarning(std::move(warning)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 protected:
  void Warning(int severity, const std::string& message) {
    if (FWarning) FWarning(severity, message);
  }
  TStream& FTarget;
  TGIFWarningHandler FWarning;
  // Byte 0 is the size byte, 1..255 the data; FCount is 1 when empty.
  uint8_t FBuffer[256] = {};
  int FCount = 1;
};

// Collects data into sub-blocks. Each full block goes out in one write; the
// last partial block only on FlushBlock, which the owner calls itself: a
// destructor never writes, so a failing target cannot throw from one.
class TGIFWriter : public TGIFStream {
 public:
  using TGIFStream::TGIFStream;
  int64_t Write(const void* buffer, int64_t count) override;
  void WriteByte(uint8_t value) {
    FDirty = true;
    FBuffer[FCount++] = value;
    if (FCount == 256) FlushBlock();
  }
  void FlushBlock();
  bool Dirty() const { return FDirty; }

 private:
  bool FDirty = false;
};
