// The combine arithmetic on 16-bit lanes, shared by the SSE2 and AVX2 forms:
// ((x * w + 128) >> 8) + ((y * (255 - w) + 128) >> 8) per lane, which is the
// plain CombinePixel's per channel.
#pragma once

#include <immintrin.h>

inline __m128i MixLanes(__m128i x, __m128i y, __m128i w) {
  const __m128i bias = _mm_set1_epi16(128);
  __m128i a = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(x, w), bias), 8);
  __m128i b = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(y, _mm_sub_epi16(_mm_set1_epi16(255), w)), bias), 8);
  return _mm_add_epi16(a, b);
}

// a where mask is set, else b.
inline __m128i SelectLanes(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

__attribute__((target("avx2"))) inline __m256i MixLanes(__m256i x, __m256i y, __m256i w) {
  const __m256i bias = _mm256_set1_epi16(128);
  __m256i a = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(x, w), bias), 8);
  __m256i b = _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(y, _mm256_sub_epi16(_mm256_set1_epi16(255), w)), bias), 8);
  return _mm256_add_epi16(a, b);
}
