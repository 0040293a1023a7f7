// TBitmap, its canvas, and TIcon.
#include <algorithm>
#include <cstring>

#include "classlib/Graphics.h"
#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "platform/Icons.h"

namespace {

int BitsOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

TPixelFormat FormatOf(int bits, DWORD compression, const DWORD* masks) {
  switch (bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return compression == BI_BITFIELDS && masks && masks[1] == 0x07E0 ? pf16bit : pf15bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
  }
}

int64_t StrideOf(int width, int bits) { return ((static_cast<int64_t>(width) * bits + 31) / 32) * 4; }

// The colours a new palette bitmap starts with.
std::vector<RGBQUAD> DefaultColors(int bits) {
  std::vector<RGBQUAD> c;
  if (bits == 1) {
    c = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  } else if (bits == 4) {
    static const COLORREF vga[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                     0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF,
                                     0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    for (COLORREF v : vga) c.push_back({GetBValue(v), GetGValue(v), GetRValue(v), 0});
  } else if (bits == 8) {
    // A 6 x 6 x 6 cube and a grey ramp.
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          c.push_back({static_cast<BYTE>(b * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(r * 51), 0});
    for (int i = 0; c.size() < 256; ++i) {
      BYTE v = static_cast<BYTE>(i * 255 / 39);
      c.push_back({v, v, v, 0});
    }
  }
  return c;
}

struct InfoBuffer {
  // Header, three masks or 256 colours.
  alignas(BITMAPINFO) uint8_t bytes[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)]{};
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(bytes); }
  RGBQUAD* colors() { return reinterpret_cast<RGBQUAD*>(bytes + sizeof(BITMAPINFOHEADER)); }
  DWORD* masks() { return reinterpret_cast<DWORD*>(bytes + sizeof(BITMAPINFOHEADER)); }
};

void CheckDims(int64_t width, int64_t height, int bits) {
  // Refuse what cannot be made rather than fail later: 1 GiB of pixels at most.
  if (width < 0 || height < 0 || width > 65536 || height > 65536 || StrideOf(static_cast<int>(width), bits) * height > (1ll << 30))
    throw EOutOfResources("Out of system resources");
}

}  // namespace

// ---- canvas of a bitmap

TBitmapCanvas::~TBitmapCanvas() { FreeContext(); }

void TBitmapCanvas::CreateHandle() {
  if (FDC) return;
  FDC = CreateCompatibleDC(nullptr);
  if (!FDC) throw EOutOfResources("Out of system resources");
  if (FBitmap->FHandle) FOldBitmap = SelectObject(FDC, reinterpret_cast<HGDIOBJ>(FBitmap->FHandle));
  if (FBitmap->FPalette) SelectPalette(FDC, FBitmap->FPalette, TRUE);
  SetHandle(FDC);
}

void TBitmapCanvas::FreeContext() {
  if (!FDC) return;
  HDC dc = FDC;
  DeselectHandles();
  if (FOldBitmap) SelectObject(dc, FOldBitmap);
  FOldBitmap = nullptr;
  DeleteDC(dc);
  FDC = nullptr;
}

// ---- TBitmap

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  FCanvas.reset();
  FreeHandle();
  if (FPalette) DeleteObject(reinterpret_cast<HGDIOBJ>(FPalette));
}

TBitmapCanvas& TBitmap::Canvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TBitmapCanvas>(this);
    FCanvas->OnChange = [this](TObject*) { Changed(this); };
  }
  return *FCanvas;
}

void TBitmap::FreeHandle() {
  if (FCanvas) FCanvas->FreeContext();
  if (FHandle) DeleteObject(reinterpret_cast<HGDIOBJ>(FHandle));
  FHandle = nullptr;
  FBits = nullptr;
}

int TBitmap::BitsPerPixel() const { return BitsOf(FPixelFormat); }

int64_t TBitmap::RowBytes() const { return StrideOf(FWidth, BitsPerPixel()); }

