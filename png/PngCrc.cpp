#include "png/PngCrc.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

// zlib computes the same CRC with wide tables; its register is kept
// complemented, ours is not.
uint32_t UpdateCrc(uint32_t crc, const void* buffer, size_t length) {
  uLong c = ~crc & 0xFFFFFFFFu;
  const auto* p = static_cast<const Bytef*>(buffer);
  while (length > 0) {
    const auto n = static_cast<uInt>(std::min<size_t>(length, std::numeric_limits<uInt>::max()));
    c = crc32(c, p, n);
    p += n;
    length -= n;
  }
  return ~static_cast<uint32_t>(c);
}

uint32_t ChunkCrc(const uint8_t type[4], const void* data, size_t length) {
  return ~UpdateCrc(UpdateCrc(0xFFFFFFFFu, type, 4), data, length);
}
