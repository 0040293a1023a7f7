#include "bitmap32/Bitmap32.h"

#include <cmath>
#include <cstring>
#include <typeinfo>

#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32Mix.h"
#include "bitmap32/Bitmap32Resamplers.h"
#include "bitmap32/Bitmap32System.h"
#include "bitmap32/Bitmap32Transfers.h"

// ---- Notifying and lockable bases

void TNotifiablePersistent::Changed() {
  if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TNotifiablePersistent::BeginUpdate() { ++FUpdateCount; }

void TNotifiablePersistent::EndUpdate() {
  if (FUpdateCount <= 0) throw EAssertionFailed("Unpaired TThreadPersistent.EndUpdate");
  --FUpdateCount;
}

void TThreadPersistent::Lock() {
  ++FLockCount;
  FLock.lock();
}

void TThreadPersistent::Unlock() {
  FLock.unlock();
  --FLockCount;
}

bool TCustomMap::SetSize(int newWidth, int newHeight) {
  if (newWidth < 0) newWidth = 0;
  if (newHeight < 0) newHeight = 0;
  if (newWidth == FWidth && newHeight == FHeight) return false;
  ChangeSize(FWidth, FHeight, newWidth, newHeight);
  Changed();
  Resized();
  return true;
}

void TCustomMap::Resized() {
  if (OnResize) OnResize(this);
}

void TCustomMap::ChangeSize(int& width, int& height, int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
}

// ---- Samplers

TColor32 TCustomSampler::SampleInt(int x, int y) {
  return SampleFixed(static_cast<TFixed>(static_cast<uint32_t>(x) << 16),
                     static_cast<TFixed>(static_cast<uint32_t>(y) << 16));
}
TColor32 TCustomSampler::SampleFixed(TFixed x, TFixed y) { return SampleFloat(x / 65536.0f, y / 65536.0f); }
TColor32 TCustomSampler::SampleFloat(float x, float y) { return SampleFixed(Fixed(x), Fixed(y)); }
TRect TCustomSampler::SampleBoundsRect() { return TRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX); }

// ---- Interpolation

uint8_t GammaLUT[256];

void BuildGammaLUT(float gamma) {
  for (int i = 0; i < 256; ++i)
    GammaLUT[i] = static_cast<uint8_t>(std::nearbyint(255.0 * std::pow(i / 255.0, static_cast<double>(gamma))));
}

TColor32 Mix4PixelsPlain(uint32_t wx, uint32_t wy, const TColor32* p1, const TColor32* p2) {
  if (wx > 255) wx = 255;
  if (wy > 255) wy = 255;
  TColor32 top = CombinePixel(p1[0], p1[1], wx);
  TColor32 bottom = CombinePixel(p2[0], p2[1], wx);
  return CombinePixel(top, bottom, wy);
}

TColor32 Mix4PixelsSSE2(uint32_t wx, uint32_t wy, const TColor32* p1, const TColor32* p2) {
  if (wx > 255) wx = 255;
  if (wy > 255) wy = 255;
  // Top and bottom side by side in one register, mixed as the plain combine.
  __m128i left = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(p1[0])),
                                                      _mm_cvtsi32_si128(static_cast<int>(p2[0]))),
                                   _mm_setzero_si128());
  __m128i right = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(p1[1])),
                                                       _mm_cvtsi32_si128(static_cast<int>(p2[1]))),
                                    _mm_setzero_si128());
  __m128i tb;
  if (wx == 0) {
    tb = right;
  } else if (wx == 255) {
    tb = left;
  } else {
    tb = MixLanes(left, right, _mm_set1_epi16(static_cast<short>(wx)));
  }
  __m128i packed = _mm_packus_epi16(tb, tb);
  TColor32 top = static_cast<TColor32>(_mm_cvtsi128_si32(packed));
  TColor32 bottom = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 4)));
  return CombinePixel(top, bottom, wy);
}

TMix4Pixels Mix4Pixels = Mix4PixelsPlain;

namespace {
HGDIOBJ SharedFont = nullptr;

const bool Bitmap32UnitReady = [] {
  Mix4Pixels = CPUHasFeature(cfSSE2) ? Mix4PixelsSSE2 : Mix4PixelsPlain;
  BuildGammaLUT(0.7f);
  return true;
}();
}  // namespace

// ---- TBitmap32

