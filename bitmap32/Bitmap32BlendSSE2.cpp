// SSE2 forms of the blend routines: the plain arithmetic on 16-bit lanes,
// two pixels per register, with the same results bit for bit.
#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32Mix.h"

namespace {

const __m128i k255 = _mm_set1_epi16(255);

inline __m128i Lo(__m128i v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
inline __m128i Hi(__m128i v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }

inline __m128i Mix16(__m128i x, __m128i y, __m128i w) { return MixLanes(x, y, w); }
inline __m128i Select16(__m128i mask, __m128i a, __m128i b) { return SelectLanes(mask, a, b); }

inline __m128i AlphaLanes(__m128i v16) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v16, 0xFF), 0xFF); }

inline __m128i Load1(TColor32 c) { return _mm_cvtsi32_si128(static_cast<int>(c)); }
inline TColor32 Store1(__m128i v) { return static_cast<TColor32>(_mm_cvtsi128_si32(v)); }

TColor32 CombinePixelSSE2(TColor32 x, TColor32 y, TColor32 w) {
  if ((w & 0xFFFF) == 0) return y;
  if (w >= 255) return x;
  __m128i r = Mix16(Lo(Load1(x)), Lo(Load1(y)), _mm_set1_epi16(static_cast<short>(w)));
  return Store1(_mm_packus_epi16(r, r));
}

void CombinePixelIntoSSE2(TColor32 f, TColor32& b, TColor32 w) { b = CombinePixelSSE2(f, b, w); }

// Two pixels in 16-bit lanes blended by their own alpha, with the shortcuts
// for alpha 0 and 255.
inline __m128i Blend16(__m128i f, __m128i b) {
  __m128i w = AlphaLanes(f);
  __m128i r = Mix16(f, b, w);
  r = Select16(_mm_cmpeq_epi16(w, k255), f, r);
  return Select16(_mm_cmpeq_epi16(w, _mm_setzero_si128()), b, r);
}

// The master-alpha blend: weight ((m + 1) * a) >> 8, alpha lane 0, and the
// background kept where the weight is 0.
inline __m128i BlendMaster16(__m128i f, __m128i b, __m128i m1) {
  static const __m128i kNoAlpha = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
  __m128i w = _mm_srli_epi16(_mm_mullo_epi16(AlphaLanes(f), m1), 8);
  __m128i r = _mm_and_si128(Mix16(f, b, w), kNoAlpha);
  return Select16(_mm_cmpeq_epi16(w, _mm_setzero_si128()), b, r);
}

TColor32 BlendPixelSSE2(TColor32 f, TColor32 b) {
  __m128i r = Blend16(Lo(Load1(f)), Lo(Load1(b)));
  return Store1(_mm_packus_epi16(r, r));
}

void BlendPixelIntoSSE2(TColor32 f, TColor32& b) { b = BlendPixelSSE2(f, b); }

inline short MasterPlusOne(TColor32 m) { return static_cast<short>((m > 255 ? 255 : m) + 1); }

TColor32 BlendPixelMasterSSE2(TColor32 f, TColor32 b, TColor32 m) {
  __m128i r = BlendMaster16(Lo(Load1(f)), Lo(Load1(b)), _mm_set1_epi16(MasterPlusOne(m)));
  return Store1(_mm_packus_epi16(r, r));
}

void BlendPixelIntoMasterSSE2(TColor32 f, TColor32& b, TColor32 m) { b = BlendPixelMasterSSE2(f, b, m); }

template <typename Op>
inline void Run4(const TColor32* src, TColor32* dst, int count, Op op) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    __m128i lo = op(Lo(s), Lo(d));
    __m128i hi = op(Hi(s), Hi(d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
  }
  for (; i < count; ++i) {
    __m128i r = op(Lo(Load1(src[i])), Lo(Load1(dst[i])));
    dst[i] = Store1(_mm_packus_epi16(r, r));
  }
}

void BlendPixelRunSSE2(const TColor32* src, TColor32* dst, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    // Whole groups of opaque or clear pixels need no arithmetic.
    __m128i a = _mm_srli_epi32(s, 24);
    int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_set1_epi32(255)));
    if (opaque == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
      continue;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF) continue;
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_packus_epi16(Blend16(Lo(s), Lo(d)), Blend16(Hi(s), Hi(d))));
  }
  Run4(src + i, dst + i, count - i, Blend16);
}

