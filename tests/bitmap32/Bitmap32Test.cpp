#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bitmap32/Bitmap32.h"
#include "bitmap32/Bitmap32Resamplers.h"
#include "platform/SystemInfo.h"

namespace {
// Counts the notifications a bitmap sends, in order.
// Declared before the bitmap: its destructor still reports the resize.
struct Recorder {
  std::string log;
  void Hook(TBitmap32& b) {
    b.OnChange = [this](TObject*) { log += "C"; };
    b.OnResize = [this](TObject*) { log += "R"; };
    b.OnHandleChanged = [this](TObject*) { log += "H"; };
  }
};

void FillPattern(TBitmap32& b) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, y, 0x01000000u * (x + 1) + 0x10000u * y + 0x100u * x + 0x55);
}
}  // namespace

TEST(Color32, ConvertsClassLibraryColours) {
  EXPECT_EQ(Color32(TColor(0x000000FF)), 0xFFFF0000u);
  EXPECT_EQ(Color32(TColor(0x00FF0000)), 0xFF0000FFu);
  EXPECT_EQ(Color32(TColor(0x7F123456)), 0xFF563412u);  // the top byte of a plain colour is dropped
  COLORREF sys = GetSysColor(5);
  EXPECT_EQ(Color32(clWindow), 0xFF000000u | ((sys & 0xFF) << 16) | (sys & 0xFF00) | ((sys >> 16) & 0xFF));
  EXPECT_EQ(Fixed(1.5f), 0x18000);
  EXPECT_EQ(Fixed(0.5f / 65536), 0);  // ties to even
  EXPECT_EQ(Fixed(1.5f / 65536), 2);
}

TEST(Rects, HelpersFollowTheirRules) {
  TRect d;
  EXPECT_TRUE(IntersectRect(d, TRect(0, 0, 10, 10), TRect(10, 2, 20, 5)));  // zero width counts
  EXPECT_EQ(d, TRect(10, 2, 10, 5));
  EXPECT_FALSE(IntersectRect(d, TRect(0, 0, 10, 10), TRect(11, 0, 20, 5)));
  EXPECT_EQ(d, TRect(0, 0, 0, 0));
  EXPECT_EQ(BuildRect(TRealRect{0.5f, 1.5f, 2.4f, 3.6f}, rrClosest), TRect(0, 2, 2, 4));
  EXPECT_EQ(BuildRect(TRealRect{0.5f, 1.5f, 2.4f, 3.6f}, rrOutside), TRect(0, 1, 3, 4));
  EXPECT_EQ(BuildRect(TRealRect{0.5f, 1.5f, 0.2f, 1.1f}, rrInside), TRect(1, 2, 1, 2));
  EXPECT_TRUE(IsRectEmpty(TRect(0, 0, 0, 5)));
}

TEST(Bitmap32, SizingAndItsNotifications) {
  Recorder r;
  TBitmap32 b;
  r.Hook(b);
  EXPECT_TRUE(b.SetSize(-5, 10));
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 10);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Bits(), nullptr);
  EXPECT_EQ(r.log, "HCR");
  EXPECT_FALSE(b.SetSize(-5, 10));
  EXPECT_EQ(r.log, "HCR");
  b.SetSize(3, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b.Bits()[i], 0u);
  EXPECT_EQ(b.ScanLine(1), b.ScanLine(0) + 3);
  EXPECT_EQ(b.BitmapInfo().bmiHeader.biHeight, -2);
  EXPECT_NE(b.DC(), nullptr);
  // Same size keeps pixels and canvas; another size loses both.
  b.SetPixel(1, 1, 0x12345678);
  TCanvas* c = &b.Canvas();
  EXPECT_FALSE(b.SetSize(3, 2));
  EXPECT_EQ(b.GetPixel(1, 1), 0x12345678u);
  EXPECT_EQ(&b.Canvas(), c);
  b.SetSize(4, 2);
  EXPECT_FALSE(b.CanvasAllocated());
  EXPECT_EQ(b.GetPixel(1, 1), 0u);
}

TEST(Bitmap32, ImpossibleSizeRaisesAndLeavesNoStorage) {
  // 40 GB; 2^31-1 squared, whose bytes pass even 63 bits; just past 2 GB.
  const int sizes[][2] = {{100000, 100000}, {0x7FFFFFFF, 0x7FFFFFFF}, {0x7FFFFFFF, 2}, {32768, 16384}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
    Recorder r;
    TBitmap32 b;
    b.SetSize(4, 4);
    r.Hook(b);
    try {
      b.SetSize(size[0], size[1]);
      FAIL();
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Can't allocate the DIB handle");
    }
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_EQ(b.Bits(), nullptr);
    EXPECT_EQ(r.log, "H");
    b.SetSize(2, 2);  // still usable
    EXPECT_FALSE(b.Empty());
  }
}