void TBitmap::NewImage(int width, int height, TPixelFormat format, const RGBQUAD* colors, int colorCount) {
  int bits = BitsOf(format);
  CheckDims(width, height, bits);
  HBITMAP bmp = nullptr;
  void* bits_ = nullptr;
  if (width > 0 && height > 0) {
    InfoBuffer ib;
    BITMAPINFOHEADER& h = ib.info()->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;  // bottom-up, as the platform's bitmaps are by default
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bits);
    h.biCompression = BI_RGB;
    if (format == pf16bit) {
      h.biCompression = BI_BITFIELDS;
      ib.masks()[0] = 0xF800;
      ib.masks()[1] = 0x07E0;
      ib.masks()[2] = 0x001F;
    } else if (bits <= 8) {
      std::vector<RGBQUAD> def;
      if (!colors || colorCount <= 0) {
        def = DefaultColors(bits);
        colors = def.data();
        colorCount = static_cast<int>(def.size());
      }
      colorCount = std::min(colorCount, 1 << bits);
      std::memcpy(ib.colors(), colors, static_cast<size_t>(colorCount) * sizeof(RGBQUAD));
      h.biClrUsed = static_cast<DWORD>(colorCount);
    }
    bmp = CreateDIBSection(nullptr, ib.info(), DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (!bmp || !bits_) {
      if (bmp) DeleteObject(reinterpret_cast<HGDIOBJ>(bmp));
      throw EOutOfResources("Out of system resources");
    }
    std::memset(bits_, 0, static_cast<size_t>(StrideOf(width, bits) * height));
    // What fits of the old image comes along (the canvas lets go of it first:
    // a bitmap is in one DC at a time).
    if (FCanvas) FCanvas->FreeContext();
    if (FHandle) {
      HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
      HGDIOBJ o1 = SelectObject(src, reinterpret_cast<HGDIOBJ>(FHandle));
      HGDIOBJ o2 = SelectObject(dst, reinterpret_cast<HGDIOBJ>(bmp));
      BitBlt(dst, 0, 0, std::min(width, FWidth), std::min(height, FHeight), src, 0, 0, SRCCOPY);
      SelectObject(src, o1);
      SelectObject(dst, o2);
      DeleteDC(src);
      DeleteDC(dst);
    }
  }
  FreeHandle();
  FHandle = bmp;
  FBits = bits_;
  FWidth = bmp ? width : 0;
  FHeight = bmp ? height : 0;
  FPixelFormat = format == pfDevice ? pfDevice : format;
}

void TBitmap::SetSize(int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (width == FWidth && height == FHeight && (FHandle || width == 0 || height == 0)) return;
  if (width == 0 || height == 0) {
    FreeHandle();
    FWidth = width;
    FHeight = height;
  } else {
    std::vector<RGBQUAD> colors;
    if (FHandle && BitsPerPixel() <= 8) {
      colors.resize(256);
      HDC dc = Canvas().Handle();
      colors.resize(GetDIBColorTable(dc, 0, 256, colors.data()));
    }
    NewImage(width, height, FPixelFormat, colors.data(), static_cast<int>(colors.size()));
  }
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pfCustom) throw EInvalidGraphic("Invalid pixel format");
  if (format == FPixelFormat) return;
  if (!FHandle) {
    FPixelFormat = format;
    if (FWidth > 0 && FHeight > 0) NewImage(FWidth, FHeight, format, nullptr, 0);
    return;
  }
  NewImage(FWidth, FHeight, format, nullptr, 0);
  Changed(this);
}

void* TBitmap::ScanLine(int row) {
  if (row < 0 || row >= FHeight || !FBits) throw EInvalidGraphicOperation("Scan line index out of range");
  GdiFlush();
  return static_cast<uint8_t*>(FBits) + RowBytes() * (FHeight - 1 - row);
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap == FHandle) return;
  FreeHandle();
  FWidth = FHeight = 0;
  if (!bitmap) {
    Changed(this);
    return;
  }
  DIBSECTION ds{};
  int n = GetObjectA(reinterpret_cast<HGDIOBJ>(bitmap), sizeof ds, &ds);
  if (n == 0) throw EInvalidGraphic("Invalid bitmap handle");
  if (n >= static_cast<int>(sizeof ds) && ds.dsBm.bmBits && ds.dsBmih.biHeight > 0) {
    FHandle = bitmap;
    FBits = ds.dsBm.bmBits;
    FWidth = ds.dsBm.bmWidth;
    FHeight = ds.dsBm.bmHeight;
    FPixelFormat = FormatOf(ds.dsBmih.biBitCount, ds.dsBmih.biCompression, ds.dsBitfields);
  } else {
    // A device bitmap or a top-down DIB: copy it into a bitmap of our own kind.
    FHandle = bitmap;
    FWidth = ds.dsBm.bmWidth;
    FHeight = ds.dsBm.bmHeight < 0 ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight;
    FPixelFormat = ds.dsBm.bmBitsPixel == 1 ? pf1bit : ds.dsBm.bmBitsPixel == 24 ? pf24bit : pf32bit;
    std::vector<RGBQUAD> colors;
    NewImage(FWidth, FHeight, FPixelFormat, nullptr, 0);
  }
  Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
  if (FCanvas) FCanvas->FreeContext();
  HBITMAP h = FHandle;
  FHandle = nullptr;
  FBits = nullptr;
  FWidth = FHeight = 0;
  return h;
}

