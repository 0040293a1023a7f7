#include <gtest/gtest.h>

#include "tests/gdi/GdiTestUtil.h"

TEST(Blit, RasterOperations) {
  struct Case { DWORD rop; uint32_t expected; };
  const uint32_t s = 0x00F0CC0F, d = 0x003C55FF;
  const Case cases[] = {
      {SRCCOPY, s},          {SRCAND, s & d},        {SRCPAINT, s | d},
      {SRCINVERT, s ^ d},    {NOTSRCCOPY, ~s & 0xFFFFFF}, {SRCERASE, s & ~d & 0xFFFFFF},
      {DSTINVERT, ~d & 0xFFFFFF}, {BLACKNESS, 0}, {WHITENESS, 0xFFFFFF},
      {MERGECOPY, s & 0x123456}, {PATCOPY, 0x123456}, {PATINVERT, 0x123456 ^ d},
  };
  for (const Case& c : cases) {
    TDibCanvas src(3, 1, s), dst(3, 1, d);
    HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
    HGDIOBJ old = SelectObject(dst.DC, brush);
    EXPECT_TRUE(BitBlt(dst.DC, 1, 0, 1, 1, src.DC, 0, 0, c.rop));
    EXPECT_EQ(dst.At(1, 0), c.expected) << std::hex << c.rop;
    EXPECT_EQ(dst.At(0, 0), d);
    EXPECT_EQ(dst.At(2, 0), d);
    SelectObject(dst.DC, old);
    DeleteObject(brush);
  }
}

