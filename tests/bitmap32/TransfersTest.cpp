#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bitmap32/Bitmap32.h"
#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32Resamplers.h"
#include "bitmap32/Bitmap32System.h"
#include "bitmap32/Bitmap32Transfers.h"

namespace {
// Each pixel names its own position: 0xFF, row, column, 0x5A.
TColor32 Tag(int x, int y) { return 0xFF000000u | (static_cast<TColor32>(y) << 16) | (static_cast<TColor32>(x) << 8) | 0x5A; }
void Tagged(TBitmap32& b, int w, int h) {
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, Tag(x, y));
}
int TagX(TColor32 c) { return (c >> 8) & 0xFF; }
int TagY(TColor32 c) { return (c >> 16) & 0xFF; }

struct Areas {
  std::vector<TRect> list;
  void Hook(TBitmap32& b) {
    b.OnAreaChanged = [this](TObject*, const TRect& a, uint32_t) { list.push_back(a); };
  }
};

// Counts ResampleArea calls and otherwise does nothing.
struct CountingResampler : TNearestResampler {
  using TNearestResampler::TNearestResampler;
  int calls = 0;
  void ResampleArea(TBitmap32*, TRect, TRect, TBitmap32*, TRect, TDrawMode, const TPixelCombineEvent&) override {
    ++calls;
  }
};
}  // namespace

TEST(CopyBlock, ClipsToTheDestinationAndNotifiesTheWholeTarget) {
  Areas areas;
  TBitmap32 src, dst;
  Tagged(src, 10, 10);
  dst.SetSize(20, 20);
  areas.Hook(dst);
  dst.Draw(-5, -5, &src);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) EXPECT_EQ(dst.GetPixel(x, y), x < 5 && y < 5 ? Tag(x + 5, y + 5) : 0u) << x << "," << y;
  ASSERT_EQ(areas.list.size(), 1u);
  EXPECT_EQ(areas.list[0], TRect(-5, -5, 5, 5));
  // Far outside: nothing drawn, still notified; offsets near the int range do not overflow.
  dst.Draw(INT32_MAX - 3, 0, &src);
  dst.Draw(INT32_MIN + 1, INT32_MIN + 1, &src);
  EXPECT_EQ(areas.list.size(), 3u);
  EXPECT_EQ(dst.GetPixel(19, 19), 0u);
}

TEST(CopyBlock, DrawModes) {
  TBitmap32 src, dst;
  src.SetSize(4, 1);
  src.SetPixel(0, 0, 0x00000000);
  src.SetPixel(1, 0, 0x01000000);
  src.SetPixel(2, 0, 0x80FFFFFF);
  src.SetPixel(3, 0, 0xFF00FF00);
  auto fresh = [&] {
    dst.SetSize(0, 0);
    dst.SetSize(4, 1);
    dst.Clear(0xFF0000FF);
  };
  // Transparent: only exact OuterColor pixels are skipped.
  fresh();
  src.SetDrawMode(dmTransparent);
  dst.Draw(0, 0, &src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0xFF0000FFu);
  EXPECT_EQ(dst.GetPixel(1, 0), 0x01000000u);
  // Custom without a callback is opaque.
  fresh();
  src.SetDrawMode(dmCustom);
  dst.Draw(0, 0, &src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);
  // Custom with one: called per pixel with the master alpha.
  fresh();
  src.SetMasterAlpha(9);
  std::vector<TColor32> seen;
  src.OnPixelCombine = [&](TColor32 f, TColor32& b, TColor32 m) {
    seen.push_back(f);
    EXPECT_EQ(m, 9u);
    b = ~f;
  };
  dst.Draw(0, 0, &src);
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_EQ(dst.GetPixel(3, 0), ~0xFF00FF00u);
  // Blend: master alpha 0 draws nothing and sends nothing; 128 takes the master-alpha routine.
  Areas areas;
  fresh();
  areas.Hook(dst);
  src.SetDrawMode(dmBlend);
  src.SetMasterAlpha(0);
  dst.Draw(0, 0, &src);
  EXPECT_TRUE(areas.list.empty());
  EXPECT_EQ(dst.GetPixel(2, 0), 0xFF0000FFu);
  src.SetMasterAlpha(128);
  dst.Draw(0, 0, &src);
  EXPECT_EQ(dst.GetPixel(2, 0), BlendPixelMaster(0x80FFFFFF, 0xFF0000FF, 128));
  // Past 255 the master alpha counts as 255 (the merge tables end there).
  fresh();
  src.SetMasterAlpha(1000);
  src.UseResampler<TLinearResampler>();  // its stores always take the master-alpha forms
  for (TCombineMode cm : {cmBlend, cmMerge}) {
    src.SetCombineMode(cm);
    TBitmap32 ref;
    ref.SetSize(4, 1);
    ref.Clear(0xFF0000FF);
    src.SetMasterAlpha(255);
    ref.Draw(0, 0, &src);
    src.SetMasterAlpha(1000);
    dst.Clear(0xFF0000FF);
    dst.Draw(0, 0, &src);
    EXPECT_TRUE(dst.Equal(&ref)) << int(cm);
    dst.Clear(0xFF0000FF);
    dst.Draw(TRect(0, 0, 4, 1), TRect(0, 0, 2, 1), &src);
    ref.Clear(0xFF0000FF);
    src.SetMasterAlpha(255);
    ref.Draw(TRect(0, 0, 4, 1), TRect(0, 0, 2, 1), &src);
    src.SetMasterAlpha(1000);
    EXPECT_TRUE(dst.Equal(&ref)) << int(cm);
  }
  src.SetMasterAlpha(255);
  src.SetCombineMode(cmMerge);
  src.UseResampler<TNearestResampler>();
  dst.Clear(0x00000000);
  dst.Draw(0, 0, &src);
  EXPECT_EQ(dst.GetPixel(2, 0), 0x80FFFFFFu);
}