TBitmap32::TBitmap32() {
  FBitmapInfo.bmiHeader.biSize = 40;
  FBitmapInfo.bmiHeader.biPlanes = 1;
  FBitmapInfo.bmiHeader.biBitCount = 32;
  FBitmapInfo.bmiHeader.biCompression = BI_RGB;
  FFont = std::make_unique<TFont>();
  FFont->OnChange = [this](TObject*) { ReleaseFont(); };
  FResampler = std::make_unique<TNearestResampler>(this);
}

TBitmap32::~TBitmap32() {
  // Silent while the update count is up anyway; measuring would still send areas.
  OnChange = nullptr;
  OnAreaChanged = nullptr;
  BeginUpdate();
  Lock();
  try {
    FreeCanvas();
    SetSize(0, 0);
  } catch (...) {
  }
  FResampler.reset();
  FFont.reset();
  Unlock();
}

void TBitmap32::Changed() {
  if ((FUpdateCount == 0 || MeasureOnly) && OnAreaChanged) OnAreaChanged(this, BoundsRect(), AREA_FLAG_RECT);
  if (!MeasureOnly) TCustomMap::Changed();
}

void TBitmap32::Changed(const TRect& area, uint32_t info) {
  if ((FUpdateCount == 0 || MeasureOnly) && OnAreaChanged) OnAreaChanged(this, area, info);
  if (!MeasureOnly) TCustomMap::Changed();
}

void TBitmap32::ReleaseFont() {
  if (FSelectedFontHandle) {
    if (FDC) SelectObject(FDC, SharedFont ? SharedFont : GetStockObject(SYSTEM_FONT));
    FSelectedFontHandle = nullptr;
  }
}

void TBitmap32::FreeCanvas() {
  if (FCanvas) {
    FCanvas->SetHandle(nullptr);
    FCanvas.reset();
  }
}

namespace {

// The largest storage a bitmap gets: its bytes fit a 32-bit signed count,
// so every Width x Height x 4 the library computes in int stays exact.
bool SizeFits(int width, int height) {
  return static_cast<int64_t>(width) * height <= INT64_C(0x7FFFFFFF) / 4;
}

}  // namespace

void TBitmap32::ChangeSize(int& width, int& height, int newWidth, int newHeight) {
  struct Finally {
    TBitmap32* self;
    ~Finally() { self->HandleChanged(); }
  } finally{this};
  ReleaseFont();
  FreeCanvas();
  if (FDC) DeleteDC(FDC);
  FDC = nullptr;
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
  FBits = nullptr;
  width = 0;
  height = 0;
  if (newWidth > 0 && newHeight > 0) {
    void* bits = nullptr;
    if (SizeFits(newWidth, newHeight)) {
      FBitmapInfo.bmiHeader.biWidth = newWidth;
      FBitmapInfo.bmiHeader.biHeight = -newHeight;
      FHandle = CreateDIBSection(nullptr, &FBitmapInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    FBits = static_cast<TColor32*>(bits);
    if (!FBits) {
      if (FHandle) DeleteObject(FHandle);
      FHandle = nullptr;
      throw Exception("Can't allocate the DIB handle");
    }
    FDC = CreateCompatibleDC(nullptr);
    if (!FDC) {
      DeleteObject(FHandle);
      FHandle = nullptr;
      FBits = nullptr;
      throw Exception("Can't create compatible DC");
    }
    if (!SelectObject(FDC, FHandle)) {
      DeleteDC(FDC);
      DeleteObject(FHandle);
      FDC = nullptr;
      FHandle = nullptr;
      FBits = nullptr;
      throw Exception("Can't select an object into DC");
    }
  }
  width = newWidth;
  height = newHeight;
  ResetClipRect();
}

void TBitmap32::HandleChanged() {
  if (FCanvas) FCanvas->SetHandle(FDC);
  if (OnHandleChanged) OnHandleChanged(this);
}

TCanvas& TBitmap32::Canvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TCanvas>();
    FCanvas->SetHandle(FDC);
    FCanvas->OnChange = [this](TObject*) { Changed(); };
  }
  return *FCanvas;
}

void TBitmap32::SetClipRect(const TRect& value) {
  IntersectRect(FClipRect, value, BoundsRect());
  FFixedClipRect = BuildFixedRect(FClipRect);
  auto s8 = [](LONG v) { return static_cast<LONG>(static_cast<uint32_t>(v) << 8); };
  FClipRect256 = TRect(s8(FClipRect.left), s8(FClipRect.top), s8(FClipRect.right), s8(FClipRect.bottom));
  FClipping = !EqualRect(FClipRect, BoundsRect());
}

