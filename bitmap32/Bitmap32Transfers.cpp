#include "bitmap32/Bitmap32Transfers.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32System.h"

bool PixelAreaMapping = true;

namespace {

// Rectangles in 64 bits, so clip offsets near the int range cannot overflow.
struct TRect64 {
  int64_t l, t, r, b;
  explicit TRect64(const TRect& x) : l(x.left), t(x.top), r(x.right), b(x.bottom) {}
  TRect64(int64_t l_, int64_t t_, int64_t r_, int64_t b_) : l(l_), t(t_), r(r_), b(b_) {}
  bool Empty() const { return r <= l || b <= t; }
  TRect64 operator&(const TRect64& o) const {
    TRect64 x(std::max(l, o.l), std::max(t, o.t), std::min(r, o.r), std::min(b, o.b));
    if (x.r < x.l || x.b < x.t) return TRect64(0, 0, 0, 0);
    return x;
  }
  void Offset(int64_t dx, int64_t dy) {
    l += dx;
    r += dx;
    t += dy;
    b += dy;
  }
  TRect ToRect() const {
    return TRect(static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b));
  }
};

TRect WrappedRect(int64_t l, int64_t t, int64_t r, int64_t b) {
  auto w = [](int64_t v) { return static_cast<LONG>(static_cast<uint32_t>(v)); };
  return TRect(w(l), w(t), w(r), w(b));
}

struct TMMXBlockGuard {
  ~TMMXBlockGuard() { EndMMXBlock(); }
};

// One row of a non-opaque transfer: blend or merge by the source's combine
// mode and master alpha, the transparent key, or the callback.
void CombineRow(TDrawMode mode, const TColor32* s, TColor32* d, int w, TBitmap32* src,
                const TPixelCombineEvent& callback) {
  uint32_t master = src->MasterAlpha();
  switch (mode) {
    case dmBlend:
      if (master >= 255)
        BlendPixelRunByMode[src->CombineMode()](s, d, w);
      else
        BlendPixelRunMasterByMode[src->CombineMode()](s, d, w, master);
      break;
    case dmTransparent: {
      TColor32 outer = src->OuterColor;
      for (int i = 0; i < w; ++i)
        if (s[i] != outer) d[i] = s[i];
      break;
    }
    default:
      for (int i = 0; i < w; ++i) callback(s[i], d[i], master);
      break;
  }
}

[[noreturn]] void AssertFailed() { throw EAssertionFailed("Assertion failed (Bitmap32Resamplers)"); }

}  // namespace

TPixelStore::TPixelStore(TBitmap32* src, TDrawMode mode, const TPixelCombineEvent& callback)
    : Mode(mode),
      Blend(BlendPixelIntoMasterByMode[src->CombineMode()]),
      Master(std::min<uint32_t>(src->MasterAlpha(), 255)),
      Outer(src->OuterColor),
      Callback(&callback) {}

void RequireBitmaps(TBitmap32* dst, TBitmap32* src) {
  if (!dst) throw EBitmapException("Destination bitmap is nil");
  if (!src) throw EBitmapException("Source bitmap is nil");
}

bool ValidateSourceRect(TBitmap32* src, const TRect& r) {
  if (r.IsEmpty()) return false;
  if (r.left < 0 || r.top < 0 || r.right > src->Width() || r.bottom > src->Height())
    throw ESrcInvalidException("Source rectangle is invalid");
  return true;
}

