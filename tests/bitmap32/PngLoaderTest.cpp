#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "bitmap32/Bitmap32.h"
#include "bitmap32/Bitmap32PNG.h"
#include "classlib/Streams.h"

namespace {
// Writes a PNG with libpng (the outside oracle for the format). Samples are
// given per pixel as R, G, B, A (unused channels ignored).
struct PngSpec {
  int width, height, colorType;
  std::vector<uint32_t> rgba;  // 0xAARRGGBB per pixel
  bool key = false;
  uint8_t keyR = 0, keyG = 0, keyB = 0;
};

std::vector<uint8_t> EncodePng(const PngSpec& s) {
  std::vector<uint8_t> out;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  png_set_write_fn(
      p, &out,
      [](png_structp pp, png_bytep data, png_size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(pp));
        v->insert(v->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(p, info, s.width, s.height, 8, s.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (s.key) {
    png_color_16 c{};
    c.red = s.keyR, c.green = s.keyG, c.blue = s.keyB, c.gray = s.keyR;
    png_set_tRNS(p, info, nullptr, 0, &c);
  }
  png_write_info(p, info);
  int channels = s.colorType == PNG_COLOR_TYPE_RGBA ? 4 : s.colorType == PNG_COLOR_TYPE_RGB ? 3
                 : s.colorType == PNG_COLOR_TYPE_GRAY_ALPHA                                  ? 2
                                                                                             : 1;
  std::vector<uint8_t> row(static_cast<size_t>(s.width) * channels);
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      uint32_t c = s.rgba[y * s.width + x];
      uint8_t r = c >> 16, g = c >> 8, b = c, a = c >> 24;
      uint8_t* o = &row[x * channels];
      if (channels >= 3) o[0] = r, o[1] = g, o[2] = b;
      if (channels == 4) o[3] = a;
      if (channels <= 2) o[0] = r;
      if (channels == 2) o[1] = a;
    }
    png_write_row(p, row.data());
  }
  png_write_end(p, nullptr);
  png_destroy_write_struct(&p, &info);
  return out;
}

void Load(TBitmap32& b, const std::vector<uint8_t>& bytes, bool& alphaUsed) {
  TMemoryStream s;
  s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  s.SetPosition(0);
  LoadPngStreamToBitmap32(&b, s, alphaUsed);
}
}  // namespace

TEST(PngLoader, OpaqueImageIsOpaque) {
  PngSpec s{3, 2, PNG_COLOR_TYPE_RGB, {0x123456, 0xABCDEF, 0xFFFFFF, 0, 0x010203, 0x808080}};
  TBitmap32 b;
  bool used = true;
  Load(b, EncodePng(s), used);
  EXPECT_FALSE(used);
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b.Bits()[i], 0xFF000000u | s.rgba[i]) << i;
}

TEST(PngLoader, AlphaChannelGivesEachSampleAndStraightColours) {
  for (int type : {PNG_COLOR_TYPE_RGBA, PNG_COLOR_TYPE_GRAY_ALPHA}) {
    PngSpec s{4, 2, type, {0xFF404040, 0x80FFFFFF, 0x00808080, 0x01101010, 0xFE202020, 0x7F000000, 0x40C0C0C0,
                           0xFFFFFFFF}};
    TBitmap32 b;
    bool used = false;
    Load(b, EncodePng(s), used);
    EXPECT_TRUE(used);
    ASSERT_EQ(b.Width(), 4);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(b.Bits()[i], s.rgba[i]) << "type " << type << " pixel " << i;
  }
}

TEST(PngLoader, ColourKeyGivesAlphaZeroExactlyAtTheKey) {
  // A white key beside black pixels: drawing leaves the key out, so the
  // drawn colour alone cannot tell key pixels from black ones.
  PngSpec s{3, 2, PNG_COLOR_TYPE_RGB, {0xFFFFFF, 0x000000, 0xFFFFFE, 0x102030, 0xFFFFFF, 0x000000}};
  s.key = true;
  s.keyR = s.keyG = s.keyB = 255;
  TBitmap32 b;
  bool used = false;
  Load(b, EncodePng(s), used);
  EXPECT_TRUE(used);
  const TColor32 want[6] = {0x00FFFFFF, 0xFF000000, 0xFFFFFFFE, 0xFF102030, 0x00FFFFFF, 0xFF000000};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b.Bits()[i], want[i]) << i;
}

