#include "common/DrawUtils.h"

#include <gtest/gtest.h>

namespace {

// Paints a gradient into a fresh 32-bit bitmap and reads pixels back.
struct GradientCanvas {
  TBitmap bitmap;
  GradientCanvas(int w, int h, COLORREF background) {
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(w, h);
    bitmap.Canvas().Brush().SetColor(static_cast<TColor>(background));
    bitmap.Canvas().FillRect(TRect(0, 0, w, h));
  }
  COLORREF At(int x, int y) { return static_cast<COLORREF>(bitmap.Canvas().Pixel(x, y)); }
};

}  // namespace

TEST(BlendChannel, TruncatesTowardsTheStartValue) {
  EXPECT_EQ(BlendChannel(0, 255, 0.5L), 127);
  EXPECT_EQ(BlendChannel(255, 0, 0.5L), 128);
  EXPECT_EQ(BlendChannel(40, 40, 0.9L), 40);
  EXPECT_EQ(BlendChannel(10, 20, 0.99L), 19);
}

TEST(ColorBetween, EndsAndChannelsMoveApart) {
  EXPECT_EQ(ColorBetween(0x000000, 0xFF0000, 0, 0, 10), 0x000000u);
  EXPECT_EQ(ColorBetween(0x000000, 0xFF0000, 10, 0, 10), 0xFF0000u);
  EXPECT_EQ(ColorBetween(0x000000, 0xFF0000, 5, 0, 10), 0x7F0000u);  // only blue moves
  EXPECT_EQ(ColorBetween(0x123456, 0x123456, 3, 0, 10), 0x123456u);
  EXPECT_EQ(ColorBetween(0x000000, 0xFFFFFF, -1, 0, 10), 0x000000u);
}

TEST(DrawGradient, EmptyRectangleDrawsNothing) {
  GradientCanvas c(4, 4, 0x00FF00);
  DrawGradient(c.bitmap.Canvas(), TRect(1, 1, 1, 3), 0x000000, 0xFFFFFF, 1, 0);
  DrawGradient(c.bitmap.Canvas(), TRect(1, 1, 3, 1), 0x000000, 0xFFFFFF, 1, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(c.At(x, y), 0x00FF00u);
}

TEST(DrawGradient, TitleBoxRunsFromTopColourTowardsBottomColour) {
  GradientCanvas c(20, 80, 0);
  DrawGradient(c.bitmap.Canvas(), TRect(0, 0, 20, 80), 0xE7E7E7, 0xD5D5D5, 1, 0);
  EXPECT_EQ(c.At(0, 0), 0xE7E7E7u);
  EXPECT_EQ(c.At(19, 0), 0xE7E7E7u);
  const COLORREF bottom = c.At(5, 79);  // position 80 lies below the rectangle
  EXPECT_LE(GetRValue(bottom), 0xD6);
  EXPECT_EQ(bottom, ColorBetween(0xE7E7E7, 0xD5D5D5, 79, 0, 80));
}

TEST(DrawGradient, MirroredStyleIsWhiteAtBothEndsAndDarkInTheMiddle) {
  GradientCanvas c(10, 60, 0);
  DrawGradient(c.bitmap.Canvas(), TRect(0, 0, 10, 60), 0xFFFFFF, 0xF5F5F5, 1, 1);
  EXPECT_EQ(c.At(3, 0), 0xFFFFFFu);
  EXPECT_EQ(c.At(3, 30), 0xF5F5F5u);
  EXPECT_EQ(c.At(3, 59), ColorBetween(0xF5F5F5, 0xFFFFFF, 59, 31, 60));
}

TEST(DrawGradient, EqualColoursFillUniformlyInEveryDirection) {
  for (uint8_t direction = 0; direction <= 5; ++direction) {
    GradientCanvas c(7, 5, 0);
    DrawGradient(c.bitmap.Canvas(), TRect(0, 0, 7, 5), 0x336699, 0x336699, direction, 2);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(c.At(x, y), 0x336699u) << int(direction) << " " << x << "," << y;
  }
}

TEST(DrawGradient, DiagonalStartsInItsCorner) {
  struct Case {
    uint8_t direction;
    int x, y;
  } cases[] = {{2, 0, 0}, {3, 9, 0}, {4, 0, 9}, {5, 9, 9}};
  for (const Case& k : cases) {
    GradientCanvas c(10, 10, 0x00FF00);
    DrawGradient(c.bitmap.Canvas(), TRect(0, 0, 10, 10), 0x000000, 0xFFFFFF, k.direction, 0);
    EXPECT_LT(GetRValue(c.At(k.x, k.y)), 0x20) << int(k.direction);
    EXPECT_GT(GetRValue(c.At(9 - k.x, 9 - k.y)), 0xD0) << int(k.direction);
  }
}

TEST(DrawGradient, UnknownStyleCopiesTheBlankBitmap) {
  GradientCanvas c(6, 6, 0x00FF00);
  DrawGradient(c.bitmap.Canvas(), TRect(0, 0, 6, 6), 0x000000, 0xFFFFFF, 1, 4);
  EXPECT_EQ(c.At(2, 2), 0x000000u);  // the off-screen bitmap starts black
  c.bitmap.Canvas().FillRect(TRect(0, 0, 6, 6));
  DrawGradient(c.bitmap.Canvas(), TRect(0, 0, 6, 6), 0x000000, 0xFFFFFF, 6, 0);
  EXPECT_EQ(c.At(5, 5), 0x000000u);
}
