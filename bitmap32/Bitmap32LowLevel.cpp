#include "bitmap32/Bitmap32LowLevel.h"

#include <emmintrin.h>

#include <cstring>

#include "bitmap32/Bitmap32System.h"

void FillDwordsPlain(void* x, int count, TColor32 value) {
  auto* p = static_cast<uint32_t*>(x);
  for (int i = 0; i < count; ++i) p[i] = value;
}

void FillDwordsSSE2(void* x, int count, TColor32 value) {
  if (count <= 0) return;
  auto* p = static_cast<uint32_t*>(x);
  int i = 0;
  __m128i v = _mm_set1_epi32(static_cast<int>(value));
  for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
  for (; i < count; ++i) p[i] = value;
}

TFillDwords FillDwords = CPUHasFeature(cfSSE2) ? FillDwordsSSE2 : FillDwordsPlain;

void MoveDwords(const void* src, void* dst, int count) {
  if (src == dst || count <= 0) return;
  std::memmove(dst, src, static_cast<size_t>(count) * 4);
}

int Clamp(int value, int min, int max) {
  if (value < min) return min;
  if (value > max) return max;
  return value;
}

int Wrap(int value, int min, int max) {
  if (max < min) return min;
  int64_t d = static_cast<int64_t>(max) - min + 1;
  if (value < min) return static_cast<int>(max + (static_cast<int64_t>(value) - max) % d);
  return static_cast<int>(min + (static_cast<int64_t>(value) - min) % d);
}

int Mirror(int value, int min, int max) {
  if (max < min) return min;
  int64_t d = static_cast<int64_t>(max) - min + 1;
  int64_t q, r;
  if (value < min) {
    q = (static_cast<int64_t>(value) - max) / d;
    r = max + (static_cast<int64_t>(value) - max) % d;
  } else {
    q = (static_cast<int64_t>(value) - min) / d;
    r = min + (static_cast<int64_t>(value) - min) % d;
  }
  return static_cast<int>(q % 2 != 0 ? static_cast<int64_t>(min) + max - r : r);
}

const TWrapProc WRAP_PROCS[3] = {Clamp, Wrap, Mirror};

int DivMod(int dividend, int divisor, int& remainder) {
  remainder = dividend % divisor;
  return dividend / divisor;
}