TEST(CopyBlock, WithinOneBitmapOverlappingDownwards) {
  for (TDrawMode mode : {dmOpaque, dmBlend}) {
    TBitmap32 b;
    Tagged(b, 4, 6);
    b.SetDrawMode(mode);
    // Rows 0..3 onto rows 2..5, one column to the right.
    CopyBlockArea(&b, 1, 2, b.ClipRect(), &b, TRect(0, 0, 3, 4), mode, nullptr);
    for (int y = 2; y < 6; ++y)
      for (int x = 1; x < 4; ++x) EXPECT_EQ(b.GetPixel(x, y), Tag(x - 1, y - 2)) << int(mode) << " " << x << "," << y;
    // And upwards.
    Tagged(b, 4, 6);
    CopyBlockArea(&b, 0, 0, b.ClipRect(), &b, TRect(1, 2, 4, 6), mode, nullptr);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(b.GetPixel(x, y), Tag(x + 1, y + 2)) << int(mode) << " " << x << "," << y;
  }
}

TEST(CopyBlock, NilAndEmptyAndMeasuring) {
  TBitmap32 a, b;
  try {
    CopyBlockArea(nullptr, 0, 0, TRect(), &a, TRect(), dmOpaque, nullptr);
    FAIL();
  } catch (const EBitmapException& e) {
    EXPECT_STREQ(e.what(), "Destination bitmap is nil");
  }
  try {
    CopyStretchedArea(&a, TRect(), TRect(), nullptr, TRect(), nullptr, dmOpaque, nullptr);
    FAIL();
  } catch (const EBitmapException& e) {
    EXPECT_STREQ(e.what(), "Source bitmap is nil");
  }
  Areas areas;
  Tagged(a, 4, 4);
  areas.Hook(b);
  b.Draw(0, 0, &a);  // empty destination: quiet
  EXPECT_TRUE(areas.list.empty());
  b.SetSize(4, 4);
  areas.list.clear();
  b.MeasureOnly = true;
  b.Draw(1, 1, &a);
  b.Draw(TRect(-1, -1, 9, 9), TRect(0, 0, 2, 2), &a);
  EXPECT_EQ(b.GetPixel(1, 1), 0u);
  ASSERT_EQ(areas.list.size(), 2u);
  EXPECT_EQ(areas.list[0], TRect(1, 1, 5, 5));
  EXPECT_EQ(areas.list[1], TRect(-1, -1, 9, 9));
}

TEST(CopyStretched, SourceChecksAndUnscaledPath) {
  Areas areas;
  TBitmap32 src, dst;
  Tagged(src, 4, 4);
  dst.SetSize(8, 8);
  areas.Hook(dst);
  try {
    dst.Draw(TRect(0, 0, 4, 4), TRect(0, 0, 5, 4), &src);
    FAIL();
  } catch (const ESrcInvalidException& e) {
    EXPECT_STREQ(e.what(), "Source rectangle is invalid");
  }
  dst.Draw(TRect(0, 0, 4, 4), TRect(2, 2, 2, 4), &src);  // empty source: nothing at all
  EXPECT_TRUE(areas.list.empty());
  auto& counting = src.UseResampler<CountingResampler>();
  dst.Draw(TRect(1, 1, 4, 4), TRect(0, 1, 3, 4), &src);
  EXPECT_EQ(counting.calls, 0);
  EXPECT_EQ(dst.GetPixel(1, 1), Tag(0, 1));
  EXPECT_EQ(dst.GetPixel(3, 3), Tag(2, 3));
  dst.Draw(TRect(0, 0, 8, 8), TRect(0, 0, 4, 4), &src);
  EXPECT_EQ(counting.calls, 1);
  EXPECT_THROW(NearestStretch(&dst, TRect(0, 0, 8, 8), dst.ClipRect(), &src, TRect(-1, 0, 4, 4), dmOpaque, nullptr),
               Exception);
}

