#include "bitmap32/Bitmap32Resamplers.h"

#include <algorithm>
#include <cmath>

#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32Mix.h"
#include "bitmap32/Bitmap32System.h"
#include "bitmap32/Bitmap32Transfers.h"

namespace {

template <typename T>
TClassRef<TResamplerFactory> ResamplerRef(const char* name) {
  return {name, [](TBitmap32* b) { return std::unique_ptr<TCustomResampler>(std::make_unique<T>(b)); }};
}

inline int Rnd(long double v) { return static_cast<int>(std::nearbyint(v)); }

struct TMMXBlockGuard {
  ~TMMXBlockGuard() { EndMMXBlock(); }
};

}  // namespace

TClassList<TResamplerFactory>& ResamplerList() {
  static const TClassRef<TResamplerFactory> refs[] = {
      ResamplerRef<TNearestResampler>("TNearestResampler"), ResamplerRef<TLinearResampler>("TLinearResampler"),
      ResamplerRef<TDraftResampler>("TDraftResampler"), ResamplerRef<TKernelResampler>("TKernelResampler")};
  static TClassList<TResamplerFactory> list = [] {
    TClassList<TResamplerFactory> l;
    for (const auto& r : refs) l.Add(&r);
    return l;
  }();
  return list;
}

// ---- TBitmap32Resampler

void TBitmap32Resampler::SetPixelAccessMode(TPixelAccessMode value) {
  if (value == FPixelAccessMode) return;
  FPixelAccessMode = value;
  Changed();
}

void TBitmap32Resampler::Changed() {
  if (FBitmap) FBitmap->Changed();
}

void TBitmap32Resampler::BeginSampling() {
  if (FBitmap) FClipRect = FBitmap->ClipRect();
}

TRect TBitmap32Resampler::SampleBoundsRect() { return FBitmap ? FBitmap->ClipRect() : TRect(); }

void TBitmap32Resampler::AssignTo(TPersistent* dest) const {
  auto* d = dynamic_cast<TBitmap32Resampler*>(dest);
  if (!d) {
    TCustomResampler::AssignTo(dest);
    return;
  }
  d->SetPixelAccessMode(FPixelAccessMode);
}

// ---- TNearestResampler

TNearestResampler::TNearestResampler(TBitmap32* bitmap) : TBitmap32Resampler(bitmap) {}

void TNearestResampler::BeginSampling() {
  TBitmap32Resampler::BeginSampling();
  switch (FPixelAccessMode) {
    case pamUnsafe:
      FGetSampleInt = &TBitmap32::GetPixel;
      break;
    case pamSafe:
      FGetSampleInt = &TBitmap32::GetPixelClipped;
      break;
    case pamWrap:
      FGetSampleInt = &TBitmap32::GetPixelWrapped;
      break;
  }
}

TBitmap32& TBitmap32Resampler::Sampled() const {
  if (!FBitmap) throw EBitmapException("Source bitmap is nil");
  return *FBitmap;
}

TColor32 TNearestResampler::SampleInt(int x, int y) { return (Sampled().*FGetSampleInt)(x, y); }

TColor32 TNearestResampler::SampleFixed(TFixed x, TFixed y) {
  return (Sampled().*FGetSampleInt)(RoundFixed(x), RoundFixed(y));
}

TColor32 TNearestResampler::SampleFloat(float x, float y) {
  auto r = [](float v) {
    double n = std::nearbyint(static_cast<double>(v));
    return static_cast<int>(std::clamp(n, -2147483648.0, 2147483647.0));
  };
  return (Sampled().*FGetSampleInt)(r(x), r(y));
}

void TNearestResampler::ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                                     TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  NearestStretch(dst, dstRect, dstClip, src, srcRect, combineOp, combineCallBack);
}

// ---- TLinearResampler

TLinearResampler::TLinearResampler(TBitmap32* bitmap)
    : TBitmap32Resampler(bitmap), FLinearKernel(std::make_unique<TLinearKernel>()) {}

void TLinearResampler::BeginSampling() {
  TBitmap32Resampler::BeginSampling();
  switch (FPixelAccessMode) {
    case pamUnsafe:
      FGetSampleFixed = &TBitmap32::GetPixelFixed;
      break;
    case pamSafe:
      FGetSampleFixed = &TBitmap32::GetPixelFixedClipped;
      break;
    case pamWrap:
      FGetSampleFixed = &TBitmap32::GetPixelFixedWrapped;
      break;
  }
}

