#include "gif/GIFColorMap.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/GIFItems.h"
#include "gif/GIFSubImage.h"
#include "platform/gdi/Gdi.h"

static COLORREF MakeColor(const uint8_t* rgb) {
  return static_cast<COLORREF>(rgb[0] | (rgb[1] << 8) | (rgb[2] << 16));
}

void TGIFColorMap::Grow(int needed) {
  if (needed <= FCapacity) return;
  int capacity = needed <= 16 ? 16 : ((needed + 31) / 32) * 32;
  capacity = std::min(capacity, GIFMaxColors);
  std::unique_ptr<uint8_t[]> block(new uint8_t[static_cast<size_t>(capacity) * 3]());
  if (FData && FCount > 0) std::memcpy(block.get(), FData.get(), static_cast<size_t>(FCount) * 3);
  FData = std::move(block);
  FCapacity = capacity;
}

void TGIFColorMap::Reset() {
  FData.reset();
  FCount = FCapacity = 0;
  FSorted = false;
}

void TGIFColorMap::Assign(const TPersistent* source) {
  if (auto* map = dynamic_cast<const TGIFColorMap*>(source))
    Assign(*map);
  else
    TPersistent::Assign(source);
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
  if (&source == this) return;
  Reset();
  if (source.FCapacity > 0) {
    FData.reset(new uint8_t[static_cast<size_t>(source.FCapacity) * 3]());
    std::memcpy(FData.get(), source.FData.get(), static_cast<size_t>(source.FCount) * 3);
  }
  FCapacity = source.FCapacity;
  FCount = source.FCount;
  FSorted = source.FSorted;
  TableChanged();
}

void TGIFColorMap::ReadTable(TStream& stream, int count) {
  Reset();
  if (count <= 0) return;
  count = std::min(count, GIFMaxColors);
  Grow(count);
  ReadExact(stream, FData.get(), static_cast<int64_t>(count) * 3);
  FCount = count;
}

void TGIFColorMap::WriteTable(TStream& stream) const {
  if (FCount == 0) return;
  stream.WriteBuffer(FData.get(), static_cast<int64_t>(FCount) * 3);
  static const uint8_t black[3] = {0, 0, 0};
  for (int i = FCount; i < (1 << IndexBits()); ++i) stream.WriteBuffer(black, 3);
}

int TGIFColorMap::FindColor(COLORREF color) const {
  if (FSorted) {
    for (int i = 0; i < FCount; ++i)
      if (MakeColor(Entry(i)) == (color & 0xFFFFFF)) return i;
  } else {
    for (int i = FCount - 1; i >= 0; --i)
      if (MakeColor(Entry(i)) == (color & 0xFFFFFF)) return i;
  }
  return -1;
}

int TGIFColorMap::AppendColor(COLORREF color) {
  if (FCount >= GIFMaxColors) RaiseGIF("Color table overflow");
  Grow(FCount + 1);
  uint8_t* e = FData.get() + FCount * 3;
  e[0] = static_cast<uint8_t>(color);
  e[1] = static_cast<uint8_t>(color >> 8);
  e[2] = static_cast<uint8_t>(color >> 16);
  int index = FCount++;
  FSorted = false;
  TableChanged();
  return index;
}

int TGIFColorMap::FindOrAppendColor(COLORREF color) {
  int i = FindColor(color);
  return i >= 0 ? i : AppendColor(color);
}

void TGIFColorMap::RemoveColor(int index) {
  if (index < 0 || index >= FCount) RaiseGIF("Invalid color index");
  std::memmove(FData.get() + index * 3, FData.get() + (index + 1) * 3,
               static_cast<size_t>(FCount - index - 1) * 3);
  --FCount;
  FSorted = false;
  TableChanged();
}

COLORREF TGIFColorMap::ColorAt(int index) {
  if (index < 0 || index >= FCount) {
    ReportWarning(GIFWarningSeverity, "Invalid color index");
    if (FCount == 0) RaiseGIF("Color table is empty");
    index = 0;
  }
  return MakeColor(Entry(index));
}

void TGIFColorMap::TakePaletteEntries(HPALETTE palette) {
  Reset();
  PALETTEENTRY entries[GIFMaxColors];
  UINT n = palette ? GetPaletteEntries(palette, 0, GIFMaxColors, entries) : 0;
  if (n == 0) return;
  n = std::min<UINT>(n, GIFMaxColors);
  Grow(static_cast<int>(n));
  for (UINT i = 0; i < n; ++i) {
    FData[i * 3] = entries[i].peRed;
    FData[i * 3 + 1] = entries[i].peGreen;
    FData[i * 3 + 2] = entries[i].peBlue;
  }
  FCount = static_cast<int>(n);
  TableChanged();
}

void TGIFColorMap::TakeRGBQuads(const uint8_t* quads, int count) {
  Reset();
  if (count <= 0 || !quads) return;
  count = std::min(count, GIFMaxColors);
  Grow(count);
  for (int i = 0; i < count; ++i) {
    FData[i * 3] = quads[i * 4 + 2];
    FData[i * 3 + 1] = quads[i * 4 + 1];
    FData[i * 3 + 2] = quads[i * 4];
  }
  FCount = count;
  TableChanged();
}

void TGIFColorMap::TakeDIBColors(HDC dc) {
  RGBQUAD quads[GIFMaxColors];
  UINT n = GetDIBColorTable(dc, 0, GIFMaxColors, quads);
  TakeRGBQuads(reinterpret_cast<const uint8_t*>(quads), static_cast<int>(std::min<UINT>(n, GIFMaxColors)));
  TableChanged();
}

