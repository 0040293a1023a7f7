// Frames from bitmaps, icons and graphics that draw themselves, saved and
// read back by giflib.
#include <gtest/gtest.h>

#include "GifEncodingUtil.h"
#include "gif/GIFColorReduction.h"
#include "gif/GIFImport.h"

namespace {

struct TFixture {
  TGIFImage Image;
  TGIFSubImage* Import(const TPersistent* source) {
    auto frame = std::make_unique<TGIFSubImage>(&Image);
    TGIFSubImage* f = frame.get();
    EXPECT_TRUE(ImportIntoFrame(*f, source));
    Image.AddFrame(std::move(frame));
    return f;
  }
};

Bytes Pixels(TGIFSubImage* f) { return f->Empty() ? Bytes() : Bytes(f->Data(), f->Data() + f->DataSize()); }

std::unique_ptr<TBitmap> Bitmap(TPixelFormat format, int w, int h, const Bytes& firstRow = {}) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(format);
  b->SetSize(w, h);
  if (!firstRow.empty()) std::copy(firstRow.begin(), firstRow.end(), static_cast<uint8_t*>(b->ScanLine(0)));
  return b;
}

void Put24(TBitmap& b, int x, int y, int r, int g, int bl) {
  auto* p = static_cast<uint8_t*>(b.ScanLine(y)) + x * 3;
  p[0] = static_cast<uint8_t>(bl);
  p[1] = static_cast<uint8_t>(g);
  p[2] = static_cast<uint8_t>(r);
}

TEST(GifImport, PaletteFormatsKeepTheirIndices) {
  TFixture t;
  auto b4 = Bitmap(pf4bit, 4, 1, {0x12, 0x34});
  EXPECT_EQ(Pixels(t.Import(b4.get())), (Bytes{1, 2, 3, 4}));
  auto b1 = Bitmap(pf1bit, 3, 1, {0xA0});
  EXPECT_EQ(Pixels(t.Import(b1.get())), (Bytes{1, 0, 1}));

  // An 8-bit bitmap with a palette of its own.
  auto b8 = Bitmap(pf8bit, 3, 2, {2, 0, 1});
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 3);
  auto* log = reinterpret_cast<LOGPALETTE*>(block.data());
  log->palVersion = 0x300;
  log->palNumEntries = 3;
  log->palPalEntry[0] = {10, 20, 30, 0};
  log->palPalEntry[1] = {40, 50, 60, 0};
  log->palPalEntry[2] = {70, 80, 90, 0};
  b8->SetPalette(CreatePalette(log));
  TGIFSubImage* f = t.Import(b8.get());
  EXPECT_EQ(Pixels(f), (Bytes{2, 0, 1, 0, 0, 0}));
  ASSERT_EQ(f->ColorMap().Count(), 3);
  EXPECT_EQ(f->ColorMap().Entry(2)[0], 70);
  EXPECT_EQ(f->ColorMap().Entry(0)[2], 30);
}

TEST(GifImport, TrueColourWithFewColoursIsTakenAsIs) {
  TFixture t;
  t.Image.ReductionMethod = ReduceNone;
  auto b = Bitmap(pf24bit, 3, 1);
  Put24(*b, 0, 0, 255, 0, 0);
  Put24(*b, 1, 0, 0, 255, 0);
  Put24(*b, 2, 0, 255, 0, 0);
  TGIFSubImage* f = t.Import(b.get());
  EXPECT_EQ(Pixels(f), (Bytes{0, 1, 0}));
  ASSERT_EQ(f->ColorMap().Count(), 2);
  EXPECT_EQ((Bytes{f->ColorMap().Entry(0), f->ColorMap().Entry(0) + 6}), (Bytes{255, 0, 0, 0, 255, 0}));

  // One colour too many.
  auto many = Bitmap(pf24bit, 257, 1);
  for (int x = 0; x < 257; ++x) Put24(*many, x, 0, x & 255, x >> 8, 7);
  auto frame = std::make_unique<TGIFSubImage>(&t.Image);
  try {
    ImportIntoFrame(*frame, many.get());
    FAIL() << "no overflow";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Color table overflow");
  }
}