TColor32 TLinearResampler::SampleFixed(TFixed x, TFixed y) { return (Sampled().*FGetSampleFixed)(x, y); }

TColor32 TLinearResampler::SampleFloat(float x, float y) { return (Sampled().*FGetSampleFixed)(Fixed(x), Fixed(y)); }

void TLinearResampler::ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                                    TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  int srcW = srcRect.Width(), srcH = srcRect.Height();
  if (dstRect.Width() > srcW && dstRect.Height() > srcH && srcW > 1 && srcH > 1)
    BilinearEnlarge(dst, dstRect, dstClip, src, srcRect, combineOp, combineCallBack);
  else
    KernelResample(dst, dstRect, dstClip, src, srcRect, *FLinearKernel, combineOp, combineCallBack);
}

void TDraftResampler::ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                                   TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  BoxReduce(dst, dstRect, dstClip, src, srcRect, *FLinearKernel, combineOp, combineCallBack);
}

// ---- TKernelResampler

TKernelResampler::TKernelResampler(TBitmap32* bitmap)
    : TBitmap32Resampler(bitmap), FKernel(std::make_unique<TBoxKernel>()) {}

void TKernelResampler::SetKernel(std::unique_ptr<TCustomKernel> kernel) {
  if (!kernel || kernel.get() == FKernel.get()) return;
  FKernel = std::move(kernel);
  Changed();
}

void TKernelResampler::SetKernelClassName(const std::string& name) {
  if (name.empty() || name == KernelClassName()) return;
  if (auto ref = KernelList().Find(name)) SetKernel(ref->Create());
}

void TKernelResampler::SetKernelMode(TKernelMode value) {
  if (value == FKernelMode) return;
  FKernelMode = value;
  Changed();
}

void TKernelResampler::SetTableSize(int value) {
  if (value < 2) value = 2;
  if (value == FTableSize) return;
  FTableSize = value;
  Changed();
}

void TKernelResampler::AssignTo(TPersistent* dest) const {
  auto* d = dynamic_cast<TKernelResampler*>(dest);
  if (!d) {
    // Another kind of resampler has no kernel to take.
    if (dynamic_cast<TBitmap32Resampler*>(dest)) throw EPropertyError("Unknown property: \"KernelClassName\"");
    TBitmap32Resampler::AssignTo(dest);
    return;
  }
  TBitmap32Resampler::AssignTo(dest);
  // The kernel's class first, so its parameters land on a kernel that has them.
  d->SetKernelClassName(KernelClassName());
  d->Kernel().Assign(FKernel.get());
  d->SetKernelMode(FKernelMode);
  d->SetTableSize(FTableSize);
}

namespace {
int KernelReach(const TCustomKernel& k) {
  float w = k.GetWidth();
  if (!(w > 0)) return 0;
  return static_cast<int>(std::ceil(std::min(w, 1.0e6f)));
}
}  // namespace

void TKernelResampler::BuildWeightTable() {
  int k = KernelReach(*FKernel);
  int n = 2 * k + 1;
  FWeightTable = std::make_unique<TIntegerMap>();
  FWeightTable->SetSize(n, FTableSize + 1);
  for (int r = 0; r <= FTableSize; ++r) {
    long double frac = static_cast<long double>(r) / (FTableSize - 1);
    int sum = 0;
    for (int i = -k; i <= k; ++i) {
      int w = Rnd(FKernel->WeightAt(static_cast<float>(i + frac)) * 256.0L);
      FWeightTable->Value(i + k, r) = w;
      sum += w;
    }
    FWeightTable->Value(k, r) -= sum - 256;
  }
}

void TKernelResampler::BeginSampling() {
  TBitmap32Resampler::BeginSampling();
  if (FBitmap) FOuterColor = FBitmap->OuterColor;
  int n = 2 * KernelReach(*FKernel) + 1;
  if (FPixelAccessMode == pamWrap) FColumnMap.assign(static_cast<size_t>(n), 0);
  if (FKernelMode != kmDynamic) BuildWeightTable();
  FHorzWeights.assign(static_cast<size_t>(n), 0);
  FVertWeights.assign(static_cast<size_t>(n), 0);
}

void TKernelResampler::EndSampling() {
  FWeightTable.reset();
  FHorzWeights.clear();
  FVertWeights.clear();
  FColumnMap.clear();
  TBitmap32Resampler::EndSampling();
}

