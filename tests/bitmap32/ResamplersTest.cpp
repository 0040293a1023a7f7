#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bitmap32/Bitmap32.h"
#include "bitmap32/Bitmap32Resamplers.h"
#include "bitmap32/Bitmap32Transfers.h"

namespace {
void Noise(TBitmap32& b, int w, int h, uint32_t seed) {
  b.SetSize(w, h);
  std::mt19937 rng(seed);
  for (int i = 0; i < w * h; ++i) b.Bits()[i] = rng();
}

// The separable filter summed straight from the weight lists.
TColor32 Reference(TBitmap32& src, const std::vector<TPointRec>& h, const std::vector<TPointRec>& v, bool clamp) {
  TColor32 out = 0;
  for (int c = 0; c < 4; ++c) {
    int64_t sum = 0;
    for (const auto& ev : v)
      for (const auto& eh : h) sum += int64_t(ev.Weight) * eh.Weight * ((src.GetPixel(eh.Pos, ev.Pos) >> (8 * c)) & 0xFF);
    if (clamp) sum = std::clamp<int64_t>(sum, 0, 0xFF0000);
    out |= TColor32((sum >> 16) & 0xFF) << (8 * c);
  }
  return out;
}

struct Translate : TTransformation {
  float dx = 2, dy = 1;
  void MapReverseFloat(float x, float y, float& sx, float& sy) override {
    sx = x - dx;
    sy = y - dy;
  }
};
}  // namespace

TEST(Resamplers, RegisteredByName) {
  auto& list = ResamplerList();
  ASSERT_EQ(list.Count(), 4);
  const char* names[] = {"TNearestResampler", "TLinearResampler", "TDraftResampler", "TKernelResampler"};
  TBitmap32 b;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list.Items(i)->ClassName, names[i]);
    EXPECT_EQ(list.Items(i)->Create(&b)->ClassName(), names[i]);
  }
}

TEST(Resamplers, NearestSamplesSafelyByDefault) {
  TBitmap32 b;
  Noise(b, 3, 3, 1);
  b.OuterColor = 0x01020304;
  auto* r = b.Resampler();
  r->BeginSampling();
  EXPECT_EQ(r->SampleInt(-1, 0), 0x01020304u);
  EXPECT_EQ(r->SampleInt(3, 0), 0x01020304u);
  EXPECT_EQ(r->SampleInt(2, 1), b.GetPixel(2, 1));
  EXPECT_EQ(r->SampleFixed(0x18000, 0x8000), b.GetPixel(1, 0));  // halves round down
  EXPECT_EQ(r->SampleFloat(1.5f, 0.5f), b.GetPixel(2, 0));       // ties to even
  r->EndSampling();
  EXPECT_TRUE(r->IsBounded());
  EXPECT_EQ(r->SampleBoundsRect(), b.ClipRect());
}

TEST(Resamplers, KernelResamplerProperties) {
  TBitmap32 b;
  auto& k = b.UseResampler<TKernelResampler>();
  EXPECT_EQ(k.KernelClassName(), "TBoxKernel");
  EXPECT_EQ(k.KernelMode(), kmDynamic);
  EXPECT_EQ(k.TableSize(), 32);
  k.SetTableSize(1);
  EXPECT_EQ(k.TableSize(), 2);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  k.SetKernelClassName("TBoxKernel");
  k.SetKernelClassName("TNoSuchKernel");
  EXPECT_EQ(changes, 0);
  k.SetKernelClassName("TLanczosKernel");
  EXPECT_NE(dynamic_cast<TLanczosKernel*>(&k.Kernel()), nullptr);
  EXPECT_EQ(changes, 1);
  k.SetKernelMode(kmTableLinear);
  k.SetKernelMode(kmTableLinear);
  k.SetPixelAccessMode(pamWrap);
  EXPECT_EQ(changes, 3);
  // Another kind of resampler has nothing to take the kernel.
  TNearestResampler nearest;
  EXPECT_THROW(nearest.Assign(&k), EPropertyError);
}

