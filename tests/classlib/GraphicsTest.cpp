#include "classlib/Graphics.h"

#include <gtest/gtest.h>

#include <thread>

#include "TestUtil.h"
#include "classlib/Streams.h"
#include "platform/Windows.h"

namespace {
uint32_t Rgb(TBitmap& b, int x, int y) {
  return static_cast<uint32_t>(ColorToRGB(b.Canvas().Pixel(x, y)));
}
}  // namespace

TEST(Graphics, ColorsAndNames) {
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clWindowText), GetSysColor(COLOR_WINDOWTEXT));
  TColor c;
  EXPECT_TRUE(IdentToColor("CLBTNFACE", c));
  EXPECT_EQ(c, clBtnFace);
  EXPECT_TRUE(IdentToColor("$00EF9644", c));
  EXPECT_EQ(c, 0xEF9644);
  EXPECT_FALSE(IdentToColor("clNoSuch", c));
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  TFont f;
  f.SetSize(8);
  EXPECT_EQ(f.Height(), -11);  // 8 points at 96 dpi
  f.SetHeight(-16);
  EXPECT_EQ(f.Size(), 12);
}

TEST(Bitmap, PixelFormatsScanLinesAndSize) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_THROW(b.ScanLine(0), EInvalidGraphicOperation);
  b.SetPixelFormat(pf32bit);
  b.SetSize(3, 2);
  ASSERT_FALSE(b.Empty());
  // ScanLine(0) is the top row; rows are DWORD-aligned.
  static_cast<uint32_t*>(b.ScanLine(0))[1] = 0x00FF0000;  // red at (1, 0)
  static_cast<uint32_t*>(b.ScanLine(1))[2] = 0x000000FF;  // blue at (2, 1)
  EXPECT_EQ(Rgb(b, 1, 0), 0x0000FFu);
  EXPECT_EQ(Rgb(b, 2, 1), 0xFF0000u);
  EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
  // Growing keeps what was there.
  b.SetSize(5, 4);
  EXPECT_EQ(Rgb(b, 1, 0), 0x0000FFu);
  EXPECT_EQ(Rgb(b, 2, 1), 0xFF0000u);
  // Other formats keep the colours they can hold.
  struct {
    TPixelFormat format;
    int64_t rowBytes;
  } formats[] = {{pf24bit, 16}, {pf16bit, 12}, {pf8bit, 8}, {pf32bit, 20}, {pf1bit, 4}};
  for (auto& f : formats) {
    b.SetPixelFormat(f.format);
    EXPECT_EQ(b.PixelFormat(), f.format);
    EXPECT_EQ(b.RowBytes(), f.rowBytes);
    if (f.format != pf1bit) {
      EXPECT_EQ(Rgb(b, 1, 0), 0x0000FFu) << f.format;
    }
  }
  b.SetSize(0, 0);
  EXPECT_TRUE(b.Empty());
  EXPECT_THROW(b.SetSize(100000, 100000), EOutOfResources);
}

TEST(Bitmap, StreamRoundTripAndDamagedStreams) {
  TempDir dir;
  TBitmap b;
  b.LoadFromFile(HK_SOURCE_DIR "/tests/classlib/data/blue-green.bmp");
  ASSERT_EQ(b.Width(), 4);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(Rgb(b, 0, 0), 0xFF0000u);  // blue top row
  EXPECT_EQ(Rgb(b, 3, 1), 0x00FF00u);
  b.SaveToFile(dir.File("copy.bmp"));
  EXPECT_EQ(TempDir::Read(dir.File("copy.bmp")), TempDir::Read(HK_SOURCE_DIR "/tests/classlib/data/blue-green.bmp"));

  // An 8-bit bitmap keeps its colour table.
  TBitmap p;
  p.SetPixelFormat(pf8bit);
  p.SetSize(2, 2);
  p.Canvas().SetPixel(0, 0, clRed);
  TMemoryStream m;
  p.SaveToStream(m);
  TBitmap q;
  m.SetPosition(0);
  q.LoadFromStream(m);
  EXPECT_EQ(q.PixelFormat(), pf8bit);
  EXPECT_EQ(Rgb(q, 0, 0), 0x0000FFu);
  EXPECT_TRUE(q.Equals(&p));

  // Every cut and a flipped byte: an error or a picture, never a crash.
  std::string good = TempDir::Read(HK_SOURCE_DIR "/tests/classlib/data/blue-green.bmp");
  for (size_t n = 0; n < good.size(); ++n) {
    TMemoryStream s;
    s.WriteBuffer(good.data(), static_cast<int64_t>(n));
    s.SetPosition(0);
    TBitmap x;
    EXPECT_THROW(x.LoadFromStream(s), Exception) << n;
  }
  for (size_t i = 0; i < 54; ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0xFF);
    TMemoryStream s;
    s.WriteBuffer(bad.data(), static_cast<int64_t>(bad.size()));
    s.SetPosition(0);
    TBitmap x;
    try {
      x.LoadFromStream(s);
    } catch (const Exception&) {
    }
  }
}