void TKernelResampler::WeightsFor(float frac, std::vector<int>& w) {
  int k = KernelReach(*FKernel);
  int n = 2 * k + 1;
  w.resize(static_cast<size_t>(n));
  switch (FKernelMode) {
    case kmDynamic:
      for (int i = -k; i <= k; ++i) w[i + k] = Rnd(FKernel->WeightAt(i + frac) * 256.0L);
      break;
    case kmTableNearest: {
      int r = Rnd(static_cast<long double>(frac) * (FTableSize - 1));
      for (int i = 0; i < n; ++i) w[i] = FWeightTable->Value(i, r);
      return;
    }
    case kmTableLinear: {
      int p = Rnd(static_cast<long double>(frac) * (FTableSize - 1) * 65536);
      int r = p >> 16, f = p & 0xFFFF;
      for (int i = 0; i < n; ++i) {
        int a = FWeightTable->Value(i, r), b = FWeightTable->Value(i, r + 1);
        w[i] = a + static_cast<int>((static_cast<int64_t>(f) * (b - a) + 0x7FFF) >> 16);
      }
      break;
    }
  }
  int sum = 0;
  for (int v : w) sum += v;
  w[k] -= sum - 256;
}

TColor32 TKernelResampler::SampleFloat(float x, float y) {
  TBitmap32& bitmap = Sampled();
  int k = KernelReach(*FKernel);
  // Sampling without BeginSampling, or after the kernel or table size
  // changed, still gets a table of the right shape.
  if (FKernelMode != kmDynamic &&
      (!FWeightTable || FWeightTable->Width() != 2 * k + 1 || FWeightTable->Height() != FTableSize + 1))
    BuildWeightTable();
  double cxd = std::ceil(static_cast<double>(x)), cyd = std::ceil(static_cast<double>(y));
  if (!(std::fabs(cxd) < 1.0e9 && std::fabs(cyd) < 1.0e9)) return FOuterColor;
  int cx = static_cast<int>(cxd), cy = static_cast<int>(cyd);
  int x0 = -k, x1 = k, y0 = -k, y1 = k;
  if (FPixelAccessMode == pamSafe) {
    const TRect& c = FClipRect;
    if (cx < c.left || c.right < cx || cy < c.top || c.bottom < cy) return FOuterColor;
    if (cx - k < c.left) x0 = c.left - cx;
    if (cx + k >= c.right) x1 = c.right - cx - 1;
    if (cy - k < c.top) y0 = c.top - cy;
    if (cy + k >= c.bottom) y1 = c.bottom - cy - 1;
  } else if (FPixelAccessMode == pamWrap && FClipRect.IsEmpty()) {
    return FOuterColor;
  }
  WeightsFor(static_cast<float>(cx - static_cast<long double>(x)), FHorzWeights);
  WeightsFor(static_cast<float>(cy - static_cast<long double>(y)), FVertWeights);
  TWrapProc wrap = WRAP_PROCS[bitmap.WrapMode()];
  if (FPixelAccessMode == pamWrap) {
    FColumnMap.resize(static_cast<size_t>(2 * k + 1));
    for (int i = -k; i <= k; ++i) FColumnMap[i + k] = wrap(cx + i, FClipRect.left, FClipRect.right - 1);
  }
  int64_t acc[4] = {0, 0, 0, 0};
  for (int j = y0; j <= y1; ++j) {
    int wy = FVertWeights[j + k];
    if (wy == 0) continue;
    int row = FPixelAccessMode == pamWrap ? wrap(cy + j, FClipRect.top, FClipRect.bottom - 1) : cy + j;
    int64_t rs[4] = {0, 0, 0, 0};
    for (int i = x0; i <= x1; ++i) {
      int col = FPixelAccessMode == pamWrap ? FColumnMap[i + k] : cx + i;
      TColor32 p = bitmap.GetPixel(col, row);
      int wx = FHorzWeights[i + k];
      for (int c = 0; c < 4; ++c) rs[c] += static_cast<int64_t>(wx) * ((p >> (8 * c)) & 0xFF);
    }
    for (int c = 0; c < 4; ++c) acc[c] += rs[c] * wy;
  }
  bool clamp = FKernel->NeedsClamp();
  TColor32 out = 0;
  for (int c = 0; c < 4; ++c) {
    int64_t v = acc[c] >> 16;
    if (clamp) v = std::clamp<int64_t>(v, 0, 255);
    out |= static_cast<TColor32>(v & 0xFF) << (8 * c);
  }
  return out;
}

