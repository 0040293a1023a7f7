// AVX-512 forms of the merge lines: sixteen pixels a step, the same
// arithmetic as the AVX2 ones and the plain results exactly. Compiled for
// AVX-512 only here; start-up picks them only when the processor has it.
// GCC 12's 512-bit shift intrinsics start from an undefined vector and warn
// about it wherever they are inlined.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <immintrin.h>

#include "bitmap32/Bitmap32Blend.h"

#define HK_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

// The constants of the merge, made once a run. The empty asm hides their
// values, so that they stay in registers instead of being built again in
// every step of the loop.
struct TMergeConstants {
  __m512i Alpha, Low, Word, Spread, Bias, Times257, Full, PickLow, PickHigh, One;
  __m512 Numerator, Snap;
  __mmask64 HighBytes;
  HK_AVX512 TMergeConstants() {
    Alpha = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    Low = _mm512_set1_epi16(0xFF);
    Word = _mm512_set1_epi32(0xFFFF);
    Bias = _mm512_set1_epi16(128);
    Times257 = _mm512_set1_epi16(257);
    Full = _mm512_set1_epi16(255);
    One = _mm512_set1_epi32(1);
    // Byte 0 of each lane of the first source, then byte 0 of the second
    // (index 64 and up); and byte 0 of the first with byte 2 of the second.
    alignas(64) uint8_t low[64], high[64], spread[64];
    for (int j = 0; j < 64; j += 4) {
      // pshufb control (within 16 bytes): each pixel's alpha byte into both of its 16-bit lanes.
      spread[j] = spread[j + 2] = static_cast<uint8_t>((j & 15) + 3), spread[j + 1] = spread[j + 3] = 0x80;
      low[j] = static_cast<uint8_t>(j), low[j + 1] = static_cast<uint8_t>(64 + j), low[j + 2] = low[j + 3] = 0;
      high[j] = high[j + 1] = 0, high[j + 2] = static_cast<uint8_t>(j);
      high[j + 3] = static_cast<uint8_t>(64 + j + 2);
    }
    Spread = _mm512_load_si512(spread);
    PickLow = _mm512_load_si512(low);
    PickHigh = _mm512_load_si512(high);
    Numerator = _mm512_set1_ps(255.0f);
    Snap = _mm512_set1_ps(12288.0f);
    HighBytes = 0xCCCCCCCCCCCCCCCCull;  // bytes 2 and 3 of each lane
  }
  // Hides the values from the compiler (see above); done on a copy held in
  // registers for the whole loop.
  HK_AVX512 void Pin() {
    asm("" : "+v"(Alpha), "+v"(Low), "+v"(Word), "+v"(Spread), "+v"(Bias), "+v"(Times257), "+v"(Full));
    asm("" : "+v"(PickLow), "+v"(PickHigh), "+v"(One), "+v"(Numerator), "+v"(Snap), "+k"(HighBytes));
  }
};

// round(x / 255) for x up to 255 * 255 in 16-bit lanes: (x + 128) * 257 >> 16.
HK_AVX512 inline __m512i Div255(__m512i x, const TMergeConstants k) {
  return _mm512_mulhi_epu16(_mm512_add_epi16(x, k.Bias), k.Times257);
}

// ((x * w + 128) >> 8) + ((y * (255 - w) + 128) >> 8) per lane, as the plain combine.
HK_AVX512 inline __m512i Mix(__m512i x, __m512i y, __m512i w, const TMergeConstants k) {
  __m512i a = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(x, w), k.Bias), 8);
  __m512i b = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(y, _mm512_sub_epi16(k.Full, w)), k.Bias), 8);
  return _mm512_add_epi16(a, b);
}