TEST(Bitmap32, AlphaClearAndFill) {
  TBitmap32 b;
  b.SetSize(3, 2);
  for (int i = 0; i < 6; ++i) b.Bits()[i] = 0x00123456;
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.ResetAlpha();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b.Bits()[i], 0xFF123456u);
  EXPECT_EQ(changes, 1);
  b.SetClipRect(TRect(1, 0, 3, 1));
  b.Clear(0xAABBCCDD);  // only the clip
  EXPECT_EQ(b.GetPixel(0, 0), 0xFF123456u);
  EXPECT_EQ(b.GetPixel(2, 0), 0xAABBCCDDu);
  EXPECT_EQ(b.GetPixel(2, 1), 0xFF123456u);
  std::vector<TRect> areas;
  b.OnAreaChanged = [&](TObject*, const TRect& a, uint32_t info) {
    EXPECT_EQ(info, AREA_FLAG_RECT);
    areas.push_back(a);
  };
  b.FillRect(0, 1, 2, 2, 0x11111111);
  EXPECT_EQ(b.GetPixel(1, 1), 0x11111111u);
  ASSERT_EQ(areas.size(), 1u);
  EXPECT_EQ(areas[0], TRect(0, 1, 2, 2));
  b.MeasureOnly = true;
  b.SetAlpha(0);
  EXPECT_EQ(b.GetPixel(1, 1), 0x11111111u);  // measuring: notified, not changed
  EXPECT_EQ(areas.size(), 2u);
}

TEST(Bitmap32, ClipRectOutsideGivesEmptyClip) {
  TBitmap32 b;
  b.SetSize(4, 4);
  b.OuterColor = 0xCAFEBABE;
  b.SetClipRect(TRect(10, 10, 20, 20));
  EXPECT_EQ(b.ClipRect(), TRect(0, 0, 0, 0));
  EXPECT_TRUE(b.Clipping());
  for (int y = -1; y < 5; ++y)
    for (int x = -1; x < 5; ++x) EXPECT_EQ(b.GetPixelClipped(x, y), 0xCAFEBABEu);
  b.SetClipRect(TRect(1, 1, 3, 3));
  EXPECT_EQ(b.FixedClipRect().Right, 3 << 16);
  EXPECT_EQ(b.ClipRect256().bottom, 3 << 8);
  b.ResetClipRect();
  EXPECT_FALSE(b.Clipping());
}

TEST(Bitmap32, UpdatesPairAndSettersNotifyOnChange) {
  TBitmap32 b;
  EXPECT_THROW(b.EndUpdate(), EAssertionFailed);
  EXPECT_EQ(b.UpdateCount(), 0);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.SetDrawMode(dmBlend);
  b.SetDrawMode(dmBlend);
  b.SetMasterAlpha(100);
  b.SetWrapMode(wmMirror);
  b.SetCombineMode(cmMerge);
  EXPECT_EQ(changes, 4);
  b.BeginUpdate();
  b.SetDrawMode(dmOpaque);
  b.EndUpdate();
  EXPECT_EQ(changes, 4);
  b.Draw(0, 0, nullptr);
  b.Draw(TRect(0, 0, 1, 1), TRect(0, 0, 1, 1), nullptr);
  EXPECT_EQ(changes, 4);
}

TEST(Bitmap32, AssignCopiesPixelsAndSettingsWithOneChange) {
  TBitmap32 src;
  src.SetSize(3, 2);
  FillPattern(src);
  src.SetDrawMode(dmBlend);
  src.SetCombineMode(cmMerge);
  src.SetWrapMode(wmRepeat);
  src.SetMasterAlpha(77);
  src.OuterColor = 0x12345678;
  auto& k = src.UseResampler<TKernelResampler>();
  k.SetKernelClassName("TLanczosKernel");
  static_cast<TLanczosKernel&>(k.Kernel()).SetWidth(4);
  k.SetTableSize(9);
  src.Font().SetName("Courier");
  TBitmap32 dst;
  int changes = 0;
  dst.OnChange = [&](TObject*) { ++changes; };
  dst.Assign(&src);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(dst.Equal(&src));
  EXPECT_EQ(dst.DrawMode(), dmBlend);
  EXPECT_EQ(dst.CombineMode(), cmMerge);
  EXPECT_EQ(dst.WrapMode(), wmRepeat);
  EXPECT_EQ(dst.MasterAlpha(), 77u);
  EXPECT_EQ(dst.OuterColor, 0x12345678u);
  EXPECT_EQ(dst.ResamplerClassName(), "TKernelResampler");
  auto* dk = dynamic_cast<TKernelResampler*>(dst.Resampler());
  ASSERT_NE(dk, nullptr);
  EXPECT_NE(dk, &k);
  EXPECT_EQ(dk->KernelClassName(), "TLanczosKernel");
  EXPECT_EQ(dk->Kernel().GetWidth(), 4);
  EXPECT_EQ(dk->TableSize(), 9);
  EXPECT_EQ(dst.Font().Name(), "Courier");
  dst.Assign(nullptr);
  EXPECT_TRUE(dst.Empty());
}