void TBitmap32::SetDrawMode(TDrawMode value) {
  if (value == FDrawMode) return;
  FDrawMode = value;
  Changed();
}
void TBitmap32::SetCombineMode(TCombineMode value) {
  if (value == FCombineMode) return;
  FCombineMode = value;
  Changed();
}
void TBitmap32::SetWrapMode(TWrapMode value) {
  if (value == FWrapMode) return;
  FWrapMode = value;
  Changed();
}
void TBitmap32::SetMasterAlpha(uint32_t value) {
  if (value == FMasterAlpha) return;
  FMasterAlpha = value;
  Changed();
}

void TBitmap32::Draw(int dstX, int dstY, TBitmap32* src) {
  if (!src) return;
  CopyBlockArea(this, dstX, dstY, FClipRect, src, src->BoundsRect(), src->DrawMode(), src->OnPixelCombine);
}

void TBitmap32::Draw(const TRect& dstRect, const TRect& srcRect, TBitmap32* src) {
  if (!src) return;
  CopyStretchedArea(this, dstRect, FClipRect, src, srcRect, src->Resampler(), src->DrawMode(), src->OnPixelCombine);
}

void TBitmap32::DrawTo(HDC dc, int x, int y) {
  if (Empty()) return;
  StretchDIBits(dc, x, y, FWidth, FHeight, 0, 0, FWidth, FHeight, FBits, &FBitmapInfo, DIB_RGB_COLORS, SRCCOPY);
}

void TBitmap32::SetAlpha(uint8_t alpha) {
  if (!MeasureOnly && FBits) {
    auto* p = reinterpret_cast<uint8_t*>(FBits) + 3;
    int64_t n = static_cast<int64_t>(FWidth) * FHeight;
    for (int64_t i = 0; i < n; ++i) p[i * 4] = alpha;
  }
  Changed();
}

void TBitmap32::Clear(TColor32 fillColor) {
  if (Empty()) return;
  if (!MeasureOnly) {
    if (FClipping) {
      FillRect(FClipRect.left, FClipRect.top, FClipRect.right, FClipRect.bottom, fillColor);
    } else {
      // Rows are contiguous: fill row by row so no count passes an int.
      for (int y = 0; y < FHeight; ++y) FillDwords(ScanLine(y), FWidth, fillColor);
    }
  }
  Changed();
}

void TBitmap32::FillRect(int x1, int y1, int x2, int y2, TColor32 value) {
  for (int y = y1; y < y2; ++y) FillDwords(PixelAddress(x1, y), x2 - x1, value);
  Changed(BuildRect(x1, y1, x2, y2), AREA_FLAG_RECT);
}

void TBitmap32::CopySizeTo(TBitmap32* dst) const {
  dst->SetSize(FWidth, FHeight);
  if (Empty() || dst->Empty()) return;
  for (int y = 0; y < FHeight; ++y) MoveDwords(ScanLine(y), dst->ScanLine(y), FWidth);
}

void TBitmap32::CopySettingsTo(TBitmap32* dst) const {
  dst->SetDrawMode(FDrawMode);
  dst->SetCombineMode(FCombineMode);
  dst->SetWrapMode(FWrapMode);
  dst->SetMasterAlpha(FMasterAlpha);
  dst->OuterColor = OuterColor;
  dst->SetResamplerClassName(ResamplerClassName());
  if (dst->Resampler() && FResampler) dst->Resampler()->Assign(FResampler.get());
  dst->Font().Assign(FFont.get());
}

void TBitmap32::SetResampler(std::unique_ptr<TCustomResampler> resampler) {
  if (!resampler || resampler.get() == FResampler.get()) return;
  FResampler = std::move(resampler);
  Changed();
}

std::string TBitmap32::ResamplerClassName() const { return FResampler ? FResampler->ClassName() : std::string(); }

void TBitmap32::SetResamplerClassName(const std::string& name) {
  if (name.empty() || name == ResamplerClassName()) return;
  if (auto ref = ResamplerList().Find(name)) SetResampler(ref->Create(this));
}

void TBitmap32::DrawGraphic(TGraphic* graphic) {
  TCanvas canvas;
  canvas.SetHandle(FDC);
  graphic->Draw(canvas, TRect(0, 0, FWidth, FHeight));
  canvas.SetHandle(nullptr);
}