void TKernelResampler::ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                                    TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  KernelResample(dst, dstRect, dstClip, src, srcRect, *FKernel, combineOp, combineCallBack);
}

// ---- Nested samplers

TCustomSampler& TNestedSampler::Nested() const {
  if (!FSampler) throw ENestedException("Nested sampler is nil");
  return *FSampler;
}

void TNestedSampler::BeginSampling() { Nested().BeginSampling(); }
void TNestedSampler::EndSampling() { Nested().EndSampling(); }
bool TNestedSampler::IsBounded() { return Nested().IsBounded(); }
TRect TNestedSampler::SampleBoundsRect() { return Nested().SampleBoundsRect(); }
TColor32 TNestedSampler::SampleInt(int x, int y) { return Nested().SampleInt(x, y); }
TColor32 TNestedSampler::SampleFixed(TFixed x, TFixed y) { return Nested().SampleFixed(x, y); }
TColor32 TNestedSampler::SampleFloat(float x, float y) { return Nested().SampleFloat(x, y); }

TTransformation& TTransformer::Transform() const {
  if (!FTransformation) throw ENestedException("Transformation is nil");
  return *FTransformation;
}

TColor32 TTransformer::SampleInt(int x, int y) {
  TFixed sx, sy;
  Transform().MapReverseFixedPoint(static_cast<TFixed>(static_cast<uint32_t>(x) << 16),
                                   static_cast<TFixed>(static_cast<uint32_t>(y) << 16), sx, sy);
  return Nested().SampleFixed(sx, sy);
}

TColor32 TTransformer::SampleFixed(TFixed x, TFixed y) {
  TFixed sx, sy;
  Transform().MapReverseFixedPoint(x, y, sx, sy);
  return Nested().SampleFixed(sx, sy);
}

TColor32 TTransformer::SampleFloat(float x, float y) {
  float sx, sy;
  Transform().MapReverse(x, y, sx, sy);
  return Nested().SampleFloat(sx, sy);
}

void TTransformer::BeginSampling() {
  Nested().BeginSampling();
  if (!Transform().TransformValid()) Transform().PrepareMapping();
}

bool TTransformer::IsBounded() { return Transform().HasMappedBounds() && Nested().IsBounded(); }

TRect TTransformer::SampleBoundsRect() {
  return Transform().MappedBounds(BuildRealRect(Nested().SampleBoundsRect()));
}

TColor32 TNearestTransformer::SampleInt(int x, int y) {
  int sx, sy;
  Transform().MapReverse(x, y, sx, sy);
  return Nested().SampleInt(sx, sy);
}

TColor32 TNearestTransformer::SampleFixed(TFixed x, TFixed y) {
  TFixed sx, sy;
  Transform().MapReverseFixedPoint(x, y, sx, sy);
  return Nested().SampleInt(sx >> 16, sy >> 16);
}

TColor32 TNearestTransformer::SampleFloat(float x, float y) {
  float sx, sy;
  Transform().MapReverse(x, y, sx, sy);
  auto r = [](float v) { return static_cast<int>(std::clamp(std::nearbyint(static_cast<double>(v)), -2147483648.0,
                                                            2147483647.0)); };
  return Nested().SampleInt(r(sx), r(sy));
}

// ---- Scaled transfers

