// Logical palettes and the platform's own default and halftone palettes.
#include <cstring>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Palette.h"

namespace hkgdi {

std::vector<PALETTEENTRY> DefaultPaletteEntries() {
  static const BYTE c[20][3] = {
      {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
      {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
      {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
      {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
  std::vector<PALETTEENTRY> e;
  for (auto& rgb : c) e.push_back(PALETTEENTRY{rgb[0], rgb[1], rgb[2], 0});
  return e;
}

std::vector<PALETTEENTRY> HalftonePaletteEntries() {
  auto statics = DefaultPaletteEntries();
  std::vector<PALETTEENTRY> e(statics.begin(), statics.begin() + 10);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        e.push_back(PALETTEENTRY{static_cast<BYTE>(r * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(b * 51), 0});
  // Greys between the cube's steps.
  for (int i = 1; i <= 20; ++i) {
    int v = (i * 255) / 21;
    if (v % 51 == 0) v += 3;
    e.push_back(PALETTEENTRY{static_cast<BYTE>(v), static_cast<BYTE>(v), static_cast<BYTE>(v), 0});
  }
  e.insert(e.end(), statics.begin() + 10, statics.end());
  return e;
}

}  // namespace hkgdi

using namespace hkgdi;

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palVersion != 0x300 || palette->palNumEntries == 0 || palette->palNumEntries > 1024)
    return nullptr;
  auto p = std::make_shared<TPaletteObj>();
  p->Entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return reinterpret_cast<HPALETTE>(AddObject(p));
}

HPALETTE CreateHalftonePalette(HDC) {
  auto p = std::make_shared<TPaletteObj>();
  p->Entries = HalftonePaletteEntries();
  return reinterpret_cast<HPALETTE>(AddObject(p));
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
  auto p = GetObj<TPaletteObj>(reinterpret_cast<HGDIOBJ>(palette), TObjKind::Palette);
  if (!p) return 0;
  UINT size = static_cast<UINT>(p->Entries.size());
  if (!entries) return size;
  if (start >= size) return 0;
  UINT n = std::min(count, size - start);
  std::memcpy(entries, p->Entries.data() + start, n * sizeof(PALETTEENTRY));
  return n;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries) {
  auto p = GetObj<TPaletteObj>(reinterpret_cast<HGDIOBJ>(palette), TObjKind::Palette);
  if (!p || !entries) return 0;
  UINT size = static_cast<UINT>(p->Entries.size());
  if (start >= size) return 0;
  UINT n = std::min(count, size - start);
  std::memcpy(p->Entries.data() + start, entries, n * sizeof(PALETTEENTRY));
  return n;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
  auto p = GetObj<TPaletteObj>(reinterpret_cast<HGDIOBJ>(palette), TObjKind::Palette);
  if (!p || p->Entries.empty()) return CLR_INVALID;
  std::vector<RGBQUAD> q;
  q.reserve(p->Entries.size());
  for (auto& e : p->Entries) q.push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
  return static_cast<UINT>(NearestIndex(q.data(), static_cast<int>(q.size()), RgbOf(color & 0xFFFFFF)));
}

// The screen is true colour: it has no system palette to read.
UINT GetSystemPaletteEntries(HDC, UINT, UINT, PALETTEENTRY*) { return 0; }

COLORREF GetNearestColor(HDC handle, COLORREF color) {
  auto dc = DCs().Get(handle);
  if (!dc) return CLR_INVALID;
  COLORREF c = ResolveColor(*dc, color);
  TTarget t;
  if (!MakeTarget(*dc, t, true, false)) return c;
  return ColorRefOf(RgbOfRaw(t.View, RawOfRgb(t.View, RgbOf(c))));
}