void TBitmap32::AssignFromBitmap(TBitmap* src) {
  SetSize(src->Width(), src->Height());
  if (Empty()) return;
  TCanvas& sc = src->Canvas();
  sc.Lock();
  try {
    BitBlt(FDC, 0, 0, FWidth, FHeight, sc.Handle(), 0, 0, SRCCOPY);
  } catch (...) {
    sc.Unlock();
    throw;
  }
  sc.Unlock();
  if (src->PixelFormat() != pf32bit) ResetAlpha();
  if (src->Transparent()) {
    TColor32 key = Color32(src->TransparentColor()) & 0x00FFFFFF;
    int64_t n = static_cast<int64_t>(FWidth) * FHeight;
    for (int64_t i = 0; i < n; ++i)
      if ((FBits[i] & 0x00FFFFFF) == key) FBits[i] &= 0x00FFFFFF;
  }
  FFont->Assign(&sc.Font());
}

void TBitmap32::Assign(const TPersistent* source) {
  BeginUpdate();
  struct Finally {
    TBitmap32* self;
    ~Finally() noexcept(false) {
      self->EndUpdate();
      self->Changed();
    }
  } finally{this};
  auto* src = const_cast<TPersistent*>(source);
  if (!src) {
    SetSize(0, 0);
  } else if (auto* b32 = dynamic_cast<TBitmap32*>(src)) {
    if (b32 == this) return;
    b32->CopySizeTo(this);
    b32->CopySettingsTo(this);
  } else if (auto* bmp = dynamic_cast<TBitmap*>(src)) {
    AssignFromBitmap(bmp);
  } else if (auto* pic = dynamic_cast<TPicture*>(src)) {
    TGraphic* g = pic->Graphic();
    if (auto* pb = dynamic_cast<TBitmap*>(g)) {
      AssignFromBitmap(pb);
    } else if (dynamic_cast<TIcon*>(g)) {
      // Drawn over white and over red: where the two agree the pixel is the
      // icon's, where they differ it is see-through.
      SetSize(pic->Width(), pic->Height());
      if (!Empty()) {
        Clear(0xFFFFFFFF);
        DrawGraphic(g);
        TBitmap32 other;
        other.SetSize(pic->Width(), pic->Height());
        other.Clear(0xFFFF0000);
        other.DrawGraphic(g);
        int64_t n = static_cast<int64_t>(FWidth) * FHeight;
        for (int64_t i = 0; i < n; ++i) {
          if ((FBits[i] & 0x00FFFFFF) == (other.Bits()[i] & 0x00FFFFFF))
            FBits[i] |= 0xFF000000u;
          else
            FBits[i] &= 0x00FFFFFF;
        }
      }
    } else if (g) {
      SetSize(pic->Width(), pic->Height());
      if (!Empty()) {
        DrawGraphic(g);
        ResetAlpha();
      }
    } else {
      SetSize(0, 0);
    }
  } else if (auto* graphic = dynamic_cast<TGraphic*>(src)) {
    SetSize(graphic->Width(), graphic->Height());
    if (!Empty()) {
      DrawGraphic(graphic);
      ResetAlpha();
    }
  } else {
    TCustomMap::Assign(source);
  }
}

void TBitmap32::AssignToBitmap(TBitmap* bmp) const {
  bmp->SetHandleType(bmDIB);
  bmp->SetPixelFormat(pf32bit);
  bmp->Canvas().Font().Assign(FFont.get());
  bmp->SetSize(FWidth, FHeight);
  if (Empty() || bmp->Empty()) return;
  // Row by row, so the alpha bytes arrive as they are.
  for (int y = 0; y < FHeight; ++y) std::memcpy(bmp->ScanLine(y), ScanLine(y), static_cast<size_t>(FWidth) * 4);
  bmp->SetModified(true);
}

void TBitmap32::AssignTo(TPersistent* dest) const {
  if (auto* pic = dynamic_cast<TPicture*>(dest))
    AssignToBitmap(&pic->Bitmap());
  else if (auto* bmp = dynamic_cast<TBitmap*>(dest))
    AssignToBitmap(bmp);
  else
    TCustomMap::AssignTo(dest);
}

bool TBitmap32::Equal(const TBitmap32* other) const {
  if (!other) return false;
  if (Empty() || other->Empty()) return Empty() && other->Empty();
  if (typeid(*this) != typeid(*other)) return false;
  if (FWidth != other->FWidth || FHeight != other->FHeight) return false;
  return std::memcmp(FBits, other->FBits, static_cast<size_t>(FWidth) * FHeight * 4) == 0;
}