TMappingTable BuildWeightLists(int dstLo, int dstHi, int clipLo, int clipHi, int srcLo, int srcHi,
                               const TCustomKernel& kernel) {
  TMappingTable table;
  int64_t srcW = static_cast<int64_t>(srcHi) - srcLo;
  int64_t dstW = static_cast<int64_t>(dstHi) - dstLo;
  int64_t clipW = std::max<int64_t>(0, static_cast<int64_t>(clipHi) - clipLo);
  if (srcW <= 0) return table;
  if (srcW == 1) {
    table.assign(static_cast<size_t>(clipW), std::vector<TPointRec>{{srcLo, 256}});
    return table;
  }
  table.resize(static_cast<size_t>(clipW));
  float scale = PixelAreaMapping ? static_cast<float>(dstW) / static_cast<float>(srcW)
                                 : static_cast<float>(dstW - 1) / static_cast<float>(srcW - 1);
  // A one-pixel destination without area mapping has no scale to invert.
  if (scale == 0) {
    for (auto& list : table) list = {{static_cast<int>((static_cast<int64_t>(srcLo) + srcHi) / 2), 256}};
    return table;
  }
  float s = 1 / scale;
  long double width = std::max(0.0f, kernel.GetWidth());
  for (int64_t i = 0; i < clipW; ++i) {
    long double center = PixelAreaMapping ? s * (i + clipLo - dstLo + 0.5L) + srcLo - 0.5L
                                          : static_cast<long double>(s) * (i + clipLo - dstLo) + srcLo;
    auto& list = table[static_cast<size_t>(i)];
    long double reach = scale >= 1 ? width : width * s;
    int64_t jLo = static_cast<int64_t>(std::floor(center - reach));
    int64_t jHi = static_cast<int64_t>(std::ceil(center + reach));
    for (int64_t j = jLo; j <= jHi; ++j) {
      int w = scale >= 1 ? Rnd(kernel.WeightAt(static_cast<float>(center - j)) * 256.0L)
                         : Rnd(scale * kernel.WeightAt(static_cast<float>((center - j) * scale)) * 256.0L);
      if (w != 0) list.push_back({static_cast<int>(std::clamp<int64_t>(j, srcLo, srcHi - 1)), w});
    }
    if (list.empty()) {
      // Kept inside the source like every other entry.
      int64_t pos = std::clamp<int64_t>(static_cast<int64_t>(std::floor(center)), srcLo, srcHi - 1);
      list.push_back({static_cast<int>(pos), 256});
    } else {
      int sum = 0;
      for (const auto& e : list) sum += e.Weight;
      if (sum != 256) list[(list.size() - 1) / 2].Weight += 256 - sum;
    }
  }
  return table;
}

void KernelResample(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                    const TCustomKernel& kernel, TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  if (combineOp == dmCustom && !combineCallBack) combineOp = dmOpaque;
  if (combineOp == dmBlend && src->MasterAlpha() == 0) return;
  TMMXBlockGuard guard;
  TMappingTable horz =
      BuildWeightLists(dstRect.left, dstRect.right, dstClip.left, dstClip.right, srcRect.left, srcRect.right, kernel);
  TMappingTable vert =
      BuildWeightLists(dstRect.top, dstRect.bottom, dstClip.top, dstClip.bottom, srcRect.top, srcRect.bottom, kernel);
  if (horz.empty() || vert.empty()) return;
  bool rangeCheck = kernel.NeedsClamp();
  // The buffer spans every position any list names, not only the first and last.
  int xLo = horz.front().front().Pos, xHi = xLo;
  for (const auto& list : horz)
    for (const auto& e : list) {
      xLo = std::min(xLo, e.Pos);
      xHi = std::max(xHi, e.Pos);
    }
  int bufW = xHi - xLo + 1;
  std::vector<int32_t> buffer(static_cast<size_t>(bufW) * 4);
  TPixelStore store(src, combineOp, combineCallBack);
  int64_t srcStride = src->Width();
  for (int i = 0; i < dstClip.Height(); ++i) {
    const auto& vlist = vert[static_cast<size_t>(i)];
    std::fill(buffer.begin(), buffer.end(), 0);
    for (const auto& e : vlist) {
      const auto* row = reinterpret_cast<const uint8_t*>(src->Bits() + e.Pos * srcStride + xLo);
      int32_t w = e.Weight;
      int32_t* b = buffer.data();
      for (int j = 0; j < bufW * 4; ++j) b[j] += w * row[j];
    }
    TColor32* d = dst->PixelAddress(dstClip.left, dstClip.top + i);
    for (int x = 0; x < dstClip.Width(); ++x) {
      int64_t sum[4] = {0, 0, 0, 0};
      for (const auto& e : horz[static_cast<size_t>(x)]) {
        const int32_t* b = buffer.data() + static_cast<size_t>(e.Pos - xLo) * 4;
        for (int c = 0; c < 4; ++c) sum[c] += static_cast<int64_t>(e.Weight) * b[c];
      }
      TColor32 c32 = 0;
      for (int c = 0; c < 4; ++c) {
        int64_t v = sum[c];
        if (rangeCheck) v = std::clamp<int64_t>(v, 0, 0xFF0000);
        c32 |= static_cast<TColor32>((v >> 16) & 0xFF) << (8 * c);
      }
      store(c32, d[x]);
    }
  }
}