void BlendPixelRunMasterSSE2(const TColor32* src, TColor32* dst, int count, TColor32 m) {
  __m128i m1 = _mm_set1_epi16(MasterPlusOne(m));
  Run4(src, dst, count, [m1](__m128i f, __m128i b) { return BlendMaster16(f, b, m1); });
}

void CombinePixelRunSSE2(const TColor32* src, TColor32* dst, int count, TColor32 w) {
  if ((w & 0xFFFF) == 0 || count <= 0) return;
  if (w >= 255) {
    MoveDwords(src, dst, count);
    return;
  }
  __m128i wv = _mm_set1_epi16(static_cast<short>(w));
  Run4(src, dst, count, [wv](__m128i x, __m128i y) { return Mix16(x, y, wv); });
}

TColor32 AddSSE2(TColor32 a, TColor32 b) { return Store1(_mm_adds_epu8(Load1(a), Load1(b))); }
TColor32 SubtractSSE2(TColor32 a, TColor32 b) { return Store1(_mm_subs_epu8(Load1(a), Load1(b))); }
TColor32 ModulateSSE2(TColor32 a, TColor32 b) {
  __m128i r = _mm_srli_epi16(_mm_mullo_epi16(Lo(Load1(a)), Lo(Load1(b))), 8);
  return Store1(_mm_packus_epi16(r, r));
}
TColor32 MaxSSE2(TColor32 a, TColor32 b) { return Store1(_mm_max_epu8(Load1(a), Load1(b))); }
TColor32 MinSSE2(TColor32 a, TColor32 b) { return Store1(_mm_min_epu8(Load1(a), Load1(b))); }
TColor32 DifferenceSSE2(TColor32 a, TColor32 b) {
  __m128i x = Load1(a), y = Load1(b);
  return Store1(_mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x)));
}
TColor32 AverageSSE2(TColor32 a, TColor32 b) {
  // avg rounds halves up; the odd bit taken back makes it truncate.
  __m128i x = Load1(a), y = Load1(b);
  __m128i odd = _mm_and_si128(_mm_xor_si128(x, y), _mm_set1_epi8(1));
  return Store1(_mm_sub_epi8(_mm_avg_epu8(x, y), odd));
}
TColor32 ExclusionSSE2(TColor32 a, TColor32 b) {
  __m128i x = Lo(Load1(a)), y = Lo(Load1(b));
  __m128i r = _mm_sub_epi16(_mm_add_epi16(x, y), _mm_srli_epi16(_mm_mullo_epi16(x, y), 7));
  return Store1(_mm_packus_epi16(r, r));
}
TColor32 ScaleSSE2(TColor32 c, TColor32 w) {
  // Weights past a byte would leave the lanes; the plain form takes them.
  if (w > 255) return PlainBlendRoutines.ScaleColor32(c, w);
  __m128i r = _mm_srli_epi16(_mm_mullo_epi16(Lo(Load1(c)), _mm_set1_epi16(static_cast<short>(w))), 8);
  return Store1(_mm_packus_epi16(r, r));
}

}  // namespace

// Merges and the division stay plain: they go through the tables.
extern const TBlendRoutines SSE2BlendRoutines;
const TBlendRoutines SSE2BlendRoutines = {
    CombinePixelSSE2,     CombinePixelIntoSSE2,     BlendPixelSSE2,
    BlendPixelIntoSSE2,   BlendPixelMasterSSE2,     BlendPixelIntoMasterSSE2,
    BlendPixelRunSSE2,    BlendPixelRunMasterSSE2,  CombinePixelRunSSE2,
    nullptr,              nullptr,                  nullptr,
    nullptr,              nullptr,                  nullptr,
    AddSSE2,              SubtractSSE2,             nullptr,
    ModulateSSE2,         MaxSSE2,                  MinSSE2,
    DifferenceSSE2,       AverageSSE2,              ExclusionSSE2,
    ScaleSSE2};