TEST(Bitmap, TransparentDrawLetsTheBackgroundThrough) {
  TBitmap src;
  src.SetPixelFormat(pf32bit);
  src.SetSize(2, 2);
  src.Canvas().Brush().SetColor(clLime);
  src.Canvas().FillRect(Rect(0, 0, 2, 2));
  src.Canvas().SetPixel(0, 0, clRed);
  src.SetTransparent(true);
  src.SetTransparentColor(clLime);
  TBitmap dst;
  dst.SetPixelFormat(pf32bit);
  dst.SetSize(4, 4);
  dst.Canvas().Brush().SetColor(clBlue);
  dst.Canvas().FillRect(Rect(0, 0, 4, 4));
  dst.Canvas().Draw(1, 1, &src);
  EXPECT_EQ(Rgb(dst, 1, 1), 0x0000FFu);  // red, opaque
  EXPECT_EQ(Rgb(dst, 2, 1), 0xFF0000u);  // lime let the blue through
  EXPECT_EQ(Rgb(dst, 2, 2), 0xFF0000u);
  // Without transparency it is copied; stretched to twice its size too.
  src.SetTransparent(false);
  dst.Canvas().StretchDraw(Rect(0, 0, 4, 4), &src);
  EXPECT_EQ(Rgb(dst, 1, 1), 0x0000FFu);
  EXPECT_EQ(Rgb(dst, 3, 3), 0x00FF00u);
  // The automatic colour is the bottom-left pixel.
  src.SetTransparentMode(tmAuto);
  EXPECT_EQ(ColorToRGB(src.TransparentColor()), 0x00FF00u);
}

namespace {
class TFakeGraphic : public TGraphic {
 public:
  void Draw(TCanvas&, const TRect&) override {}
  bool Empty() const override { return FData.empty(); }
  int Width() const override { return static_cast<int>(FData.size()); }
  int Height() const override { return 1; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  void LoadFromStream(TStream& s) override {
    FData.resize(static_cast<size_t>(s.Size() - s.Position()));
    s.ReadBuffer(FData.data(), static_cast<int64_t>(FData.size()));
    Changed(this);
  }
  void SaveToStream(TStream& s) override { s.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size())); }
  void Assign(const TPersistent* source) override {
    if (auto* f = dynamic_cast<const TFakeGraphic*>(source)) {
      FData = f->FData;
      return;
    }
    TGraphic::Assign(source);
  }
  std::string FData;
};
}  // namespace