void TBitmap::SetPalette(HPALETTE palette) {
  if (palette == FPalette) return;
  if (FPalette) DeleteObject(reinterpret_cast<HGDIOBJ>(FPalette));
  FPalette = palette;
  if (FPalette && FHandle && BitsPerPixel() <= 8) {
    PALETTEENTRY e[256];
    UINT n = GetPaletteEntries(FPalette, 0, 256, e);
    RGBQUAD q[256];
    for (UINT i = 0; i < n; ++i) q[i] = {e[i].peBlue, e[i].peGreen, e[i].peRed, 0};
    SetDIBColorTable(Canvas().Handle(), 0, n, q);
  }
  if (FCanvas) FCanvas->FreeContext();
  PaletteModified = true;
  Changed(this);
}

TColor TBitmap::TransparentColor() {
  if (FTransparentColor == clDefault || FTransparentMode == tmAuto) {
    if (Empty()) return clDefault;
    // The bottom-left pixel, as the class library takes it.
    return static_cast<TColor>(Canvas().Pixel(0, FHeight - 1)) & 0xFFFFFF;
  }
  return FTransparentColor;
}

void TBitmap::SetTransparentColor(TColor color) {
  if (color == FTransparentColor) return;
  FTransparentColor = color;
  FTransparentMode = color == clDefault ? tmAuto : tmFixed;
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == FTransparentMode) return;
  if (mode == tmAuto) FTransparentColor = clDefault;
  else if (FTransparentColor == clDefault) FTransparentColor = TransparentColor();
  FTransparentMode = mode;
  Changed(this);
}

void TBitmap::Assign(const TPersistent* source) {
  if (!source) {
    FreeHandle();
    FWidth = FHeight = 0;
    Changed(this);
    return;
  }
  if (auto* b = dynamic_cast<const TBitmap*>(source)) {
    if (b == this) return;
    auto* src = const_cast<TBitmap*>(b);
    FreeHandle();
    FWidth = FHeight = 0;
    std::vector<RGBQUAD> colors;
    if (src->FHandle && src->BitsPerPixel() <= 8) {
      colors.resize(256);
      colors.resize(GetDIBColorTable(src->Canvas().Handle(), 0, 256, colors.data()));
    }
    FPixelFormat = src->FPixelFormat;
    if (src->FHandle) {
      NewImage(src->FWidth, src->FHeight, src->FPixelFormat, colors.data(), static_cast<int>(colors.size()));
      std::memcpy(FBits, src->FBits, static_cast<size_t>(RowBytes() * FHeight));
    } else {
      FWidth = src->FWidth;
      FHeight = src->FHeight;
    }
    FTransparentColor = src->FTransparentColor;
    FTransparentMode = src->FTransparentMode;
    SetTransparent(src->Transparent());
    FHandleType = src->FHandleType;
    Changed(this);
    return;
  }
  if (auto* g = dynamic_cast<const TGraphic*>(source)) {
    // Pictures that know bitmaps assign themselves; others draw themselves.
    try {
      TPersistent::Assign(source);
      return;
    } catch (const EConvertError&) {
    }
    auto* gr = const_cast<TGraphic*>(g);
    SetSize(0, 0);
    if (FPixelFormat == pfDevice) FPixelFormat = pf32bit;
    SetSize(gr->Width(), gr->Height());
    if (!Empty()) {
      Canvas().Brush().SetColor(clWhite);
      Canvas().FillRect(Rect(0, 0, FWidth, FHeight));
      Canvas().Draw(0, 0, gr);
    }
    return;
  }
  TPersistent::Assign(source);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  HDC dest = canvas.Handle();
  HDC src = Canvas().Handle();
  if (FPalette) {
    SelectPalette(dest, FPalette, TRUE);
    RealizePalette(dest);
  }
  SetStretchBltMode(dest, COLORONCOLOR);
  int w = rect.Width(), h = rect.Height();
  if (!Transparent()) {
    StretchBlt(dest, rect.left, rect.top, w, h, src, 0, 0, FWidth, FHeight, canvas.CopyMode);
    return;
  }
  // A mask of the transparent colour: 1 where the picture lets through.
  HDC maskDC = CreateCompatibleDC(nullptr);
  HBITMAP mask = CreateBitmap(FWidth, FHeight, 1, 1, nullptr);
  HGDIOBJ oldMask = SelectObject(maskDC, reinterpret_cast<HGDIOBJ>(mask));
  COLORREF oldBk = SetBkColor(src, ColorToRGB(TransparentColor()));
  BitBlt(maskDC, 0, 0, FWidth, FHeight, src, 0, 0, SRCCOPY);
  SetBkColor(src, oldBk);
  COLORREF oldText = SetTextColor(dest, 0x000000);
  COLORREF oldDestBk = SetBkColor(dest, 0xFFFFFF);
  StretchBlt(dest, rect.left, rect.top, w, h, src, 0, 0, FWidth, FHeight, SRCINVERT);
  StretchBlt(dest, rect.left, rect.top, w, h, maskDC, 0, 0, FWidth, FHeight, SRCAND);
  StretchBlt(dest, rect.left, rect.top, w, h, src, 0, 0, FWidth, FHeight, SRCINVERT);
  SetTextColor(dest, oldText);
  SetBkColor(dest, oldDestBk);
  SelectObject(maskDC, oldMask);
  DeleteObject(reinterpret_cast<HGDIOBJ>(mask));
  DeleteDC(maskDC);
}

