#include <gtest/gtest.h>

#include "tests/gdi/GdiTestUtil.h"

TEST(GdiObjects, StaleAndForeignHandlesAreRefused) {
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_NE(brush, nullptr);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_FALSE(DeleteObject(brush));
  LOGBRUSH lb;
  EXPECT_EQ(GetObject(brush, sizeof(lb), &lb), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(dc, brush), nullptr);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  RECT r{0, 0, 1, 1};
  EXPECT_EQ(FillRect(dc, &r, static_cast<HBRUSH>(nullptr)), 0);
  EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
  EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
  EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(uintptr_t(0x12345678))), 0u);
  // A DC handle is not an object handle.
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(other)));
  DeleteDC(other);
}

TEST(GdiObjects, SelectedObjectsAreNotDeleted) {
  TDibCanvas c(4, 4);
  EXPECT_FALSE(DeleteObject(c.Bitmap));  // a bitmap in a DC is refused
  // A selected pen is deleted only when its DC lets it go: it keeps drawing until then.
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ oldPen = SelectObject(c.DC, pen);
  EXPECT_EQ(oldPen, GetStockObject(BLACK_PEN));
  EXPECT_TRUE(DeleteObject(pen));
  MoveToEx(c.DC, 0, 0, nullptr);
  LineTo(c.DC, 2, 0);
  EXPECT_EQ(c.At(0, 0), 0xFF0000u);
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, pen), nullptr);  // deleted: nobody new may take it
  DeleteDC(other);
  EXPECT_EQ(SelectObject(c.DC, oldPen), reinterpret_cast<HGDIOBJ>(pen));
  EXPECT_EQ(GetObjectType(pen), 0u);  // gone now
  EXPECT_FALSE(DeleteObject(pen));
  // Saved states hold their objects too.
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
  HGDIOBJ oldBrush = SelectObject(c.DC, brush);
  int saved = SaveDC(c.DC);
  SelectObject(c.DC, oldBrush);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(brush), OBJ_BRUSH);
  RestoreDC(c.DC, saved);
  EXPECT_EQ(GetCurrentObject(c.DC, OBJ_BRUSH), reinterpret_cast<HGDIOBJ>(brush));
  SelectObject(c.DC, oldBrush);
  EXPECT_EQ(GetObjectType(brush), 0u);
  // A bitmap lives in one DC at a time.
  HDC second = CreateCompatibleDC(c.DC);
  EXPECT_EQ(SelectObject(second, c.Bitmap), nullptr);
  DeleteDC(second);
  // Stock objects survive DeleteObject.
  EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), OBJ_BRUSH);
}

TEST(GdiObjects, DeletingTheDcReleasesItsObjects) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 8, 8);
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
  SelectObject(dc, bmp);
  SelectObject(dc, font);
  SaveDC(dc);
  EXPECT_TRUE(DeleteObject(font));  // pending while the DC holds it
  DeleteDC(dc);
  EXPECT_EQ(GetObjectType(font), 0u);
  EXPECT_TRUE(DeleteObject(bmp));
}

TEST(GdiObjects, ObjectTypesAndRecords) {
  TDibCanvas c(5, 3);
  EXPECT_EQ(GetObjectType(c.DC), OBJ_MEMDC);
  EXPECT_EQ(GetObjectType(c.Bitmap), OBJ_BITMAP);
  EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_PALETTE)), OBJ_PAL);
  EXPECT_EQ(GetObjectType(GetStockObject(SYSTEM_FONT)), OBJ_FONT);
  auto surface = std::make_shared<TSurface>(10, 10);
  HDC wdc = CreateSurfaceDC(surface, 0, 0, RECT{0, 0, 10, 10});
  EXPECT_EQ(GetObjectType(wdc), OBJ_DC);
  EXPECT_EQ(GetSurfaceOfDC(wdc), surface);
  ReleaseSurfaceDC(wdc);

  BITMAP bm{};
  ASSERT_EQ(GetObject(c.Bitmap, sizeof(bm), &bm), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(bm.bmWidth, 5);
  EXPECT_EQ(bm.bmHeight, 3);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_EQ(bm.bmWidthBytes, 20);
  EXPECT_EQ(bm.bmBits, c.Bits);
  DIBSECTION ds{};
  ASSERT_EQ(GetObject(c.Bitmap, sizeof(ds), &ds), static_cast<int>(sizeof(DIBSECTION)));
  EXPECT_EQ(ds.dsBmih.biHeight, -3);  // top-down

  LOGFONTW lf{};
  lf.lfHeight = -13;
  lf.lfWeight = FW_BOLD;
  lf.lfUnderline = 1;
  std::u16string face = u"Verdana";
  std::copy(face.begin(), face.end(), lf.lfFaceName);
  HFONT font = CreateFontIndirectW(&lf);
  LOGFONTW back{};
  ASSERT_EQ(GetObjectW(font, sizeof(back), &back), static_cast<int>(sizeof(LOGFONTW)));
  EXPECT_EQ(back.lfHeight, -13);
  EXPECT_EQ(back.lfWeight, FW_BOLD);
  EXPECT_EQ(std::u16string(back.lfFaceName), u"Verdana");
  LOGFONTA backA{};
  GetObjectA(font, sizeof(backA), &backA);
  EXPECT_STREQ(backA.lfFaceName, "Verdana");
  DeleteObject(font);
}

