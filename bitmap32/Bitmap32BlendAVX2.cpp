// AVX2 forms of the line routines: eight pixels a step, the plain
// arithmetic exactly. Compiled for AVX2 only here; start-up picks them only
// when the processor has it.
#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32Mix.h"

#define HK_AVX2 __attribute__((target("avx2")))

namespace {

HK_AVX2 inline __m256i Lo(__m256i v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
HK_AVX2 inline __m256i Hi(__m256i v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }

HK_AVX2 inline __m256i Mix16(__m256i x, __m256i y, __m256i w) { return MixLanes(x, y, w); }

HK_AVX2 inline __m256i AlphaLanes(__m256i v16) {
  return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v16, 0xFF), 0xFF);
}

HK_AVX2 inline __m256i Load(const TColor32* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
HK_AVX2 inline void Store(TColor32* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

HK_AVX2 void BlendPixelRunAVX2(const TColor32* src, TColor32* dst, int count) {
  const __m256i k255 = _mm256_set1_epi32(255);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i s = Load(src + i);
    __m256i a = _mm256_srli_epi32(s, 24);
    __m256i opaque = _mm256_cmpeq_epi32(a, k255);
    __m256i clear = _mm256_cmpeq_epi32(a, _mm256_setzero_si256());
    int om = _mm256_movemask_epi8(opaque), cm = _mm256_movemask_epi8(clear);
    if (om == -1) {
      Store(dst + i, s);
      continue;
    }
    if (cm == -1) continue;
    __m256i d = Load(dst + i);
    __m256i sl = Lo(s), sh = Hi(s);
    __m256i r = _mm256_packus_epi16(Mix16(sl, Lo(d), AlphaLanes(sl)), Mix16(sh, Hi(d), AlphaLanes(sh)));
    // Alpha 255 takes the source, alpha 0 keeps the destination.
    if (om | cm) r = _mm256_blendv_epi8(_mm256_blendv_epi8(r, s, opaque), d, clear);
    Store(dst + i, r);
  }
  if (i < count) SSE2BlendRoutines.BlendPixelRun(src + i, dst + i, count - i);
}

HK_AVX2 void BlendPixelRunMasterAVX2(const TColor32* src, TColor32* dst, int count, TColor32 m) {
  const __m256i m1 = _mm256_set1_epi16(static_cast<short>((m > 255 ? 255 : m) + 1));
  const __m256i noAlpha = _mm256_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i s = Load(src + i), d = Load(dst + i);
    __m256i sl = Lo(s), sh = Hi(s);
    __m256i wl = _mm256_srli_epi16(_mm256_mullo_epi16(AlphaLanes(sl), m1), 8);
    __m256i wh = _mm256_srli_epi16(_mm256_mullo_epi16(AlphaLanes(sh), m1), 8);
    __m256i r = _mm256_and_si256(_mm256_packus_epi16(Mix16(sl, Lo(d), wl), Mix16(sh, Hi(d), wh)), noAlpha);
    // Weight 0 keeps the destination (the weight is the same in each pixel's lanes).
    __m256i w = _mm256_packus_epi16(wl, wh);
    __m256i keep = _mm256_cmpeq_epi32(w, _mm256_setzero_si256());
    Store(dst + i, _mm256_blendv_epi8(r, d, keep));
  }
  if (i < count) SSE2BlendRoutines.BlendPixelRunMaster(src + i, dst + i, count - i, m);
}

HK_AVX2 void CombinePixelRunAVX2(const TColor32* src, TColor32* dst, int count, TColor32 w) {
  if ((w & 0xFFFF) == 0 || count <= 0) return;
  if (w >= 255) {
    MoveDwords(src, dst, count);
    return;
  }
  const __m256i wv = _mm256_set1_epi16(static_cast<short>(w));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i s = Load(src + i), d = Load(dst + i);
    Store(dst + i, _mm256_packus_epi16(Mix16(Lo(s), Lo(d), wv), Mix16(Hi(s), Hi(d), wv)));
  }
  if (i < count) SSE2BlendRoutines.CombinePixelRun(src + i, dst + i, count - i, w);
}

