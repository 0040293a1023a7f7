// Rendering frames to 8-bit bitmaps with masks; the DIB reader and writer.
#include <cstring>

#include "classlib/Streams.h"
#include "gif/GIFDIB.h"
#include "gif/GIFSubImage.h"

int64_t RowBytes(int64_t pixels, int bitsPerPixel, int alignmentBits) {
  int64_t bits = pixels * bitsPerPixel + alignmentBits - 1;
  return (bits & ~static_cast<int64_t>(alignmentBits - 1)) / 8;
}

int GIFMulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  int64_t p = static_cast<int64_t>(number) * numerator;
  int64_t d = denominator;
  // Round half away from zero, as the platform call does.
  bool negative = (p < 0) != (d < 0);
  int64_t ap = p < 0 ? -p : p, ad = d < 0 ? -d : d;
  int64_t q = (ap + ad / 2) / ad;
  return static_cast<int>(negative ? -q : q);
}

void RaiseOutOfResources() { throw EOutOfResources("Out of system resources"); }

HPALETTE MakeWebPalette() {
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 216);
  auto* pal = reinterpret_cast<LOGPALETTE*>(block.data());
  pal->palVersion = 0x300;
  pal->palNumEntries = 216;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) {
        PALETTEENTRY& e = pal->palPalEntry[r * 36 + g * 6 + b];
        e.peRed = static_cast<BYTE>(r * 51);
        e.peGreen = static_cast<BYTE>(g * 51);
        e.peBlue = static_cast<BYTE>(b * 51);
        e.peFlags = 0;
      }
  return CreatePalette(pal);
}

TPixelFormat GetPixelFormat(TBitmap& bitmap) { return bitmap.PixelFormat(); }
void SetPixelFormat(TBitmap& bitmap, TPixelFormat format) { bitmap.SetPixelFormat(format); }

// ---- DIB access ----------------------------------------------------------------

TDIBReader::TDIBReader(TBitmap& bitmap, TPixelFormat format) : TDIB(bitmap, format) {
  SetPixelFormat(bitmap, format);
}

uint8_t* TDIBReader::ScanLine(int row) { return static_cast<uint8_t*>(FBitmap.ScanLine(row)); }

TDIBWriter::TDIBWriter(TBitmap& bitmap, TPixelFormat format, int width, int height, HPALETTE palette)
    : TDIB(bitmap, format), FPalette(palette), FWidth(width), FHeight(height) {
  if (format != pf8bit && format != pf24bit) RaiseGIF("Unsupported PixelFormat");
  if (width <= 0 || height <= 0) RaiseGIF("Invalid image dimensions");
}