TEST(GdiObjects, DeviceCapsOfTheScreen) {
  HDC dc = CreateScreenDC();
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
  SetGdiScreenSize(1600, 900);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1600);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 900);
  // Nothing to draw on, but a colour bitmap compatible with the screen.
  EXPECT_EQ(SetPixel(dc, 0, 0, 0), CLR_INVALID);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 3, 3);
  BITMAP bm{};
  GetObject(bmp, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_EQ(bm.bmBits, nullptr);
  DeleteObject(bmp);
  DeleteDC(dc);
  EXPECT_EQ(PointsToFontHeight(8), -11);
  EXPECT_EQ(PointsToFontHeight(10), -13);
  EXPECT_EQ(PointsToFontHeight(30), -40);
}

TEST(GdiObjects, ClipRegionsAndSavedStates) {
  TDibCanvas c(10, 10, 0);
  HRGN rgn = CreateRectRgn(2, 2, 8, 8);
  EXPECT_EQ(SelectClipRgn(c.DC, rgn), SIMPLEREGION);
  DeleteObject(rgn);  // the DC keeps a copy
  int saved = SaveDC(c.DC);
  EXPECT_EQ(IntersectClipRect(c.DC, 0, 0, 5, 5), SIMPLEREGION);
  SetTextColor(c.DC, RGB(9, 9, 9));
  RECT box;
  GetClipBox(c.DC, &box);
  EXPECT_EQ(box, (RECT{2, 2, 5, 5}));
  RECT all{0, 0, 10, 10};
  FillRect(c.DC, &all, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(c.InkCount(0), 9);
  EXPECT_TRUE(RestoreDC(c.DC, saved));
  EXPECT_EQ(GetTextColor(c.DC), 0u);
  GetClipBox(c.DC, &box);
  EXPECT_EQ(box, (RECT{2, 2, 8, 8}));
  EXPECT_FALSE(RestoreDC(c.DC, 5));
  EXPECT_EQ(SelectClipRgn(c.DC, nullptr), SIMPLEREGION);
  EXPECT_EQ(IntersectClipRect(c.DC, 4, 4, 4, 9), NULLREGION);
  EXPECT_EQ(SetPixel(c.DC, 4, 4, 0xFF), CLR_INVALID);
}

TEST(GdiObjects, SurfaceDcDrawsAtItsOriginInsideItsClip) {
  auto surface = std::make_shared<TSurface>(40, 40, 0xFF000000u);
  HDC dc = CreateSurfaceDC(surface, 10, 20, RECT{10, 20, 30, 30});
  RECT r{0, 0, 100, 100};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &r, red);
  int touched = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      bool inside = x >= 10 && x < 30 && y >= 20 && y < 30;
      uint32_t p = surface->Row(y)[x];
      if (inside) EXPECT_EQ(p, 0x00FF0000u) << x << "," << y;
      else EXPECT_EQ(p, 0xFF000000u) << x << "," << y;
      touched += inside;
    }
  EXPECT_EQ(touched, 200);
  HDC screen = CreateScreenDC();
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(screen, HORZRES));  // a window DC's device is the screen
  DeleteDC(screen);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 25, 0), CLR_INVALID);  // outside the DC's clip
  // The viewport origin moves logical coordinates further.
  SetViewportOrgEx(dc, 5, 5, nullptr);
  SetPixel(dc, 0, 0, RGB(0, 0, 255));
  EXPECT_EQ(surface->Row(25)[15], 0x000000FFu);
  // A surface that shrinks under its DC is still drawn on safely.
  surface->Resize(5, 5);
  FillRect(dc, &r, red);
  ReleaseSurfaceDC(dc);
  DeleteObject(red);
}