bool TBitmap::Equals(TGraphic* other) {
  auto* b = dynamic_cast<TBitmap*>(other);
  if (!b || typeid(*b) != typeid(*this)) return false;
  if (Empty() || b->Empty()) return Empty() && b->Empty();
  if (FWidth != b->FWidth || FHeight != b->FHeight || FPixelFormat != b->FPixelFormat) return false;
  return std::memcmp(FBits, b->FBits, static_cast<size_t>(RowBytes() * FHeight)) == 0;
}

void TBitmap::SaveToStream(TStream& stream) {
  int bits = BitsPerPixel();
  std::vector<RGBQUAD> colors;
  if (bits <= 8 && FHandle) {
    colors.resize(256);
    colors.resize(GetDIBColorTable(Canvas().Handle(), 0, 256, colors.data()));
  }
  DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
  size_t extra = FPixelFormat == pf16bit ? sizeof masks : colors.size() * sizeof(RGBQUAD);
  int64_t image = RowBytes() * FHeight;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = static_cast<DWORD>(sizeof fh + sizeof(BITMAPINFOHEADER) + extra);
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + image);
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = FWidth;
  h.biHeight = FHeight;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bits);
  h.biCompression = FPixelFormat == pf16bit ? BI_BITFIELDS : BI_RGB;
  h.biSizeImage = static_cast<DWORD>(image);
  h.biClrUsed = static_cast<DWORD>(colors.size());
  stream.WriteBuffer(&fh, sizeof fh);
  stream.WriteBuffer(&h, sizeof h);
  if (FPixelFormat == pf16bit) stream.WriteBuffer(masks, sizeof masks);
  else if (!colors.empty()) stream.WriteBuffer(colors.data(), static_cast<int64_t>(colors.size() * sizeof(RGBQUAD)));
  if (image > 0) {
    GdiFlush();
    stream.WriteBuffer(FBits, image);
  }
}