TEST(GifImport, TransparentBitmapGetsABlackEntryAndAControlExtension) {
  TFixture t;
  t.Image.ReductionMethod = ReduceNone;
  auto b = Bitmap(pf24bit, 4, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) Put24(*b, x, y, x == 1 ? 255 : 10, 20, 30);
  b->SetTransparentMode(tmFixed);
  b->SetTransparentColor(static_cast<TColor>(RGB(255, 20, 30)));
  b->SetTransparent(true);
  TGIFSubImage* f = t.Import(b.get());
  ASSERT_TRUE(f->Transparent());
  ASSERT_NE(f->GraphicControlExtension(), nullptr);
  int index = f->GraphicControlExtension()->TransparentColorIndex();
  EXPECT_EQ(index, f->ColorMap().Count() - 1);
  EXPECT_EQ((Bytes{f->ColorMap().Entry(index), f->ColorMap().Entry(index) + 3}), (Bytes{0, 0, 0}));
  EXPECT_EQ(Pixels(f)[1], index);
  EXPECT_EQ(Pixels(f)[5], index);
  EXPECT_NE(Pixels(f)[0], index);

  // A key that marks nothing leaves the table alone.
  b->SetTransparentColor(static_cast<TColor>(RGB(1, 2, 3)));
  TGIFSubImage* g = t.Import(b.get());
  EXPECT_FALSE(g->Transparent());
  EXPECT_EQ(g->ColorMap().Count(), 2);
}

TEST(GifImport, EmptySourcesGiveEmptyFrames) {
  TFixture t;
  TBitmap empty;
  EXPECT_TRUE(t.Import(&empty)->Empty());
  TPicture picture;
  EXPECT_TRUE(t.Import(&picture)->Empty());
  auto frame = std::make_unique<TGIFSubImage>(&t.Image);
  EXPECT_FALSE(ImportIntoFrame(*frame, &t.Image.Header()));
}

TEST(GifImport, ReductionWithoutColoursRaisesInsteadOfReading) {
  TFixture t;
  t.Image.ReductionMethod = ReduceCustomPalette;  // no caller palette on import
  auto b = Bitmap(pf24bit, 3, 3);
  auto frame = std::make_unique<TGIFSubImage>(&t.Image);
  EXPECT_THROW(ImportIntoFrame(*frame, b.get()), EInvalidGraphicOperation);
}

// A picture without a bitmap form of its own: it only draws itself, in its left half.
class THalfGraphic : public TGraphic {
 public:
  void Draw(TCanvas& canvas, const TRect& rect) override {
    canvas.Brush().SetColor(static_cast<TColor>(RGB(200, 0, 0)));
    canvas.FillRect(TRect(rect.left, rect.top, rect.left + 3, rect.bottom));
  }
  bool Empty() const override { return false; }
  int Width() const override { return 6; }
  int Height() const override { return 2; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
};

TEST(GifImport, DrawnGraphicsAndIconsBringTheirCoverage) {
  TFixture t;
  t.Image.ReductionMethod = ReduceNone;
  THalfGraphic half;
  TGIFSubImage* f = t.Import(&half);
  ASSERT_TRUE(f->Transparent());
  int index = f->GraphicControlExtension()->TransparentColorIndex();
  Bytes p = Pixels(f);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(p[static_cast<size_t>(x)] == index, x >= 3) << x;

  TBitmap image;
  image.SetPixelFormat(pf32bit);
  image.SetSize(2, 2);
  for (int y = 0; y < 2; ++y) {
    auto* row = static_cast<uint8_t*>(image.ScanLine(y));
    for (int x = 0; x < 2; ++x) {
      row[x * 4 + 1] = 255;                          // green
      row[x * 4 + 3] = (x == y) ? 255 : 0;           // opaque on the diagonal
    }
  }
  TIcon icon;
  icon.SetImage(image);
  TGIFSubImage* g = t.Import(&icon);
  ASSERT_TRUE(g->Transparent());
  index = g->GraphicControlExtension()->TransparentColorIndex();
  p = Pixels(g);
  EXPECT_EQ(p, (Bytes{p[0], static_cast<uint8_t>(index), static_cast<uint8_t>(index), p[0]}));
  EXPECT_NE(p[0], index);
}

TEST(GifImport, ReducedFramesSaveAndDecodeThroughGiflib) {
  auto photo = Bitmap(pf24bit, 61, 37);
  for (int y = 0; y < 37; ++y)
    for (int x = 0; x < 61; ++x) Put24(*photo, x, y, x * 4, y * 7, (x * y) & 255);
  for (int method : {ReduceSystem20, ReduceGray4, ReduceMonochrome, ReduceGray256, ReduceWebCube, ReduceOctree,
                     ReduceOctreeSystem})
    for (int dither : {DitherNearest, DitherFloydSteinberg, DitherSteveArche}) {
      SCOPED_TRACE(std::to_string(method) + "/" + std::to_string(dither));
      TFixture t;
      t.Image.ReductionMethod = static_cast<uint8_t>(method);
      t.Image.DitherKind = static_cast<uint8_t>(dither);
      t.Image.ReductionDepth = 5;
      TGIFSubImage* f = t.Import(photo.get());
      ASSERT_EQ(f->Width(), 61);
      TMemoryStream s;
      t.Image.SaveToStream(s);
      const auto* data = static_cast<const uint8_t*>(s.Memory());
      TOracleImage o;
      ASSERT_TRUE(OracleLoadBytes(Bytes(data, data + s.Size()), o));
      ASSERT_EQ(o.Frames.size(), 1u);
      EXPECT_TRUE(o.Frames[0].Raster == Pixels(f));
      EXPECT_EQ(o.Frames[0].LocalMap.size() / 3, static_cast<size_t>(1) << f->ColorMap().IndexBits());
    }
}

TEST(GifImport, FrameExportsToABitmapOnly) {
  TFixture t;
  auto b4 = Bitmap(pf4bit, 4, 1, {0x12, 0x34});
  TGIFSubImage* f = t.Import(b4.get());
  TBitmap out;
  EXPECT_TRUE(ExportFrame(*f, &out));
  EXPECT_EQ(out.Width(), 4);
  EXPECT_EQ(out.PixelFormat(), pf4bit);
  EXPECT_EQ(static_cast<uint8_t*>(out.ScanLine(0))[1], 0x34);
  TIcon icon;
  EXPECT_FALSE(ExportFrame(*f, &icon));
}

}  // namespace

