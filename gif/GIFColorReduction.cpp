#include "gif/GIFColorReduction.h"

#include <algorithm>
#include <cstring>

#include "gif/GIFColorLookup.h"
#include "gif/GIFDithering.h"

// ---- Octree ------------------------------------------------------------------------

TOctreeNode::~TOctreeNode() {
  for (TOctreeNode*& c : Child) {
    delete c;
    c = nullptr;
  }
}

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : FMaxColors(std::max(1, maxColors)), FColorBits(std::clamp(colorBits, 1, 8)) {}

TColorQuantizer::~TColorQuantizer() { delete FTree; }

void TColorQuantizer::InsertColor(TOctreeNode*& node, uint8_t red, uint8_t green, uint8_t blue, int level) {
  TOctreeNode** at = &node;
  for (;; ++level) {
    if (!*at) {
      *at = new TOctreeNode;
      if (level == FColorBits) {
        (*at)->IsLeaf = true;
        ++FLeafCount;
      } else {
        (*at)->Next = FReducibleNodes[level];
        FReducibleNodes[level] = *at;
      }
    }
    TOctreeNode* n = *at;
    if (n->IsLeaf) {
      ++n->PixelCount;
      n->RedSum += red;
      n->GreenSum += green;
      n->BlueSum += blue;
      return;
    }
    const int s = 7 - level;
    const int m = 0x80 >> level;
    int child = (((red & m) >> s) << 2) | (((green & m) >> s) << 1) | ((blue & m) >> s);
    at = &n->Child[child];
  }
}

bool TColorQuantizer::MergeDeepestNode() {
  int level = FColorBits - 1;
  while (level > 0 && !FReducibleNodes[level]) --level;
  TOctreeNode* node = FReducibleNodes[level];
  // Nothing left to merge (the root is already a leaf).
  if (!node) return false;
  FReducibleNodes[level] = node->Next;
  node->Next = nullptr;
  int children = 0;
  for (TOctreeNode*& c : node->Child) {
    if (!c) continue;
    node->RedSum += c->RedSum;
    node->GreenSum += c->GreenSum;
    node->BlueSum += c->BlueSum;
    node->PixelCount += c->PixelCount;
    delete c;
    c = nullptr;
    ++children;
  }
  node->IsLeaf = true;
  FLeafCount -= children - 1;
  return true;
}

void TColorQuantizer::AddColor(uint8_t red, uint8_t green, uint8_t blue) {
  InsertColor(FTree, red, green, blue, 0);
  while (FLeafCount > FMaxColors && MergeDeepestNode()) {
  }
}

bool TColorQuantizer::FeedImage(TDIBReader& reader, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = reader.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 3) AddColor(p[2], p[1], p[0]);
  }
  return true;
}

namespace {
void ReadLeaves(const TOctreeNode* node, std::vector<RGBQUAD>& colors) {
  if (!node) return;
  if (node->IsLeaf) {
    RGBQUAD q{0, 0, 0, 0};
    if (node->PixelCount > 0) {
      q.rgbRed = static_cast<BYTE>(node->RedSum / node->PixelCount);
      q.rgbGreen = static_cast<BYTE>(node->GreenSum / node->PixelCount);
      q.rgbBlue = static_cast<BYTE>(node->BlueSum / node->PixelCount);
    }
    colors.push_back(q);
    return;
  }
  for (const TOctreeNode* c : node->Child) ReadLeaves(c, colors);
}

// A logical palette of up to 256 entries, all zero with the given flag.
struct TPaletteBlock {
  explicit TPaletteBlock(int count, BYTE flags = PC_NOCOLLAPSE)
      : Data(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 256, 0) {
    Log()->palVersion = 0x300;
    Log()->palNumEntries = static_cast<WORD>(count);
    for (int i = 0; i < 256; ++i) Entry(i).peFlags = flags;
  }
  LOGPALETTE* Log() { return reinterpret_cast<LOGPALETTE*>(Data.data()); }
  PALETTEENTRY& Entry(int i) { return Log()->palPalEntry[i]; }
  void Grey(int i, int v) { Entry(i).peRed = Entry(i).peGreen = Entry(i).peBlue = static_cast<BYTE>(v); }
  HPALETTE Create() { return CheckGDIHandle(CreatePalette(Log())); }
  std::vector<uint8_t> Data;
};
}  // namespace

void TColorQuantizer::ReadPalette(std::vector<RGBQUAD>& colors) const {
  colors.clear();
  ReadLeaves(FTree, colors);
}

// ---- Palettes ----------------------------------------------------------------------

HPALETTE MakeGray256Palette() {
  TPaletteBlock p(256);
  for (int i = 0; i < 256; ++i) p.Grey(i, i);
  return p.Create();
}

HPALETTE MakeBlackWhitePalette() {
  TPaletteBlock p(2);
  p.Grey(1, 255);
  return p.Create();
}

HPALETTE MakeGray4Palette() {
  TPaletteBlock p(4);
  const int greys[4] = {0, 128, 192, 255};
  for (int i = 0; i < 4; ++i) p.Grey(i, greys[i]);
  return p.Create();
}

HPALETTE MakeHalftonePalette() {
  HDC dc = CreateScreenDC();
  HPALETTE palette = CreateHalftonePalette(dc);
  if (dc) DeleteDC(dc);
  return CheckGDIHandle(palette);
}

