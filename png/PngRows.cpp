#include "png/PngRows.h"

void RgbToBgrPlain(const uint8_t* src, uint8_t* dst, uint32_t count, int srcBytes, const uint8_t* gamma) {
  if (gamma) {
    for (uint32_t k = 0; k < count; ++k, src += srcBytes, dst += 3) {
      dst[0] = gamma[src[2]];
      dst[1] = gamma[src[1]];
      dst[2] = gamma[src[0]];
    }
  } else {
    for (uint32_t k = 0; k < count; ++k, src += srcBytes, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
  }
}

void RgbToBgr(const uint8_t* src, uint8_t* dst, uint32_t count, int srcBytes, const uint8_t* gamma) {
  RgbToBgrPlain(src, dst, count, srcBytes, gamma);
}