namespace {

TEST(GifImportImage, PicturesBecomeOneFrameImages) {
  auto b4 = Bitmap(pf4bit, 4, 2, {0x12, 0x34});
  TGIFImage image;
  ASSERT_TRUE(AssignToImage(image, b4.get()));
  ASSERT_EQ(image.Images().Count(), 1);
  EXPECT_EQ(image.Width(), 4);
  EXPECT_EQ(image.Height(), 2);
  EXPECT_EQ(AddGraphicFrame(image, b4.get()), 1);
  EXPECT_EQ(AddGraphicFrame(image, image.Images()[0]), 2);
  EXPECT_THROW(AddGraphicFrame(image, &image.Header()), GIFException);
  EXPECT_FALSE(AssignToImage(image, &image.Header()));
  EXPECT_TRUE(image.Empty());

  ASSERT_TRUE(AssignToImage(image, b4.get()));
  TBitmap out;
  ASSERT_TRUE(ExportImage(image, &out));
  EXPECT_EQ(out.Width(), 4);
  TIcon icon;
  EXPECT_FALSE(ExportImage(image, &icon));
  EXPECT_TRUE(AssignToImage(image, nullptr));
  EXPECT_TRUE(image.Empty());
}

}  // namespace

namespace {

TEST(GifImportImage, ConversionAlwaysReportsItsEnd) {
  struct TEvent {
    TProgressStage Stage;
    int Percent;
    std::string Message;
  };
  std::vector<TEvent> events;
  TGIFImage image;
  image.ReductionMethod = ReduceNone;
  image.OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&, const std::string& m) {
    if (m == "Converting...") events.push_back({stage, percent, m});
  };
  auto ok = Bitmap(pf24bit, 3, 40);
  auto frame = std::make_unique<TGIFSubImage>(&image);
  ImportIntoFrame(*frame, ok.get());
  ASSERT_GE(events.size(), 4u);  // starting, rows 0 and 32, ending
  EXPECT_EQ(events.front().Stage, psStarting);
  EXPECT_EQ(events[2].Percent, 80);  // before row 32 of 40
  EXPECT_EQ(events.back().Stage, psEnding);
  EXPECT_EQ(events.back().Percent, 100);

  events.clear();
  auto many = Bitmap(pf24bit, 300, 1);
  for (int x = 0; x < 300; ++x) Put24(*many, x, 0, x & 255, x >> 8, 1);
  EXPECT_THROW(ImportIntoFrame(*frame, many.get()), GIFException);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().Stage, psEnding);
  EXPECT_EQ(events.back().Percent, 0);
}

}  // namespace

TEST(GifImport, PictureAssignmentGoesThroughTheImport) {
  auto b = Bitmap(pf24bit, 2, 1);
  Put24(*b, 0, 0, 255, 0, 0);
  Put24(*b, 1, 0, 0, 0, 255);
  TGIFImage image;
  image.ReductionMethod = ReduceNone;
  image.Assign(b.get());
  ASSERT_EQ(image.Images().Count(), 1);
  EXPECT_EQ(image.Width(), 2);
  image.AddFrame(b.get());
  EXPECT_EQ(image.Images().Count(), 2);

  TBitmap back;
  back.Assign(&image);
  ASSERT_EQ(back.Width(), 2);
  EXPECT_EQ(back.Canvas().Pixel(0, 0) & 0xFFFFFF, 0x0000FF);  // red, as $00BBGGRR
  EXPECT_EQ(back.Canvas().Pixel(1, 0) & 0xFFFFFF, 0xFF0000);
}
