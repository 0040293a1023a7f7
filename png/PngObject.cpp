#include "png/PngObject.h"

#include <cstdlib>
#include <cstring>

#include "png/PngAncillaryChunks.h"
#include "png/PngErrors.h"
#include "png/PngHeaderChunk.h"
#include "png/PngIdatChunk.h"

static_assert(sizeof(TPngDIBInfo::bmiHeader) == sizeof(BITMAPINFOHEADER));
static_assert(sizeof(TPngRGBQuad) == sizeof(RGBQUAD));

namespace {

const BITMAPINFO* AsBitmapInfo(const TPngDIBInfo& info) { return reinterpret_cast<const BITMAPINFO*>(&info); }

inline uint8_t Blend(unsigned s, unsigned a, unsigned d) { return static_cast<uint8_t>((s * a + (255 - a) * d + 255) >> 8); }

}  // namespace

TPNGObject::TPNGObject() = default;

TPNGObject::~TPNGObject() {
  RemoveAllChunks();
  FreePalette();
}

void TPNGObject::FreePalette() {
  if (FPaletteHandle) DeleteObject(FPaletteHandle);
  FPaletteHandle = nullptr;
}

void TPNGObject::HeaderPrepared() { FreePalette(); }

int TPNGObject::Width() const { return HasHeader() ? static_cast<int>(Header().Width) : 0; }
int TPNGObject::Height() const { return HasHeader() ? static_cast<int>(Header().Height) : 0; }

void TPNGObject::SetWidth(int) { RaisePNGError<EPngError>(PngMessages::CannotResize); }
void TPNGObject::SetHeight(int) { RaisePNGError<EPngError>(PngMessages::CannotResize); }

void TPNGObject::LoadFromStream(TStream& stream) {
  try {
    TPNGChunkList::LoadFromStream(stream);
  } catch (...) {
    Changed(this);
    throw;
  }
  Changed(this);
}

void TPNGObject::SaveToStream(TStream& stream) { TPNGChunkList::SaveToStream(stream); }

void TPNGObject::Assign(const TPersistent* source) {
  if (!source) {
    RemoveAllChunks();
  } else if (const auto* png = dynamic_cast<const TPNGObject*>(source)) {
    if (png == this) return;
    CopyFromPNG(*png);
  } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    auto* b = const_cast<TBitmap*>(bitmap);
    AssignFromBitmapHandle(b->Handle(), b->Transparent(), ColorToRGB(b->TransparentColor()));
  } else {
    TGraphic::Assign(source);
    return;
  }
  Changed(this);
}

void TPNGObject::AssignTo(TPersistent* dest) const {
  if (auto* png = dynamic_cast<TPNGObject*>(dest)) {
    png->CopyFromPNG(*this);
    return;
  }
  if (auto* icon = dynamic_cast<TIcon*>(dest)) {
    // An icon keeps the alpha: a 32-bit image with straight alpha.
    TBitmap image;
    image.SetPixelFormat(pf32bit);
    if (HasHeader()) {
      const int w = Width(), h = Height();
      image.SetSize(w, h);
      const TPNGTransparency kind = TransparencyKind();
      const uint32_t key = TransparentColor();
      for (int y = 0; y < h; ++y) {
        auto* row = static_cast<uint32_t*>(image.ScanLine(y));
        const uint8_t* alpha = kind == ptAlphaChannel ? AlphaRow(y) : nullptr;
        for (int x = 0; x < w; ++x) {
          const uint32_t c = GetPixel(x, y);  // 0x00BBGGRR
          uint32_t a = alpha ? alpha[x] : (kind == ptColorKey && c == key) ? 0 : 255;
          row[x] = (a << 24) | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
        }
      }
    }
    icon->SetImage(image);
    return;
  }
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (bitmap && HasHeader()) {
    const TChunkIHDR& h = Header();
    HDC screen = CreateScreenDC();
    HBITMAP handle = CreateDIBitmap(screen, &AsBitmapInfo(h.DIBInfo)->bmiHeader, CBM_INIT, h.PixelBits,
                                    AsBitmapInfo(h.DIBInfo), DIB_RGB_COLORS);
    DeleteDC(screen);
    if (!handle) RaisePNGError<EPNGOutMemory>(PngMessages::OutMemory);
    bitmap->SetHandle(handle);
    if (TransparencyKind() == ptColorKey) {
      bitmap->SetTransparentColor(static_cast<TColor>(TransparentColor()));
      bitmap->SetTransparent(true);
    }
    return;
  }
  TGraphic::AssignTo(dest);
}

