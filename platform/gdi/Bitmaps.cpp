// Bitmaps: DIB sections, device bitmaps, monochrome bitmaps, and moving bits
// in and out of them in DIB form.
#include <cstring>
#include <new>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Palette.h"

namespace hkgdi {

namespace {

constexpr int64_t MaxBitmapBytes = int64_t(1) << 31;

bool ValidBpp(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

std::vector<RGBQUAD> DefaultTable(int bpp) {
  std::vector<RGBQUAD> t;
  if (bpp == 1) {
    t = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  } else if (bpp == 4) {
    auto d = DefaultPaletteEntries();  // the sixteen colours of the VGA
    static const int pick[16] = {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 14, 15, 16, 17, 18, 19};
    for (int i : pick) t.push_back(RGBQUAD{d[i].peBlue, d[i].peGreen, d[i].peRed, 0});
    t[7] = RGBQUAD{192, 192, 192, 0};
    t[8] = RGBQUAD{128, 128, 128, 0};
  } else if (bpp == 8) {
    for (auto& e : HalftonePaletteEntries()) t.push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
  }
  return t;
}

int TableSize(const BITMAPINFOHEADER& h) {
  if (h.biBitCount > 8) return 0;
  int full = 1 << h.biBitCount;
  return h.biClrUsed == 0 || h.biClrUsed > static_cast<DWORD>(full) ? full : static_cast<int>(h.biClrUsed);
}

bool ValidHeader(const BITMAPINFOHEADER& h) {
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return false;
  if (h.biPlanes != 1 || !ValidBpp(h.biBitCount)) return false;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32)))
    return false;
  int64_t bytes = DIBStride(h.biWidth, h.biBitCount) * std::abs(static_cast<int64_t>(h.biHeight));
  return bytes <= MaxBitmapBytes;
}

}  // namespace

int64_t DIBStride(int width, int bpp) { return ((static_cast<int64_t>(width) * bpp + 31) / 32) * 4; }

std::shared_ptr<TBitmapObj> NewBitmap(int width, int height, int bpp, bool topDown, bool isDIB) {
  if (width <= 0 || height <= 0 || !ValidBpp(bpp)) return nullptr;
  int64_t stride = isDIB || bpp != 1 ? DIBStride(width, bpp) : ((static_cast<int64_t>(width) + 15) / 16) * 2;
  int64_t bytes = stride * height;
  if (bytes > MaxBitmapBytes) return nullptr;
  auto b = std::make_shared<TBitmapObj>();
  b->Storage.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]());
  if (!b->Storage) return nullptr;
  b->Width = width;
  b->Height = height;
  b->Bpp = bpp;
  b->TopDown = topDown;
  b->IsDIB = isDIB;
  b->Stride = stride;
  b->Colors = DefaultTable(bpp);
  return b;
}

std::shared_ptr<TBitmapObj> NewCompatibleBitmap(TDC* dc, int width, int height) {
  if (width == 0 || height == 0) return NewBitmap(1, 1, 1, true, false);
  if (dc && dc->Kind == TDCKind::Memory && dc->Bitmap) {
    const TBitmapObj& sel = *dc->Bitmap;
    if (sel.Bpp == 1) return NewBitmap(width, height, 1, true, false);
    if (sel.Bpp <= 8) {
      auto b = NewBitmap(width, height, sel.Bpp, true, true);
      if (b) b->Colors = sel.Colors;
      return b;
    }
  }
  return NewBitmap(width, height, 32, true, false);
}

std::vector<RGBQUAD> ColorTableOf(const BITMAPINFO* info, UINT usage, const TDC* dc) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int n = TableSize(h);
  std::vector<RGBQUAD> t(static_cast<size_t>(n));
  const uint8_t* table = reinterpret_cast<const uint8_t*>(info) + h.biSize;
  if (usage == DIB_PAL_COLORS) {
    std::vector<PALETTEENTRY> entries;
    if (dc && dc->State.Palette) entries = static_cast<const TPaletteObj&>(*dc->State.Palette).Entries;
    for (int i = 0; i < n; ++i) {
      WORD index;
      std::memcpy(&index, table + i * 2, 2);
      if (index < entries.size())
        t[static_cast<size_t>(i)] = RGBQUAD{entries[index].peBlue, entries[index].peGreen, entries[index].peRed, 0};
    }
  } else if (n > 0) {
    std::memcpy(t.data(), table, sizeof(RGBQUAD) * static_cast<size_t>(n));
  }
  return t;
}

