// AVX-512 forms of the merge lines: sixteen pixels a step, the same
// arithmetic as the AVX2 ones and the plain results exactly. Compiled for
// AVX-512 only here; start-up picks them only when the processor has it.
// GCC 12's 512-bit shift intrinsics start from an undefined vector and warn
// about it wherever they are inlined.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <immintrin.h>

#include "bitmap32/Bitmap32Blend.h"

#define HK_AVX512 __attribute__((target("avx512f,avx512bw")))

namespace {

HK_AVX512 inline __m512i Lo(__m512i v) { return _mm512_unpacklo_epi8(v, _mm512_setzero_si512()); }
HK_AVX512 inline __m512i Hi(__m512i v) { return _mm512_unpackhi_epi8(v, _mm512_setzero_si512()); }

// round(a * b / 255) for bytes in 16-bit lanes: t * 257 >> 16 with t = a * b + 128.
HK_AVX512 inline __m512i Mul255(__m512i a, __m512i b) {
  return _mm512_mulhi_epu16(_mm512_add_epi16(_mm512_mullo_epi16(a, b), _mm512_set1_epi16(128)),
                            _mm512_set1_epi16(257));
}

// ((x * w + 128) >> 8) + ((y * (255 - w) + 128) >> 8) per lane, as the plain combine.
HK_AVX512 inline __m512i Mix(__m512i x, __m512i y, __m512i w) {
  const __m512i bias = _mm512_set1_epi16(128);
  __m512i a = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(x, w), bias), 8);
  __m512i b = _mm512_srli_epi16(
      _mm512_add_epi16(_mm512_mullo_epi16(y, _mm512_sub_epi16(_mm512_set1_epi16(255), w)), bias), 8);
  return _mm512_add_epi16(a, b);
}

// pshufb control, the same in each 128-bit lane: byte i takes byte
// pattern[i] of the lane, or 0 for -1.
HK_AVX512 inline __m512i LaneMask(const int (&pattern)[16]) {
  alignas(64) char m[64];
  for (int i = 0; i < 64; ++i) m[i] = static_cast<char>(pattern[i % 16] < 0 ? -128 : pattern[i % 16]);
  return _mm512_load_si512(m);
}