// Round(q * 255 / ra) of the low 16 bits of each 32-bit lane, its low byte
// exact: the quotient (at most 255) lies within 0.0001 of the true one, and
// adding 1.5 * 2^13 puts it on a grid of 2^-10, where every tie is an exact
// half and every other quotient (1 / 510 or more from a half) stays on its
// side; the conversion rounds ties to even, and the even number added
// leaves the low byte alone.
HK_AVX512 inline __m512i Divide(__m512i q, __m512 reciprocal, const TMergeConstants k) {
  const __m512 x = _mm512_cvtepi32_ps(q);
  return _mm512_cvt_roundps_epi32(_mm512_add_ps(_mm512_mul_ps(x, reciprocal), k.Snap),
                                  _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

// Sixteen merges, as Merge8 of the AVX2 forms: the even bytes (blue, red)
// and the odd ones (green, alpha) of each pixel in 16-bit lanes. The alpha
// lane, its bytes set to 255, comes out as the result's alpha; the division
// goes through one float reciprocal a pixel.
// sourceClear and sourceOpaque: where the source alpha is 0 and 255.
HK_AVX512 inline __m512i Merge16(__m512i f, __m512i b, __mmask16 sourceClear, __mmask16 sourceOpaque,
                                 const TMergeConstants k) {
  const __m512i f1 = _mm512_or_si512(f, k.Alpha), b1 = _mm512_or_si512(b, k.Alpha);
  // Each pixel's alpha in both of its 16-bit lanes.
  const __m512i fw = _mm512_shuffle_epi8(f, k.Spread), bw = _mm512_shuffle_epi8(b, k.Spread);
  const __m512i fwInverse = _mm512_sub_epi16(k.Full, fw);
  __m512i q[2];
  for (int odd = 0; odd < 2; ++odd) {
    const __m512i fc = odd ? _mm512_srli_epi16(f1, 8) : _mm512_and_si512(f1, k.Low);
    const __m512i bc = odd ? _mm512_srli_epi16(b1, 8) : _mm512_and_si512(b1, k.Low);
    const __m512i p = Div255(_mm512_mullo_epi16(bw, bc), k);
    q[odd] = Div255(_mm512_add_epi16(_mm512_mullo_epi16(p, fwInverse), _mm512_mullo_epi16(fc, fw)), k);
  }
  // q[0]: blue and red; q[1]: green and the result's alpha, each below 256.
  // Lanes where both alphas are 0 take the background below; dividing them
  // by 1 keeps the float steps free of exceptions.
  const __m512 reciprocal = _mm512_div_ps(
      k.Numerator, _mm512_cvtepi32_ps(_mm512_max_epi32(_mm512_srli_epi32(q[1], 16), k.One)));
  const __m512i blue = Divide(_mm512_and_si512(q[0], k.Word), reciprocal, k);
  const __m512i green = Divide(_mm512_and_si512(q[1], k.Word), reciprocal, k);
  const __m512i red = Divide(_mm512_srli_epi32(q[0], 16), reciprocal, k);
  __m512i r = _mm512_mask_blend_epi8(k.HighBytes, _mm512_permutex2var_epi8(blue, k.PickLow, green),
                                     _mm512_permutex2var_epi8(red, k.PickHigh, q[1]));
  r = _mm512_mask_blend_epi32(_mm512_testn_epi32_mask(b, k.Alpha), r, f);
  const __mmask16 backOpaque = _mm512_cmpge_epu32_mask(b, k.Alpha);
  if (backOpaque) {
    // Over an opaque background: the blend by the source alpha, made opaque.
    __m512i even = Mix(_mm512_and_si512(f, k.Low), _mm512_and_si512(b, k.Low), fw, k);
    __m512i oddLanes = Mix(_mm512_srli_epi16(f, 8), _mm512_srli_epi16(b, 8), fw, k);
    __m512i blended = _mm512_or_si512(_mm512_or_si512(even, _mm512_slli_epi16(oddLanes, 8)), k.Alpha);
    blended = _mm512_mask_blend_epi32(sourceOpaque, blended, f1);
    r = _mm512_mask_blend_epi32(backOpaque, r, blended);
  }
  return _mm512_mask_blend_epi32(sourceClear, r, b);
}

template <bool WithMaster>
HK_AVX512 void MergeRun(const TColor32* src, TColor32* dst, int count, TColor32 master) {
  TMergeConstants k;
  k.Pin();
  auto source = [&](int at) HK_AVX512 {
    __m512i f = _mm512_loadu_si512(src + at);
    if (WithMaster) {
      // The source alpha times the master alpha, rounded as the multiply table.
      const __m512i fa =
          Div255(_mm512_mullo_epi16(_mm512_set1_epi32(static_cast<int>(master)), _mm512_srli_epi32(f, 24)), k);
      f = _mm512_or_si512(_mm512_andnot_si512(k.Alpha, f), _mm512_slli_epi32(fa, 24));
    }
    return f;
  };
  // Groups of only clear and opaque sources need no arithmetic: the clear
  // ones leave the destination, the opaque ones replace it. Two groups a
  // step give the processor two independent chains to interleave.
  auto group = [&](int at, __m512i f) HK_AVX512 {
    const __mmask16 clear = _mm512_testn_epi32_mask(f, k.Alpha), opaque = _mm512_cmpge_epu32_mask(f, k.Alpha);
    if (__builtin_expect(_kortestc_mask16_u8(clear, opaque), 0))
      _mm512_mask_storeu_epi32(dst + at, opaque, f);
    else
      _mm512_storeu_si512(dst + at, Merge16(f, _mm512_loadu_si512(dst + at), clear, opaque, k));
  };
  int i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m512i f0 = source(i), f1 = source(i + 16);
    group(i, f0);
    group(i + 16, f1);
  }
  for (; i + 16 <= count; i += 16) group(i, source(i));
  if (i < count) {
    if (WithMaster)
      AVX2BlendRoutines.MergePixelRunMaster(src + i, dst + i, count - i, master);
    else
      AVX2BlendRoutines.MergePixelRun(src + i, dst + i, count - i);
  }
}

HK_AVX512 void MergePixelRunAVX512(const TColor32* src, TColor32* dst, int count) {
  MergeRun<false>(src, dst, count, 0);
}

HK_AVX512 void MergePixelRunMasterAVX512(const TColor32* src, TColor32* dst, int count, TColor32 m) {
  MergeRun<true>(src, dst, count, m > 255 ? 255 : m);
}

}  // namespace

extern const TBlendRoutines AVX512BlendRoutines;
const TBlendRoutines AVX512BlendRoutines = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    MergePixelRunAVX512, MergePixelRunMasterAVX512, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr};