bool DIBView(const BITMAPINFO* info, const void* bits, const std::vector<RGBQUAD>& colors, TPixelView& v) {
  if (!info || !bits || !ValidHeader(info->bmiHeader)) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  v = TPixelView{};
  v.Width = h.biWidth;
  v.Height = std::abs(h.biHeight);
  v.Bpp = h.biBitCount;
  int64_t stride = DIBStride(h.biWidth, h.biBitCount);
  uint8_t* base = static_cast<uint8_t*>(const_cast<void*>(bits));
  v.Stride = h.biHeight < 0 ? stride : -stride;
  v.Top = h.biHeight < 0 ? base : base + stride * (v.Height - 1);
  v.Colors = colors.empty() ? nullptr : colors.data();
  v.NumColors = static_cast<int>(colors.size());
  return true;
}

}  // namespace hkgdi

using namespace hkgdi;

HBITMAP CreateDIBSection(HDC handle, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || !ValidHeader(info->bmiHeader)) return nullptr;
  auto dc = handle ? DCs().Get(handle) : nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  auto b = NewBitmap(h.biWidth, std::abs(h.biHeight), h.biBitCount, h.biHeight < 0, true);
  if (!b) return nullptr;
  if (h.biBitCount <= 8) {
    b->Colors = ColorTableOf(info, usage, dc.get());
    b->Colors.resize(static_cast<size_t>(1) << h.biBitCount, RGBQUAD{0, 0, 0, 0});
  }
  if (bits) *bits = b->Bits();
  return reinterpret_cast<HBITMAP>(AddObject(b));
}

HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
  auto dc = DCs().Get(handle);
  if (!dc || width < 0 || height < 0) return nullptr;
  return reinterpret_cast<HBITMAP>(AddObject(NewCompatibleBitmap(dc.get(), width, height)));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
  if (planes != 1 || width < 0 || height < 0) return nullptr;
  if (width == 0 || height == 0) return reinterpret_cast<HBITMAP>(AddObject(NewBitmap(1, 1, 1, true, false)));
  if (bpp != 1 && bpp != 32 && bpp != 24 && bpp != 8 && bpp != 16 && bpp != 4) return nullptr;
  auto b = NewBitmap(width, height, static_cast<int>(bpp), true, false);
  if (!b) return nullptr;
  if (bits) {
    // Device bitmaps take rows aligned to 16 bits.
    int64_t src = ((static_cast<int64_t>(width) * bpp + 15) / 16) * 2;
    for (int y = 0; y < height; ++y)
      std::memcpy(b->Bits() + b->Stride * y, static_cast<const uint8_t*>(bits) + src * y,
                  static_cast<size_t>(std::min(src, b->Stride)));
  }
  return reinterpret_cast<HBITMAP>(AddObject(b));
}

namespace {

// Copies scan lines between a bitmap and DIB bits; `toDIB` reads the bitmap.
int MoveScans(TBitmapObj& b, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              const std::vector<RGBQUAD>& colors, bool toDIB) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int full = std::abs(h.biHeight);
  if (start >= static_cast<UINT>(std::min(full, b.Height))) return 0;
  int n = static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(std::min(full, b.Height)) - start));
  if (n <= 0) return 0;
  // The buffer holds n scans from `start`, in the DIB's own row order.
  BITMAPINFOHEADER part = h;
  part.biHeight = h.biHeight < 0 ? -n : n;
  std::vector<uint8_t> hold(sizeof(BITMAPINFOHEADER));
  std::memcpy(hold.data(), &part, sizeof(part));
  TPixelView dib;
  if (!DIBView(reinterpret_cast<const BITMAPINFO*>(hold.data()), bits, colors, dib)) return 0;
  // Scan s of a bottom-up DIB is row (height - 1 - s) of the bitmap.
  int bitmapRow = h.biHeight < 0 ? static_cast<int>(start) : b.Height - static_cast<int>(start) - n;
  TPixelView bv = BitmapView(b);
  TConverter conv;
  int w = std::min(dib.Width, bv.Width);
  if (toDIB) {
    conv.Setup(bv, dib, nullptr, nullptr);
    TransferPixels(dib, RECT{0, 0, dib.Width, dib.Height}, 0, 0, w, n, &bv, 0, bitmapRow, w, n, 0xCC, 0, &conv);
  } else {
    conv.Setup(dib, bv, nullptr, nullptr);
    TransferPixels(bv, RECT{0, 0, bv.Width, bv.Height}, 0, bitmapRow, w, n, &dib, 0, 0, w, n, 0xCC, 0, &conv);
  }
  return n;
}

}  // namespace