TEST(PngLoader, OnePixelImagesInEveryMode) {
  struct Case {
    PngSpec spec;
    TColor32 want;
    bool used;
  } cases[] = {
      {{1, 1, PNG_COLOR_TYPE_RGB, {0x00A0B0C0}}, 0xFFA0B0C0, false},
      {{1, 1, PNG_COLOR_TYPE_RGBA, {0x33A0B0C0}}, 0x33A0B0C0, true},
      {{1, 1, PNG_COLOR_TYPE_RGB, {0x00000000}, true, 0, 0, 0}, 0x00000000, true},
  };
  for (const auto& c : cases) {
    TBitmap32 b;
    bool used = !c.used;
    Load(b, EncodePng(c.spec), used);
    EXPECT_EQ(used, c.used);
    ASSERT_EQ(b.Width(), 1);
    EXPECT_EQ(b.GetPixel(0, 0), c.want);
  }
}

TEST(PngLoader, FailuresLeaveTheBitmapAlone) {
  TBitmap32 b;
  b.SetSize(2, 2);
  b.Clear(0x11223344);
  bool used = false;
  EXPECT_THROW(LoadPngResourceToBitmap32(&b, "NOSUCHPIECE", "PNG", used), EResNotFound);
  auto bytes = EncodePng({2, 2, PNG_COLOR_TYPE_RGB, {1, 2, 3, 4}});
  bytes[bytes.size() - 20] ^= 0x40;  // damage the image data's checksum region
  EXPECT_THROW(Load(b, bytes, used), Exception);
  bytes.resize(20);
  EXPECT_THROW(Load(b, bytes, used), Exception);
  ASSERT_EQ(b.Width(), 2);
  EXPECT_EQ(b.GetPixel(1, 1), 0x11223344u);
}

TEST(PngLoader, FromTheProgramsResources) {
  TBitmap32 b;
  bool used = false;
  LoadPngResourceToBitmap32(&b, "B32KEYED", "PNG", used);
  EXPECT_TRUE(used);
  const TColor32 want[6] = {0x00FFFFFF, 0xFF0A141E, 0x00FFFFFF, 0xFF28323C, 0x00FFFFFF, 0xFF000000};
  ASSERT_EQ(b.Width(), 3);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b.Bits()[i], want[i]) << i;
}

