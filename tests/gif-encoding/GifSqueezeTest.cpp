// Squeezing images before they are written.
#include <gtest/gtest.h>

#include "GifEncodingUtil.h"
#include "gif/GIFSqueeze.h"

namespace {

void Load(TGIFImage& image, const Bytes& data) {
  TMemoryStream s;
  s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  s.SetPosition(0);
  image.LoadFromStream(s);
}

TGifBuilder& Comment(TGifBuilder& b) { return b.Raw({0x21, 0xFE, 2, 'h', 'i', 0}); }
TGifBuilder& Loop(TGifBuilder& b) {
  b.Raw({0x21, 0xFF, 0x0B});
  for (char c : std::string("NETSCAPE2.0")) b.Raw({c});
  return b.Raw({3, 1, 0, 0, 0});
}
// A 2 x 2 frame at (x, y) of 2-bit literals.
TGifBuilder& Frame(TGifBuilder& b, int x, int y, const std::vector<int>& px) {
  return b.Descriptor(x, y, 2, 2).ImageData(2, Literals(2, px));
}

int ExtensionCount(TGIFImage& image, int frame) { return image.Images()[frame]->Extensions().Count(); }

TEST(GifSqueeze, TidyDropsWhatChangesNothing) {
  TGifBuilder b;
  b.Header(4, 4, 1);
  Loop(b);
  Comment(b);
  b.Gce(1, 0);  // no delay, no transparency: changes nothing
  Frame(b, 0, 0, {0, 1, 2, 3});
  Loop(b);  // a second loop extension, out of place
  b.Gce(0, 50, 3);
  Frame(b, 2, 2, {3, 3, 1, 1});
  b.Trailer();
  TGIFImage image;
  Load(image, b.Data);
  ASSERT_EQ(image.Images().Count(), 2);
  ASSERT_EQ(ExtensionCount(image, 0), 3);
  SqueezeImage(image, soTidy, 0, 8, 0);
  // Frame 0 keeps only its loop; frame 1 keeps its transparent control extension.
  ASSERT_EQ(ExtensionCount(image, 0), 1);
  EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(image.Images()[0]->Extensions()[0]), nullptr);
  ASSERT_EQ(ExtensionCount(image, 1), 1);
  ASSERT_NE(image.Images()[1]->GraphicControlExtension(), nullptr);
  EXPECT_TRUE(image.Images()[1]->Transparent());
  // And it still decodes.
  TOracleImage o;
  ASSERT_TRUE(OracleLoadBytes(SaveWithEncoder(image), o));
  EXPECT_EQ(o.Loops, 0);
  EXPECT_EQ(o.Frames[1].Delay, 50);
  EXPECT_EQ(o.Frames[1].Transparent, 3);
}

TEST(GifSqueeze, TransparencyNobodyUsesIsDropped) {
  TGifBuilder b;
  b.Header(2, 2, 1).Gce(0, 10, 3);
  Frame(b, 0, 0, {0, 1, 2, 1});
  b.Trailer();
  TGIFImage image;
  Load(image, b.Data);
  ASSERT_TRUE(image.Images()[0]->Transparent());
  SqueezeImage(image, soTidy, 0, 8, 0);
  EXPECT_FALSE(image.Images()[0]->Transparent());
}

TEST(GifSqueeze, TrimmedAwayFrameHandsOnItsDelay) {
  TGifBuilder b;
  b.Header(4, 4, 1).Gce(1, 20, 3);
  Frame(b, 0, 0, {0, 1, 3, 3});
  b.Gce(1, 30, 3);
  Frame(b, 2, 2, {3, 3, 3, 3});  // nothing but transparent pixels
  b.Trailer();
  TGIFImage image;
  Load(image, b.Data);
  ASSERT_EQ(image.Images().Count(), 2);
  SqueezeImage(image, soTrimFrames, 0, 8, 0);
  ASSERT_EQ(image.Images().Count(), 1);
  EXPECT_EQ(image.Images()[0]->GraphicControlExtension()->Delay(), 50);
  // The first frame lost its transparent bottom row.
  EXPECT_EQ(image.Images()[0]->Height(), 1);
}

TEST(GifSqueeze, PackedTablesKeepTheColours) {
  TGifBuilder b;
  b.Header(2, 2, 1);
  Frame(b, 0, 0, {3, 3, 3, 1});
  b.Trailer();
  TGIFImage image;
  Load(image, b.Data);
  SqueezeImage(image, soPackColorMaps, 0, 8, 0);
  TOracleImage o;
  ASSERT_TRUE(OracleLoadBytes(SaveWithEncoder(image), o));
  // Grey 3 is used most: it comes first; grey 1 next; the unused ones go.
  ASSERT_GE(o.GlobalMap.size(), 6u);
  EXPECT_EQ(o.GlobalMap[0], 3);
  EXPECT_EQ(o.GlobalMap[3], 1);
  EXPECT_EQ(o.Frames[0].Raster, (Bytes{0, 0, 0, 1}));
}

TEST(GifSqueeze, CallersPaletteCannotBeAskedFor) {
  TGifBuilder b;
  b.Header(2, 2, 1);
  Comment(b);
  Frame(b, 0, 0, {0, 1, 2, 3});
  b.Trailer();
  TGIFImage image;
  Load(image, b.Data);
  try {
    SqueezeImage(image, soAll, 9, 8, 0);
    FAIL() << "no exception";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Invalid reduction method");
  }
  EXPECT_EQ(ExtensionCount(image, 0), 1);
  TGIFImage empty;
  SqueezeImage(empty, soAll, 9, 8, 0);  // nothing to do
}

}  // namespace

namespace {

TEST(GifSqueeze, FormStreamsAreSqueezedOnlyWhenAsked) {
  TGifBuilder b;
  b.Header(2, 2, 1);
  Comment(b);
  Frame(b, 0, 0, {0, 1, 2, 3});
  b.Trailer();
  for (bool squeeze : {false, true}) {
    TGIFImage image;
    Load(image, b.Data);
    SqueezeOnWrite = squeeze;
    TMemoryStream s;
    WriteImageData(image, s);
    SqueezeOnWrite = false;
    TGIFImage again;
    s.SetPosition(0);
    again.LoadFromStream(s);
    EXPECT_EQ(ExtensionCount(again, 0), squeeze ? 0 : 1);
  }
}

}  // namespace