void TPNGObject::AssignFromBitmapHandle(HBITMAP handle, bool transparent, COLORREF color) {
  BITMAP bm{};
  const bool valid = handle && GetObject(handle, sizeof bm, &bm) != 0 && bm.bmWidth > 0 && bm.bmHeight != 0;
  RemoveAllChunks();
  if (!valid) return;  // an empty bitmap gives an empty picture
  int b = bm.bmBitsPixel;
  // Palette depths a PNG can hold; anything else is taken as RGB.
  const bool palette = b == 1 || b == 4 || b == 8;
  if (!palette) b = 24;
  try {
    auto* header = static_cast<TChunkIHDR*>(Chunks().Add(std::make_unique<TChunkIHDR>(this)));
    TChunkPLTE* plte = palette ? static_cast<TChunkPLTE*>(Chunks().Add(std::make_unique<TChunkPLTE>(this))) : nullptr;
    TChunktRNS* trns = transparent ? static_cast<TChunktRNS*>(Chunks().Add(std::make_unique<TChunktRNS>(this))) : nullptr;
    Chunks().Add(std::make_unique<TChunkIDAT>(this));
    Chunks().Add(std::make_unique<TChunkIEND>(this));
    header->Width = static_cast<uint32_t>(bm.bmWidth);
    header->Height = static_cast<uint32_t>(bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight);
    if (header->Width > 65535 || header->Height > 65535) RaisePNGError<EPNGSizeExceeds>(PngMessages::SizeExceeds);
    header->BitDepth = static_cast<uint8_t>(palette ? b : 8);
    header->ColorType = palette ? 3 : 2;
    header->PrepareDIB();
    HDC dc = CreateCompatibleDC(nullptr);
    GetDIBits(dc, handle, 0, header->Height, header->PixelBits,
              reinterpret_cast<BITMAPINFO*>(&header->DIBInfo), DIB_RGB_COLORS);
    DeleteDC(dc);
    if (plte) plte->Count = 1u << b;
    if (trns) trns->SetTransparentColor(color);
  } catch (...) {
    RemoveAllChunks();
    throw;
  }
}

void TPNGObject::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  HDC dc = canvas.Handle();
  switch (TransparencyKind()) {
    case ptColorKey: DrawMaskTransparent(dc, ColorToRGB(static_cast<TColor>(TransparentColor())), rect); break;
    case ptAlphaChannel: DrawAlphaBlended(dc, rect); break;
    case ptOpaque: {
      const TChunkIHDR& h = Header();
      SetStretchBltMode(dc, COLORONCOLOR);
      StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0,
                    static_cast<int>(h.Width), static_cast<int>(h.Height), h.PixelBits, AsBitmapInfo(h.DIBInfo),
                    DIB_RGB_COLORS, SRCCOPY);
      break;
    }
  }
}

void TPNGObject::DrawMaskTransparent(HDC dc, COLORREF color, const TRect& rect) const {
  const TChunkIHDR& h = Header();
  TRect r = rect;
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  const int w = r.Width(), hgt = r.Height();
  if (w == 0 || hgt == 0) return;
  const int srcW = static_cast<int>(h.Width), srcH = static_cast<int>(h.Height);

  HDC srcDC = CreateCompatibleDC(dc);
  HBITMAP src = CreateDIBitmap(dc, &AsBitmapInfo(h.DIBInfo)->bmiHeader, CBM_INIT, h.PixelBits,
                               AsBitmapInfo(h.DIBInfo), DIB_RGB_COLORS);
  HDC maskDC = CreateCompatibleDC(dc), invDC = CreateCompatibleDC(dc), workDC = CreateCompatibleDC(dc);
  HBITMAP mask = CreateBitmap(w, hgt, 1, 1, nullptr);
  HBITMAP inv = CreateBitmap(w, hgt, 1, 1, nullptr);
  HBITMAP work = CreateCompatibleBitmap(dc, w, hgt);
  if (srcDC && src && maskDC && invDC && workDC && mask && inv && work) {
    HGDIOBJ oldSrc = SelectObject(srcDC, src), oldMask = SelectObject(maskDC, mask);
    HGDIOBJ oldInv = SelectObject(invDC, inv), oldWork = SelectObject(workDC, work);
    // The key colour becomes 1 in the mask, everything else 0.
    const COLORREF oldBk = SetBkColor(srcDC, color);
    StretchBlt(maskDC, 0, 0, w, hgt, srcDC, 0, 0, srcW, srcH, SRCCOPY);
    SetBkColor(srcDC, oldBk);
    BitBlt(invDC, 0, 0, w, hgt, maskDC, 0, 0, NOTSRCCOPY);
    // Background where transparent, image where opaque.
    BitBlt(workDC, 0, 0, w, hgt, dc, r.left, r.top, SRCCOPY);
    BitBlt(workDC, 0, 0, w, hgt, maskDC, 0, 0, SRCAND);
    StretchBlt(srcDC, 0, 0, srcW, srcH, invDC, 0, 0, w, hgt, SRCAND);
    StretchBlt(workDC, 0, 0, w, hgt, srcDC, 0, 0, srcW, srcH, SRCPAINT);
    BitBlt(dc, r.left, r.top, w, hgt, workDC, 0, 0, SRCCOPY);
    SelectObject(srcDC, oldSrc);
    SelectObject(maskDC, oldMask);
    SelectObject(invDC, oldInv);
    SelectObject(workDC, oldWork);
  }
  for (HBITMAP b : {src, mask, inv, work})
    if (b) DeleteObject(b);
  for (HDC d : {srcDC, maskDC, invDC, workDC})
    if (d) DeleteDC(d);
}

