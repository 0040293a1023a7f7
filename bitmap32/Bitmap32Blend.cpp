#include "bitmap32/Bitmap32Blend.h"

#include <cmath>
#include <cstring>

#include "bitmap32/Bitmap32System.h"

uint8_t MultiplyTable[256 * 256];
uint8_t DivideTable[256 * 256 + 4];

namespace {

// Weights past 255 would wrap the channel products; they count as 255.
inline TColor32 LimitWeight(TColor32 w) { return w > 255 ? 255 : w; }

TColor32 CombinePixelPlain(TColor32 x, TColor32 y, TColor32 w) {
  if ((w & 0xFFFF) == 0) return y;
  w = LimitWeight(w);
  if (w == 255) return x;
  // Two channels per word: each product stays below 2^16, so no carry crosses.
  TColor32 iw = 255 - w;
  TColor32 rb = ((((x & 0x00FF00FF) * w + 0x00800080) >> 8) & 0x00FF00FF) +
                ((((y & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF);
  TColor32 ag = (((((x >> 8) & 0x00FF00FF) * w + 0x00800080) >> 8) & 0x00FF00FF) +
                (((((y >> 8) & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF);
  return rb | (ag << 8);
}

void CombinePixelIntoPlain(TColor32 f, TColor32& b, TColor32 w) {
  if ((w & 0xFFFF) == 0) return;
  b = CombinePixelPlain(f, b, w);
}

void CombinePixelRunPlain(const TColor32* src, TColor32* dst, int count, TColor32 w) {
  for (int i = 0; i < count; ++i) CombinePixelIntoPlain(src[i], dst[i], w);
}

TColor32 BlendPixelPlain(TColor32 f, TColor32 b) {
  TColor32 a = f >> 24;
  if (a == 255) return f;
  if (a == 0) return b;
  return CombinePixelPlain(f, b, a);
}

void BlendPixelIntoPlain(TColor32 f, TColor32& b) { b = BlendPixelPlain(f, b); }

void BlendPixelRunPlain(const TColor32* src, TColor32* dst, int count) {
  for (int i = 0; i < count; ++i) BlendPixelIntoPlain(src[i], dst[i]);
}

TColor32 BlendPixelMasterPlain(TColor32 f, TColor32 b, TColor32 m) {
  TColor32 a = f >> 24;
  if (a == 0) return b;
  TColor32 w = ((LimitWeight(m) + 1) * a) >> 8;
  if (w == 0) return b;
  TColor32 iw = 255 - w;
  TColor32 rb = ((((f & 0x00FF00FF) * w + 0x00800080) >> 8) & 0x00FF00FF) +
                ((((b & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF);
  TColor32 g = ((((f >> 8) & 0xFF) * w + 0x80) >> 8) + ((((b >> 8) & 0xFF) * iw + 0x80) >> 8);
  return rb | (g << 8);
}

void BlendPixelIntoMasterPlain(TColor32 f, TColor32& b, TColor32 m) { b = BlendPixelMasterPlain(f, b, m); }

void BlendPixelRunMasterPlain(const TColor32* src, TColor32* dst, int count, TColor32 m) {
  for (int i = 0; i < count; ++i) BlendPixelIntoMasterPlain(src[i], dst[i], m);
}

inline uint8_t Mul(TColor32 a, TColor32 b) { return MultiplyTable[a * 256 + b]; }

TColor32 MergePixelPlain(TColor32 f, TColor32 b) {
  TColor32 fa = f >> 24;
  if (fa == 0) return b;
  TColor32 ba = b >> 24;
  if (ba == 255) return BlendPixelPlain(f, b) | 0xFF000000u;
  if (fa < 255 && ba > 0) {
    TColor32 ra = fa + ba - Mul(ba, fa);
    TColor32 out = ra << 24;
    for (int shift = 0; shift < 24; shift += 8) {
      TColor32 fc = (f >> shift) & 0xFF;
      TColor32 p = Mul(ba, (b >> shift) & 0xFF);
      TColor32 q = fc >= p ? p + Mul(fa, fc - p) : p - Mul(fa, p - fc);
      out |= static_cast<TColor32>(DivideTable[ra * 256 + q]) << shift;
    }
    return out;
  }
  return f;
}

void MergePixelIntoPlain(TColor32 f, TColor32& b) { b = MergePixelPlain(f, b); }

void MergePixelRunPlain(const TColor32* src, TColor32* dst, int count) {
  for (int i = 0; i < count; ++i) MergePixelIntoPlain(src[i], dst[i]);
}

TColor32 MergePixelMasterPlain(TColor32 f, TColor32 b, TColor32 m) {
  // The master alpha indexes the table: past 255 it would read beyond it.
  TColor32 a = Mul(LimitWeight(m), f >> 24);
  return MergePixelPlain((f & 0x00FFFFFF) | (a << 24), b);
}

void MergePixelIntoMasterPlain(TColor32 f, TColor32& b, TColor32 m) { b = MergePixelMasterPlain(f, b, m); }

void MergePixelRunMasterPlain(const TColor32* src, TColor32* dst, int count, TColor32 m) {
  for (int i = 0; i < count; ++i) MergePixelIntoMasterPlain(src[i], dst[i], m);
}

template <typename Op>
TColor32 PerChannel(TColor32 c1, TColor32 c2, Op op) {
  TColor32 out = 0;
  for (int shift = 0; shift < 32; shift += 8)
    out |= (static_cast<TColor32>(op((c1 >> shift) & 0xFF, (c2 >> shift) & 0xFF)) & 0xFF) << shift;
  return out;
}

TColor32 AddPlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return std::min<TColor32>(255, x + y); });
}
TColor32 SubtractPlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return x > y ? x - y : 0; });
}
TColor32 DividePlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return x == 0 ? 255 : std::min<TColor32>(255, y * 256 / x); });
}
TColor32 ModulatePlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return (x * y) >> 8; });
}
TColor32 MaxPlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return std::max(x, y); });
}
TColor32 MinPlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return std::min(x, y); });
}
TColor32 DifferencePlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return x > y ? x - y : y - x; });
}
TColor32 AveragePlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return (x + y) >> 1; });
}
TColor32 ExclusionPlain(TColor32 a, TColor32 b) {
  return PerChannel(a, b, [](TColor32 x, TColor32 y) { return x + y - ((x * y) >> 7); });
}
TColor32 ScalePlain(TColor32 c, TColor32 w) {
  TColor32 out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint64_t v = (static_cast<uint64_t>((c >> shift) & 0xFF) * w) >> 8;
    out |= static_cast<TColor32>(std::min<uint64_t>(255, v)) << shift;
  }
  return out;
}

