#include <gtest/gtest.h>

#include "classlib/Graphics.h"
#include "png/PngObject.h"

TEST(PngClipboard, PictureRoundTripsThroughTheClipboardBitmap) {
  TBitmap source;
  source.SetPixelFormat(pf24bit);
  source.SetSize(3, 2);
  const TColor colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0xFFFFFF, 0x000000};
  for (int i = 0; i < 6; ++i) source.Canvas().SetPixel(i % 3, i / 3, colours[i]);
  TPNGObject png;
  png.Assign(&source);

  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  png.SaveToClipboardFormat(format, data, palette);
  ASSERT_NE(data, nullptr);
  TPNGObject back;
  back.LoadFromClipboardFormat(format, data, palette);
  ASSERT_EQ(back.Width(), 3);
  ASSERT_EQ(back.Height(), 2);
  TBitmap shown;
  shown.Assign(&back);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(shown.Canvas().Pixel(i % 3, i / 3) & 0xFFFFFF, colours[i]) << i;
}