void TBitmap32::WriteData(TStream& stream) const {
  int32_t w = FWidth, h = FHeight;
  stream.WriteBuffer(&w, 4);
  stream.WriteBuffer(&h, 4);
  if (FBits) stream.WriteBuffer(FBits, static_cast<int64_t>(FWidth) * FHeight * 4);
}

void TBitmap32::ReadData(TStream& stream) {
  struct Finally {
    TBitmap32* self;
    ~Finally() noexcept(false) { self->Changed(); }
  } finally{this};
  int32_t w = 0, h = 0;
  stream.ReadBuffer(&w, 4);
  stream.ReadBuffer(&h, 4);
  // A damaged size is refused before storage is made for it.  The pixel
  // count is compared, not its bytes: near 2^31 x 2^31 those pass 63 bits.
  const int64_t pixels = static_cast<int64_t>(std::max(w, 0)) * std::max(h, 0);
  if (pixels > (stream.Size() - stream.Position()) / 4) throw EReadError("Stream read error");
  SetSize(w, h);
  if (FBits) stream.ReadBuffer(FBits, pixels * 4);
}

// ---- Pixel reads

TColor32 TBitmap32::GetPixelClipped(int x, int y) const {
  if (x >= FClipRect.left && x < FClipRect.right && y >= FClipRect.top && y < FClipRect.bottom) return GetPixel(x, y);
  return OuterColor;
}

TColor32 TBitmap32::GetPixelWrapped(int x, int y) const {
  // An empty clip has nothing to wrap into.
  if (FClipRect.IsEmpty()) return OuterColor;
  TWrapProc f = WRAP_PROCS[FWrapMode];
  return GetPixel(f(x, FClipRect.left, FClipRect.right - 1), f(y, FClipRect.top, FClipRect.bottom - 1));
}

TColor32 TBitmap32::GetPixel256(int x, int y) const {
  uint32_t wx = GammaLUT[(x & 255) ^ 255];
  uint32_t wy = GammaLUT[(y & 255) ^ 255];
  const TColor32* p1 = PixelAddress(x >> 8, y >> 8);
  return Mix4Pixels(wx, wy, p1, p1 + FWidth);
}

TColor32 TBitmap32::GetPixel256Clipped(int x, int y) const {
  if (x < 0 || y < 0) return OuterColor;
  int64_t xm = static_cast<int64_t>(FWidth - 1) * 256;
  int64_t ym = static_cast<int64_t>(FHeight - 1) * 256;
  if (FWidth <= 0 || FHeight <= 0) return OuterColor;
  if (x < xm && y < ym) return GetPixel256(x, y);
  if (x == xm && y <= ym) return GetPixel(FWidth - 1, y >> 8);
  if (x <= xm && y == ym) return GetPixel(x >> 8, FHeight - 1);
  return OuterColor;
}

namespace {
inline int To256(TFixed v) { return static_cast<int>((static_cast<int64_t>(v) + 127) >> 8); }
}  // namespace

TColor32 TBitmap32::GetPixelFixed(TFixed x, TFixed y) const {
  TColor32 c = GetPixel256(To256(x), To256(y));
  EndMMXBlock();
  return c;
}

TColor32 TBitmap32::GetPixelFixedClipped(TFixed x, TFixed y) const {
  TColor32 c = GetPixel256Clipped(To256(x), To256(y));
  EndMMXBlock();
  return c;
}

TColor32 TBitmap32::GetPixelFixedWrapped(TFixed x, TFixed y) const {
  if (FClipRect.IsEmpty()) return OuterColor;
  TWrapProc f = WRAP_PROCS[FWrapMode];
  int l = FClipRect.left, r = FClipRect.right - 1, t = FClipRect.top, b = FClipRect.bottom - 1;
  int x1 = f(x >> 16, l, r), x2 = f((x >> 16) + 1, l, r);
  int y1 = f(y >> 16, t, b), y2 = f((y >> 16) + 1, t, b);
  uint32_t wx = (static_cast<uint32_t>(x) >> 8) & 255;
  uint32_t wy = (static_cast<uint32_t>(y) >> 8) & 255;
  TColor32 upper = CombinePixel(GetPixel(x2, y1), GetPixel(x1, y1), wx);
  TColor32 lower = CombinePixel(GetPixel(x2, y2), GetPixel(x1, y2), wx);
  TColor32 c = CombinePixel(lower, upper, wy);
  EndMMXBlock();
  return c;
}
