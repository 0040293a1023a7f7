#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bitmap32/Bitmap32.h"
#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32Transfers.h"

namespace {
TBitmap32& Ramp(TBitmap32& b, int w, int h) {
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, 0xFF000000u | (x * 40) << 16 | (y * 40) << 8 | 0x11);
  return b;
}
}  // namespace

TEST(PixelReads, GammaTableAfterStart) {
  EXPECT_EQ(GammaLUT[0], 0);
  EXPECT_EQ(GammaLUT[255], 255);
  EXPECT_EQ(GammaLUT[128], 157);
}

TEST(PixelReads, WrappedReadsMapIntoTheClip) {
  TBitmap32 b;
  Ramp(b, 5, 3);
  b.SetClipRect(TRect(1, 0, 4, 3));
  struct Case {
    TWrapMode mode;
    int x, wantX;
  } cases[] = {{wmRepeat, 5, 2}, {wmRepeat, 4, 1}, {wmMirror, -1, 2}, {wmMirror, 0, 1},
               {wmClamp, -7, 1}, {wmClamp, 9, 3},  {wmMirror, 4, 3},  {wmRepeat, 0, 3}};
  for (const auto& c : cases) {
    b.SetWrapMode(c.mode);
    EXPECT_EQ(b.GetPixelWrapped(c.x, 1), b.GetPixel(c.wantX, 1)) << int(c.mode) << " x " << c.x;
  }
  // An empty clip has nothing to wrap into: the outer colour, for all reads.
  b.OuterColor = 0x13572468;
  b.SetClipRect(TRect(9, 9, 10, 10));
  for (TWrapMode m : {wmClamp, wmRepeat, wmMirror}) {
    b.SetWrapMode(m);
    EXPECT_EQ(b.GetPixelWrapped(0, 0), 0x13572468u);
    EXPECT_EQ(b.GetPixelFixedWrapped(0, 0), 0x13572468u);
  }
}

TEST(PixelReads, FixedWrappedMixesRightAndLowerWeights) {
  TBitmap32 b;
  b.SetSize(2, 1);
  b.SetPixel(0, 0, 0xFF000000);
  b.SetPixel(1, 0, 0xFFFFFFFF);
  EXPECT_EQ(b.GetPixelFixedWrapped(0x8000, 0), 0xFF808080u);
  EXPECT_EQ(b.GetPixelFixedWrapped(0, 0), 0xFF000000u);
  b.SetWrapMode(wmRepeat);
  EXPECT_EQ(b.GetPixelFixedWrapped(0x18000, 0), 0xFF7F7F7Fu);  // from column 1 back round to 0
}

TEST(PixelReads, BilinearReadsAtEdgesAndWholePixels) {
  TBitmap32 b;
  Ramp(b, 4, 3);
  b.OuterColor = 0xDEADBEEF;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(b.GetPixel256(x * 256, y * 256), b.GetPixel(x, y));
  EXPECT_EQ(b.GetPixel256Clipped(3 * 256, 0), b.GetPixel(3, 0));
  EXPECT_EQ(b.GetPixel256Clipped(3 * 256, 300), b.GetPixel(3, 1));  // last column: rows not mixed
  EXPECT_EQ(b.GetPixel256Clipped(128, 2 * 256), b.GetPixel(0, 2));
  EXPECT_EQ(b.GetPixel256Clipped(-1, 0), 0xDEADBEEFu);
  EXPECT_EQ(b.GetPixel256Clipped(3 * 256 + 1, 0), 0xDEADBEEFu);
  EXPECT_EQ(b.GetPixelFixedClipped(-65536, 0), 0xDEADBEEFu);
  // Half way between columns 0 and 1 of row 0: the left weight is GammaLUT[128 xor 255].
  TColor32 mid = b.GetPixel256(128, 0);
  EXPECT_EQ(mid, CombinePixel(CombinePixel(b.GetPixel(0, 0), b.GetPixel(1, 0), GammaLUT[127]),
                              CombinePixel(b.GetPixel(0, 1), b.GetPixel(1, 1), GammaLUT[127]), 255));
  TBitmap32 empty;
  EXPECT_EQ(empty.GetPixel256Clipped(0, 0), 0u);
}

TEST(PixelReads, FastInterpolatorsAgreeWithPlainOnes) {
  std::mt19937 rng(3);
  auto next = [&] { return static_cast<TColor32>(rng()); };
  for (int i = 0; i < 100000; ++i) {
    TColor32 p1[2] = {next(), next()}, p2[2] = {next(), next()};
    uint32_t wx = rng() % 300, wy = rng() % 300;
    ASSERT_EQ(Mix4PixelsPlain(wx, wy, p1, p2), Mix4PixelsSSE2(wx, wy, p1, p2));
    uint32_t lx = rng() % 257, ly = rng() % 257;
    ASSERT_EQ(LinearMix2x2Plain(lx * 65537, ly * 65537, p1, p2), LinearMix2x2SSE2(lx * 65537, ly * 65537, p1, p2));
  }
  EXPECT_EQ(Mix4Pixels, Mix4PixelsSSE2);
}

TEST(PixelReads, BlockAveragesAgreeAlsoPastSixteenBitRowSums) {
  std::mt19937 rng(5);
  std::vector<TColor32> px(600 * 5);
  for (auto& c : px) c = rng() | 0xF0F0F0F0u;
  for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {4, 4}, {7, 5}, {300, 3}, {600, 5}})
    EXPECT_EQ(AverageBlockPlain(w, h, px.data(), 600 * 4), AverageBlockSSE2(w, h, px.data(), 600 * 4)) << w;
  std::vector<TColor32> flat(16, 0x80402010);
  EXPECT_EQ(AverageBlockPlain(4, 4, flat.data(), 16), 0x80402010u);
  EXPECT_EQ(AverageBlock, AverageBlockSSE2);
}