// Round(q * 255 / ra) of one channel, its low byte exact: the quotient lies
// within 0.0001 of the true one, and adding 1.5 * 2^13 puts it on a grid of
// 2^-10, where every tie is an exact half and every other quotient (1 / 510
// or more from a half) stays on its side; the conversion rounds ties to
// even, and the even number added leaves the low byte alone.
HK_AVX512 inline __m512i Divide(__m512i qb, __m512i channel, __m512 reciprocal) {
  const __m512 x = _mm512_cvtepi32_ps(_mm512_shuffle_epi8(qb, channel));
  return _mm512_cvt_roundps_epi32(_mm512_add_ps(_mm512_mul_ps(x, reciprocal), _mm512_set1_ps(12288.0f)),
                                  _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

// Sixteen merges, as Merge8 of the AVX2 forms: the alpha lane, its bytes set
// to 255, comes out as the result's alpha, and the division goes through one
// float reciprocal a pixel rounded onto a grid of 2^-10.
HK_AVX512 inline __m512i Merge16(__m512i f, __m512i b, __m512i alphaLo, __m512i alphaHi, __m512i channel0,
                                  __m512i channel1, __m512i channel2) {
  const __m512i alpha = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  const __m512i zero = _mm512_setzero_si512();
  const __m512i f1 = _mm512_or_si512(f, alpha), b1 = _mm512_or_si512(b, alpha);
  __m512i q[2];
  for (int half = 0; half < 2; ++half) {
    const __m512i fc = half ? Hi(f1) : Lo(f1), bc = half ? Hi(b1) : Lo(b1);
    const __m512i fw = _mm512_shuffle_epi8(f, half ? alphaHi : alphaLo);
    const __m512i bw = _mm512_shuffle_epi8(b, half ? alphaHi : alphaLo);
    const __m512i p = Mul255(bw, bc);
    const __m512i d = _mm512_sub_epi16(fc, p);
    const __m512i m = Mul255(fw, _mm512_abs_epi16(d));
    q[half] = _mm512_mask_sub_epi16(_mm512_add_epi16(p, m), _mm512_movepi16_mask(d), p, m);
  }
  const __m512i qb = _mm512_packus_epi16(q[0], q[1]);
  const __m512 reciprocal = _mm512_div_ps(_mm512_set1_ps(255.0f), _mm512_cvtepi32_ps(_mm512_srli_epi32(qb, 24)));
  __m512i r = _mm512_mask_blend_epi8(0x2222222222222222ull, Divide(qb, channel0, reciprocal), _mm512_slli_epi32(Divide(qb, channel1, reciprocal), 8));
  r = _mm512_mask_blend_epi8(0x4444444444444444ull, r, _mm512_slli_epi32(Divide(qb, channel2, reciprocal), 16));
  r = _mm512_mask_blend_epi8(0x8888888888888888ull, r, qb);
  const __m512i fa = _mm512_and_si512(f, alpha), ba = _mm512_and_si512(b, alpha);
  r = _mm512_mask_blend_epi32(_mm512_cmpeq_epi32_mask(ba, zero), r, f);
  const __mmask16 backOpaque = _mm512_cmpeq_epi32_mask(ba, alpha);
  if (backOpaque) {
    // Over an opaque background: the blend by the source alpha, made opaque.
    const __m512i fl = Lo(f), fh = Hi(f);
    __m512i blended = _mm512_or_si512(
        _mm512_packus_epi16(Mix(fl, Lo(b), _mm512_shuffle_epi8(f, alphaLo)), Mix(fh, Hi(b), _mm512_shuffle_epi8(f, alphaHi))),
        alpha);
    blended = _mm512_mask_blend_epi32(_mm512_cmpeq_epi32_mask(fa, alpha), blended, f1);
    r = _mm512_mask_blend_epi32(backOpaque, r, blended);
  }
  return _mm512_mask_blend_epi32(_mm512_cmpeq_epi32_mask(fa, zero), r, b);
}

HK_AVX512 void MergeRun(const TColor32* src, TColor32* dst, int count, const TColor32* master) {
  const __m512i alpha = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  // Alpha bytes into the 16-bit lanes of the low and high unpacked halves;
  // channel k of every pixel into the low byte of its 32-bit lane.
  const __m512i alphaLo = LaneMask({3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1});
  const __m512i alphaHi = LaneMask({11, -1, 11, -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1});
  const __m512i channel0 = LaneMask({0, -1, -1, -1, 4, -1, -1, -1, 8, -1, -1, -1, 12, -1, -1, -1});
  const __m512i channel1 = LaneMask({1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1});
  const __m512i channel2 = LaneMask({2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1});
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    __m512i f = _mm512_loadu_si512(src + i);
    if (master) {
      const __m512i t = _mm512_add_epi32(
          _mm512_mullo_epi16(_mm512_set1_epi32(static_cast<int>(*master)), _mm512_srli_epi32(f, 24)),
          _mm512_set1_epi32(128));
      const __m512i fa = _mm512_srli_epi32(_mm512_add_epi32(t, _mm512_srli_epi32(t, 8)), 8);
      f = _mm512_or_si512(_mm512_andnot_si512(alpha, f), _mm512_slli_epi32(fa, 24));
    }
    // Whole groups of clear sources leave the destination; of opaque ones
    // they replace it.
    const __m512i fa = _mm512_and_si512(f, alpha);
    if (!_mm512_test_epi32_mask(fa, fa)) continue;
    if (_mm512_cmpeq_epi32_mask(fa, alpha) == 0xFFFF) {
      _mm512_storeu_si512(dst + i, f);
      continue;
    }
    _mm512_storeu_si512(dst + i,
                        Merge16(f, _mm512_loadu_si512(dst + i), alphaLo, alphaHi, channel0, channel1, channel2));
  }
  if (i < count) {
    if (master)
      AVX2BlendRoutines.MergePixelRunMaster(src + i, dst + i, count - i, *master);
    else
      AVX2BlendRoutines.MergePixelRun(src + i, dst + i, count - i);
  }
}

HK_AVX512 void MergePixelRunAVX512(const TColor32* src, TColor32* dst, int count) {
  MergeRun(src, dst, count, nullptr);
}

HK_AVX512 void MergePixelRunMasterAVX512(const TColor32* src, TColor32* dst, int count, TColor32 m) {
  TColor32 limited = m > 255 ? 255 : m;
  MergeRun(src, dst, count, &limited);
}

}  // namespace

extern const TBlendRoutines AVX512BlendRoutines;
const TBlendRoutines AVX512BlendRoutines = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    MergePixelRunAVX512, MergePixelRunMasterAVX512, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr};