void TBitmap::LoadFromStream(TStream& stream) {
  auto invalid = []() { return EInvalidGraphic("Bitmap image is not valid"); };
  int64_t start = stream.Position();
  int64_t available = stream.Size() - start;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER h{};
  if (available < static_cast<int64_t>(sizeof fh + 12)) throw invalid();
  stream.ReadBuffer(&fh, sizeof fh);
  if (fh.bfType != 0x4D42) throw invalid();
  DWORD headerSize;
  stream.ReadBuffer(&headerSize, 4);
  if (headerSize < 40 || headerSize > 1024 || available < static_cast<int64_t>(sizeof fh) + headerSize) throw invalid();
  stream.SetPosition(start + static_cast<int64_t>(sizeof fh));
  stream.ReadBuffer(&h, sizeof h);
  stream.SetPosition(start + static_cast<int64_t>(sizeof fh) + headerSize);
  int bits = h.biBitCount;
  if (h.biPlanes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
    throw invalid();
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32)))
    throw invalid();
  bool topDown = h.biHeight < 0;
  int64_t width = h.biWidth, height = topDown ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (width <= 0 || height <= 0) throw invalid();
  CheckDims(width, height, bits);
  DWORD masks[3] = {0, 0, 0};
  std::vector<RGBQUAD> colors;
  if (h.biCompression == BI_BITFIELDS) {
    stream.ReadBuffer(masks, sizeof masks);
    bool is565 = bits == 16 && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F;
    bool is555 = bits == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
    bool is888 = bits == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
    if (!is565 && !is555 && !is888) throw invalid();
  } else if (bits <= 8) {
    DWORD n = h.biClrUsed ? h.biClrUsed : (1u << bits);
    if (n > (1u << bits)) throw invalid();
    colors.resize(n);
    stream.ReadBuffer(colors.data(), static_cast<int64_t>(n * sizeof(RGBQUAD)));
  }
  int64_t stride = StrideOf(static_cast<int>(width), bits);
  int64_t offset = fh.bfOffBits ? static_cast<int64_t>(fh.bfOffBits) : stream.Position() - start;
  if (offset < stream.Position() - start || offset + stride * height > available) throw invalid();
  stream.SetPosition(start + offset);
  std::vector<uint8_t> pixels(static_cast<size_t>(stride * height));
  stream.ReadBuffer(pixels.data(), static_cast<int64_t>(pixels.size()));

  TPixelFormat format = FormatOf(bits, h.biCompression, masks);
  FreeHandle();
  FWidth = FHeight = 0;
  NewImage(static_cast<int>(width), static_cast<int>(height), format, colors.data(), static_cast<int>(colors.size()));
  for (int64_t y = 0; y < height; ++y) {
    int64_t from = topDown ? height - 1 - y : y;  // our rows are bottom-up
    std::memcpy(static_cast<uint8_t*>(FBits) + y * stride, pixels.data() + from * stride, static_cast<size_t>(stride));
  }
  Changed(this);
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::string& name) {
  TResourceStream res(instance, name, "BITMAP");
  // Bitmap resources hold no file header; give them one.
  TMemoryStream m;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfSize = static_cast<DWORD>(sizeof fh + res.Size());
  m.WriteBuffer(&fh, sizeof fh);
  m.CopyFrom(res, 0);
  m.SetPosition(0);
  LoadFromStream(m);
}

namespace {
HPALETTE CopyPalette(HPALETTE palette) {
  if (!palette) return nullptr;
  PALETTEENTRY e[256];
  UINT n = GetPaletteEntries(palette, 0, 256, e);
  if (n == 0) return nullptr;
  std::vector<uint8_t> buf(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(n);
  std::memcpy(lp->palPalEntry, e, n * sizeof(PALETTEENTRY));
  return CreatePalette(lp);
}
}  // namespace

void TBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
  if (format != CF_BITMAP_FORMAT || !data) throw EInvalidGraphic("Unsupported clipboard format");
  auto* src = static_cast<HBITMAP>(data);
  BITMAP bm{};
  if (GetObjectA(reinterpret_cast<HGDIOBJ>(src), sizeof bm, &bm) == 0) throw EInvalidGraphic("Invalid bitmap handle");
  int w = bm.bmWidth, h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  FreeHandle();
  FWidth = FHeight = 0;
  NewImage(w, h, bm.bmBitsPixel == 1 ? pf1bit : bm.bmBitsPixel == 8 ? pf8bit : bm.bmBitsPixel == 24 ? pf24bit : pf32bit,
           nullptr, 0);
  if (FHandle) {
    HDC from = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(from, reinterpret_cast<HGDIOBJ>(src));
    if (!old) {
      // The handle is selected elsewhere; its bits still read.
      DeleteDC(from);
      BITMAPINFO bi{};
      bi.bmiHeader = {sizeof(BITMAPINFOHEADER), FWidth, FHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      if (FPixelFormat == pf32bit)
        GetDIBits(Canvas().Handle(), src, 0, static_cast<UINT>(FHeight), FBits, &bi, DIB_RGB_COLORS);
    } else {
      BitBlt(Canvas().Handle(), 0, 0, FWidth, FHeight, from, 0, 0, SRCCOPY);
      SelectObject(from, old);
      DeleteDC(from);
    }
  }
  SetPalette(CopyPalette(palette));
  Changed(this);
}

void TBitmap::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
  format = CF_BITMAP_FORMAT;
  data = nullptr;
  palette = nullptr;
  if (Empty()) return;
  TBitmap copy;
  copy.Assign(this);
  data = copy.ReleaseHandle();
  palette = CopyPalette(FPalette);
}