TEST(Resamplers, KernelSamplingModes) {
  TBitmap32 b;
  Noise(b, 20, 20, 2);
  b.OuterColor = 0xABCDEF01;
  auto& k = b.UseResampler<TKernelResampler>();
  k.SetKernelClassName("TCubicKernel");
  k.BeginSampling();
  EXPECT_EQ(k.SampleFloat(7, 9), b.GetPixel(7, 9));  // whole pixels: the kernel is 1 at 0 and 0 at the others
  EXPECT_EQ(k.SampleFloat(-3, 5), 0xABCDEF01u);
  EXPECT_EQ(k.SampleFloat(5, 25), 0xABCDEF01u);
  TColor32 dynamicHalf = k.SampleFloat(9.5f, 4.5f);
  k.EndSampling();
  // A table whose rows fall on the sampled fractions gives the dynamic weights.
  k.SetTableSize(3);
  for (TKernelMode mode : {kmTableNearest, kmTableLinear}) {
    k.SetKernelMode(mode);
    k.BeginSampling();
    EXPECT_EQ(k.SampleFloat(9.5f, 4.5f), dynamicHalf) << int(mode);
    k.EndSampling();
  }
  // Changing the table or the kernel while sampling gets a table that fits.
  k.SetKernelMode(kmTableLinear);
  k.BeginSampling();
  k.SetTableSize(64);
  k.SetKernelClassName("TLanczosKernel");
  EXPECT_EQ(k.SampleFloat(7, 9), b.GetPixel(7, 9));
  k.EndSampling();
  k.SetKernelClassName("TCubicKernel");
  k.SetKernelMode(kmDynamic);
  // Wrapping reads round the clip and never leaves the bitmap.
  k.SetPixelAccessMode(pamWrap);
  b.SetWrapMode(wmRepeat);
  k.BeginSampling();
  EXPECT_EQ(k.SampleFloat(27, 29), b.GetPixel(7, 9));
  EXPECT_EQ(k.SampleFloat(-13, -11), b.GetPixel(7, 9));
  k.EndSampling();
}

TEST(Resamplers, NestedAndTransformingSamplers) {
  TNestedSampler empty;
  try {
    empty.BeginSampling();
    FAIL();
  } catch (const ENestedException& e) {
    EXPECT_STREQ(e.what(), "Nested sampler is nil");
  }
  EXPECT_THROW(empty.SampleInt(0, 0), ENestedException);
  EXPECT_THROW(empty.IsBounded(), ENestedException);
  TBitmap32 b;
  Noise(b, 6, 6, 3);
  TNestedSampler nested(b.Resampler());
  nested.BeginSampling();
  EXPECT_EQ(nested.SampleInt(4, 5), b.GetPixel(4, 5));
  nested.EndSampling();
  TNearestTransformer noTransform(b.Resampler());
  EXPECT_THROW(noTransform.SampleInt(0, 0), ENestedException);
  Translate t;
  TNearestTransformer tr(b.Resampler(), &t);
  tr.BeginSampling();
  EXPECT_EQ(tr.SampleInt(4, 5), b.GetPixel(2, 4));
  EXPECT_EQ(tr.SampleFixed(0x48000, 0x50000), b.GetPixel(2, 4));
  EXPECT_EQ(tr.SampleFloat(4.4f, 5.4f), b.GetPixel(2, 4));
  EXPECT_TRUE(tr.IsBounded());
  EXPECT_EQ(tr.SampleBoundsRect(), TRect(0, 0, 6, 6));
  tr.EndSampling();
}