void BuildTables() {
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      MultiplyTable[a * 256 + b] = static_cast<uint8_t>(std::nearbyint(a * b / 255.0));
      DivideTable[a * 256 + b] =
          a == 0 ? 0 : static_cast<uint8_t>(static_cast<int>(std::nearbyint(b * 255.0 / a)) & 0xFF);
    }
}

bool FastFormsUsed = false;

}  // namespace

const TBlendRoutines PlainBlendRoutines = {
    CombinePixelPlain,     CombinePixelIntoPlain,      BlendPixelPlain,          BlendPixelIntoPlain,
    BlendPixelMasterPlain, BlendPixelIntoMasterPlain,  BlendPixelRunPlain,       BlendPixelRunMasterPlain,
    CombinePixelRunPlain,  MergePixelPlain,            MergePixelIntoPlain,      MergePixelMasterPlain,
    MergePixelIntoMasterPlain, MergePixelRunPlain,     MergePixelRunMasterPlain, AddPlain,
    SubtractPlain,         DividePlain,                ModulatePlain,            MaxPlain,
    MinPlain,              DifferencePlain,            AveragePlain,             ExclusionPlain,
    ScalePlain};

TCombineReg CombinePixel = CombinePixelPlain;
TCombineMem CombinePixelInto = CombinePixelIntoPlain;
TBlendReg BlendPixel = BlendPixelPlain;
TBlendMem BlendPixelInto = BlendPixelIntoPlain;
TBlendRegEx BlendPixelMaster = BlendPixelMasterPlain;
TBlendMemEx BlendPixelIntoMaster = BlendPixelIntoMasterPlain;
TBlendLine BlendPixelRun = BlendPixelRunPlain;
TBlendLineEx BlendPixelRunMaster = BlendPixelRunMasterPlain;
TCombineLine CombinePixelRun = CombinePixelRunPlain;
TBlendReg MergePixel = MergePixelPlain;
TBlendMem MergePixelInto = MergePixelIntoPlain;
TBlendRegEx MergePixelMaster = MergePixelMasterPlain;
TBlendMemEx MergePixelIntoMaster = MergePixelIntoMasterPlain;
TBlendLine MergePixelRun = MergePixelRunPlain;
TBlendLineEx MergePixelRunMaster = MergePixelRunMasterPlain;
TBlendReg BlendPixelByMode[2] = {BlendPixelPlain, MergePixelPlain};
TBlendMem BlendPixelIntoByMode[2] = {BlendPixelIntoPlain, MergePixelIntoPlain};
TBlendRegEx BlendPixelMasterByMode[2] = {BlendPixelMasterPlain, MergePixelMasterPlain};
TBlendMemEx BlendPixelIntoMasterByMode[2] = {BlendPixelIntoMasterPlain, MergePixelIntoMasterPlain};
TBlendLine BlendPixelRunByMode[2] = {BlendPixelRunPlain, MergePixelRunPlain};
TBlendLineEx BlendPixelRunMasterByMode[2] = {BlendPixelRunMasterPlain, MergePixelRunMasterPlain};
TColorOp AddColor32 = AddPlain, SubtractColor32 = SubtractPlain, DivideColor32 = DividePlain,
         ModulateColor32 = ModulatePlain, MaxColor32 = MaxPlain, MinColor32 = MinPlain,
         DifferenceColor32 = DifferencePlain, AverageColor32 = AveragePlain, ExclusionColor32 = ExclusionPlain;
