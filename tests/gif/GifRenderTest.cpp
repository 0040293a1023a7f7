// Rendering frames to bitmaps and masks, and drawing them onto canvases.
#include <gtest/gtest.h>

#include <algorithm>

#include "GifTestUtil.h"
#include "gif/GIFDIB.h"
#include "gif/GifCodec.h"

namespace {

// A one-frame image: width x height pixels from `pixels`, global table of 16
// colours (index i = grey i * 16), transparent index `transparent` or none.
std::unique_ptr<TGIFImage> MakeImage(int width, int height, const std::vector<int>& pixels, int transparent = -1) {
  TGifBuilder b;
  b.Header(width, height, 3);
  // Colours that are easy to tell apart: red ramps, green fixed.
  for (int i = 0; i < 16; ++i) b.Data[13 + i * 3] = static_cast<uint8_t>(i * 16), b.Data[14 + i * 3] = 0x40, b.Data[15 + i * 3] = static_cast<uint8_t>(255 - i * 16);
  if (transparent >= 0) b.Gce(1, 0, transparent);
  int m = *std::max_element(pixels.begin(), pixels.end()) >= 16 ? 8 : 4;
  b.Descriptor(0, 0, width, height).ImageData(m, Literals(m, pixels)).Trailer();
  auto image = std::make_unique<TGIFImage>();
  TMemoryStream s;
  s.WriteBuffer(b.Data.data(), static_cast<int64_t>(b.Data.size()));
  s.SetPosition(0);
  image->LoadFromStream(s);
  return image;
}

COLORREF Entry(int i) { return static_cast<COLORREF>((i * 16) | (0x40 << 8) | ((255 - i * 16) << 16)); }

std::unique_ptr<TBitmap> Canvas(int w, int h, TColor fill) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(w, h);
  bmp->Canvas().Brush().SetColor(fill);
  bmp->Canvas().FillRect(TRect(0, 0, w, h));
  return bmp;
}

bool MaskBit(HBITMAP mask, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, mask);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return (c & 0xFFFFFF) != 0;
}

}  // namespace

TEST(GifRender, BitmapKeepsIndicesAndMaskMarksTransparency) {
  std::vector<int> px;
  for (int i = 0; i < 17 * 3; ++i) px.push_back(i % 5);  // index 0 every fifth pixel
  auto image = MakeImage(17, 3, px, 0);
  TGIFSubImage* f = image->Images()[0];
  TBitmap* bmp = f->FrameBitmap();
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->Width(), 17);
  EXPECT_EQ(bmp->PixelFormat(), pf8bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 17; ++x) {
      EXPECT_EQ(static_cast<uint8_t*>(bmp->ScanLine(y))[x], px[static_cast<size_t>(y * 17 + x)]);
      // The 17th pixel sits in the third byte of a 4-byte mask row.
      EXPECT_EQ(MaskBit(f->FrameMask(), x, y), px[static_cast<size_t>(y * 17 + x)] == 0) << x << "," << y;
    }
  EXPECT_TRUE(f->HasMask());
  EXPECT_EQ(bmp->Canvas().Pixel(1, 0), static_cast<TColor>(Entry(1)));

  // Transparent, but no pixel has the index: no mask, and asking does not render again.
  auto clear = MakeImage(4, 1, {1, 2, 3, 4}, 9);
  TGIFSubImage* g = clear->Images()[0];
  TBitmap* first = g->FrameBitmap();
  EXPECT_FALSE(g->HasMask());
  EXPECT_EQ(g->FrameBitmap(), first);
  EXPECT_EQ(g->FrameMask(), nullptr);
}

TEST(GifRender, EmptyFrameAndWriterErrors) {
  TGIFImage image;
  auto frame = std::make_unique<TGIFSubImage>(&image);
  int progress = 0;
  image.OnProgress = [&](TObject*, TProgressStage, uint8_t, bool, const TRect&, const std::string&) { ++progress; };
  EXPECT_EQ(frame->FrameBitmap(), nullptr);
  EXPECT_EQ(progress, 0);

  TBitmap bmp;
  try {
    TDIBWriter bad(bmp, pf4bit, 2, 2, nullptr);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Unsupported PixelFormat");
  }
  EXPECT_THROW(TDIBWriter(bmp, pf8bit, 0, 2, nullptr), GIFException);
  TDIBWriter writer(bmp, pf8bit, 2, 2, nullptr);
  try {
    writer.ScanLine(2);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "Scan line index out of range");
  }
  EXPECT_EQ(RowBytes(17, 8, 32), 20);
  EXPECT_EQ(RowBytes(17, 1, 16), 4);
}

