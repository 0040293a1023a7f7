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

// Products of bytes fit 16 bits, and the high halves of the lanes are 0:
// the 16-bit multiply gives the whole 32-bit product.
HK_AVX2 inline __m256i MulBytes(__m256i a, __m256i b) { return _mm256_mullo_epi16(a, b); }

// round(a * b / 255) for bytes, as the multiply table holds it.
HK_AVX2 inline __m256i Mul255(__m256i a, __m256i b) {
  __m256i t = _mm256_add_epi32(MulBytes(a, b), _mm256_set1_epi32(128));
  return _mm256_srli_epi32(_mm256_add_epi32(t, _mm256_srli_epi32(t, 8)), 8);
}

HK_AVX2 inline __m256i Byte(__m256i v, int shift) {
  return _mm256_and_si256(_mm256_srli_epi32(v, shift), _mm256_set1_epi32(0xFF));
}

// Eight merges in 32-bit lanes, one channel at a time.
HK_AVX2 __m256i Merge8(__m256i f, __m256i b, __m256i fa) {
  const __m256i k255 = _mm256_set1_epi32(255);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i opaqueAlpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  __m256i ba = _mm256_srli_epi32(b, 24);
  __m256i sourceOpaque = _mm256_cmpeq_epi32(fa, k255);
  __m256i backOpaque = _mm256_cmpeq_epi32(ba, k255);
  __m256i general = _mm256_andnot_si256(sourceOpaque, _mm256_xor_si256(_mm256_cmpeq_epi32(ba, zero),
                                                                        _mm256_set1_epi32(-1)));
  __m256i r = f;  // source opaque, or background clear
  if (_mm256_movemask_epi8(general)) {
    __m256i ra = _mm256_sub_epi32(_mm256_add_epi32(fa, ba), Mul255(ba, fa));
    // The division table's Round(q * 255 / ra) from one float division:
    // q * 255 < 2^16, and a quotient that is no tie lies at least 1 / 510
    // from a half, more than half a float step there; a tie is exact, and
    // rounding to nearest even settles it as the table does.
    const __m256 raf = _mm256_cvtepi32_ps(ra);
    __m256i merged = _mm256_slli_epi32(ra, 24);
    for (int shift = 0; shift < 24; shift += 8) {
      __m256i fc = Byte(f, shift), bc = Byte(b, shift);
      __m256i p = Mul255(ba, bc);
      __m256i down = _mm256_cmpgt_epi32(p, fc);
      __m256i m = Mul255(fa, _mm256_abs_epi32(_mm256_sub_epi32(fc, p)));
      __m256i q = _mm256_blendv_epi8(_mm256_add_epi32(p, m), _mm256_sub_epi32(p, m), down);
      __m256i c = _mm256_cvtps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(MulBytes(q, _mm256_set1_epi32(255))), raf));
      merged = _mm256_or_si256(merged, _mm256_slli_epi32(_mm256_and_si256(c, k255), shift));
    }
    r = _mm256_blendv_epi8(r, merged, general);
  }
  if (_mm256_movemask_epi8(backOpaque)) {
    // Over an opaque background: the blend by the source alpha, made opaque.
    __m256i fl = Lo(f), fh = Hi(f);
    __m256i blended = _mm256_or_si256(
        _mm256_packus_epi16(Mix16(fl, Lo(b), AlphaLanes(fl)), Mix16(fh, Hi(b), AlphaLanes(fh))), opaqueAlpha);
    blended = _mm256_blendv_epi8(blended, _mm256_or_si256(f, opaqueAlpha), sourceOpaque);
    r = _mm256_blendv_epi8(r, blended, backOpaque);
  }
  return _mm256_blendv_epi8(r, b, _mm256_cmpeq_epi32(fa, zero));
}

HK_AVX2 void MergeRun(const TColor32* src, TColor32* dst, int count, const TColor32* master) {
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i f = Load(src + i), b = Load(dst + i);
    __m256i fa = _mm256_srli_epi32(f, 24);
    if (master) {
      fa = Mul255(_mm256_set1_epi32(static_cast<int>(*master)), fa);
      f = _mm256_or_si256(_mm256_and_si256(f, _mm256_set1_epi32(0x00FFFFFF)), _mm256_slli_epi32(fa, 24));
    }
    Store(dst + i, Merge8(f, b, fa));
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