TScaleOp ScaleColor32 = ScalePlain;

TBlendRoutines OverlayBlendRoutines(const TBlendRoutines& base, const TBlendRoutines& top) {
  // The table is nothing but routine addresses: slot by slot, top wins where it has one.
  constexpr size_t n = sizeof(TBlendRoutines) / sizeof(void*);
  static_assert(n * sizeof(void*) == sizeof(TBlendRoutines));
  uintptr_t b[n], t[n];
  std::memcpy(b, &base, sizeof b);
  std::memcpy(t, &top, sizeof t);
  for (size_t k = 0; k < n; ++k)
    if (t[k]) b[k] = t[k];
  TBlendRoutines out;
  std::memcpy(&out, b, sizeof out);
  return out;
}

void SetBlendRoutines(const TBlendRoutines& given) {
  // A table without some fast form falls back to the plain one there.
  TBlendRoutines r = OverlayBlendRoutines(PlainBlendRoutines, given);
  CombinePixel = r.CombinePixel;
  CombinePixelInto = r.CombinePixelInto;
  BlendPixel = r.BlendPixel;
  BlendPixelInto = r.BlendPixelInto;
  BlendPixelMaster = r.BlendPixelMaster;
  BlendPixelIntoMaster = r.BlendPixelIntoMaster;
  BlendPixelRun = r.BlendPixelRun;
  BlendPixelRunMaster = r.BlendPixelRunMaster;
  CombinePixelRun = r.CombinePixelRun;
  MergePixel = r.MergePixel;
  MergePixelInto = r.MergePixelInto;
  MergePixelMaster = r.MergePixelMaster;
  MergePixelIntoMaster = r.MergePixelIntoMaster;
  MergePixelRun = r.MergePixelRun;
  MergePixelRunMaster = r.MergePixelRunMaster;
  BlendPixelByMode[cmBlend] = r.BlendPixel;
  BlendPixelByMode[cmMerge] = r.MergePixel;
  BlendPixelIntoByMode[cmBlend] = r.BlendPixelInto;
  BlendPixelIntoByMode[cmMerge] = r.MergePixelInto;
  BlendPixelMasterByMode[cmBlend] = r.BlendPixelMaster;
  BlendPixelMasterByMode[cmMerge] = r.MergePixelMaster;
  BlendPixelIntoMasterByMode[cmBlend] = r.BlendPixelIntoMaster;
  BlendPixelIntoMasterByMode[cmMerge] = r.MergePixelIntoMaster;
  BlendPixelRunByMode[cmBlend] = r.BlendPixelRun;
  BlendPixelRunByMode[cmMerge] = r.MergePixelRun;
  BlendPixelRunMasterByMode[cmBlend] = r.BlendPixelRunMaster;
  BlendPixelRunMasterByMode[cmMerge] = r.MergePixelRunMaster;
  AddColor32 = r.AddColor32;
  SubtractColor32 = r.SubtractColor32;
  DivideColor32 = r.DivideColor32;
  ModulateColor32 = r.ModulateColor32;
  MaxColor32 = r.MaxColor32;
  MinColor32 = r.MinColor32;
  DifferenceColor32 = r.DifferenceColor32;
  AverageColor32 = r.AverageColor32;
  ExclusionColor32 = r.ExclusionColor32;
  ScaleColor32 = r.ScaleColor32;
  FastFormsUsed = r.CombinePixel != PlainBlendRoutines.CombinePixel;
}

bool BlendFastFormsUsed() { return FastFormsUsed; }

void EndMMXBlock() {}

namespace {
const bool BlendUnitReady = [] {
  BuildTables();
  if (CPUHasAVX512VBMI())
    SetBlendRoutines(
        OverlayBlendRoutines(OverlayBlendRoutines(SSE2BlendRoutines, AVX2BlendRoutines), AVX512BlendRoutines));
  else if (CPUHasAVX2())
    SetBlendRoutines(OverlayBlendRoutines(SSE2BlendRoutines, AVX2BlendRoutines));
  else
    SetBlendRoutines(CPUHasFeature(cfSSE2) ? SSE2BlendRoutines : PlainBlendRoutines);
  return true;
}();
}  // namespace