TEST(GifRender, DitheredRenderOnThePaletteScreen) {
  // Pixel values past the table show black rather than reading past it.
  auto image = MakeImage(4, 2, {200, 0, 200, 200, 201, 255, 0, 0}, 0);
  image->PaintOptions |= gpDither;
  image->PaintOptions &= static_cast<TGIFPaintOptions>(~gpAutoDither);
  TGIFSubImage* f = image->Images()[0];
  TBitmap* bmp = f->FrameBitmap();
  ASSERT_NE(bmp, nullptr);
  const uint8_t* row = static_cast<uint8_t*>(bmp->ScanLine(0));
  for (int x : {0, 2, 3}) EXPECT_EQ(row[x], 0);  // black is web index 0, and leaves no error
  EXPECT_TRUE(f->HasMask());
  EXPECT_TRUE(MaskBit(f->FrameMask(), 1, 0));
  EXPECT_FALSE(MaskBit(f->FrameMask(), 0, 0));
  for (int x = 0; x < 4; ++x) EXPECT_LT(row[x], 217);
}

TEST(GifRender, NewFramePaletteDropsTheBitmap) {
  auto image = MakeImage(2, 1, {1, 2});
  TGIFSubImage* f = image->Images()[0];
  ASSERT_NE(f->FrameBitmap(), nullptr);
  image->PaletteModified = false;
  int changes = 0;
  image->OnChange = [&](TObject*) { ++changes; };
  f->SetFramePalette(MakeWebPalette());
  EXPECT_FALSE(f->HasBitmap());
  EXPECT_TRUE(image->PaletteModified);
  EXPECT_EQ(changes, 1);
}

TEST(GifDraw, TransparentAndOpaque) {
  auto image = MakeImage(4, 4, {0, 1, 2, 0, 3, 0, 0, 4, 5, 6, 7, 8, 0, 0, 0, 9}, 0);
  TGIFSubImage* f = image->Images()[0];
  const TColor back = 0x123456;
  for (bool stretched : {false, true}) {
    SCOPED_TRACE(stretched);
    int scale = stretched ? 2 : 1;
    auto dst = Canvas(8, 8, back);
    HDC dc = dst->Canvas().Handle();
    SetTextColor(dc, 0x0000FF);
    SetBkColor(dc, 0x00FF00);
    f->DrawInRect(dst->Canvas(), TRect(0, 0, 4 * scale, 4 * scale), true, false);
    EXPECT_EQ(GetTextColor(dst->Canvas().Handle()), 0x0000FFu);
    EXPECT_EQ(GetBkColor(dst->Canvas().Handle()), 0x00FF00u);
    for (int y = 0; y < 4 * scale; ++y)
      for (int x = 0; x < 4 * scale; ++x) {
        int index = f->PixelAt(x / scale, y / scale);
        EXPECT_EQ(dst->Canvas().Pixel(x, y), index == 0 ? back : static_cast<TColor>(Entry(index))) << x << "," << y;
      }
  }
  // Without transparency the whole frame is painted.
  auto dst = Canvas(4, 4, back);
  f->DrawInRect(dst->Canvas(), TRect(0, 0, 4, 4), false, false);
  EXPECT_EQ(dst->Canvas().Pixel(0, 0), static_cast<TColor>(Entry(0)));
}

TEST(GifDraw, PlacementAndTiles) {
  TGIFImage image;
  auto frame = std::make_unique<TGIFSubImage>(&image);
  frame->PlaceFrame(4, 4, 8, 8);
  image.SetScreenSize(16, 16);
  EXPECT_TRUE(frame->MapToScreenRect(TRect(0, 0, 32, 32)) == TRect(8, 8, 24, 24));

  // 40 x 40 from a 16 x 16 image: 9 tiles, the last ones reaching past the destination.
  std::vector<int> px(16 * 16, 5);
  auto tiled = MakeImage(16, 16, px);
  auto dst = Canvas(48, 48, 0x000000);
  tiled->Images()[0]->DrawInScreenRect(dst->Canvas(), TRect(0, 0, 40, 40), false, true);
  EXPECT_EQ(dst->Canvas().Pixel(47, 47), static_cast<TColor>(Entry(5)));
  // A zero-sized image draws no tiles (and does not loop forever).
  TGIFImage zero;
  auto lone = std::make_unique<TGIFSubImage>(&zero);
  zero.SetScreenSize(0, 0);
  lone->DrawInScreenRect(dst->Canvas(), TRect(0, 0, 40, 40), false, true);
}