// The constants of the merge, made once a run. The empty asm hides their
// values, so that they stay in registers instead of being built again in
// every step of the loop.
struct TMergeConstants {
  __m256i Alpha, Low, Word, Spread, Bias, Times257, Full, One, Byte1, Byte2;
  __m256 Numerator, Snap;
  HK_AVX2 TMergeConstants() {
    Alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    Low = _mm256_set1_epi16(0xFF);
    Word = _mm256_set1_epi32(0xFFFF);
    // pshufb control: each pixel's alpha byte into both of its 16-bit lanes.
    const char z = -128;
    Spread = _mm256_setr_epi8(3, z, 3, z, 7, z, 7, z, 11, z, 11, z, 15, z, 15, z, 3, z, 3, z, 7, z, 7, z, 11, z, 11, z,
                              15, z, 15, z);
    Bias = _mm256_set1_epi16(128);
    Times257 = _mm256_set1_epi16(257);
    Full = _mm256_set1_epi16(255);
    One = _mm256_set1_epi32(1);
    Byte1 = _mm256_set1_epi32(0x0000FF00);
    Byte2 = _mm256_set1_epi32(0x00FF0000);
    Numerator = _mm256_set1_ps(255.0f);
    Snap = _mm256_set1_ps(12288.0f);
  }
  HK_AVX2 void Pin() {
    asm("" : "+x"(Alpha), "+x"(Low), "+x"(Word), "+x"(Spread), "+x"(Bias), "+x"(Times257), "+x"(Full));
    asm("" : "+x"(One), "+x"(Byte1), "+x"(Byte2), "+x"(Numerator), "+x"(Snap));
  }
};

// round(x / 255) for x up to 255 * 255 in 16-bit lanes: (x + 128) * 257 >> 16.
HK_AVX2 inline __m256i Div255x16(__m256i x, const TMergeConstants k) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(x, k.Bias), k.Times257);
}

// Round(q * 255 / ra) of the low 16 bits of each 32-bit lane, its low byte
// exact. The quotient (at most 255) comes out within 0.0001 of the true one;
// adding 1.5 * 2^13 puts it on a grid of 2^-10, where every tie is an exact
// half and every other quotient (1 / 510 or more from a half) stays on its
// side; the conversion rounds ties to even, and the even number added
// leaves the low byte alone.
HK_AVX2 inline __m256i Divide(__m256i q, __m256 reciprocal, const TMergeConstants k) {
  const __m256 x = _mm256_cvtepi32_ps(q);
  return _mm256_cvtps_epi32(_mm256_add_ps(_mm256_mul_ps(x, reciprocal), k.Snap));
}

// Eight merges, the even bytes (blue, red) and the odd ones (green, alpha)
// of each pixel in 16-bit lanes, so that nothing is shuffled. With the alpha
// bytes set to 255 there, the alpha lane comes out as Fa + Ba - Fa * Ba /
// 255 (Fa * (255 - Ba) / 255 rounds to Fa less the rounded Fa * Ba / 255,
// that quotient never being a half), which is the result's alpha; with P
// the background channel times its alpha, the channel before the division
// is (P * (255 - Fa) + F * Fa) / 255 rounded, which is P plus the rounded
// Fa * (F - P) / 255. The division goes through one float reciprocal a
// pixel. sourceClear and sourceOpaque: where the source alpha is 0 and 255.
HK_AVX2 __attribute__((always_inline)) inline __m256i Merge8(__m256i f, __m256i b, __m256i sourceClear,
                                                              __m256i sourceOpaque, const TMergeConstants k) {
  const __m256i f1 = _mm256_or_si256(f, k.Alpha), b1 = _mm256_or_si256(b, k.Alpha);
  // Each pixel's alpha in both of its 16-bit lanes.
  const __m256i fw = _mm256_shuffle_epi8(f, k.Spread), bw = _mm256_shuffle_epi8(b, k.Spread);
  const __m256i fwInverse = _mm256_sub_epi16(k.Full, fw);
  __m256i q[2];
  for (int odd = 0; odd < 2; ++odd) {
    const __m256i fc = odd ? _mm256_srli_epi16(f1, 8) : _mm256_and_si256(f1, k.Low);
    const __m256i bc = odd ? _mm256_srli_epi16(b1, 8) : _mm256_and_si256(b1, k.Low);
    const __m256i p = Div255x16(_mm256_mullo_epi16(bw, bc), k);
    q[odd] = Div255x16(_mm256_add_epi16(_mm256_mullo_epi16(p, fwInverse), _mm256_mullo_epi16(fc, fw)), k);
  }
  // q[0]: blue and red; q[1]: green and the result's alpha, each below 256.
  // Lanes where both alphas are 0 take the background below; dividing them
  // by 1 keeps the float steps free of exceptions.
  const __m256 reciprocal =
      _mm256_div_ps(k.Numerator, _mm256_cvtepi32_ps(_mm256_max_epi32(_mm256_srli_epi32(q[1], 16), k.One)));
  const __m256i blue = Divide(_mm256_and_si256(q[0], k.Word), reciprocal, k);
  const __m256i green = Divide(_mm256_and_si256(q[1], k.Word), reciprocal, k);
  const __m256i red = Divide(_mm256_srli_epi32(q[0], 16), reciprocal, k);
  __m256i r = _mm256_blendv_epi8(blue, _mm256_slli_epi32(green, 8), k.Byte1);
  r = _mm256_blendv_epi8(r, _mm256_slli_epi32(red, 16), k.Byte2);
  r = _mm256_blendv_epi8(r, _mm256_slli_epi32(q[1], 8), k.Alpha);
  // A clear background takes the source (an opaque source comes out of the
  // arithmetic unchanged by itself).
  r = _mm256_blendv_epi8(r, f, _mm256_cmpeq_epi32(bw, _mm256_setzero_si256()));
  const __m256i backOpaque = _mm256_cmpeq_epi32(bw, k.Full);  // both lanes 255
  if (_mm256_movemask_epi8(backOpaque)) {
    // Over an opaque background: the blend by the source alpha, made opaque.
    __m256i even = Mix16(_mm256_and_si256(f, k.Low), _mm256_and_si256(b, k.Low), fw);
    __m256i oddLanes = Mix16(_mm256_srli_epi16(f, 8), _mm256_srli_epi16(b, 8), fw);
    __m256i blended = _mm256_or_si256(_mm256_or_si256(even, _mm256_slli_epi16(oddLanes, 8)), k.Alpha);
    blended = _mm256_blendv_epi8(blended, f1, sourceOpaque);
    r = _mm256_blendv_epi8(r, blended, backOpaque);
  }
  return _mm256_blendv_epi8(r, b, sourceClear);
}