void CombineBlockRows(TBitmap32* dst, const TRect& dstRect, TBitmap32* src, int srcX, int srcY, TDrawMode combineOp,
                      const TPixelCombineEvent& combineCallBack) {
  int w = dstRect.right - dstRect.left;
  int rows = dstRect.bottom - dstRect.top;
  if (rows <= 0 || w <= 0) return;
  // Within one bitmap a block moving down is copied from its last row up, so
  // no row is read after it was overwritten.
  bool sameBitmap = src == dst;
  bool upwards = sameBitmap && srcY < dstRect.top;
  int first = upwards ? rows - 1 : 0;
  int step = upwards ? -1 : 1;
  std::vector<TColor32> copy;
  if (sameBitmap && combineOp != dmOpaque) copy.resize(static_cast<size_t>(w));
  for (int k = 0, row = first; k < rows; ++k, row += step) {
    const TColor32* s = src->PixelAddress(srcX, srcY + row);
    TColor32* d = dst->PixelAddress(dstRect.left, dstRect.top + row);
    if (combineOp == dmOpaque) {
      MoveDwords(s, d, w);
      continue;
    }
    if (!copy.empty()) {
      // Source and destination may share this row: mix from a copy.
      std::copy(s, s + w, copy.begin());
      s = copy.data();
    }
    CombineRow(combineOp, s, d, w, src, combineCallBack);
  }
}

void CopyBlockArea(TBitmap32* dst, int dstX, int dstY, TRect dstClip, TBitmap32* src, TRect srcRect,
                   TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  RequireBitmaps(dst, src);
  if (dst->Empty() || src->Empty() || (combineOp == dmBlend && src->MasterAlpha() == 0)) return;
  int64_t srcW = static_cast<int64_t>(srcRect.right) - srcRect.left;
  int64_t srcH = static_cast<int64_t>(srcRect.bottom) - srcRect.top;
  if (!dst->MeasureOnly) {
    if (combineOp == dmCustom && !combineCallBack) combineOp = dmOpaque;
    int64_t x0 = srcRect.left, y0 = srcRect.top;
    TRect64 clip = TRect64(dstClip) & TRect64(dst->BoundsRect());
    TRect64 s = TRect64(srcRect) & TRect64(src->BoundsRect());
    s.Offset(dstX - x0, dstY - y0);
    s = clip & s;
    clip = s;
    s.Offset(x0 - dstX, y0 - dstY);
    if (!s.Empty()) {
      TMMXBlockGuard guard;
      CombineBlockRows(dst, clip.ToRect(), src, static_cast<int>(s.l), static_cast<int>(s.t), combineOp,
                       combineCallBack);
    }
  }
  dst->Changed(WrappedRect(dstX, dstY, dstX + srcW, dstY + srcH), AREA_FLAG_RECT);
}

void CopyStretchedArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                       TCustomResampler* resampler, TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  RequireBitmaps(dst, src);
  if (src->Empty() || dst->Empty() || (combineOp == dmBlend && src->MasterAlpha() == 0)) return;
  if (!ValidateSourceRect(src, srcRect)) return;
  if (!dst->MeasureOnly) {
    TRect64 clip = TRect64(dstClip) & TRect64(dst->BoundsRect()) & TRect64(dstRect);
    if (clip.Empty()) return;
    dstClip = clip.ToRect();
    if (combineOp == dmCustom && !combineCallBack) combineOp = dmOpaque;
    TMMXBlockGuard guard;
    if (srcRect.Width() == dstRect.Width() && srcRect.Height() == dstRect.Height()) {
      CombineBlockRows(dst, dstClip, src, srcRect.left + dstClip.left - dstRect.left,
                       srcRect.top + dstClip.top - dstRect.top, combineOp, combineCallBack);
    } else {
      if (!resampler) resampler = src->Resampler();
      resampler->ResampleArea(dst, dstRect, dstClip, src, srcRect, combineOp, combineCallBack);
    }
  }
  dst->Changed(dstRect, AREA_FLAG_RECT);
}

