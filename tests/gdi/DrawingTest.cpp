#include <gtest/gtest.h>

#include "tests/gdi/GdiTestUtil.h"

TEST(Drawing, LineToLeavesOutTheEndPoint) {
  TDibCanvas c(8, 8);
  POINT prev{};
  MoveToEx(c.DC, 1, 1, &prev);
  LineTo(c.DC, 5, 1);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(c.At(x, 1), (x >= 1 && x < 5) ? 0u : 0xFFFFFFu) << x;
  // The current position moved to the end point: the next line goes on from there.
  LineTo(c.DC, 5, 4);
  EXPECT_EQ(c.At(5, 1), 0u);
  EXPECT_EQ(c.At(5, 3), 0u);
  EXPECT_EQ(c.At(5, 4), 0xFFFFFFu);
  // Diagonal: exactly one pixel per step, end excluded.
  TDibCanvas d(8, 8);
  MoveToEx(d.DC, 0, 0, nullptr);
  LineTo(d.DC, 4, 4);
  EXPECT_EQ(d.InkCount(), 4);
  EXPECT_EQ(d.At(3, 3), 0u);
  // Lines from far outside cost no more than the pixels they can touch, and land exactly.
  TDibCanvas f(8, 8);
  MoveToEx(f.DC, INT32_MIN, 3, nullptr);
  LineTo(f.DC, INT32_MAX, 3);
  EXPECT_EQ(f.InkCount(), 8);
  MoveToEx(f.DC, -1000000, -1000000, nullptr);
  LineTo(f.DC, 1000000, 1000000);
  EXPECT_EQ(f.At(5, 5), 0u);
  EXPECT_EQ(f.At(5, 4), 0xFFFFFFu);
  // A dotted pen: three on, three off, counted from the line's start.
  TDibCanvas dots(12, 1);
  HPEN dot = CreatePen(PS_DOT, 1, 0);
  SelectObject(dots.DC, dot);
  SetBkMode(dots.DC, TRANSPARENT);
  MoveToEx(dots.DC, 0, 0, nullptr);
  LineTo(dots.DC, 12, 0);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(dots.At(x, 0), (x / 3) % 2 == 0 ? 0u : 0xFFFFFFu) << x;
  SelectObject(dots.DC, GetStockObject(BLACK_PEN));
  DeleteObject(dot);
  // A null pen draws nothing.
  SelectObject(d.DC, GetStockObject(NULL_PEN));
  LineTo(d.DC, 0, 7);
  EXPECT_EQ(d.InkCount(), 4);
}

TEST(Drawing, RectangleFillsInsideItsPenFrame) {
  TDibCanvas c(8, 8, 0);
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  SelectObject(c.DC, brush);
  SelectObject(c.DC, pen);
  Rectangle(c.DC, 1, 1, 6, 5);
  EXPECT_EQ(c.At(1, 1), 0xFF0000u);
  EXPECT_EQ(c.At(5, 4), 0xFF0000u);  // right and bottom edges at right - 1 and bottom - 1
  EXPECT_EQ(c.At(6, 4), 0u);
  EXPECT_EQ(c.At(2, 2), 0x0000FFu);
  EXPECT_EQ(c.At(4, 3), 0x0000FFu);
  EXPECT_EQ(c.InkCount(0), 5 * 4);
  // Without a pen the brush covers all but the right column and bottom row.
  TDibCanvas d(8, 8, 0);
  SelectObject(d.DC, brush);
  SelectObject(d.DC, GetStockObject(NULL_PEN));
  Rectangle(d.DC, 0, 0, 4, 4);
  EXPECT_EQ(d.InkCount(0), 9);
  SelectObject(c.DC, GetStockObject(BLACK_PEN));
  SelectObject(c.DC, GetStockObject(WHITE_BRUSH));
  SelectObject(d.DC, GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(pen));
}

TEST(Drawing, FillFrameAndFocusRectangles) {
  TDibCanvas c(10, 10, 0);
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  RECT r{2, 2, 8, 7};
  FillRect(c.DC, &r, green);
  EXPECT_EQ(c.InkCount(0), 30);
  EXPECT_EQ(c.Raw(2, 2), 0x0000FF00u);  // GDI leaves the alpha byte at 0
  RECT inverted{8, 2, 2, 7};
  EXPECT_EQ(FillRect(c.DC, &inverted, green), 1);  // an inside-out rectangle fills nothing
  EXPECT_EQ(c.InkCount(0), 30);

  TDibCanvas f(10, 10, 0);
  FrameRect(f.DC, &r, green);
  EXPECT_EQ(f.InkCount(0), 2 * 6 + 2 * 3);
  EXPECT_EQ(f.At(4, 4), 0u);

  TDibCanvas g(10, 10, 0x00808080);
  DrawFocusRect(g.DC, &r);
  EXPECT_GT(g.InkCount(0x808080), 0);
  EXPECT_LT(g.InkCount(0x808080), 18);  // dotted
  DrawFocusRect(g.DC, &r);
  EXPECT_EQ(g.InkCount(0x808080), 0);  // drawn twice: gone
  // Rectangles over the whole coordinate range cost only what shows.
  RECT huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  DrawFocusRect(g.DC, &huge);
  FrameRect(g.DC, &huge, green);
  HPEN wide = CreatePen(PS_SOLID, INT32_MAX, 0);
  SelectObject(g.DC, wide);
  Rectangle(g.DC, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  SelectObject(g.DC, GetStockObject(BLACK_PEN));
  DeleteObject(wide);
  EXPECT_EQ(g.InkCount(0x808080), 100);
  DeleteObject(green);
}

TEST(Drawing, PixelsOutsideTheBitmapAreRefused) {
  TDibCanvas c(3, 3);
  EXPECT_EQ(SetPixel(c.DC, 3, 0, 0), CLR_INVALID);
  EXPECT_EQ(SetPixel(c.DC, -1, 0, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(c.DC, 0, 3), CLR_INVALID);
  EXPECT_EQ(GetPixel(c.DC, 2, 2), RGB(255, 255, 255));
  EXPECT_TRUE(SetPixelV(c.DC, 2, 2, RGB(1, 2, 3)));
  EXPECT_EQ(GetPixel(c.DC, 2, 2), RGB(1, 2, 3));
  // A memory DC still holding its default bitmap is one monochrome pixel.
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SetPixel(dc, 0, 0, RGB(200, 200, 200)), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 1, 0), CLR_INVALID);
  DeleteDC(dc);
}
