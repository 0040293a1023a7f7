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

// round(a * b / 255) for bytes in 32-bit lanes, as the multiply table holds it.
HK_AVX2 inline __m256i Mul255(__m256i a, __m256i b) {
  __m256i t = _mm256_add_epi32(_mm256_mullo_epi16(a, b), _mm256_set1_epi32(128));
  return _mm256_srli_epi32(_mm256_add_epi32(t, _mm256_srli_epi32(t, 8)), 8);
}

// The same in 16-bit lanes: with t = a * b + 128, (t + t >> 8) >> 8 is
// t * 257 >> 16, the high half of one more multiply.
HK_AVX2 inline __m256i Mul255x16(__m256i a, __m256i b) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(a, b), _mm256_set1_epi16(128)),
                            _mm256_set1_epi16(257));
}

// Eight merges. The channels go through 16-bit lanes, the alpha lane too:
// with the alpha bytes set to 255 there, its lane comes out as Fa + Ba -
// Fa * Ba / 255 (Fa * (255 - Ba) / 255 rounds to Fa less the rounded Fa * Ba
// / 255, that quotient never being a half), which is the result's alpha.
HK_AVX2 __attribute__((always_inline)) inline __m256i Merge8(__m256i f, __m256i b) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const char z = -128;
  // Each pixel's alpha in the four 16-bit lanes it unpacks to.
  const __m256i alphaLo = _mm256_setr_epi8(3, z, 3, z, 3, z, 3, z, 7, z, 7, z, 7, z, 7, z, 3, z, 3, z, 3, z, 3, z, 7,
                                           z, 7, z, 7, z, 7, z);
  const __m256i alphaHi = _mm256_setr_epi8(11, z, 11, z, 11, z, 11, z, 15, z, 15, z, 15, z, 15, z, 11, z, 11, z, 11,
                                           z, 11, z, 15, z, 15, z, 15, z, 15, z);
  const __m256i fa = _mm256_and_si256(f, alpha), ba = _mm256_and_si256(b, alpha);
  const __m256i f1 = _mm256_or_si256(f, alpha), b1 = _mm256_or_si256(b, alpha);
  __m256i q[2];
  for (int half = 0; half < 2; ++half) {
    const __m256i fc = half ? Hi(f1) : Lo(f1), bc = half ? Hi(b1) : Lo(b1);
    const __m256i fw = _mm256_shuffle_epi8(f, half ? alphaHi : alphaLo);
    const __m256i bw = _mm256_shuffle_epi8(b, half ? alphaHi : alphaLo);
    const __m256i p = Mul255x16(bw, bc);
    const __m256i d = _mm256_sub_epi16(fc, p);
    q[half] = _mm256_add_epi16(p, _mm256_sign_epi16(Mul255x16(fw, _mm256_abs_epi16(d)), d));
  }
  // Blue, green, red and the result's alpha, every one a byte.
  const __m256i qb = _mm256_packus_epi16(q[0], q[1]);
  // The division table's Round(q * 255 / ra), ties to even, low byte, from
  // one float reciprocal a pixel. Quotients stay within 255 and come out
  // within 0.0001 of the true one; one that is no tie lies at least 1 / 510
  // from a half. Adding 1.5 * 2^13 rounds to a multiple of 2^-10, which
  // makes every tie an exact half and leaves the others on their side; the
  // conversion then rounds ties to even, and the even number added takes
  // nothing from the low byte.
  const __m256 reciprocal = _mm256_div_ps(_mm256_set1_ps(255.0f), _mm256_cvtepi32_ps(_mm256_srli_epi32(qb, 24)));
  const __m256 snap = _mm256_set1_ps(12288.0f);
  __m256i c[3];
  for (int k = 0; k < 3; ++k) {
    const __m256i channel = _mm256_shuffle_epi8(
        qb, _mm256_setr_epi8(k, z, z, z, k + 4, z, z, z, k + 8, z, z, z, k + 12, z, z, z, k, z, z, z, k + 4, z, z, z,
                             k + 8, z, z, z, k + 12, z, z, z));
    c[k] = _mm256_cvtps_epi32(_mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(channel), reciprocal), snap));
  }
  const __m256i byte1 = _mm256_set1_epi32(0x0000FF00), byte2 = _mm256_set1_epi32(0x00FF0000);
  __m256i r = _mm256_blendv_epi8(c[0], _mm256_slli_epi32(c[1], 8), byte1);
  r = _mm256_blendv_epi8(r, _mm256_slli_epi32(c[2], 16), byte2);
  r = _mm256_blendv_epi8(r, qb, alpha);
  // A clear background takes the source (an opaque source comes out of the
  // arithmetic unchanged by itself).
  r = _mm256_blendv_epi8(r, f, _mm256_cmpeq_epi32(ba, zero));
  const __m256i backOpaque = _mm256_cmpeq_epi32(ba, alpha);
  if (_mm256_movemask_epi8(backOpaque)) {
    // Over an opaque background: the blend by the source alpha, made opaque.
    __m256i fl = Lo(f), fh = Hi(f);
    __m256i blended = _mm256_or_si256(
        _mm256_packus_epi16(Mix16(fl, Lo(b), AlphaLanes(fl)), Mix16(fh, Hi(b), AlphaLanes(fh))), alpha);
    blended = _mm256_blendv_epi8(blended, f1, _mm256_cmpeq_epi32(fa, alpha));
    r = _mm256_blendv_epi8(r, blended, backOpaque);
  }
  return _mm256_blendv_epi8(r, b, _mm256_cmpeq_epi32(fa, zero));
}

HK_AVX2 void MergeRun(const TColor32* src, TColor32* dst, int count, const TColor32* master) {
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i f = Load(src + i);
    if (master) {
      __m256i fa = Mul255(_mm256_set1_epi32(static_cast<int>(*master)), _mm256_srli_epi32(f, 24));
      f = _mm256_or_si256(_mm256_andnot_si256(alpha, f), _mm256_slli_epi32(fa, 24));
    }
    // Whole groups of clear sources leave the destination; of opaque ones
    // they replace it.
    const __m256i fa = _mm256_and_si256(f, alpha);
    if (_mm256_testz_si256(fa, fa)) continue;
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(fa, alpha)) == -1) {
      Store(dst + i, f);
      continue;
    }
    Store(dst + i, Merge8(f, Load(dst + i)));
  }
  for (; i < count; ++i)
    dst[i] = master ? PlainBlendRoutines.MergePixelMaster(src[i], dst[i], *master)
                    : PlainBlendRoutines.MergePixel(src[i], dst[i]);
}

HK_AVX2 void MergePixelRunAVX2(const TColor32* src, TColor32* dst, int count) { MergeRun(src, dst, count, nullptr); }

HK_AVX2 void MergePixelRunMasterAVX2(const TColor32* src, TColor32* dst, int count, TColor32 m) {
  TColor32 limited = m > 255 ? 255 : m;
  MergeRun(src, dst, count, &limited);
}

}  // namespace

extern const TBlendRoutines AVX2BlendRoutines;
const TBlendRoutines AVX2BlendRoutines = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, BlendPixelRunAVX2, BlendPixelRunMasterAVX2,
    CombinePixelRunAVX2, nullptr, nullptr, nullptr, nullptr, MergePixelRunAVX2, MergePixelRunMasterAVX2,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