void TPNGObject::DrawAlphaBlended(HDC dc, const TRect& rect) const {
  const TChunkIHDR& h = Header();
  if (rect.right == rect.left || rect.bottom == rect.top) return;
  TRect r = rect;
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  const int w = r.Width(), hgt = r.Height();
  const bool scaled = h.Width != uint32_t(w) || h.Height != uint32_t(hgt);
  const double fx = scaled ? double(w) / h.Width : 1.0, fy = scaled ? double(hgt) / h.Height : 1.0;

  HDC mem = CreateCompatibleDC(nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = 40;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -hgt;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bitsPtr = nullptr;
  HBITMAP dib = mem ? CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bitsPtr, nullptr, 0) : nullptr;
  if (!mem || !dib || !bitsPtr) {
    if (dib) DeleteObject(dib);
    if (mem) DeleteDC(mem);
    RaisePNGError<EPNGOutMemory>(PngMessages::OutMemory);
  }
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, hgt, dc, r.left, r.top, SRCCOPY);

  const int bpp = h.DIBBitsPerPixel();
  // Palette alpha from the 256 entries of tRNS and colours from the DIB's
  // own table: indices past a short palette or tRNS never fail.
  const auto* trns = Chunks().ItemFromClass<TChunktRNS>();
  auto* bits = static_cast<uint8_t*>(bitsPtr);
  for (int y = 0; y < hgt; ++y) {
    int sy = scaled ? static_cast<int>(y / fy) : y;
    if (sy >= int(h.Height)) sy = int(h.Height) - 1;
    const uint8_t* src = RowPointer(sy);
    const uint8_t* alpha = h.AlphaBits ? h.AlphaBits + uint64_t(h.Width) * uint32_t(sy) : nullptr;
    uint8_t* d = bits + int64_t(y) * w * 4;
    for (int x = 0; x < w; ++x, d += 4) {
      int sx = scaled ? static_cast<int>(x / fx) : x;
      if (sx >= int(h.Width)) sx = int(h.Width) - 1;
      unsigned a, sb, sg, sr;
      if (bpp == 24 && alpha) {
        a = alpha[sx];
        sb = src[sx * 3], sg = src[sx * 3 + 1], sr = src[sx * 3 + 2];
      } else if (h.ColorType == 4 && bpp == 8 && alpha) {
        a = alpha[sx];
        const TPngRGBQuad& e = h.DIBInfo.bmiColors[src[sx]];
        sb = e.rgbBlue, sg = e.rgbGreen, sr = e.rgbRed;
      } else if (bpp == 1 || bpp == 4 || bpp == 8) {
        const unsigned i = DIBIndexAt(src, sx, bpp);
        a = trns ? trns->Alphas[i] : 255;
        const TPngRGBQuad& e = h.DIBInfo.bmiColors[i];
        sb = e.rgbBlue, sg = e.rgbGreen, sr = e.rgbRed;
      } else {
        continue;  // no format to blend: the area stays as it was
      }
      if (a == 0) continue;
      if (a == 255) {
        d[0] = uint8_t(sb), d[1] = uint8_t(sg), d[2] = uint8_t(sr);
      } else {
        d[0] = Blend(sb, a, d[0]);
        d[1] = Blend(sg, a, d[1]);
        d[2] = Blend(sr, a, d[2]);
      }
    }
  }
  BitBlt(dc, r.left, r.top, w, hgt, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
}

HPALETTE TPNGObject::Palette() {
  const TChunkIHDR& h = Header();
  if ((h.ColorType == 0 || h.ColorType == 3) && !FPaletteHandle) {
    struct {
      WORD palVersion;
      WORD palNumEntries;
      PALETTEENTRY entries[256];
    } pal{0x300, 256, {}};
    for (int i = 0; i < 256; ++i) {
      const TPngRGBQuad& e = h.DIBInfo.bmiColors[i];
      pal.entries[i] = PALETTEENTRY{e.rgbRed, e.rgbGreen, e.rgbBlue, 0};
    }
    FPaletteHandle = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&pal));
  }
  return FPaletteHandle;
}

void TPNGObject::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
  TBitmap bitmap;
  bitmap.LoadFromClipboardFormat(format, data, palette);
  AssignFromBitmapHandle(bitmap.Handle(), false, 0);
  Changed(this);
}

void TPNGObject::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
  TBitmap bitmap;
  bitmap.SetSize(Width(), Height());
  Draw(bitmap.Canvas(), TRect(0, 0, Width(), Height()));
  bitmap.SaveToClipboardFormat(format, data, palette);
}

namespace {

struct TPNGRegistration {
  TPNGRegistration() { TPicture::RegisterFileFormat("PNG", "Portable Network Graphics", GraphicClassOf<TPNGObject>()); }
  ~TPNGRegistration() { TPicture::UnregisterGraphicClass(GraphicClassOf<TPNGObject>()); }
};

}  // namespace

void RegisterPNGPicture() { static TPNGRegistration registration; }

namespace {
// The unit initialisation: registered before any form can ask for it.
const bool Registered = (RegisterPNGPicture(), true);
}  // namespace