void TDIBWriter::MakeDIB() {
  FHeader.clear();
  FBits.clear();
  int bitCount = FPixelFormat == pf8bit ? 8 : 24;
  FHeader.assign(FPixelFormat == pf8bit ? 40 + 256 * 4 : 40, 0);
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = FWidth;
  h.biHeight = FHeight;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bitCount);
  h.biCompression = BI_RGB;
  if (FPixelFormat == pf8bit) {
    PALETTEENTRY entries[256];
    UINT n = FPalette ? GetPaletteEntries(FPalette, 0, 256, entries) : 0;
    auto* quads = reinterpret_cast<RGBQUAD*>(FHeader.data() + 40);
    for (UINT i = 0; i < n && i < 256; ++i) quads[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    h.biClrUsed = 256;
    h.biClrImportant = n;
  }
  std::memcpy(FHeader.data(), &h, 40);
  int64_t size = RowBytes(FWidth, bitCount, 32) * FHeight;
  try {
    FBits.assign(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    FHeader.clear();
    throw EOutOfMemory("Failed to allocate memory for GIF DIB");
  }
}

uint8_t* TDIBWriter::ScanLine(int row) {
  if (FBits.empty()) MakeDIB();
  if (FBits.empty()) RaiseGIF("Image has no DIB");
  if (row < 0 || row >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
  GdiFlush();
  int bitCount = FPixelFormat == pf8bit ? 8 : 24;
  return FBits.data() + static_cast<size_t>(FHeight - 1 - row) * static_cast<size_t>(RowBytes(FWidth, bitCount, 32));
}

TDIBWriter::~TDIBWriter() {
  if (FBits.empty()) return;
  // The bitmap reads the DIB as a bitmap file.
  TMemoryStream stream;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = static_cast<DWORD>(14 + FHeader.size() + FBits.size());
  file.bfOffBits = static_cast<DWORD>(14 + FHeader.size());
  try {
    stream.WriteBuffer(&file, 14);
    stream.WriteBuffer(FHeader.data(), static_cast<int64_t>(FHeader.size()));
    stream.WriteBuffer(FBits.data(), static_cast<int64_t>(FBits.size()));
    stream.SetPosition(0);
    FBitmap.LoadFromStream(stream);
  } catch (...) {
    // A destructor cannot fail; the bitmap simply stays as it was.
  }
}

// ---- Frame rendering -------------------------------------------------------------

void TGIFSubImage::Progress(TGIFProgressStage stage, int percent, bool redraw) {
  if (FImage) FImage->ReportProgress(this, stage, percent, redraw, "Rendering...");
}

TBitmap* TGIFSubImage::FrameBitmap() {
  if (FBitmap || Empty()) return FBitmap.get();
  Progress(gpsStarting, 0, false);
  auto finish = [this](int percent) {
    bool modified = FImage && FImage->IsPaletteModified();
    Progress(gpsEnding, percent, modified);
    if (modified) FImage->ImageChanged(this);
  };
  try {
    FBitmap = (FImage && FImage->DitherWanted()) ? DitheredRender() : PlainRender();
  } catch (...) {
    finish(0);
    throw;
  }
  finish(100);
  return FBitmap.get();
}

bool TGIFSubImage::HasMask() {
  if (FNeedMask && FTransparent) {
    FBitmap.reset();
    FrameBitmap();
  }
  return FMask != nullptr;
}

void TGIFSubImage::NewBitmap() { FBitmap = std::make_unique<TBitmap>(); }

void TGIFSubImage::FreeBitmap() { FBitmap.reset(); }

void TGIFSubImage::FreeMask() {
  if (FMask) DeleteObject(FMask);
  FMask = nullptr;
  FNeedMask = true;
}

HPALETTE TGIFSubImage::FramePalette() {
  if (FBitmap && FBitmap->Palette()) return FBitmap->Palette();
  if (FPalette) return FPalette;
  bool dither = FImage && FImage->DitherWanted();
  if (dither)
    FPalette = MakeWebPalette();
  else if (FLocalColorMap && FLocalColorMap->Count() > 0)
    FPalette = FLocalColorMap->MakePalette();
  else
    return FImage ? FImage->ImagePalette() : nullptr;
  return FPalette;
}

void TGIFSubImage::SetFramePalette(HPALETTE palette) {
  if (palette == FPalette) return;
  if (FPalette) DeleteObject(FPalette);
  if (FBitmap && palette != FBitmap->Palette()) {
    FBitmap.reset();
    if (FImage) {
      FImage->SetPaletteModified(true);
      FImage->ImageChanged(this);
    }
  }
  FPalette = palette;
}

void TGIFSubImage::StoreMask(const std::vector<uint8_t>& bits, bool any) {
  if (!any) return;
  FMask = CheckGDIHandle(CreateBitmap(Width(), Height(), 1, 1, bits.data()));
}

static std::unique_ptr<TBitmap> NewRenderBitmap(int width, int height) {
  auto bitmap = std::make_unique<TBitmap>();
  // Keeps the device bitmap of the later size change small; the DIB brings the contents.
  if (static_cast<int64_t>(width) * height > 500000) bitmap->SetPixelFormat(pf1bit);
  return bitmap;
}

std::unique_ptr<TBitmap> TGIFSubImage::PlainRender() {
  auto bitmap = NewRenderBitmap(Width(), Height());
  {
    TDIBWriter writer(*bitmap, pf8bit, Width(), Height(), FramePalette());
    bool wantMask = FNeedMask && FTransparent;
    FNeedMask = false;
    int transparent = wantMask && FGCE ? FGCE->TransparentColorIndex() : -1;
    const size_t maskRow = static_cast<size_t>((Width() + 15) / 16) * 2;
    std::vector<uint8_t> mask;
    if (wantMask) mask.assign(maskRow * static_cast<size_t>(Height()), 0);
    bool any = false;
    for (int y = 0; y < Height(); ++y) {
      if (y % 32 == 0) Progress(gpsRunning, GIFMulDiv(y, 100, Height()), false);
      const uint8_t* src = ScanLine(y);
      std::memcpy(writer.ScanLine(y), src, static_cast<size_t>(Width()));
      if (wantMask) {
        uint8_t* m = mask.data() + static_cast<size_t>(y) * maskRow;
        for (int x = 0; x < Width(); ++x)
          if (src[x] == transparent) {
            m[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            any = true;
          }
      }
    }
    if (wantMask) StoreMask(mask, any);
  }
  return bitmap;
}

// Floyd-Steinberg onto the web palette, rows in alternating directions.
std::unique_ptr<TBitmap> TGIFSubImage::DitheredRender() {
  auto bitmap = NewRenderBitmap(Width(), Height());
  {
    TDIBWriter writer(*bitmap, pf8bit, Width(), Height(), FramePalette());
    TGIFColorMap& map = ActiveColorMap();
    bool wantMask = FNeedMask && FTransparent;
    FNeedMask = false;
    int transparent = wantMask && FGCE ? FGCE->TransparentColorIndex() : -1;
    uint8_t fill = 0;
    // Indices past the table have no colour: they show black.
    auto colorOf = [&](int index, int c) { return index < map.Count() ? map.Entry(index)[c] : 0; };
    if (wantMask)
      fill = static_cast<uint8_t>(1 + GIFMulDiv(36, colorOf(transparent, 0), 51) +
                                  GIFMulDiv(6, colorOf(transparent, 1), 51) + colorOf(transparent, 2) / 51);
    const size_t maskRow = static_cast<size_t>((Width() + 15) / 16) * 2;
    std::vector<uint8_t> mask;
    if (wantMask) mask.assign(maskRow * static_cast<size_t>(Height()), 0);
    bool any = false;
    const int w = Width();
    // Error rows for this row and the next, one column of margin on each side.
    std::vector<int> err[2] = {std::vector<int>(static_cast<size_t>(w + 2) * 3, 0),
                               std::vector<int>(static_cast<size_t>(w + 2) * 3, 0)};
    for (int y = 0; y < Height(); ++y) {
      if (y % 32 == 0) Progress(gpsRunning, GIFMulDiv(y, 100, Height()), false);
      const uint8_t* src = ScanLine(y);
      uint8_t* dst = writer.ScanLine(y);
      if (wantMask) std::memset(dst, fill, static_cast<size_t>(w));
      std::vector<int>& cur = err[y & 1];
      std::vector<int>& next = err[(y + 1) & 1];
      std::fill(next.begin(), next.end(), 0);
      int dir = (y & 1) ? -1 : 1;
      for (int i = 0; i < w; ++i) {
        int x = dir > 0 ? i : w - 1 - i;
        if (wantMask && src[x] == transparent) {
          mask[static_cast<size_t>(y) * maskRow + static_cast<size_t>(x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
          any = true;
          continue;
        }
        int q[3];
        for (int c = 0; c < 3; ++c) {
          int v = colorOf(src[x], c) + cur[static_cast<size_t>(x + 1) * 3 + c] / 16;
          v = v < 0 ? 0 : v > 255 ? 255 : v;
          q[c] = (v + 25) / 51;
          int e = v - q[c] * 51;
          cur[static_cast<size_t>(x + 1 + dir) * 3 + c] += e * 7;
          next[static_cast<size_t>(x + 1 - dir) * 3 + c] += e * 3;
          next[static_cast<size_t>(x + 1) * 3 + c] += e * 5;
          next[static_cast<size_t>(x + 1 + dir) * 3 + c] += e;
        }
        dst[x] = static_cast<uint8_t>(q[0] * 36 + q[1] * 6 + q[2]);
      }
    }
    if (wantMask) StoreMask(mask, any);
  }
  return bitmap;
}