HPALETTE TGIFColorMap::MakePalette() const {
  if (FCount == 0) return nullptr;
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * GIFMaxColors);
  auto* pal = reinterpret_cast<LOGPALETTE*>(block.data());
  pal->palVersion = 0x300;
  pal->palNumEntries = static_cast<WORD>(FCount);
  for (int i = 0; i < FCount; ++i) {
    pal->palPalEntry[i].peRed = FData[i * 3];
    pal->palPalEntry[i].peGreen = FData[i * 3 + 1];
    pal->palPalEntry[i].peBlue = FData[i * 3 + 2];
    pal->palPalEntry[i].peFlags = PC_NOCOLLAPSE;
  }
  return CreatePalette(pal);
}

bool TGIFColorMap::SortByUse() {
  if (FCount < 2) return false;
  FSorted = true;
  uint32_t uses[GIFMaxColors] = {};
  CountUses(uses);
  // Pairs for every value a pixel can hold; only the table's entries are ordered.
  int order[GIFMaxColors];
  for (int i = 0; i < FCount; ++i) order[i] = i;
  std::stable_sort(order, order + FCount, [&](int a, int b) { return uses[a] > uses[b]; });
  bool same = true;
  for (int i = 0; i < FCount; ++i) same = same && order[i] == i;
  if (same) return true;
  uint8_t map[GIFMaxColors];
  for (int i = 0; i < GIFMaxColors; ++i) map[i] = static_cast<uint8_t>(i);
  for (int pos = 0; pos < FCount; ++pos) map[order[pos]] = static_cast<uint8_t>(pos);
  RemapPixels(map);
  std::unique_ptr<uint8_t[]> block(new uint8_t[static_cast<size_t>(FCapacity) * 3]());
  int used = 0;
  for (int pos = 0; pos < FCount; ++pos) {
    std::memcpy(block.get() + pos * 3, FData.get() + order[pos] * 3, 3);
    if (uses[order[pos]] > 0) used = pos + 1;
  }
  FData = std::move(block);
  FCount = used;
  TableChanged();
  return true;
}

// ---- Global table ------------------------------------------------------------

TGIFGlobalColorMap::~TGIFGlobalColorMap() {
  Reset();
  TableChanged();
}

void TGIFGlobalColorMap::ReportWarning(int severity, const std::string& message) {
  GIFReportWarning(FHeader ? FHeader->Image() : nullptr, this, severity, message);
}

template <class F>
static void ForFramesUsing(TGIFImageCore* image, const TGIFColorMap* map, F&& f) {
  if (!image) return;
  TGIFImageList& frames = image->Images();
  for (int i = 0; i < frames.Count(); ++i) {
    TGIFSubImage* frame = frames.Items(i);
    if (&frame->ActiveColorMap() == map) f(*frame);
  }
}

static void CountFrame(TGIFSubImage& frame, uint32_t (&histogram)[GIFMaxColors]) {
  const uint8_t* p = frame.Data();
  if (!p) return;
  for (uint64_t i = 0, n = frame.DataSize(); i < n; ++i) ++histogram[p[i]];
}

static void RemapFrame(TGIFSubImage& frame, const uint8_t (&map)[GIFMaxColors]) {
  uint8_t* p = frame.Data();
  if (p)
    for (uint64_t i = 0, n = frame.DataSize(); i < n; ++i) p[i] = map[p[i]];
  if (frame.Transparent() && frame.GraphicControlExtension()) {
    auto* gce = frame.GraphicControlExtension();
    gce->SetTransparentColorIndex(map[gce->TransparentColorIndex() & 0xFF]);
  }
  frame.FreeBitmap();
  frame.FreeMask();
}

void TGIFGlobalColorMap::CountUses(uint32_t (&histogram)[GIFMaxColors]) {
  ForFramesUsing(FHeader ? FHeader->Image() : nullptr, this,
                 [&](TGIFSubImage& f) { CountFrame(f, histogram); });
}

void TGIFGlobalColorMap::RemapPixels(const uint8_t (&map)[GIFMaxColors]) {
  ForFramesUsing(FHeader ? FHeader->Image() : nullptr, this, [&](TGIFSubImage& f) { RemapFrame(f, map); });
}

void TGIFGlobalColorMap::TableChanged() {
  if (FHeader && FHeader->Image()) FHeader->Image()->PaletteChanged();
}

bool TGIFGlobalColorMap::SortByUse() {
  TGIFImageCore* image = FHeader ? FHeader->Image() : nullptr;
  if (!image || image->Images().Count() == 0) return false;
  return TGIFColorMap::SortByUse();
}

// ---- Local table -------------------------------------------------------------

TGIFLocalColorMap::~TGIFLocalColorMap() {
  Reset();
  TableChanged();
}

void TGIFLocalColorMap::ReportWarning(int severity, const std::string& message) {
  GIFReportWarning(FFrame ? FFrame->Image() : nullptr, this, severity, message);
}

void TGIFLocalColorMap::CountUses(uint32_t (&histogram)[GIFMaxColors]) {
  if (FFrame) CountFrame(*FFrame, histogram);
}

void TGIFLocalColorMap::RemapPixels(const uint8_t (&map)[GIFMaxColors]) {
  if (FFrame) RemapFrame(*FFrame, map);
}

void TGIFLocalColorMap::TableChanged() {
  if (FFrame) FFrame->SetFramePalette(nullptr);
}