namespace {

struct TMapEntry {
  int Pos;
  uint32_t Weight;  // w + w * 65536
};

std::vector<TMapEntry> BilinearMap(int dstLo, int dstHi, int clipLo, int clipHi, int srcLo, int srcHi, int srcSize) {
  int64_t srcW = static_cast<int64_t>(srcHi) - srcLo, dstW = static_cast<int64_t>(dstHi) - dstLo;
  int clipW = clipHi - clipLo;
  std::vector<TMapEntry> map(static_cast<size_t>(std::max(clipW, 0)));
  // One destination pixel without area mapping has no spacing to divide
  // by: it sits on the middle of the source.
  bool single = !PixelAreaMapping && dstW <= 1;
  float scale = PixelAreaMapping ? static_cast<float>(srcW) / static_cast<float>(dstW)
                : single        ? 0.0f
                                : static_cast<float>(srcW - 1) / static_cast<float>(dstW - 1);
  for (int i = 0; i < clipW; ++i) {
    long double x = PixelAreaMapping ? scale * (i + clipLo - dstLo + 0.5L) + srcLo - 0.5L
                    : single         ? srcLo + (srcW - 1) / 2.0L
                                     : static_cast<long double>(i + clipLo - dstLo) * scale + srcLo;
    x = std::isnan(x) ? 0 : std::clamp<long double>(x, 0, srcSize - 1);
    long double pos = std::floor(x);
    uint32_t w = static_cast<uint32_t>(256 - Rnd((x - pos) * 256));
    map[i] = {static_cast<int>(pos), w + w * 65536};
  }
  for (int i = clipW - 1; i >= 0 && map[i].Pos + 1 >= srcHi; --i) map[i] = {map[i].Pos - 1, 0};
  return map;
}

inline short MixWeight(uint32_t w) { return static_cast<short>(std::min<uint32_t>(w >> 16, 255)); }

// The columns' weights as lanes, made once per transfer: two destination
// pixels per entry.
struct TPairWeights {
  __m128i W, IsX, IsY;
};

std::vector<TPairWeights> PairWeights(const std::vector<TMapEntry>& cols) {
  std::vector<TPairWeights> out((cols.size() + 1) / 2);
  for (size_t k = 0; k < out.size(); ++k) {
    const TMapEntry& a = cols[2 * k];
    const TMapEntry& b = cols[std::min(2 * k + 1, cols.size() - 1)];
    __m128i w = _mm_unpacklo_epi64(_mm_set1_epi16(MixWeight(a.Weight)), _mm_set1_epi16(MixWeight(b.Weight)));
    out[k] = {w, _mm_cmpeq_epi16(w, _mm_set1_epi16(255)), _mm_cmpeq_epi16(w, _mm_setzero_si128())};
  }
  return out;
}

// The horizontal half of LinearMix2x2 for one source row: what the plain
// form calls the top (or bottom) colour of each destination column.
void BilinearRowSSE2(const TColor32* row, const TMapEntry* cols, const TPairWeights* weights, size_t n,
                     TColor32* out) {
  const __m128i zero = _mm_setzero_si128();
  auto pair = [&](const TMapEntry& a, const TMapEntry& b, const TPairWeights& pw) {
    __m128i t = _mm_unpacklo_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + a.Pos)),
                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + b.Pos)));
    __m128i x = _mm_unpacklo_epi8(t, zero), y = _mm_unpackhi_epi8(t, zero);
    // The combine's shortcuts: weight 255 gives x, 0 gives y.
    __m128i r = SelectLanes(pw.IsY, y, SelectLanes(pw.IsX, x, MixLanes(x, y, pw.W)));
    return _mm_packus_epi16(r, r);
  };
  size_t i = 0;
  for (; i + 2 <= n; i += 2)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), pair(cols[i], cols[i + 1], weights[i / 2]));
  if (i < n) out[i] = static_cast<TColor32>(_mm_cvtsi128_si32(pair(cols[i], cols[i], weights[i / 2])));
}

