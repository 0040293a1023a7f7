#include "png/PngFilters.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void UnfilterRowPlain(uint8_t filterType, uint8_t* x, const uint8_t* prior, size_t n, size_t s) {
  switch (filterType) {
    case 1:
      for (size_t j = s; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + x[j - s]);
      break;
    case 2:
      for (size_t j = 0; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + prior[j]);
      break;
    case 3:
      for (size_t j = 0; j < n && j < s; ++j) x[j] = static_cast<uint8_t>(x[j] + (prior[j] >> 1));
      for (size_t j = s; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + ((prior[j] + x[j - s]) >> 1));
      break;
    case 4:
      for (size_t j = 0; j < n && j < s; ++j) x[j] = static_cast<uint8_t>(x[j] + prior[j]);
      for (size_t j = s; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + PaethPredictor(x[j - s], prior[j], prior[j - s]));
      break;
    default: break;
  }
}

void FilterRow(uint8_t filterType, const uint8_t* x, const uint8_t* prior, uint8_t* out, size_t n, size_t s) {
  switch (filterType) {
    case 1:
      for (size_t j = 0; j < n; ++j) out[j] = static_cast<uint8_t>(x[j] - (j >= s ? x[j - s] : 0));
      break;
    case 2:
      for (size_t j = 0; j < n; ++j) out[j] = static_cast<uint8_t>(x[j] - prior[j]);
      break;
    case 3:
      for (size_t j = 0; j < n; ++j) out[j] = static_cast<uint8_t>(x[j] - ((prior[j] + (j >= s ? x[j - s] : 0)) >> 1));
      break;
    case 4:
      for (size_t j = 0; j < n; ++j)
        out[j] = static_cast<uint8_t>(
            x[j] - (j >= s ? PaethPredictor(x[j - s], prior[j], prior[j - s]) : PaethPredictor(0, prior[j], 0)));
      break;
    default:
      for (size_t j = 0; j < n; ++j) out[j] = x[j];
      break;
  }
}

#if defined(__SSE2__)
namespace {

// Pixels of 3 or 4 bytes, one at a time across their channels: the left
// neighbour of each pixel is the one just decoded, so a row cannot go wider.
template <size_t S>
inline __m128i LoadPixel(const uint8_t* p) {
  uint32_t v = 0;
  std::memcpy(&v, p, S);
  return _mm_cvtsi32_si128(static_cast<int>(v));
}
template <size_t S>
inline void StorePixel(uint8_t* p, __m128i v) {
  const auto x = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
  std::memcpy(p, &x, S);
}

inline __m128i Load4(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <size_t S>
void SubPixels(uint8_t* x, size_t n) {
  __m128i a = _mm_setzero_si128();
  size_t j = 0;
  if (S == 3)
    for (; j + 4 <= n; j += 3) {
      a = _mm_add_epi8(a, Load4(x + j));
      StorePixel<3>(x + j, a);
    }
  for (; j + S <= n; j += S) {
    a = _mm_add_epi8(a, LoadPixel<S>(x + j));
    StorePixel<S>(x + j, a);
  }
}

template <size_t S>
void AveragePixels(uint8_t* x, const uint8_t* prior, size_t n) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i a = _mm_setzero_si128();
  for (size_t j = 0; j + S <= n; j += S) {
    const bool wide = S == 3 && j + 4 <= n;
    const __m128i b = wide ? Load4(prior + j) : LoadPixel<S>(prior + j);
    // _mm_avg_epu8 rounds up; the filter rounds down.
    const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
    a = _mm_add_epi8(wide ? Load4(x + j) : LoadPixel<S>(x + j), avg);
    StorePixel<S>(x + j, a);
  }
}

inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }
inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}


// One pixel of Paeth; a and c are the left and upper-left pixels in 16-bit lanes.
inline __m128i PaethStep(__m128i x, __m128i prior, __m128i& a, __m128i& c) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i b = _mm_unpacklo_epi8(prior, zero);
  const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
  const __m128i pa = Abs16(bc), pb = Abs16(ac), pc = Abs16(_mm_add_epi16(bc, ac));
  // a when pa is the smallest, else b when pb <= pc, else c.
  const __m128i bOrC = Select(_mm_cmpgt_epi16(pb, pc), c, b);
  const __m128i pred = Select(_mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc)), bOrC, a);
  const __m128i out = _mm_add_epi8(x, _mm_packus_epi16(pred, zero));
  a = _mm_unpacklo_epi8(out, zero);
  c = b;
  return out;
}

template <size_t S>
void PaethPixels(uint8_t* x, const uint8_t* prior, size_t n) {
  __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
  size_t j = 0;
  // 3-byte pixels load 4 bytes while the row has them: lanes never mix, and
  // only 3 bytes are stored.
  if (S == 3)
    for (; j + 4 <= n; j += 3) StorePixel<3>(x + j, PaethStep(Load4(x + j), Load4(prior + j), a, c));
  for (; j + S <= n; j += S) StorePixel<S>(x + j, PaethStep(LoadPixel<S>(x + j), LoadPixel<S>(prior + j), a, c));
}

void UpPixels(uint8_t* x, const uint8_t* prior, size_t n) {
  size_t j = 0;
  for (; j + 16 <= n; j += 16) {
    const __m128i v = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + j)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + j)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(x + j), v);
  }
  for (; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + prior[j]);
}

}  // namespace

void UnfilterRow(uint8_t filterType, uint8_t* x, const uint8_t* prior, size_t n, size_t s) {
  // Rows of whole pixels only; anything else takes the plain loops.
  const bool fast = (s == 3 || s == 4) && n % s == 0;
  switch (filterType) {
    case 2: UpPixels(x, prior, n); return;
    case 1:
      if (fast) return s == 3 ? SubPixels<3>(x, n) : SubPixels<4>(x, n);
      break;
    case 3:
      if (fast) return s == 3 ? AveragePixels<3>(x, prior, n) : AveragePixels<4>(x, prior, n);
      break;
    case 4:
      if (fast) return s == 3 ? PaethPixels<3>(x, prior, n) : PaethPixels<4>(x, prior, n);
      break;
    default: break;
  }
  UnfilterRowPlain(filterType, x, prior, n, s);
}
#else
void UnfilterRow(uint8_t filterType, uint8_t* x, const uint8_t* prior, size_t n, size_t s) {
  UnfilterRowPlain(filterType, x, prior, n, s);
}
#endif