// The card's own road: nine pieces with alpha, copied and stretched
// nearest-neighbour into one bitmap, text drawn on its canvas, the text made
// opaque again, and the result handed to a 32-bit TBitmap.
TEST(PngLoader, NinePieceCardRoad) {
  TBitmap32 pieces[9];
  for (int i = 0; i < 9; ++i) {
    PngSpec s{4, 4, PNG_COLOR_TYPE_RGBA, {}};
    for (int p = 0; p < 16; ++p)
      s.rgba.push_back((static_cast<uint32_t>(0x40 + i * 16 + p) << 24) | (static_cast<uint32_t>(i) << 16) |
                       (static_cast<uint32_t>(p) << 8) | 0x20);
    bool used = false;
    Load(pieces[i], EncodePng(s), used);
    ASSERT_TRUE(used);
  }
  const int w = 60, h = 30;
  TBitmap32 card;
  card.SetSize(w, h);
  card.Clear(0);
  // Corners at their place, edges and middle stretched.
  card.Draw(0, 0, &pieces[0]);
  card.Draw(w - 4, 0, &pieces[2]);
  card.Draw(0, h - 4, &pieces[6]);
  card.Draw(w - 4, h - 4, &pieces[8]);
  card.Draw(TRect(4, 0, w - 4, 4), TRect(0, 0, 4, 4), &pieces[1]);
  card.Draw(TRect(0, 4, 4, h - 4), TRect(0, 0, 4, 4), &pieces[3]);
  card.Draw(TRect(4, 4, w - 4, h - 4), TRect(0, 0, 4, 4), &pieces[4]);
  card.Draw(TRect(w - 4, 4, w, h - 4), TRect(0, 0, 4, 4), &pieces[5]);
  card.Draw(TRect(4, h - 4, w - 4, h), TRect(0, 0, 4, 4), &pieces[7]);
  EXPECT_EQ(card.GetPixel(0, 0), pieces[0].GetPixel(0, 0));
  EXPECT_EQ(card.GetPixel(w - 1, h - 1), pieces[8].GetPixel(3, 3));
  EXPECT_EQ(card.GetPixel(4, 2), pieces[1].GetPixel(0, 2));
  EXPECT_EQ(card.GetPixel(w - 5, 2), pieces[1].GetPixel(3, 2));
  EXPECT_EQ(card.GetPixel(30, 15), pieces[4].GetPixel((30 - 4) * 4 / (w - 8), (15 - 4) * 4 / (h - 8)));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_NE(card.GetPixel(x, y) >> 24, 0u) << x << "," << y;

  // Text on the canvas; the card writes the alpha under it itself.
  std::vector<TColor32> before(card.Bits(), card.Bits() + w * h);
  TCanvas& canvas = card.Canvas();
  canvas.Brush().SetStyle(bsClear);
  canvas.Font().SetColor(clWhite);
  canvas.Font().SetHeight(-14);
  canvas.TextOut(6, 6, "Hana");
  int changed = 0;
  for (int i = 0; i < w * h; ++i)
    if ((card.Bits()[i] & 0x00FFFFFF) != (before[i] & 0x00FFFFFF)) {
      ++changed;
      card.Bits()[i] |= 0xFF000000u;
    }
  EXPECT_GT(changed, 10);
  for (int i = 0; i < w * h; ++i)
    if ((card.Bits()[i] & 0x00FFFFFF) == (before[i] & 0x00FFFFFF)) {
      ASSERT_EQ(card.Bits()[i] >> 24, before[i] >> 24);
    }

  TBitmap out;
  card.AssignTo(&out);
  ASSERT_EQ(out.PixelFormat(), pf32bit);
  for (int y = 0; y < h; ++y)
    ASSERT_EQ(std::memcmp(out.ScanLine(y), card.ScanLine(y), w * 4), 0) << "row " << y;
}

// Every cut and many flipped bytes of valid images: a clear error or a
// loaded bitmap, never a crash, and a failure leaves the bitmap as it was.
TEST(PngLoader, DamagedImagesSweep) {
  PngSpec rgba{5, 3, PNG_COLOR_TYPE_RGBA, {}};
  PngSpec keyed{5, 3, PNG_COLOR_TYPE_RGB, {}};
  for (int i = 0; i < 15; ++i) {
    rgba.rgba.push_back(0x10203040u * static_cast<uint32_t>(i + 1));
    keyed.rgba.push_back(i % 3 ? 0x00FFFFFFu : 0x00102030u * static_cast<uint32_t>(i));
  }
  keyed.key = true;
  keyed.keyR = keyed.keyG = keyed.keyB = 255;
  for (const PngSpec* spec : {&rgba, &keyed}) {
    const auto good = EncodePng(*spec);
    auto attempt = [](const std::vector<uint8_t>& bytes) {
      TBitmap32 b;
      b.SetSize(1, 1);
      b.SetPixel(0, 0, 0x5A5A5A5A);
      bool used = false;
      try {
        Load(b, bytes, used);
      } catch (const Exception&) {
        ASSERT_EQ(b.Width(), 1);
        ASSERT_EQ(b.GetPixel(0, 0), 0x5A5A5A5Au);
      }
    };
    for (size_t cut = 0; cut < good.size(); ++cut) attempt(std::vector<uint8_t>(good.begin(), good.begin() + cut));
    for (size_t at = 0; at < good.size(); ++at)
      for (uint8_t flip : {0x01, 0x80, 0xFF}) {
        auto bad = good;
        bad[at] ^= flip;
        attempt(bad);
      }
  }
}