// The same, four columns a step.
__attribute__((target("avx2"))) void BilinearRowAVX2(const TColor32* row, const TMapEntry* cols,
                                                     const TPairWeights* weights, size_t n, TColor32* out) {
  const __m256i zero = _mm256_setzero_si256();
  auto two = [&](size_t k) {
    return _mm_unpacklo_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + cols[k].Pos)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + cols[k + 1].Pos)));
  };
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    __m256i t = _mm256_set_m128i(two(i + 2), two(i));
    __m256i x = _mm256_unpacklo_epi8(t, zero), y = _mm256_unpackhi_epi8(t, zero);
    const TPairWeights& a = weights[i / 2];
    const TPairWeights& b = weights[i / 2 + 1];
    __m256i r = MixLanes(x, y, _mm256_set_m128i(b.W, a.W));
    r = _mm256_blendv_epi8(r, x, _mm256_set_m128i(b.IsX, a.IsX));
    r = _mm256_blendv_epi8(r, y, _mm256_set_m128i(b.IsY, a.IsY));
    __m256i p = _mm256_permute4x64_epi64(_mm256_packus_epi16(r, r), 0xD8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(p));
  }
  if (i < n) BilinearRowSSE2(row, cols + i, weights + i / 2, n - i, out + i);
}

// out = CombinePixel(upper, lower, w) along a row, w below 255 and above 0.
void CombineRowsSSE2(const TColor32* upper, const TColor32* lower, int n, uint32_t w, TColor32* out) {
  const __m128i zero = _mm_setzero_si128(), wv = _mm_set1_epi16(static_cast<short>(w));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + i));
    __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + i));
    __m128i lo = MixLanes(_mm_unpacklo_epi8(u, zero), _mm_unpacklo_epi8(l, zero), wv);
    __m128i hi = MixLanes(_mm_unpackhi_epi8(u, zero), _mm_unpackhi_epi8(l, zero), wv);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
  for (; i < n; ++i) out[i] = CombinePixel(upper[i], lower[i], w);
}

__attribute__((target("avx2"))) void CombineRowsAVX2(const TColor32* upper, const TColor32* lower, int n, uint32_t w,
                                                     TColor32* out) {
  const __m256i zero = _mm256_setzero_si256(), wv = _mm256_set1_epi16(static_cast<short>(w));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + i));
    __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + i));
    __m256i lo = MixLanes(_mm256_unpacklo_epi8(u, zero), _mm256_unpacklo_epi8(l, zero), wv);
    __m256i hi = MixLanes(_mm256_unpackhi_epi8(u, zero), _mm256_unpackhi_epi8(l, zero), wv);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
  }
  if (i < n) CombineRowsSSE2(upper + i, lower + i, n - i, w, out + i);
}

// Horizontal mixes of source rows, kept while consecutive destination rows
// read the same rows.
class TMixedRows {
 public:
  TMixedRows(const TColor32* bits, int64_t stride, const std::vector<TMapEntry>& cols)
      : FBits(bits), FStride(stride), FCols(cols), FWeights(PairWeights(cols)) {
    for (auto& r : FRows) r.Data.resize(cols.size());
  }
  const TColor32* Row(int y) {
    for (auto& r : FRows)
      if (r.Y == y) return r.Data.data();
    // Replace the row not asked for last.
    Slot& s = FRows[FNext];
    FNext ^= 1;
    s.Y = y;
    static const auto rowMix = CPUHasAVX2() ? BilinearRowAVX2 : BilinearRowSSE2;
    rowMix(FBits + y * FStride, FCols.data(), FWeights.data(), FCols.size(), s.Data.data());
    return s.Data.data();
  }

 private:
  struct Slot {
    int Y = -1;
    std::vector<TColor32> Data;
  };
  const TColor32* FBits;
  int64_t FStride;
  const std::vector<TMapEntry>& FCols;
  std::vector<TPairWeights> FWeights;
  Slot FRows[2];
  int FNext = 0;
};

}  // namespace

