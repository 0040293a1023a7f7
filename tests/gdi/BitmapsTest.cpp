#include <gtest/gtest.h>

#include <cstring>

#include "tests/gdi/GdiTestUtil.h"

namespace {

struct TInfo {
  BITMAPINFOHEADER Header{};
  RGBQUAD Colors[256]{};
  BITMAPINFO* Get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

TInfo Info(int w, int h, int bpp) {
  TInfo i;
  i.Header.biSize = sizeof(BITMAPINFOHEADER);
  i.Header.biWidth = w;
  i.Header.biHeight = h;
  i.Header.biPlanes = 1;
  i.Header.biBitCount = static_cast<WORD>(bpp);
  for (int k = 0; k < 256; ++k) i.Colors[k] = RGBQUAD{static_cast<BYTE>(k), static_cast<BYTE>(255 - k), 7, 0};
  return i;
}

}  // namespace

// Each depth, each row order: a pixel set through the DC lands at the right
// bits in memory, and reads back as the colour of its table entry.
TEST(Bitmaps, DibSectionLayoutAtEveryDepth) {
  for (int bpp : {1, 4, 8, 24, 32})
    for (bool topDown : {true, false}) {
      SCOPED_TRACE(testing::Message() << bpp << " bits, " << (topDown ? "top-down" : "bottom-up"));
      const int w = 9, h = 3;
      TInfo info = Info(w, topDown ? -h : h, bpp);
      void* bits = nullptr;
      HBITMAP bmp = CreateDIBSection(nullptr, info.Get(), DIB_RGB_COLORS, &bits, nullptr, 0);
      ASSERT_NE(bmp, nullptr);
      ASSERT_NE(bits, nullptr);
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, bmp);
      ASSERT_NE(old, nullptr);
      // The colour of table entry 1 (or any colour for direct formats).
      COLORREF color = bpp <= 8 ? RGB(7, 254, 1) : RGB(10, 20, 30);
      EXPECT_EQ(SetPixel(dc, 5, 0, color), color);
      EXPECT_EQ(GetPixel(dc, 5, 0), color);
      EXPECT_EQ(GetPixel(dc, 4, 0), bpp <= 8 ? RGB(7, 255, 0) : RGB(0, 0, 0));
      int64_t stride = ((w * bpp + 31) / 32) * 4;
      const uint8_t* row0 = static_cast<uint8_t*>(bits) + (topDown ? 0 : stride * (h - 1));
      switch (bpp) {
        case 1: EXPECT_EQ(row0[0], 0x04); break;
        case 4: EXPECT_EQ(row0[2], 0x01); break;
        case 8: EXPECT_EQ(row0[5], 1); break;
        case 24: EXPECT_EQ(row0[15], 30); EXPECT_EQ(row0[17], 10); break;
        case 32: EXPECT_EQ(row0[20], 30); EXPECT_EQ(row0[22], 10); EXPECT_EQ(row0[23], 0); break;
      }
      if (bpp <= 8) {
        RGBQUAD table[2];
        ASSERT_EQ(GetDIBColorTable(dc, 0, 2, table), 2u);
        EXPECT_EQ(table[1].rgbGreen, 254);
      }
      SelectObject(dc, old);
      EXPECT_TRUE(DeleteObject(bmp));
      DeleteDC(dc);
    }
}

TEST(Bitmaps, BadHeadersMakeNoBitmap) {
  struct Case { const char* what; int w, h, bpp, planes; DWORD compression; };
  const Case cases[] = {
      {"zero width", 0, 4, 32, 1, BI_RGB},     {"zero height", 4, 0, 32, 1, BI_RGB},
      {"odd depth", 4, 4, 7, 1, BI_RGB},       {"two planes", 4, 4, 32, 2, BI_RGB},
      {"compressed", 4, 4, 8, 1, 1},           {"negative width", -4, 4, 32, 1, BI_RGB},
      {"huge", 1 << 30, 1 << 30, 32, 1, BI_RGB}, {"most negative height", 4, INT32_MIN, 32, 1, BI_RGB},
  };
  for (const Case& c : cases) {
    TInfo info = Info(c.w, c.h, c.bpp);
    info.Header.biPlanes = static_cast<WORD>(c.planes);
    info.Header.biCompression = c.compression;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, info.Get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << c.what;
    EXPECT_EQ(bits, nullptr) << c.what;
  }
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(CreateBitmap(100000, 100000, 1, 32, nullptr), nullptr);
}

TEST(Bitmaps, CompatibleBitmapFollowsTheSelectedBitmap) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAP bm{};
  // A fresh memory DC holds a monochrome bitmap, so its compatible bitmaps are monochrome.
  HBITMAP mono = CreateCompatibleBitmap(dc, 10, 10);
  GetObject(mono, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmWidthBytes, 2);  // monochrome device rows are WORD-aligned
  TDibCanvas colour(2, 2);
  HBITMAP c32 = CreateCompatibleBitmap(colour.DC, 10, 10);
  GetObject(c32, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  DeleteObject(mono);
  DeleteObject(c32);
  DeleteDC(dc);
}