void NearestStretch(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect, TDrawMode combineOp,
                    const TPixelCombineEvent& combineCallBack) {
  TRect64 clip64 = TRect64(dstClip) & TRect64(dst->BoundsRect()) & TRect64(dstRect);
  if (clip64.Empty()) return;
  dstClip = clip64.ToRect();
  if (srcRect.left < 0 || srcRect.top < 0 || srcRect.right > src->Width() || srcRect.bottom > src->Height())
    throw Exception("Invalid SrcRect");
  TMMXBlockGuard guard;
  int64_t srcW = static_cast<int64_t>(srcRect.right) - srcRect.left;
  int64_t srcH = static_cast<int64_t>(srcRect.bottom) - srcRect.top;
  int64_t dstW = static_cast<int64_t>(dstRect.right) - dstRect.left;
  int64_t dstH = static_cast<int64_t>(dstRect.bottom) - dstRect.top;
  int clipW = dstClip.right - dstClip.left;
  int clipH = dstClip.bottom - dstClip.top;
  if (combineOp == dmCustom && !combineCallBack) combineOp = dmOpaque;
  if (dstW == srcW && dstH == srcH) {
    CombineBlockRows(dst, dstClip, src, static_cast<int>(srcRect.left + dstClip.left - dstRect.left),
                     static_cast<int>(srcRect.top + dstClip.top - dstRect.top), combineOp, combineCallBack);
    return;
  }
  std::vector<int> map(static_cast<size_t>(clipW));
  if (dstW > 1) {
    if (PixelAreaMapping) {
      float scale = static_cast<float>(srcW) / static_cast<float>(dstW);
      for (int i = 0; i < clipW; ++i)
        map[i] = static_cast<int>(
            std::trunc(static_cast<long double>(i + dstClip.left - dstRect.left) * scale + srcRect.left));
    } else {
      float scale = static_cast<float>(srcW - 1) / static_cast<float>(dstW - 1);
      for (int i = 0; i < clipW; ++i)
        map[i] = static_cast<int>(
            std::nearbyint(static_cast<long double>(i + dstClip.left - dstRect.left) * scale + srcRect.left));
    }
    if (map.front() < srcRect.left || map.back() >= srcRect.right) AssertFailed();
  } else {
    map[0] = static_cast<int>((static_cast<int64_t>(srcRect.left) + srcRect.right - 1) / 2);
  }
  float rowScale = 0;
  if (dstH > 1)
    rowScale = PixelAreaMapping ? static_cast<float>(srcH) / static_cast<float>(dstH)
                                : static_cast<float>(srcH - 1) / static_cast<float>(dstH - 1);
  auto sourceRow = [&](int j) -> int {
    if (dstH <= 1) return static_cast<int>((static_cast<int64_t>(srcRect.top) + srcRect.bottom - 1) / 2);
    long double v = static_cast<long double>(j + dstClip.top - dstRect.top) * rowScale + srcRect.top;
    int r = static_cast<int>(PixelAreaMapping ? std::trunc(v) : std::nearbyint(v));
    // Rounding at the far edge may not leave the source.
    return std::clamp(r, static_cast<int>(srcRect.top), static_cast<int>(srcRect.bottom - 1));
  };
  TColor32* d = dst->PixelAddress(dstClip.left, dstClip.top);
  int64_t dstStride = dst->Width();
  int previous = -1;
  if (combineOp == dmOpaque) {
    for (int j = 0; j < clipH; ++j, d += dstStride) {
      int row = sourceRow(j);
      if (row == previous) {
        MoveDwords(d - dstStride, d, clipW);
        continue;
      }
      GatherColumns(src->ScanLine(row), src->Width(), map.data(), clipW, d);
      previous = row;
    }
    return;
  }
  std::vector<TColor32> buffer(static_cast<size_t>(clipW));
  for (int j = 0; j < clipH; ++j, d += dstStride) {
    if (dstH > 1) EndMMXBlock();
    int row = sourceRow(j);
    if (row != previous) {
      GatherColumns(src->ScanLine(row), src->Width(), map.data(), clipW, buffer.data());
      previous = row;
    }
    CombineRow(combineOp, buffer.data(), d, clipW, src, combineCallBack);
  }
}

// ---- Block average and 2x2 mix