void BilinearEnlarge(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect, TDrawMode combineOp,
                     const TPixelCombineEvent& combineCallBack) {
  if (combineOp == dmCustom && !combineCallBack) combineOp = dmOpaque;
  TMMXBlockGuard guard;
  auto cols = BilinearMap(dstRect.left, dstRect.right, dstClip.left, dstClip.right, srcRect.left, srcRect.right,
                          src->Width());
  auto rows = BilinearMap(dstRect.top, dstRect.bottom, dstClip.top, dstClip.bottom, srcRect.top, srcRect.bottom,
                          src->Height());
  TPixelStore store(src, combineOp, combineCallBack);
  int64_t stride = src->Width();
  TLinearMix2x2 mix = LinearMix2x2;
  if (mix == LinearMix2x2SSE2 && !cols.empty()) {
    // Whole rows: the two horizontal mixes, then the vertical one as a
    // combine run (the same arithmetic as the pixel-by-pixel mix).
    TMixedRows mixed(src->Bits(), stride, cols);
    std::vector<TColor32> buffer(cols.size());
    const int n = static_cast<int>(cols.size());
    for (size_t j = 0; j < rows.size(); ++j) {
      const TColor32* upper = mixed.Row(rows[j].Pos);
      const TColor32* lower = mixed.Row(rows[j].Pos + 1);
      uint32_t wy = std::min<uint32_t>(rows[j].Weight >> 16, 255);
      TColor32* d = dst->PixelAddress(dstClip.left, dstClip.top + static_cast<int>(j));
      TColor32* out = combineOp == dmOpaque ? d : buffer.data();
      // The vertical mix with the combine's shortcuts at 0 and 255.
      static const auto combineRows = CPUHasAVX2() ? CombineRowsAVX2 : CombineRowsSSE2;
      if (wy == 0)
        std::copy(lower, lower + n, out);
      else if (wy >= 255)
        std::copy(upper, upper + n, out);
      else
        combineRows(upper, lower, n, wy, out);
      if (combineOp != dmOpaque)
        for (int i = 0; i < n; ++i) store(buffer[i], d[i]);
    }
    return;
  }
  for (size_t j = 0; j < rows.size(); ++j) {
    const TColor32* row = src->ScanLine(rows[j].Pos);
    uint32_t wy = rows[j].Weight;
    TColor32* d = dst->PixelAddress(dstClip.left, dstClip.top + static_cast<int>(j));
    for (size_t i = 0; i < cols.size(); ++i) {
      const TColor32* p = row + cols[i].Pos;
      store(mix(cols[i].Weight, wy, p, p + stride), d[i]);
    }
  }
}

void BoxReduce(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
               const TCustomKernel& linearKernel, TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  int srcW = srcRect.Width(), srcH = srcRect.Height(), dstW = dstRect.Width(), dstH = dstRect.Height();
  if (srcW < dstW || srcH < dstH) {
    if (srcW < 2 || srcH < 2)
      KernelResample(dst, dstRect, dstClip, src, srcRect, linearKernel, combineOp, combineCallBack);
    else
      BilinearEnlarge(dst, dstRect, dstClip, src, srcRect, combineOp, combineCallBack);
    return;
  }
  if (combineOp == dmCustom && !combineCallBack) combineOp = dmOpaque;
  TMMXBlockGuard guard;
  float scaleX = static_cast<float>(srcW) / static_cast<float>(dstW);
  float scaleY = static_cast<float>(srcH) / static_cast<float>(dstH);
  int firstCol = srcRect.left + static_cast<int>(std::trunc((dstClip.left - dstRect.left) * static_cast<long double>(scaleX)));
  int firstRow = srcRect.top + static_cast<int>(std::trunc((dstClip.top - dstRect.top) * static_cast<long double>(scaleY)));
  int64_t stepX = static_cast<int64_t>(std::trunc(scaleX * 65536.0L));
  int64_t stepY = static_cast<int64_t>(std::trunc(scaleY * 65536.0L));
  // Boundaries in 64 bits: k * step passes 2^31 on large sources.
  auto boundary = [](int64_t k, int64_t step, float scale) -> int64_t {
    if (k == 0) return 0;
    if (k == 1) return static_cast<int64_t>(std::trunc(scale));
    return (k * step) >> 16;
  };
  std::vector<int> colStart, colWidth;
  for (int k = 1; k <= dstClip.Width(); ++k) {
    int64_t a = boundary(k - 1, stepX, scaleX), b = boundary(k, stepX, scaleX);
    colStart.push_back(firstCol + static_cast<int>(a));
    colWidth.push_back(static_cast<int>(b - a));
  }
  TPixelStore store(src, combineOp, combineCallBack);
  TAverageBlock average = AverageBlock;
  int64_t rowBytes = static_cast<int64_t>(src->Width()) * 4;
  int row = firstRow;
  for (int k = 1; k <= dstClip.Height(); ++k) {
    int h = static_cast<int>(boundary(k, stepY, scaleY) - boundary(k - 1, stepY, scaleY));
    TColor32* d = dst->PixelAddress(dstClip.left, dstClip.top + k - 1);
    const TColor32* srcRow = src->ScanLine(row);
    for (size_t i = 0; i < colStart.size(); ++i) store(average(colWidth[i], h, srcRow + colStart[i], rowBytes), d[i]);
    row += h;
  }
}
