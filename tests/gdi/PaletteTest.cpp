#include <gtest/gtest.h>

#include <vector>

#include "tests/gdi/GdiTestUtil.h"

namespace {
HPALETTE MakePalette(const std::vector<PALETTEENTRY>& entries, WORD version = 0x300) {
  std::vector<uint8_t> buf(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
  lp->palVersion = version;
  lp->palNumEntries = static_cast<WORD>(entries.size());
  std::copy(entries.begin(), entries.end(), lp->palPalEntry);
  return CreatePalette(lp);
}
}  // namespace

TEST(Palettes, EntriesNearestAndSelection) {
  HPALETTE pal = MakePalette({{0, 0, 0, 0}, {255, 0, 0, PC_NOCOLLAPSE}, {0, 0, 255, 0}, {250, 250, 250, 0}});
  ASSERT_NE(pal, nullptr);
  WORD count = 0;
  EXPECT_EQ(GetObject(pal, sizeof(count), &count), 2);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 4u);
  PALETTEENTRY e[8];
  EXPECT_EQ(GetPaletteEntries(pal, 1, 8, e), 3u);
  EXPECT_EQ(e[0].peRed, 255);
  EXPECT_EQ(e[0].peFlags, PC_NOCOLLAPSE);
  EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(200, 30, 20)), 1u);
  EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(10, 10, 200)), 2u);
  EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(255, 255, 255)), 3u);

  TDibCanvas c(2, 2);
  HPALETTE old = SelectPalette(c.DC, pal, FALSE);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(old), GetStockObject(DEFAULT_PALETTE));
  EXPECT_NE(RealizePalette(c.DC), GDI_ERROR);
  // Palette-index colours resolve through the selected palette.
  SetPixel(c.DC, 0, 0, 0x01000002);
  EXPECT_EQ(GetPixel(c.DC, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SelectPalette(c.DC, old, FALSE)), reinterpret_cast<HGDIOBJ>(pal));
  EXPECT_TRUE(DeleteObject(pal));
  EXPECT_EQ(GetNearestPaletteIndex(pal, 0), CLR_INVALID);
  EXPECT_EQ(SelectPalette(c.DC, pal, FALSE), nullptr);
}

TEST(Palettes, StockDefaultAndHalftone) {
  PALETTEENTRY e[256];
  HPALETTE def = reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  EXPECT_EQ(GetPaletteEntries(def, 0, 256, e), 20u);
  EXPECT_EQ(e[0].peRed + e[0].peGreen + e[0].peBlue, 0);
  EXPECT_EQ(e[19].peRed + e[19].peGreen + e[19].peBlue, 3 * 255);
  HDC screen = CreateScreenDC();
  HPALETTE half = CreateHalftonePalette(screen);
  ASSERT_EQ(GetPaletteEntries(half, 0, 256, e), 256u);
  // The colour cube is there: every multiple of 51 in every channel is found exactly.
  for (int r = 0; r < 6; ++r)
    for (int b = 0; b < 6; ++b) {
      UINT i = GetNearestPaletteIndex(half, RGB(r * 51, 102, b * 51));
      EXPECT_EQ(RGB(e[i].peRed, e[i].peGreen, e[i].peBlue), RGB(r * 51, 102, b * 51));
    }
  DeleteObject(half);
  DeleteDC(screen);
}

TEST(Palettes, BadLogicalPalettesAreRefused) {
  EXPECT_EQ(MakePalette({{1, 2, 3, 0}}, 0x200), nullptr);
  EXPECT_EQ(MakePalette({}), nullptr);
  EXPECT_EQ(CreatePalette(nullptr), nullptr);
  EXPECT_EQ(GetPaletteEntries(nullptr, 0, 1, nullptr), 0u);
}