TColor32 AverageBlockPlain(int dlx, int dly, const TColor32* rowSrc, int64_t offSrc) {
  uint32_t sum[4] = {0, 0, 0, 0};
  const auto* row = reinterpret_cast<const uint8_t*>(rowSrc);
  for (int y = 0; y < dly; ++y, row += offSrc)
    for (int x = 0; x < dlx; ++x)
      for (int c = 0; c < 4; ++c) sum[c] += row[x * 4 + c];
  uint32_t n = static_cast<uint32_t>(dlx) * static_cast<uint32_t>(dly);
  if (n == 0) return 0;
  uint32_t f = 0x1000000u / n;
  TColor32 out = 0;
  for (int c = 0; c < 4; ++c) out |= (((sum[c] * f) >> 24) & 0xFF) << (c * 8);
  return out;
}

TColor32 AverageBlockSSE2(int dlx, int dly, const TColor32* rowSrc, int64_t offSrc) {
  uint32_t n = static_cast<uint32_t>(dlx) * static_cast<uint32_t>(dly);
  if (n == 0 || dlx <= 0) return 0;
  const __m128i zero = _mm_setzero_si128();
  __m128i acc = zero;  // four 32-bit sums: B, G, R, A
  const auto* row = reinterpret_cast<const uint8_t*>(rowSrc);
  for (int y = 0; y < dly; ++y, row += offSrc) {
    const auto* p = reinterpret_cast<const TColor32*>(row);
    int x = 0;
    for (; x + 4 <= dlx; x += 4) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
      __m128i s16 = _mm_add_epi16(_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero));
      acc = _mm_add_epi32(acc, _mm_add_epi32(_mm_unpacklo_epi16(s16, zero), _mm_unpackhi_epi16(s16, zero)));
    }
    for (; x < dlx; ++x) {
      __m128i v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[x])), zero), zero);
      acc = _mm_add_epi32(acc, v);
    }
  }
  alignas(16) uint32_t sum[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(sum), acc);
  uint32_t f = 0x1000000u / n;
  TColor32 out = 0;
  for (int c = 0; c < 4; ++c) out |= (((sum[c] * f) >> 24) & 0xFF) << (c * 8);
  return out;
}

TColor32 LinearMix2x2Plain(uint32_t pwx, uint32_t pwy, const TColor32* c11, const TColor32* c21) {
  uint32_t wx = std::min<uint32_t>(pwx >> 16, 255), wy = std::min<uint32_t>(pwy >> 16, 255);
  TColor32 top = CombinePixel(c11[0], c11[1], wx);
  TColor32 bottom = CombinePixel(c21[0], c21[1], wx);
  return CombinePixel(top, bottom, wy);
}

TColor32 LinearMix2x2SSE2(uint32_t pwx, uint32_t pwy, const TColor32* c11, const TColor32* c21) {
  return Mix4PixelsSSE2(std::min<uint32_t>(pwx >> 16, 255), std::min<uint32_t>(pwy >> 16, 255), c11, c21);
}

void GatherColumnsPlain(const TColor32* row, int, const int* columns, int count, TColor32* out) {
  for (int i = 0; i < count; ++i) out[i] = row[columns[i]];
}

TAverageBlock AverageBlock = AverageBlockPlain;
TLinearMix2x2 LinearMix2x2 = LinearMix2x2Plain;
TGatherColumns GatherColumns = GatherColumnsPlain;

void SelectProcessorRoutines() {
  bool fast = CPUHasFeature(cfSSE2);
  AverageBlock = fast ? AverageBlockSSE2 : AverageBlockPlain;
  LinearMix2x2 = fast ? LinearMix2x2SSE2 : LinearMix2x2Plain;
  GatherColumns = CPUHasAVX2() ? GatherColumnsAVX2 : GatherColumnsPlain;
}

namespace {
const bool TransfersReady = (SelectProcessorRoutines(), true);
}  // namespace