TEST(GifEdit, TrimAndMaskUnchanged) {
  auto image = MakeImage(4, 3, {0, 0, 0, 0, 0, 2, 3, 0, 0, 0, 0, 0}, 0);
  TGIFSubImage* f = image->Images()[0];
  f->TrimTransparentBorder();
  EXPECT_EQ(f->Left(), 1);
  EXPECT_EQ(f->Top(), 1);
  EXPECT_EQ(f->Width(), 2);
  EXPECT_EQ(f->Height(), 1);
  EXPECT_EQ(f->PixelAt(1, 0), 3);
  auto empty = MakeImage(2, 2, {0, 0, 0, 0}, 0);
  empty->Images()[0]->TrimTransparentBorder();
  EXPECT_EQ(empty->Images()[0]->Width(), 0);
  EXPECT_TRUE(empty->Images()[0]->Empty());
}

TEST(GifImageClass, RegisteredAndLoadsThroughThePictureFramework) {
  ASSERT_NE(TPicture::FindExtension("gif"), nullptr);
  ASSERT_NE(TPicture::FindGraphicClass("TGIFImage"), nullptr);
  TPicture picture;
  TMemoryStream s;
  Bytes data = ReadFileBytes(std::string(HK_SOURCE_DIR) + "/assets/dict/busy.gif");
  s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  s.SetPosition(0);
  picture.LoadFromStreamAs("TGIFImage", s);
  ASSERT_NE(dynamic_cast<TGIFImage*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 16);
  EXPECT_EQ(static_cast<TGIFImage*>(picture.Graphic())->Images().Count(), 12);
}

TEST(GifImageClass, FailedLoadRestoresPositionAndReportsEnd) {
  TGIFImage image;
  std::vector<std::pair<TProgressStage, int>> seen;
  image.OnProgress = [&](TObject*, TProgressStage stage, uint8_t pct, bool, const TRect&, const std::string& msg) {
    if (msg == "Loading...") seen.emplace_back(stage, pct);
  };
  Bytes data = ReadFileBytes(DataPath("im-anim-dispose.gif"));
  data.pop_back();  // the trailer, replaced by an extension of an unregistered label
  data.insert(data.end(), {0x21, 0x77, 0});
  TMemoryStream s;
  s.WriteBuffer("xyz", 3);
  s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  s.SetPosition(3);
  EXPECT_THROW(image.LoadFromStream(s), GIFException);
  EXPECT_EQ(s.Position(), 3);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), std::make_pair(psEnding, 0));
  // Widths smaller than a frame are refused, the size unchanged.
  auto ok = MakeImage(4, 3, std::vector<int>(12, 1));
  try {
    ok->SetWidth(3);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Image width too small for contained frames");
  }
  EXPECT_EQ(ok->Width(), 4);
  // Assigning to itself changes nothing; nil empties.
  ok->Assign(ok.get());
  EXPECT_EQ(ok->Images().Count(), 1);
  TGIFImage copy;
  copy.Assign(ok.get());
  EXPECT_EQ(copy.Images().Count(), 1);
  EXPECT_EQ(copy.Images()[0]->PixelAt(3, 2), 1);
  // A bitmap takes the composite picture.
  TBitmap bitmap;
  bitmap.Assign(&copy);
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(bitmap.Canvas().Pixel(3, 2), static_cast<TColor>(Entry(1)));
  ok->Assign(nullptr);
  EXPECT_TRUE(ok->Empty());
  EXPECT_THROW(copy.LoadFromClipboardFormat(1234, nullptr, nullptr), GIFException);
}

namespace {
// ImageMagick's composed frames, RGBA, frame after frame.
Bytes Coalesced(const std::string& path) {
  std::string cmd = "convert '" + path + "' -coalesce -depth 8 rgba:- 2>/dev/null";
  Bytes out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.insert(out.end(), buf, buf + n);
  pclose(p);
  return out;
}
}  // namespace