TEST(Blit, ColourToMonochromeAndBack) {
  TDibCanvas colour(3, 1, 0x00FF0000);  // red
  colour.Bits[1] = 0x0000FF00;           // green in the middle
  HBITMAP mono = CreateBitmap(3, 1, 1, 1, nullptr);
  HDC mdc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mdc, mono);
  // The source's background colour becomes 1 (white), every other colour 0.
  SetBkColor(colour.DC, RGB(255, 0, 0));
  BitBlt(mdc, 0, 0, 3, 1, colour.DC, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(mdc, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(mdc, 1, 0), RGB(0, 0, 0));
  // Monochrome to colour: 0 bits take the destination's text colour, 1 bits its background.
  TDibCanvas out(3, 1, 0);
  SetTextColor(out.DC, RGB(0, 0, 255));
  SetBkColor(out.DC, RGB(0, 255, 0));
  BitBlt(out.DC, 0, 0, 3, 1, mdc, 0, 0, SRCCOPY);
  EXPECT_EQ(out.At(0, 0), 0x00FF00u);
  EXPECT_EQ(out.At(1, 0), 0x0000FFu);
  // Monochrome to monochrome copies bits.
  HBITMAP mono2 = CreateBitmap(3, 1, 1, 1, nullptr);
  HDC m2 = CreateCompatibleDC(nullptr);
  SelectObject(m2, mono2);
  BitBlt(m2, 0, 0, 3, 1, mdc, 0, 0, NOTSRCCOPY);
  EXPECT_EQ(GetPixel(m2, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(m2, 1, 0), RGB(255, 255, 255));
  DeleteDC(m2);
  DeleteObject(mono2);
  SelectObject(mdc, old);
  DeleteDC(mdc);
  DeleteObject(mono);
}

// The colour-key drawing of PNG pictures: mask, inverse mask, SRCAND and
// SRCPAINT leave the background wherever the image has the key colour.
TEST(Blit, MaskedTransparencyByRasterOperations) {
  const uint32_t key = 0x00FF00FF, bg = 0x00336699;
  TDibCanvas image(4, 4, 0x00102030);
  image.Bits[0] = image.Bits[5] = image.Bits[15] = key;
  TDibCanvas target(4, 4, bg);
  HDC maskDC = CreateCompatibleDC(target.DC), invDC = CreateCompatibleDC(target.DC), workDC = CreateCompatibleDC(target.DC);
  HBITMAP mask = CreateBitmap(4, 4, 1, 1, nullptr), inv = CreateBitmap(4, 4, 1, 1, nullptr);
  HBITMAP work = CreateCompatibleBitmap(target.DC, 4, 4);
  HGDIOBJ o1 = SelectObject(maskDC, mask), o2 = SelectObject(invDC, inv), o3 = SelectObject(workDC, work);
  COLORREF oldBk = SetBkColor(image.DC, RGB(255, 0, 255));
  StretchBlt(maskDC, 0, 0, 4, 4, image.DC, 0, 0, 4, 4, SRCCOPY);
  SetBkColor(image.DC, oldBk);
  BitBlt(invDC, 0, 0, 4, 4, maskDC, 0, 0, NOTSRCCOPY);
  BitBlt(workDC, 0, 0, 4, 4, target.DC, 0, 0, SRCCOPY);
  BitBlt(workDC, 0, 0, 4, 4, maskDC, 0, 0, SRCAND);
  StretchBlt(image.DC, 0, 0, 4, 4, invDC, 0, 0, 4, 4, SRCAND);
  StretchBlt(workDC, 0, 0, 4, 4, image.DC, 0, 0, 4, 4, SRCPAINT);
  BitBlt(target.DC, 0, 0, 4, 4, workDC, 0, 0, SRCCOPY);
  for (int i = 0; i < 16; ++i) {
    bool transparent = i == 0 || i == 5 || i == 15;
    EXPECT_EQ(target.At(i % 4, i / 4), transparent ? bg : 0x102030u) << i;
  }
  SelectObject(maskDC, o1);
  SelectObject(invDC, o2);
  SelectObject(workDC, o3);
  for (HDC d : {maskDC, invDC, workDC}) DeleteDC(d);
  for (HBITMAP b : {mask, inv, work}) EXPECT_TRUE(DeleteObject(b));
}

TEST(Blit, MaskBltKeepsTheDestinationUnderSetMaskBits) {
  TDibCanvas src(2, 1, 0x00AAAAAA), dst(2, 1, 0x00111111);
  const uint8_t bits[] = {0x80, 0};  // left pixel 1
  HBITMAP mask = CreateBitmap(2, 1, 1, 1, bits);
  EXPECT_TRUE(MaskBlt(dst.DC, 0, 0, 2, 1, src.DC, 0, 0, mask, 0, 0, MAKEROP4(0x00AA0029, SRCCOPY)));
  EXPECT_EQ(dst.At(0, 0), 0x111111u);
  EXPECT_EQ(dst.At(1, 0), 0xAAAAAAu);
  DeleteObject(mask);
}

TEST(Blit, StretchMirrorAndClip) {
  TDibCanvas src(2, 1, 0);
  src.Bits[0] = 0x000001;
  src.Bits[1] = 0x000002;
  TDibCanvas dst(6, 2, 0x00FFFFFF);
  SetStretchBltMode(dst.DC, COLORONCOLOR);
  EXPECT_EQ(GetStretchBltMode(dst.DC), COLORONCOLOR);
  StretchBlt(dst.DC, 0, 0, 4, 1, src.DC, 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), 1u);
  EXPECT_EQ(dst.At(1, 0), 1u);
  EXPECT_EQ(dst.At(2, 0), 2u);
  EXPECT_EQ(dst.At(3, 0), 2u);
  // A negative destination width mirrors.
  StretchBlt(dst.DC, 2, 1, -2, 1, src.DC, 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ(dst.At(0, 1), 2u);
  EXPECT_EQ(dst.At(1, 1), 1u);
  // Shrinking picks one of each pair.
  TDibCanvas wide(4, 1, 0);
  for (int i = 0; i < 4; ++i) wide.Bits[i] = static_cast<uint32_t>(i + 1);
  StretchBlt(dst.DC, 4, 0, 2, 1, wide.DC, 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(dst.At(4, 0), 2u);
  EXPECT_EQ(dst.At(5, 0), 4u);
  // A source rectangle partly outside its bitmap copies only what exists.
  TDibCanvas d2(4, 1, 0x00FFFFFF);
  EXPECT_TRUE(BitBlt(d2.DC, 0, 0, 4, 1, src.DC, -1, 0, SRCCOPY));
  EXPECT_EQ(d2.At(0, 0), 0xFFFFFFu);
  EXPECT_EQ(d2.At(1, 0), 1u);
  EXPECT_EQ(d2.At(2, 0), 2u);
  EXPECT_EQ(d2.At(3, 0), 0xFFFFFFu);
  // Far outside, huge or zero sizes: nothing happens, nothing breaks.
  EXPECT_TRUE(BitBlt(d2.DC, 1 << 30, 0, 1 << 30, 1, src.DC, 0, 0, SRCCOPY));
  EXPECT_TRUE(StretchBlt(d2.DC, 0, 0, 4, 1, src.DC, 0, 0, 0, 0, SRCCOPY));
  EXPECT_TRUE(StretchBlt(d2.DC, -5, -5, 1 << 20, 1 << 20, src.DC, 0, 0, 2, 1, SRCCOPY));
  for (int v : {INT32_MIN, INT32_MIN + 1, INT32_MAX})
    EXPECT_TRUE(StretchBlt(d2.DC, v, 0, v, 1, src.DC, v, v, v, v, SRCINVERT));
}

TEST(Blit, OverlappingCopyWithinOneBitmap) {
  TDibCanvas c(5, 5, 0);
  for (int i = 0; i < 25; ++i) c.Bits[i] = static_cast<uint32_t>(i);
  // Scroll down-right by one pixel.
  BitBlt(c.DC, 1, 1, 4, 4, c.DC, 0, 0, SRCCOPY);
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x) EXPECT_EQ(c.At(x, y), static_cast<uint32_t>((y - 1) * 5 + (x - 1)));
}

TEST(Blit, EightBitDestinationMapsToNearestEntry) {
  struct { BITMAPINFOHEADER h; RGBQUAD c[256]; } info{};
  info.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, -1, 1, 8, BI_RGB, 0, 0, 0, 2, 0};
  info.c[0] = RGBQUAD{0, 0, 0, 0};
  info.c[1] = RGBQUAD{0, 0, 250, 0};  // nearly pure red
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bmp);
  TDibCanvas src(2, 1, 0x00200000);  // dark red: entry 0
  src.Bits[1] = 0x00F01010;          // bright red: entry 1
  BitBlt(dc, 0, 0, 2, 1, src.DC, 0, 0, SRCCOPY);
  EXPECT_EQ(static_cast<uint8_t*>(bits)[0], 0);
  EXPECT_EQ(static_cast<uint8_t*>(bits)[1], 1);
  DeleteDC(dc);
  DeleteObject(bmp);
}