HPALETTE MakeReaderPalette(TDIBReader& reader, int width, int height, int colors, int colorBits,
                           bool useSystemColors) {
  colors = std::clamp(colors, 1, 256);
  TPaletteBlock p(colors);
  int start = 0;
  if (useSystemColors) {
    PALETTEENTRY system[20] = {};
    UINT n = GetPaletteEntries(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, 20, system);
    for (UINT i = 0; i < 10 && i < n; ++i) p.Entry(static_cast<int>(i)) = system[i];
    for (UINT i = 10; i < 20 && i < n; ++i) p.Entry(static_cast<int>(236 + i)) = system[i];
    colors = 236;
    start = 10;
  }
  std::vector<RGBQUAD> table;
  {
    TColorQuantizer quantizer(colors, colorBits);
    quantizer.FeedImage(reader, width, height);
    quantizer.ReadPalette(table);
  }
  for (size_t i = 0; i < table.size() && i < static_cast<size_t>(colors); ++i) {
    PALETTEENTRY& e = p.Entry(start + static_cast<int>(i));
    e.peRed = table[i].rgbRed;
    e.peGreen = table[i].rgbGreen;
    e.peBlue = table[i].rgbBlue;
    e.peFlags = 0;
  }
  // As many entries as the image gave colours, so no unused black entry
  // stands in the palette for the lookup to choose.
  if (!useSystemColors) p.Log()->palNumEntries = static_cast<WORD>(std::max<size_t>(1, table.size()));
  return p.Create();
}

namespace {
// The pixels as 24 bits, without changing the caller's bitmap.
struct T24BitSource {
  explicit T24BitSource(TBitmap& bitmap) : Bitmap(&bitmap) {
    if (bitmap.PixelFormat() != pf24bit) {
      Copy = std::make_unique<TBitmap>();
      Copy->Assign(&bitmap);
      Bitmap = Copy.get();
    }
    Reader = std::make_unique<TDIBReader>(*Bitmap, pf24bit);
  }
  TBitmap* Bitmap;
  std::unique_ptr<TBitmap> Copy;
  std::unique_ptr<TDIBReader> Reader;
};

struct TPaletteHolder {
  HPALETTE Handle = nullptr;
  ~TPaletteHolder() {
    if (Handle) DeleteObject(Handle);
  }
};

}  // namespace

HPALETTE CopyPalette(HPALETTE source) {
  PALETTEENTRY entries[256];
  UINT n = source ? GetPaletteEntries(source, 0, 256, entries) : 0;
  if (n == 0) return nullptr;
  TPaletteBlock p(static_cast<int>(n), 0);
  std::copy(entries, entries + n, p.Log()->palPalEntry);
  return p.Create();
}

HPALETTE MakeBitmapPalette(TBitmap& bitmap, int colors, int colorBits, bool useSystemColors) {
  T24BitSource source(bitmap);
  return MakeReaderPalette(*source.Reader, bitmap.Width(), bitmap.Height(), colors, colorBits, useSystemColors);
}

std::unique_ptr<TBitmap> ReduceToPalette(TBitmap& bitmap, int reduction, int ditherKind, int reductionDepth,
                                         HPALETTE customPalette) {
  auto result = std::make_unique<TBitmap>();
  if (reduction == ReduceNone) {
    result->Assign(&bitmap);
    SetPixelFormat(*result, pf24bit);
    return result;
  }
  const int width = bitmap.Width(), height = bitmap.Height();
  if (reduction < 0 || reduction > ReduceCustomPalette || ditherKind < 0 || ditherKind > DitherBurkes ||
      width <= 0 || height <= 0)
    return result;
  // The resize to come then needs little memory.
  if (static_cast<int64_t>(width) * height > 500000) result->SetPixelFormat(pf1bit);

  T24BitSource source(bitmap);
  TPaletteHolder palette;
  std::unique_ptr<TColorLookup> lookup;
  switch (reduction) {
    case ReduceSystem20:
      palette.Handle = CopyPalette(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
      break;
    case ReduceHalftone256: palette.Handle = MakeHalftonePalette(); break;
    case ReduceGray4: palette.Handle = MakeGray4Palette(); break;
    case ReduceMonochrome:
      palette.Handle = MakeBlackWhitePalette();
      lookup = std::make_unique<TMonochromeLookup>(palette.Handle);
      break;
    case ReduceGray256:
      palette.Handle = MakeGray256Palette();
      lookup = std::make_unique<TGrayScaleLookup>(palette.Handle);
      break;
    case ReduceWebCube:
      palette.Handle = MakeWebPalette();
      lookup = std::make_unique<TNetscapeColorLookup>(palette.Handle);
      break;
    case ReduceOctree:
      palette.Handle = MakeReaderPalette(*source.Reader, width, height, 1 << std::clamp(reductionDepth, 1, 8), 8, false);
      break;
    case ReduceOctreeSystem:
      palette.Handle = MakeReaderPalette(*source.Reader, width, height, 256, 8, true);
      break;
    case ReduceCustomPalette: palette.Handle = CopyPalette(customPalette); break;
    default: break;
  }
  if (!lookup) lookup = std::make_unique<TSlowColorLookup>(palette.Handle);
  if (lookup->EntryCount == 0) return result;
  std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(ditherKind, width, lookup.get());
  {
    TDIBWriter writer(*result, pf8bit, width, height, palette.Handle);
    uint8_t r, g, b;
    for (int y = 0; y < height; ++y) {
      const uint8_t* src = source.Reader->ScanLine(y);
      uint8_t* dst = writer.ScanLine(y);
      for (int x = ditherer->Column(); x >= 0 && x < width; x = ditherer->Column()) {
        const uint8_t* p = src + static_cast<int64_t>(x) * 3;
        dst[x] = ditherer->MapPixel(p[2], p[1], p[0], r, g, b);
      }
      ditherer->EndRow();
    }
  }
  // The result keeps its palette, so that its colours can be read back as a table.
  result->SetPalette(palette.Handle);
  palette.Handle = nullptr;
  return result;
}