// Frames played by a painter, with their disposal, compose as ImageMagick's
// -coalesce composes them; where it leaves the screen transparent, the
// background under the image shows.
TEST(GifCompose, PainterMatchesImageMagickCoalesce) {
  std::vector<std::string> files = {DataPath("im-anim-dispose.gif"), DataPath("im-anim-previous.gif"),
                                    DataPath("im-anim-optimized.gif"),
                                    std::string(HK_SOURCE_DIR) + "/assets/dict/busy.gif"};
  const TColor key = 0xFF00FF;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    Bytes want = Coalesced(path);
    if (want.empty()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    Bytes data = ReadFileBytes(path);
    TGIFImage image;
    TMemoryStream s;
    s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    s.SetPosition(0);
    image.LoadFromStream(s);
    const int w = image.Width(), h = image.Height();
    image.PaintOptions = gpTransparent | gpAnimate;
    int painted = 0;
    int mismatches = 0;
    image.OnFramePainted = [&](TGIFPainter* p) {
      TBitmap* composite = image.CompositeBitmap();
      ASSERT_NE(composite, nullptr);
      size_t base = static_cast<size_t>(painted) * w * h * 4;
      ASSERT_LE(base + static_cast<size_t>(w) * h * 4, want.size());
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const uint8_t* px = want.data() + base + (static_cast<size_t>(y) * w + x) * 4;
          TColor expect = px[3] == 0 ? key : static_cast<TColor>(px[0] | (px[1] << 8) | (px[2] << 16));
          TColor got = composite->Canvas().Pixel(x, y);
          if (got != expect && ++mismatches <= 3)
            ADD_FAILURE() << "frame " << p->CurrentFrame << " (" << x << "," << y << "): " << std::hex << got
                          << " want " << expect;
        }
      ++painted;
    };
    auto target = std::make_unique<TBitmap>();
    target->SetPixelFormat(pf32bit);
    target->SetSize(w, h);
    target->Canvas().Brush().SetColor(key);
    target->Canvas().FillRect(TRect(0, 0, w, h));
    image.Draw(target->Canvas(), TRect(0, 0, w, h));
    EXPECT_EQ(static_cast<size_t>(painted) * w * h * 4, want.size());
    EXPECT_EQ(mismatches, 0);
  }
}

// Damaged small files through the picture class, rendered and drawn: an
// exception of the codec or an image, never a crash.
TEST(GifRobustness, DamagedFilesRenderOrFailCleanly) {
  auto attempt = [](const Bytes& data) {
    TGIFImage image;
    image.PaintOptions = gpTransparent;
    TMemoryStream s;
    if (!data.empty()) s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    s.SetPosition(0);
    try {
      image.LoadFromStream(s);
      for (int i = 0; i < image.Images().Count(); ++i) image.Images()[i]->HasMask();
      TBitmap target;
      target.SetSize(8, 8);
      image.Draw(target.Canvas(), TRect(0, 0, 8, 8));
    } catch (const EInvalidGraphic&) {
    }
  };
  for (const std::string& name : CorpusFiles()) {
    Bytes data = ReadFileBytes(DataPath(name));
    if (data.size() > 4000) continue;
    SCOPED_TRACE(name);
    for (size_t len = 0; len < data.size(); ++len) attempt(Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(len)));
    for (size_t at = 0; at < data.size(); ++at) {
      Bytes bad = data;
      bad[at] ^= 0x80;
      attempt(bad);
    }
  }
}

// What the picture class saves, giflib reads back as the frames it loaded.
TEST(GifImageClass, SavesWhatItLoaded) {
  for (const std::string& name : CorpusFiles()) {
    SCOPED_TRACE(name);
    Bytes data = ReadFileBytes(DataPath(name));
    TGIFImage image;
    TMemoryStream in;
    in.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    in.SetPosition(0);
    image.LoadFromStream(in);
    TMemoryStream out;
    image.SaveToStream(out);
    std::string path = std::string(HK_BINARY_DIR) + "/gif-saved-" + name;
    out.SaveToFile(path);
    TOracleImage oracle;
    ASSERT_TRUE(OracleLoad(path, oracle));
    std::remove(path.c_str());
    std::vector<TGIFSubImage*> frames;
    for (int i = 0; i < image.Images().Count(); ++i)
      if (!image.Images()[i]->Empty()) frames.push_back(image.Images()[i]);
    ASSERT_EQ(oracle.Frames.size(), frames.size());
    EXPECT_EQ(oracle.Width, image.Width());
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_TRUE(oracle.Frames[i].Raster == Bytes(frames[i]->Data(), frames[i]->Data() + frames[i]->DataSize()))
          << "frame " << i;
  }
}