TEST(WeightLists, CasesAndSums) {
  TLinearKernel linear;
  auto one = BuildWeightLists(0, 7, 0, 7, 5, 6, linear);
  ASSERT_EQ(one.size(), 7u);
  for (const auto& l : one) EXPECT_EQ(l, (std::vector<TPointRec>{{5, 256}}));
  EXPECT_TRUE(BuildWeightLists(0, 7, 0, 7, 3, 3, linear).empty());
  auto up = BuildWeightLists(0, 4, 0, 4, 0, 2, linear);
  ASSERT_EQ(up.size(), 4u);
  EXPECT_EQ(up[0], (std::vector<TPointRec>{{0, 64}, {0, 192}}));  // centre -0.25
  EXPECT_EQ(up[1], (std::vector<TPointRec>{{0, 192}, {1, 64}}));  // centre 0.25
  // One destination pixel without area mapping: the middle source pixel.
  PixelAreaMapping = false;
  auto mid = BuildWeightLists(0, 1, 0, 1, 2, 9, linear);
  PixelAreaMapping = true;
  EXPECT_EQ(mid, (std::vector<std::vector<TPointRec>>{{{5, 256}}}));
  // Every list of every table sums to 256 and stays inside the source.
  for (auto& ref : {"TBoxKernel", "TLanczosKernel", "TCubicKernel", "TSplineKernel", "TGaussianKernel"}) {
    auto kernel = KernelList().Find(ref)->Create();
    for (int srcW : {2, 3, 7, 40})
      for (int dstW : {1, 2, 5, 13, 80})
        for (bool area : {true, false}) {
          PixelAreaMapping = area;
          auto table = BuildWeightLists(3, 3 + dstW, 3, 3 + dstW, 10, 10 + srcW, *kernel);
          for (const auto& list : table) {
            int sum = 0;
            for (const auto& e : list) {
              sum += e.Weight;
              EXPECT_GE(e.Pos, 10);
              EXPECT_LT(e.Pos, 10 + srcW);
            }
            EXPECT_EQ(sum, 256) << ref << " " << srcW << "->" << dstW;
          }
        }
  }
  PixelAreaMapping = true;
}

TEST(KernelResample, MatchesTheWeightListsSummedDirectly) {
  TBitmap32 src;
  Noise(src, 9, 7, 4);
  for (auto& name : {"TLinearKernel", "TLanczosKernel", "TSplineKernel", "TBoxKernel"}) {
    auto kernel = KernelList().Find(name)->Create();
    for (auto [dw, dh] : {std::pair{4, 3}, {17, 15}, {9, 2}}) {
      TBitmap32 dst;
      dst.SetSize(dw + 4, dh + 4);
      TRect dstRect(2, 2, 2 + dw, 2 + dh), clip(3, 2, 2 + dw, 1 + dh);
      TRect srcRect(1, 0, 9, 7);
      KernelResample(&dst, dstRect, clip, &src, srcRect, *kernel, dmOpaque, nullptr);
      auto h = BuildWeightLists(2, 2 + dw, 3, 2 + dw, 1, 9, *kernel);
      auto v = BuildWeightLists(2, 2 + dh, 2, 1 + dh, 0, 7, *kernel);
      for (int y = 0; y < dst.Height(); ++y)
        for (int x = 0; x < dst.Width(); ++x) {
          bool in = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
          TColor32 want = in ? Reference(src, h[x - clip.left], v[y - clip.top], kernel->NeedsClamp()) : 0u;
          ASSERT_EQ(dst.GetPixel(x, y), want) << name << " " << dw << "x" << dh << " at " << x << "," << y;
        }
    }
  }
}