TEST(Bitmaps, MonochromeBitmapFromWordAlignedRows) {
  // 3 x 2, rows of 2 bytes: 101 / 010, leftmost pixel in bit 7.
  const uint8_t bits[] = {0xA0, 0x00, 0x40, 0x00};
  HBITMAP bmp = CreateBitmap(3, 2, 1, 1, bits);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bmp);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
  DeleteDC(dc);
  EXPECT_TRUE(DeleteObject(bmp));
}

TEST(Bitmaps, GetAndSetDIBitsConvertAndKeepRowOrder) {
  TDibCanvas c(3, 2, 0);
  SetPixel(c.DC, 0, 0, RGB(1, 2, 3));    // top row
  SetPixel(c.DC, 2, 1, RGB(4, 5, 6));    // bottom row
  SelectObject(c.DC, c.Old);             // GetDIBits wants the bitmap out of DCs
  HDC dc = CreateCompatibleDC(nullptr);

  TInfo query = Info(0, 0, 0);
  query.Header.biWidth = 0;
  EXPECT_NE(GetDIBits(dc, c.Bitmap, 0, 0, nullptr, query.Get(), DIB_RGB_COLORS), 0);
  EXPECT_EQ(query.Header.biWidth, 3);
  EXPECT_EQ(query.Header.biHeight, 2);
  EXPECT_EQ(query.Header.biBitCount, 32);

  // Into a bottom-up 24-bit buffer: rows of 12 bytes, the bottom row first.
  TInfo info = Info(3, 2, 24);
  uint8_t buf[24] = {};
  EXPECT_EQ(GetDIBits(dc, c.Bitmap, 0, 2, buf, info.Get(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(buf[6], 6);
  EXPECT_EQ(buf[8], 4);
  EXPECT_EQ(buf[12], 3);
  EXPECT_EQ(buf[14], 1);
  // One scan line from scan 1: the top row.
  uint8_t one[12] = {};
  EXPECT_EQ(GetDIBits(dc, c.Bitmap, 1, 5, one, info.Get(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(one[2], 1);

  // Back from an 8-bit bottom-up DIB through its colour table.
  TInfo pal = Info(3, 2, 8);
  uint8_t idx[8] = {10, 20, 30, 0, 40, 50, 60, 0};  // bottom row, then top row
  EXPECT_EQ(SetDIBits(dc, c.Bitmap, 0, 2, idx, pal.Get(), DIB_RGB_COLORS), 2);
  SelectObject(c.DC, c.Bitmap);
  EXPECT_EQ(c.At(0, 1), 0x07F50Au);  // index 10: red 7, green 245, blue 10
  EXPECT_EQ(c.At(0, 0), 0x07D728u);  // index 40
  EXPECT_EQ(GetDIBits(dc, nullptr, 0, 2, buf, info.Get(), DIB_RGB_COLORS), 0);
  DeleteDC(dc);
}

TEST(Bitmaps, CreateDIBitmapAndStretchDIBitsOrientation) {
  // 2 x 2 bottom-up 32-bit: memory holds the bottom row first.
  uint32_t px[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0x00FFFFFF};
  TInfo info = Info(2, 2, 32);
  TDibCanvas c(4, 4, 0);
  EXPECT_EQ(StretchDIBits(c.DC, 0, 0, 2, 2, 0, 0, 2, 2, px, info.Get(), DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(c.At(0, 0), 0xFF0000u);
  EXPECT_EQ(c.At(1, 1), 0x00FF00u);
  // Source rows of a bottom-up DIB count from its bottom: (0, 0, 1 x 1) is the bottom-left pixel.
  EXPECT_EQ(StretchDIBits(c.DC, 3, 3, 1, 1, 0, 0, 1, 1, px, info.Get(), DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(c.At(3, 3), 0x0000FFu);
  // Alpha bytes arrive as they are.
  uint32_t alpha[1] = {0x80102030};
  TInfo one = Info(1, -1, 32);
  StretchDIBits(c.DC, 2, 0, 1, 1, 0, 0, 1, 1, alpha, one.Get(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(c.Raw(2, 0), 0x80102030u);
  // Stretched 2 x 2 into 4 x 4: each pixel doubled.
  StretchDIBits(c.DC, 0, 0, 4, 4, 0, 0, 2, 2, px, info.Get(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(c.At(1, 1), 0xFF0000u);
  EXPECT_EQ(c.At(2, 3), 0x00FF00u);

  HBITMAP ddb = CreateDIBitmap(c.DC, &info.Header, CBM_INIT, px, info.Get(), DIB_RGB_COLORS);
  ASSERT_NE(ddb, nullptr);
  HDC dc = CreateCompatibleDC(c.DC);
  SelectObject(dc, ddb);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));  // the top row is the DIB's last
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 255));
  DeleteDC(dc);
  DeleteObject(ddb);
}