// ---- TIcon

TIcon::~TIcon() { FreeHandle(); }

void TIcon::FreeHandle() {
  FOwnedHandle.reset();
  FHandle = nullptr;
}

void TIcon::Assign(const TPersistent* source) {
  if (auto* i = dynamic_cast<const TIcon*>(source)) {
    if (i == this) return;
    FreeHandle();
    FImage.Assign(&i->FImage);
    FSizes = i->FSizes;
    // Copies of one image share its handle, which lives while any holds it.
    FHandle = const_cast<TIcon*>(i)->Handle();
    FOwnedHandle = i->FOwnedHandle;
    Changed(this);
    return;
  }
  if (!source) {
    FImage.Assign(nullptr);
    FSizes.clear();
    FreeHandle();
    Changed(this);
    return;
  }
  TPersistent::Assign(source);
}

void TIcon::SetImage(const TBitmap& image) {
  FImage.Assign(&image);
  FImage.SetPixelFormat(pf32bit);
  FSizes.clear();
  FreeHandle();
  Changed(this);
}

void TIcon::AddSize(const TIcon& size) {
  if (&size == this || size.Empty()) return;
  auto copy = std::make_shared<TIcon>();
  copy->Assign(&size);
  copy->FSizes.clear();
  FSizes.push_back(std::move(copy));
  // Made afresh with the sizes on next use; a handle given by SetHandle is
  // not ours to change.
  FreeHandle();
  Changed(this);
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) {
  if (HICON icon = Handle()) DrawIconEx(canvas.Handle(), rect.left, rect.top, icon, rect.Width(), rect.Height(), 0, nullptr, DI_NORMAL);
}

void TIcon::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }
void TIcon::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::LoadFromStream(TStream& stream) {
  TBitmap b;
  b.LoadFromStream(stream);
  SetImage(b);
}

void TIcon::SaveToStream(TStream& stream) { FImage.SaveToStream(stream); }

void TIcon::LoadFromResourceName(HINSTANCE instance, const std::string& name, const std::string& type) {
  TGraphicClass cls = TPicture::FindExtension(type);
  if (!cls) throw EInvalidGraphic("Unknown picture file extension (." + LowerCase(type) + ")");
  TResourceStream stream(instance, name, type.c_str());
  std::unique_ptr<TGraphic> graphic = cls->Create();
  graphic->LoadFromStream(stream);
  // The picture class gives its pixels with their alpha (a PNG does).
  Assign(graphic.get());
}

HICON TIcon::Handle() {
  if (!FHandle && !FImage.Empty()) {
    ICONINFO info{TRUE, 0, 0, nullptr, FImage.Handle()};
    FHandle = CreateIconIndirect(&info);
    if (FHandle) FOwnedHandle = std::shared_ptr<void>(FHandle, [](void* h) { DestroyIcon(static_cast<HICON>(h)); });
    if (FHandle && !FSizes.empty()) {
      std::vector<HICON> sizes;
      for (auto& size : FSizes)
        if (HICON h = size->Handle()) sizes.push_back(h);
      SetIconSizes(FHandle, sizes.data(), static_cast<int>(sizes.size()));
    }
  }
  return FHandle;
}

void TIcon::SetHandle(HICON icon) {
  FreeHandle();
  FImage.Assign(nullptr);
  FSizes.clear();
  int w = 0, h = 0;
  std::vector<uint32_t> pixels;
  if (icon && GetIconPixels(icon, &w, &h, &pixels) && w > 0 && h > 0) {
    FImage.SetPixelFormat(pf32bit);
    FImage.SetSize(w, h);
    for (int y = 0; y < h; ++y)
      std::copy_n(pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w), w,
                  static_cast<uint32_t*>(FImage.ScanLine(y)));
  }
  FHandle = icon;
  Changed(this);
}
