#include "gif/GIFWriter.h"

#include <algorithm>
#include <cstring>

#include "gif/GIFTypes.h"

int64_t TGIFStream::Read(void*, int64_t) { RaiseGIF("Invalid stream operation"); }
int64_t TGIFStream::Write(const void*, int64_t) { RaiseGIF("Invalid stream operation"); }
int64_t TGIFStream::Seek(int64_t, TSeekOrigin) { RaiseGIF("Invalid stream operation"); }

int64_t TGIFWriter::Write(const void* buffer, int64_t count) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  int64_t left = count;
  if (left > 0) FDirty = true;
  while (left > 0) {
    int64_t n = std::min<int64_t>(left, 256 - FCount);
    std::memcpy(FBuffer + FCount, p, static_cast<size_t>(n));
    FCount += static_cast<int>(n);
    p += n;
    left -= n;
    if (FCount == 256) FlushBlock();
  }
  return count;
}

void TGIFWriter::FlushBlock() {
  if (FCount > 1) {
    FBuffer[0] = static_cast<uint8_t>(FCount - 1);
    FTarget.WriteBuffer(FBuffer, FCount);
  }
  FCount = 1;
  FDirty = false;
}