TEST(ResampleArea, LinearAndDraftChooseTheirPaths) {
  TBitmap32 src, a, b;
  Noise(src, 4, 4, 5);
  TLinearKernel linear;
  struct Case {
    TRect srcRect;
    int dw, dh;
    bool bilinear;
  } cases[] = {{TRect(0, 0, 2, 2), 8, 8, true}, {TRect(0, 0, 1, 4), 8, 8, false}, {TRect(0, 0, 4, 4), 3, 2, false}};
  for (const auto& c : cases) {
    src.UseResampler<TLinearResampler>();
    a.SetSize(0, 0);
    a.SetSize(c.dw, c.dh);
    b.SetSize(0, 0);
    b.SetSize(c.dw, c.dh);
    a.Draw(TRect(0, 0, c.dw, c.dh), c.srcRect, &src);
    if (c.bilinear)
      BilinearEnlarge(&b, TRect(0, 0, c.dw, c.dh), b.ClipRect(), &src, c.srcRect, dmOpaque, nullptr);
    else
      KernelResample(&b, TRect(0, 0, c.dw, c.dh), b.ClipRect(), &src, c.srcRect, linear, dmOpaque, nullptr);
    EXPECT_TRUE(a.Equal(&b)) << c.dw << "x" << c.dh;
  }
  // Bilinear enlargement keeps the corner pixels where the source ends.
  TBitmap32 big;
  big.SetSize(8, 8);
  BilinearEnlarge(&big, TRect(0, 0, 8, 8), big.ClipRect(), &src, TRect(0, 0, 2, 2), dmOpaque, nullptr);
  EXPECT_EQ(big.GetPixel(7, 7), src.GetPixel(1, 1));
  // The draft box reduction averages whole blocks.
  TBitmap32 big8, small;
  Noise(big8, 8, 8, 6);
  small.SetSize(2, 2);
  big8.UseResampler<TDraftResampler>();
  small.Draw(TRect(0, 0, 2, 2), TRect(0, 0, 8, 8), &big8);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      EXPECT_EQ(small.GetPixel(x, y), AverageBlockPlain(4, 4, big8.PixelAddress(4 * x, 4 * y), 32));
}

TEST(BilinearEnlarge, WholeRowFormAgreesWithThePerPixelMix) {
  TBitmap32 src;
  Noise(src, 7, 5, 8);
  for (bool area : {true, false})
    for (TDrawMode mode : {dmOpaque, dmBlend}) {
      PixelAreaMapping = area;
      TBitmap32 fast, plain;
      for (TBitmap32* b : {&fast, &plain}) {
        Noise(*b, 25, 19, 9);
        b->SetClipRect(TRect(1, 2, 24, 18));
      }
      TRect dstRect(0, 1, 25, 18), srcRect(1, 0, 7, 5);
      BilinearEnlarge(&fast, dstRect, fast.ClipRect(), &src, srcRect, mode, nullptr);
      TLinearMix2x2 saved = LinearMix2x2;
      LinearMix2x2 = LinearMix2x2Plain;
      BilinearEnlarge(&plain, dstRect, plain.ClipRect(), &src, srcRect, mode, nullptr);
      LinearMix2x2 = saved;
      EXPECT_TRUE(fast.Equal(&plain)) << "area " << area << " mode " << int(mode);
    }
  PixelAreaMapping = true;
}

TEST(ResampleArea, DraftOnePixelWideWithoutAreaMapping) {
  // Narrowing to one column while growing in height goes the bilinear way,
  // with no spacing between destination columns to divide by.
  PixelAreaMapping = false;
  TBitmap32 src, dst;
  Noise(src, 3, 2, 10);
  src.UseResampler<TDraftResampler>();
  dst.SetSize(1, 5);
  dst.Draw(TRect(0, 0, 1, 5), TRect(0, 0, 3, 2), &src);
  PixelAreaMapping = true;
  EXPECT_EQ(dst.GetPixel(0, 0), src.GetPixel(1, 0));
  EXPECT_EQ(dst.GetPixel(0, 4), src.GetPixel(1, 1));
}

TEST(Resamplers, WithoutABitmapSamplingRaises) {
  TNearestResampler n;
  TLinearResampler l;
  TKernelResampler k;
  EXPECT_THROW(n.SampleInt(0, 0), EBitmapException);
  EXPECT_THROW(l.SampleFloat(0, 0), EBitmapException);
  EXPECT_THROW(k.SampleFloat(0, 0), EBitmapException);
}