TEST(NearestStretch, ColumnMapsBothMappings) {
  struct Case {
    bool area;
    int srcW, dstW;
    std::vector<int> cols;
  } cases[] = {
      {true, 2, 4, {0, 0, 1, 1}},
      {false, 2, 4, {0, 0, 1, 1}},
      {true, 4, 1, {1}},
      {true, 3, 7, {0, 0, 0, 1, 1, 2, 2}},
      {false, 3, 5, {0, 0, 1, 2, 2}},  // 0, 0.5, 1, 1.5, 2 rounded ties to even
      {true, 8, 3, {0, 2, 5}},
  };
  for (const auto& c : cases) {
    PixelAreaMapping = c.area;
    TBitmap32 src, dst;
    Tagged(src, c.srcW, 1);
    dst.SetSize(c.dstW, 2);
    dst.Draw(TRect(0, 0, c.dstW, 2), TRect(0, 0, c.srcW, 1), &src);
    for (int i = 0; i < c.dstW; ++i) {
      EXPECT_EQ(TagX(dst.GetPixel(i, 0)), c.cols[i]) << c.srcW << "->" << c.dstW << " area " << c.area << " col " << i;
      EXPECT_EQ(dst.GetPixel(i, 1), dst.GetPixel(i, 0));
    }
  }
  PixelAreaMapping = true;
}

TEST(NearestStretch, ClippedRowsAndBlendedModesAgreeWithOpaque) {
  TBitmap32 src, opaque, blended;
  Tagged(src, 5, 3);
  opaque.SetSize(13, 11);
  blended.SetSize(13, 11);
  opaque.SetClipRect(TRect(2, 3, 12, 9));
  blended.SetClipRect(TRect(2, 3, 12, 9));
  opaque.Draw(TRect(1, 1, 13, 10), TRect(0, 0, 5, 3), &src);
  src.SetDrawMode(dmBlend);  // opaque source pixels blend to themselves
  blended.Draw(TRect(1, 1, 13, 10), TRect(0, 0, 5, 3), &src);
  EXPECT_TRUE(opaque.Equal(&blended));
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x) {
      bool inside = x >= 2 && x < 12 && y >= 3 && y < 9;
      TColor32 c = opaque.GetPixel(x, y);
      if (!inside) EXPECT_EQ(c, 0u);
      else {
        EXPECT_EQ(TagX(c), (x - 1) * 5 / 12);
        EXPECT_EQ(TagY(c), (y - 1) * 3 / 9);
      }
    }
}

// The wide gather takes the same pixels as the plain one: near columns (one
// load and a permute), far or unordered ones, and groups at the row's end.
TEST(NearestStretch, WideGatherAgreesWithThePlainOne) {
  if (!CPUHasAVX2()) GTEST_SKIP() << "no AVX2 forms on this processor";
  const int rowLength = 301;
  std::vector<TColor32> row(rowLength);
  for (int i = 0; i < rowLength; ++i) row[static_cast<size_t>(i)] = Tag(i % 256, i / 256);
  std::mt19937 rng(5);
  std::vector<std::vector<int>> maps;
  for (double scale : {0.13, 0.5, 0.83, 1.0, 1.2, 7.0, 8.0, 9.5}) {
    std::vector<int> m;
    for (int i = 0; i * scale < rowLength; ++i) m.push_back(static_cast<int>(i * scale));
    maps.push_back(m);
  }
  std::vector<int> random(203), backwards, tail;
  for (int& c : random) c = static_cast<int>(rng() % rowLength);
  for (int i = rowLength - 1; i >= 0; i -= 2) backwards.push_back(i);
  for (int k = 0; k < 29; ++k) tail.push_back(rowLength - 11 + k % 11);
  maps.insert(maps.end(), {random, backwards, tail, {}, {rowLength - 1}});
  for (const auto& m : maps)
    for (size_t from : {size_t(0), size_t(3)}) {
      if (from > m.size()) continue;
      const int n = static_cast<int>(m.size() - from);
      std::vector<TColor32> plain(m.size() + 1, 1), wide(m.size() + 1, 1);
      GatherColumnsPlain(row.data(), rowLength, m.data() + from, n, plain.data());
      GatherColumnsAVX2(row.data(), rowLength, m.data() + from, n, wide.data());
      EXPECT_EQ(plain, wide) << "map of " << m.size() << " from " << from;
    }
}