TEST(Blit, SurfaceToMemoryAndAlphaBlend) {
  auto surface = std::make_shared<TSurface>(4, 4, 0x00ABCDEFu);
  HDC wdc = CreateSurfaceDC(surface, 2, 2, RECT{0, 0, 4, 4});
  surface->Row(2)[2] = 0x00010203u;
  TDibCanvas c(2, 2, 0);
  BitBlt(c.DC, 0, 0, 2, 2, wdc, 0, 0, SRCCOPY);
  EXPECT_EQ(c.At(0, 0), 0x010203u);
  EXPECT_EQ(c.At(1, 1), 0xABCDEFu);
  // Premultiplied source at half alpha over white.
  TDibCanvas src(1, 1, 0x80800000);  // red 128 premultiplied, alpha 128
  TDibCanvas dst(1, 1, 0x00FFFFFF);
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  EXPECT_TRUE(AlphaBlend(dst.DC, 0, 0, 1, 1, src.DC, 0, 0, 1, 1, bf));
  EXPECT_NEAR(static_cast<int>((dst.At(0, 0) >> 16) & 0xFF), 255, 1);
  EXPECT_NEAR(static_cast<int>(dst.At(0, 0) & 0xFF), 127, 1);
  EXPECT_FALSE(AlphaBlend(dst.DC, 0, 0, 1, 1, src.DC, 0, 0, 2, 2, bf));  // outside the source
  EXPECT_FALSE(AlphaBlend(dst.DC, 0, 0, 1, 1, src.DC, INT32_MAX, 0, 1, 1, bf));
  // A huge destination costs only the pixels that show.
  TDibCanvas big(3, 3, 0x00FFFFFF);
  EXPECT_TRUE(AlphaBlend(big.DC, -1000000000, -1000000000, INT32_MAX, INT32_MAX, src.DC, 0, 0, 1, 1, bf));
  EXPECT_NEAR(static_cast<int>(big.At(2, 2) & 0xFF), 127, 1);
  ReleaseSurfaceDC(wdc);
}

// Whole-row conversion into 32 bits and the pixel-by-pixel way into 24 bits
// must agree for every source depth, stretched and mirrored.
TEST(Blit, ConvertingStretchesAgreeAcrossDestinationDepths) {
  struct { BITMAPINFOHEADER h; RGBQUAD c[256]; } info{};
  for (int i = 0; i < 256; ++i) info.c[i] = RGBQUAD{static_cast<BYTE>(i * 3), static_cast<BYTE>(i * 5), static_cast<BYTE>(i * 7), 0};
  uint8_t bits[64];
  for (int i = 0; i < 64; ++i) bits[i] = static_cast<uint8_t>(i * 37 + 11);
  for (int bpp : {8, 24, 32}) {
    info.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 3, 2, 1, static_cast<WORD>(bpp), BI_RGB, 0, 0, 0, 0, 0};
    TDibCanvas c32(7, 5, 0);
    struct { BITMAPINFOHEADER h; } i24{BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 7, -5, 1, 24, BI_RGB, 0, 0, 0, 0, 0}};
    void* b24 = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&i24), DIB_RGB_COLORS, &b24, nullptr, 0);
    HDC dc24 = CreateCompatibleDC(nullptr);
    SelectObject(dc24, bmp);
    for (HDC dc : {c32.DC, dc24}) {
      StretchDIBits(dc, 0, 0, 7, 5, 0, 0, 3, 2, bits, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
      StretchDIBits(dc, 6, 4, -4, -3, 0, 0, 3, 2, bits, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCINVERT);
    }
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(GetPixel(c32.DC, x, y), GetPixel(dc24, x, y)) << bpp << " bits at " << x << "," << y;
    DeleteDC(dc24);
    DeleteObject(bmp);
  }
}