int GetDIBits(HDC handle, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
  auto dc = DCs().Get(handle);
  auto b = GetObj<TBitmapObj>(reinterpret_cast<HGDIOBJ>(bitmap), TObjKind::Bitmap);
  if (!dc || !b || !info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (!bits && h.biBitCount == 0) {
    h.biWidth = b->Width;
    h.biHeight = b->Height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(b->Bpp);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(DIBStride(b->Width, b->Bpp) * b->Height);
    h.biClrUsed = 0;
    return 1;
  }
  if (!ValidBpp(h.biBitCount)) return 0;
  // The colour table: the bitmap's own for the same depth, else the platform's.
  std::vector<RGBQUAD> table;
  if (h.biBitCount <= 8) {
    table = b->Bpp == h.biBitCount ? b->Colors : DefaultTable(h.biBitCount);
    table.resize(static_cast<size_t>(1) << h.biBitCount, RGBQUAD{0, 0, 0, 0});
    if (usage == DIB_RGB_COLORS)
      std::memcpy(reinterpret_cast<uint8_t*>(info) + h.biSize, table.data(), table.size() * sizeof(RGBQUAD));
    h.biClrUsed = 0;
  }
  h.biSizeImage = static_cast<DWORD>(DIBStride(h.biWidth, h.biBitCount) * std::abs(h.biHeight));
  if (!bits) return 1;
  if (h.biWidth <= 0 || h.biHeight == 0) return 0;
  return MoveScans(*b, start, lines, bits, info, table, true);
}

int SetDIBits(HDC handle, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage) {
  auto dc = handle ? DCs().Get(handle) : nullptr;
  auto b = GetObj<TBitmapObj>(reinterpret_cast<HGDIOBJ>(bitmap), TObjKind::Bitmap);
  if (!b || !bits || !info || !ValidHeader(info->bmiHeader)) return 0;
  return MoveScans(*b, start, lines, bits, info, ColorTableOf(info, usage, dc.get()), false);
}

HBITMAP CreateDIBitmap(HDC handle, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
  auto dc = handle ? DCs().Get(handle) : nullptr;
  if (!header || header->biWidth <= 0 || header->biHeight == 0 || header->biHeight == INT32_MIN) return nullptr;
  auto b = NewCompatibleBitmap(dc.get(), header->biWidth, std::abs(header->biHeight));
  if (!b) return nullptr;
  if ((init & CBM_INIT) && bits && info) {
    if (!ValidHeader(info->bmiHeader)) return nullptr;
    MoveScans(*b, 0, static_cast<UINT>(std::abs(info->bmiHeader.biHeight)), bits, info,
              ColorTableOf(info, usage, dc.get()), false);
  }
  return reinterpret_cast<HBITMAP>(AddObject(b));
}

UINT GetDIBColorTable(HDC handle, UINT start, UINT count, RGBQUAD* colors) {
  auto dc = DCs().Get(handle);
  if (!dc || !dc->Bitmap || !dc->Bitmap->IsDIB || dc->Bitmap->Bpp > 8 || !colors) return 0;
  const auto& t = dc->Bitmap->Colors;
  if (start >= t.size()) return 0;
  UINT n = std::min<UINT>(count, static_cast<UINT>(t.size()) - start);
  std::memcpy(colors, t.data() + start, n * sizeof(RGBQUAD));
  return n;
}

UINT SetDIBColorTable(HDC handle, UINT start, UINT count, const RGBQUAD* colors) {
  auto dc = DCs().Get(handle);
  if (!dc || !dc->Bitmap || !dc->Bitmap->IsDIB || dc->Bitmap->Bpp > 8 || !colors) return 0;
  auto& t = dc->Bitmap->Colors;
  if (start >= t.size()) return 0;
  UINT n = std::min<UINT>(count, static_cast<UINT>(t.size()) - start);
  std::memcpy(t.data() + start, colors, n * sizeof(RGBQUAD));
  return n;
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits) {
  auto b = GetObj<TBitmapObj>(reinterpret_cast<HGDIOBJ>(bitmap), TObjKind::Bitmap);
  if (!b || size <= 0 || !bits) return 0;
  int64_t total = b->Stride * b->Height;
  LONG n = static_cast<LONG>(std::min<int64_t>(size, total));
  std::memcpy(bits, b->Bits(), static_cast<size_t>(n));
  return n;
}