TEST(Bitmap32, EqualTreatsNilAndEmptyApart) {
  TBitmap32 a, b;
  EXPECT_FALSE(a.Equal(nullptr));
  EXPECT_TRUE(a.Equal(&b));
  a.SetSize(2, 2);
  EXPECT_FALSE(a.Equal(&b));
  b.SetSize(2, 2);
  EXPECT_TRUE(a.Equal(&b));
  b.SetPixel(1, 1, 1);
  EXPECT_FALSE(a.Equal(&b));
  a.SetSize(0, 0);
  a.SetSize(1, 1);
  EXPECT_FALSE(a.Equal(nullptr));
}

TEST(Bitmap32, DataStreamRoundTripAndDamage) {
  TBitmap32 b;
  b.SetSize(2, 1);
  b.SetPixel(0, 0, 0x04030201);
  b.SetPixel(1, 0, 0x08070605);
  TMemoryStream s;
  b.WriteData(s);
  ASSERT_EQ(s.Size(), 16);
  const uint8_t want[16] = {2, 0, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(std::memcmp(s.Memory(), want, 16), 0);
  TBitmap32 c;
  s.SetPosition(0);
  c.ReadData(s);
  EXPECT_TRUE(c.Equal(&b));

  // Cut short, or a size far past the data: a read error, and nothing huge is allocated.
  auto reading = [](const std::vector<uint8_t>& bytes) {
    TMemoryStream m;
    m.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    m.SetPosition(0);
    TBitmap32 t;
    int changes = 0;
    t.OnChange = [&](TObject*) { ++changes; };
    EXPECT_THROW(t.ReadData(m), EReadError);
    EXPECT_GE(changes, 1);
  };
  for (size_t cut = 0; cut < 16; ++cut) reading(std::vector<uint8_t>(want, want + cut));
  reading({0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 1, 2, 3, 4});
}

TEST(Bitmap32, DataStreamRefusesHugeSizes) {
  // Sizes whose products wrap in 32 or 63 bits, with no pixels after them.
  for (const char* name : {"data-size-2g-by-2g.bin", "data-size-wraps-to-zero.bin"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string(HK_SOURCE_DIR "/tests/bitmap32/data/") + name;
    TMemoryStream m;
    m.LoadFromFile(path);
    ASSERT_EQ(m.Size(), 8);
    TBitmap32 t;
    t.SetSize(1, 1);
    int changes = 0;
    t.OnChange = [&](TObject*) { ++changes; };
    EXPECT_THROW(t.ReadData(m), EReadError);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(t.Width(), 1);  // refused before any resize
    EXPECT_EQ(m.Position(), 8);
  }
}

TEST(Bitmap32, ResamplerByClassName) {
  TBitmap32 b;
  TCustomResampler* first = b.Resampler();
  EXPECT_EQ(b.ResamplerClassName(), "TNearestResampler");
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.SetResamplerClassName("TNearestResampler");
  b.SetResamplerClassName("TNoSuchResampler");
  b.SetResamplerClassName("tlinearresampler");
  EXPECT_EQ(b.Resampler(), first);
  EXPECT_EQ(changes, 0);
  b.SetResamplerClassName("TLinearResampler");
  EXPECT_NE(dynamic_cast<TLinearResampler*>(b.Resampler()), nullptr);
  EXPECT_EQ(changes, 1);
  b.SetResampler(nullptr);
  EXPECT_NE(b.Resampler(), nullptr);
}

TEST(Bitmap32, TBitmapsBothWays) {
  // A 24-bit bitmap arrives opaque.
  TBitmap bmp24;
  bmp24.SetPixelFormat(pf24bit);
  bmp24.SetSize(3, 2);
  auto* row = static_cast<uint8_t*>(bmp24.ScanLine(1));
  row[0] = 0x10, row[1] = 0x20, row[2] = 0x30;
  TBitmap32 b;
  b.Assign(&bmp24);
  ASSERT_EQ(b.Width(), 3);
  EXPECT_EQ(b.GetPixel(0, 1), 0xFF302010u);
  EXPECT_EQ(b.GetPixel(2, 0), 0xFF000000u);

  // To a TBitmap: 32 bits, alpha and all.
  b.SetPixel(1, 0, 0x80FF0000);
  TBitmap out;
  out.Assign(&b);
  EXPECT_EQ(out.PixelFormat(), pf32bit);
  ASSERT_EQ(out.Width(), 3);
  ASSERT_EQ(out.Height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(static_cast<uint32_t*>(out.ScanLine(y))[x], b.GetPixel(x, y));

  // A 32-bit one keeps its alpha bytes.
  TBitmap32 back;
  back.Assign(&out);
  EXPECT_TRUE(back.Equal(&b));

  // A transparent one: alpha 0 exactly where the key colour is.
  out.SetTransparentColor(TColor(0x0000FF));  // red in TColor
  out.SetTransparent(true);
  TBitmap32 keyed;
  keyed.Assign(&out);
  EXPECT_EQ(keyed.GetPixel(1, 0), 0x00FF0000u);
  EXPECT_EQ(keyed.GetPixel(0, 1), 0xFF302010u);
}