TEST(Picture, RegistryByExtensionClassAndClipboard) {
  TGraphicClass cls = GraphicClassOf<TFakeGraphic>();
  EXPECT_EQ(cls->ClassName, "TFakeGraphic");
  EXPECT_EQ(TPicture::FindGraphicClass("TFakeGraphic"), nullptr);
  TPicture::RegisterFileFormat("FAKE", "Fake pictures", cls);
  TPicture::RegisterClipboardFormat(0xC123, cls);
  EXPECT_EQ(TPicture::FindExtension(".fake"), cls);
  EXPECT_EQ(TPicture::FindGraphicClass("TFakeGraphic"), cls);
  EXPECT_EQ(TPicture::FindGraphicClass("TBitmap"), GraphicClassOf<TBitmap>());
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(0xC123));
  EXPECT_NE(TPicture::GraphicFilter().find("Fake pictures (*.fake)|*.fake"), std::string::npos);

  TempDir dir;
  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  pic.LoadFromFile(dir.Write("x.FAKE", "abc"));
  ASSERT_TRUE(dynamic_cast<TFakeGraphic*>(pic.Graphic()));
  EXPECT_EQ(pic.Width(), 3);
  EXPECT_GT(changes, 0);
  // Assigning copies into a graphic of the same class.
  TPicture other;
  other.Assign(&pic);
  ASSERT_NE(other.Graphic(), pic.Graphic());
  EXPECT_EQ(static_cast<TFakeGraphic*>(other.Graphic())->FData, "abc");
  try {
    pic.LoadFromFile(dir.Write("x.unknown", "abc"));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (unknown)");
  }
  TMemoryStream m;
  EXPECT_THROW(pic.LoadFromStreamAs("TNotRegistered", m), EInvalidGraphic);
  TPicture::UnregisterGraphicClass(cls);
  EXPECT_EQ(TPicture::FindGraphicClass("TFakeGraphic"), nullptr);
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(0xC123));
  EXPECT_THROW(pic.LoadFromFile(dir.File("x.FAKE")), EInvalidGraphic);
}

TEST(Canvas, LockIsReentrantAndExcludesOtherThreads) {
  TBitmap b;
  b.SetSize(1, 1);
  TCanvas& c = b.Canvas();
  c.Lock();
  c.Lock();
  EXPECT_EQ(c.LockCount(), 2);
  bool other = true;
  std::thread([&] { other = c.TryLock(); }).join();
  EXPECT_FALSE(other);
  c.Unlock();
  c.Unlock();
  std::thread([&] {
    other = c.TryLock();
    if (other) c.Unlock();
  }).join();
  EXPECT_TRUE(other);
  EXPECT_EQ(c.LockCount(), 0);
}

TEST(Canvas, ChangedObjectsAreFreedNotLeaked) {
  TBitmap b;
  b.SetSize(20, 10);
  TCanvas& c = b.Canvas();
  c.TextOut(0, 0, "x");
  c.Rectangle(0, 0, 5, 5);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(c.Font().Handle());
  HGDIOBJ pen = reinterpret_cast<HGDIOBJ>(c.Pen().Handle());
  HGDIOBJ brush = reinterpret_cast<HGDIOBJ>(c.Brush().Handle());
  EXPECT_EQ(GetObjectType(font), OBJ_FONT);
  c.Font().SetSize(20);
  c.Pen().SetColor(clRed);
  c.Brush().SetColor(clBlue);
  // The old ones were selected into the canvas's DC, and still went.
  EXPECT_EQ(GetObjectType(font), 0u);
  EXPECT_EQ(GetObjectType(pen), 0u);
  EXPECT_EQ(GetObjectType(brush), 0u);
  c.FillRect(Rect(0, 0, 20, 10));
  EXPECT_EQ(ColorToRGB(c.Pixel(3, 3)), 0xFF0000u);
}

TEST(Bitmap, ClipboardBitmapHandlesAreCopies) {
  TBitmap b;
  b.LoadFromFile(HK_SOURCE_DIR "/tests/classlib/data/blue-green.bmp");
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  b.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_BITMAP_FORMAT);
  ASSERT_NE(data, nullptr);
  EXPECT_NE(static_cast<HBITMAP>(data), b.Handle());
  TBitmap c;
  c.LoadFromClipboardFormat(format, data, palette);
  EXPECT_EQ(c.Width(), 4);
  EXPECT_EQ(Rgb(c, 0, 0), 0xFF0000u);
  EXPECT_EQ(Rgb(c, 3, 1), 0x00FF00u);
  // The handle stays the giver's.
  EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(data)), OBJ_BITMAP);
  DeleteObject(reinterpret_cast<HGDIOBJ>(data));
  EXPECT_THROW(c.LoadFromClipboardFormat(format, nullptr, nullptr), EInvalidGraphic);
  EXPECT_THROW(c.LoadFromClipboardFormat(12345, data, nullptr), EInvalidGraphic);
}