template <bool WithMaster>
HK_AVX2 void MergeRun(const TColor32* src, TColor32* dst, int count, TColor32 master) {
  TMergeConstants k;
  k.Pin();
  auto source = [&](int at) HK_AVX2 {
    __m256i f = Load(src + at);
    if (WithMaster) {
      // The source alpha times the master alpha, rounded as the multiply table.
      const __m256i fa =
          Div255x16(_mm256_mullo_epi16(_mm256_set1_epi32(static_cast<int>(master)), _mm256_srli_epi32(f, 24)), k);
      f = _mm256_or_si256(_mm256_andnot_si256(k.Alpha, f), _mm256_slli_epi32(fa, 24));
    }
    return f;
  };
  // Groups of only clear and opaque sources need no arithmetic: the clear
  // ones leave the destination, the opaque ones replace it. Two groups a
  // step give the processor two independent chains to interleave.
  auto group = [&](int at, __m256i f) HK_AVX2 {
    const __m256i fa = _mm256_and_si256(f, k.Alpha);
    const __m256i clear = _mm256_cmpeq_epi32(fa, _mm256_setzero_si256()), opaque = _mm256_cmpeq_epi32(fa, k.Alpha);
    if (__builtin_expect(_mm256_movemask_epi8(_mm256_or_si256(clear, opaque)) == -1, 0))
      _mm256_maskstore_epi32(reinterpret_cast<int*>(dst + at), opaque, f);
    else
      Store(dst + at, Merge8(f, Load(dst + at), clear, opaque, k));
  };
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i f0 = source(i), f1 = source(i + 8);
    group(i, f0);
    group(i + 8, f1);
  }
  for (; i + 8 <= count; i += 8) group(i, source(i));
  for (; i < count; ++i)
    dst[i] = WithMaster ? PlainBlendRoutines.MergePixelMaster(src[i], dst[i], master)
                        : PlainBlendRoutines.MergePixel(src[i], dst[i]);
}

HK_AVX2 void MergePixelRunAVX2(const TColor32* src, TColor32* dst, int count) { MergeRun<false>(src, dst, count, 0); }

HK_AVX2 void MergePixelRunMasterAVX2(const TColor32* src, TColor32* dst, int count, TColor32 m) {
  MergeRun<true>(src, dst, count, m > 255 ? 255 : m);
}

}  // namespace

extern const TBlendRoutines AVX2BlendRoutines;
const TBlendRoutines AVX2BlendRoutines = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, BlendPixelRunAVX2, BlendPixelRunMasterAVX2,
    CombinePixelRunAVX2, nullptr, nullptr, nullptr, nullptr, MergePixelRunAVX2, MergePixelRunMasterAVX2,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
