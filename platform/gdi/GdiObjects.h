// Internal model behind the GDI handles: objects, device contexts and views
// of pixel memory in any of the bitmap formats.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/HandleTable.h"
#include "platform/gdi/Gdi.h"

namespace hkgdi {

enum class TObjKind { Pen, Brush, Font, Bitmap, Palette, Region };

struct TGdiObject {
  explicit TGdiObject(TObjKind kind) : Kind(kind) {}
  virtual ~TGdiObject() = default;
  TObjKind Kind;
  bool Stock = false;
  std::atomic<int> SelectCount{0};  // DCs (and saved DC states) holding it
  // DeleteObject of a selected pen, brush, font or palette: the object stays
  // usable by the DCs holding it and goes when the last one lets it go.
  std::atomic<bool> PendingDelete{false};
  HGDIOBJ Handle = nullptr;
};

// Counts a DC's hold on an object; the last release of a pending object deletes it.
void Retain(TGdiObject* object);
void Release(TGdiObject* object);

struct TPenObj : TGdiObject {
  TPenObj() : TGdiObject(TObjKind::Pen) {}
  LOGPEN Log{};
};

struct TBrushObj : TGdiObject {
  TBrushObj() : TGdiObject(TObjKind::Brush) {}
  LOGBRUSH Log{};
};

struct TFontObj : TGdiObject {
  TFontObj() : TGdiObject(TObjKind::Font) {}
  LOGFONTW Log{};
};

struct TPaletteObj : TGdiObject {
  TPaletteObj() : TGdiObject(TObjKind::Palette) {}
  std::vector<PALETTEENTRY> Entries;
};

struct TRegionObj : TGdiObject {
  TRegionObj() : TGdiObject(TObjKind::Region) {}
  RECT Box{};  // rectangle regions; empty when left >= right or top >= bottom
};

struct TBitmapObj : TGdiObject {
  TBitmapObj() : TGdiObject(TObjKind::Bitmap) {}
  int Width = 0;
  int Height = 0;
  int Bpp = 32;
  bool TopDown = true;
  bool IsDIB = false;  // DIB section: bits pointer and colour table visible
  int64_t Stride = 0;  // bytes per row (DWORD-aligned for DIBs, WORD for monochrome DDBs)
  std::unique_ptr<uint8_t[]> Storage;
  std::vector<RGBQUAD> Colors;  // for 1, 4 and 8 bits
  HDC SelectedIn = nullptr;
  uint8_t* Bits() { return Storage.get(); }
};

// A view of pixel rows in one format. Row y is at Top + y * Stride (the stride
// is negative for bottom-up memory).
struct TPixelView {
  uint8_t* Top = nullptr;
  int64_t Stride = 0;
  int Width = 0;
  int Height = 0;
  int Bpp = 32;
  const RGBQUAD* Colors = nullptr;
  int NumColors = 0;
  bool MonoDevice = false;  // monochrome DDB: converts by text and background colours
  uint8_t* Row(int y) const { return Top + static_cast<int64_t>(y) * Stride; }
};

enum class TDCKind { Memory, Surface, Screen };

struct TDCState {
  std::shared_ptr<TGdiObject> Pen, Brush, Font, Palette;
  HGDIOBJ PenHandle = nullptr, BrushHandle = nullptr, FontHandle = nullptr, PaletteHandle = nullptr;
  COLORREF TextColor = 0x000000;
  COLORREF BkColor = 0xFFFFFF;
  int BkMode = OPAQUE;
  int StretchMode = BLACKONWHITE;
  POINT Pos{0, 0};
  POINT Viewport{0, 0};
  POINT BrushOrg{0, 0};
  bool HasClip = false;
  RECT Clip{};  // device coordinates (before the surface origin)
};

struct TDC {
  TDCKind Kind = TDCKind::Memory;
  PSurface Surface;
  int OriginX = 0, OriginY = 0;  // of device (0, 0) in the surface
  RECT SurfaceClip{};            // in surface coordinates
  std::vector<RECT> Excluded;    // surface rectangles drawing must not change
  std::shared_ptr<TBitmapObj> Bitmap;
  HGDIOBJ BitmapHandle = nullptr;
  TDCState State;
  std::vector<TDCState> Saved;
};

// What a drawing call works on: pixels, where logical (0, 0) is, and the clip
// in pixel coordinates of the view. Holds the surface lock while alive.
struct TTarget {
  TPixelView View;
  int OffsetX = 0, OffsetY = 0;  // logical + offset = pixel
  RECT Clip{};                   // pixel coordinates, inside the view
  std::unique_lock<std::mutex> Lock;
  // Pixels of the DC's excluded rectangles, put back when the call ends
  // (before the lock goes).
  struct TKept {
    RECT Rect;
    std::vector<uint32_t> Pixels;
  };
  std::vector<TKept> Kept;
  TTarget() = default;
  TTarget(const TTarget&) = delete;
  TTarget& operator=(const TTarget&) = delete;
  ~TTarget();
  bool Empty() const { return Clip.left >= Clip.right || Clip.top >= Clip.bottom; }
};

using TObjectTable = HandleTable<HGDIOBJ, TGdiObject>;
using TDCTable = HandleTable<HDC, TDC>;
TObjectTable& Objects();
TDCTable& DCs();

std::shared_ptr<TDC> GetDC(HDC dc);
template <typename T>
std::shared_ptr<T> GetObj(HGDIOBJ handle, TObjKind kind) {
  auto o = Objects().Get(handle);
  if (!o || o->Kind != kind) return nullptr;
  return std::static_pointer_cast<T>(o);
}
HGDIOBJ AddObject(std::shared_ptr<TGdiObject> object);

// The pixels of a DC; `lock` false for a second view on a surface already
// locked; `write` false for a view that is only read.
bool MakeTarget(TDC& dc, TTarget& target, bool lock = true, bool write = true);
TPixelView BitmapView(TBitmapObj& bitmap);
bool SameMemory(const TPixelView& a, const TPixelView& b);

// ---- Rectangles ----
inline int SatAdd(int a, int b) {
  return static_cast<int>(std::clamp<int64_t>(int64_t(a) + b, INT32_MIN, INT32_MAX));
}
inline bool RectEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }
inline RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (RectEmpty(r)) r = RECT{0, 0, 0, 0};
  return r;
}
inline RECT Normalized(RECT r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

// ---- Pixels ----
// 0x00RRGGBB from a COLORREF 0x00BBGGRR (palette-relative flags resolved by the DC).
inline uint32_t RgbOf(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
inline COLORREF ColorRefOf(uint32_t rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }
COLORREF ResolveColor(const TDC& dc, COLORREF color);

uint32_t ReadRaw(const uint8_t* row, int x, int bpp);
void WriteRaw(uint8_t* row, int x, int bpp, uint32_t value);
// Colour 0x00RRGGBB of a raw value of the view's format.
uint32_t RgbOfRaw(const TPixelView& view, uint32_t raw);
// The index of the table entry nearest a colour.
int NearestIndex(const RGBQUAD* colors, int count, uint32_t rgb);
// Raw value of the view's format for a colour (monochrome devices: white is 1,
// other colours by nearness, as brushes and pens map).
uint32_t RawOfRgb(const TPixelView& view, uint32_t rgb);
inline uint32_t RawMask(int bpp) { return bpp >= 32 ? 0xFFFFFFFFu : (bpp == 24 ? 0xFFFFFFu : ((1u << bpp) - 1)); }

// Fills [x0, x1) of row y (pixel coordinates, already clipped) with a raw value.
void FillSpan(const TPixelView& view, int y, int x0, int x1, uint32_t raw);
void XorSpan(const TPixelView& view, int y, int x0, int x1, uint32_t raw);
// Blends a colour over pixel (x, y) with coverage 0..255; the alpha byte becomes 0.
void BlendPixel(const TPixelView& view, int x, int y, uint32_t rgb, uint32_t raw, int coverage);

// Evaluates a ternary raster operation bitwise on pattern, source and destination.
inline uint32_t Rop3(uint8_t rop, uint32_t p, uint32_t s, uint32_t d) {
  switch (rop) {
    case 0xCC: return s;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x66: return s ^ d;
    case 0x33: return ~s;
    case 0xF0: return p;
    case 0xAA: return d;
    case 0x55: return ~d;
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFFFFu;
    case 0x44: return s & ~d;
    case 0x11: return ~(s | d);
    case 0xC0: return p & s;
    case 0xBB: return ~s | d;
    case 0x5A: return p ^ d;
    default: break;
  }
  uint32_t r = 0;
  for (int i = 0; i < 8; ++i) {
    if (!(rop & (1 << i))) continue;
    r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r;
}
inline bool RopUsesSource(uint8_t rop) { return ((rop >> 2) & 0x33) != (rop & 0x33); }
inline bool RopUsesPattern(uint8_t rop) { return ((rop >> 4) & 0x0F) != (rop & 0x0F); }

// Makes a bitmap object; nullptr when the size is bad or memory is short.
std::shared_ptr<TBitmapObj> NewBitmap(int width, int height, int bpp, bool topDown, bool isDIB);
// A bitmap of the kind CreateCompatibleBitmap makes for this DC.
std::shared_ptr<TBitmapObj> NewCompatibleBitmap(TDC* dc, int width, int height);
// The colour table a BITMAPINFO carries (DIB_PAL_COLORS through the DC's palette).
std::vector<RGBQUAD> ColorTableOf(const BITMAPINFO* info, UINT usage, const TDC* dc);
// A view of DIB bits described by a BITMAPINFO; false when the format is not supported.
bool DIBView(const BITMAPINFO* info, const void* bits, const std::vector<RGBQUAD>& colors, TPixelView& view);
int64_t DIBStride(int width, int bpp);

// Source-to-destination conversion of one pixel, by the platform's rules.
struct TConverter {
  const TPixelView* Src;
  const TPixelView* Dst;
  uint32_t SrcBkRgb;    // colour source to monochrome destination: this colour becomes 1
  uint32_t DstTextRaw;  // monochrome source to colour destination: 0 bits
  uint32_t DstBkRaw;    // 1 bits
  uint32_t Lut[256];    // palette sources: raw destination values by index
  bool UseLut = false;
  bool Direct = false;  // same raw format: no conversion
  uint32_t Cache[2] = {0xFFFFFFFFu, 0};  // last colour and its nearest index
  void Setup(const TPixelView& src, const TPixelView& dst, const TDC* srcDC, const TDC* dstDC);
  uint32_t operator()(uint32_t srcRaw);
};

// Stretched or plain ROP transfer between two views. Rectangles in pixel
// coordinates of each view; negative sizes mirror. Clipped to dstClip and to
// the source's bounds.
void TransferPixels(const TPixelView& dst, const RECT& dstClip, int dx, int dy, int dw, int dh,
                    const TPixelView* src, int sx, int sy, int sw, int sh, uint8_t rop, uint32_t patternRaw,
                    TConverter* convert, const TPixelView* mask = nullptr, int mx = 0, int my = 0,
                    uint8_t backRop = 0);

}  // namespace hkgdi
