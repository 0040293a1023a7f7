// The picture class: drawing with its three transparency paths, bitmaps,
// pixels, palette and registration.
#include <gtest/gtest.h>

#include "PngTestUtil.h"
#include "png/PngAncillaryChunks.h"
#include "png/PngErrors.h"
#include "png/PngHeaderChunk.h"
#include "png/PngObject.h"

namespace {

// A 32-bit bitmap filled with one colour, to draw pictures on.
std::unique_ptr<TBitmap> Canvas(int w, int h, TColor fill = clWhite) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf32bit);
  b->SetSize(w, h);
  b->Canvas().Brush().SetColor(fill);
  b->Canvas().FillRect(TRect(0, 0, w, h));
  return b;
}

// Blue, green, red of a 32-bit bitmap's pixel as $00BBGGRR.
uint32_t At(TBitmap& b, int x, int y) {
  const auto* p = static_cast<const uint8_t*>(b.ScanLine(y)) + x * 4;
  return uint32_t(p[2]) | (uint32_t(p[1]) << 8) | (uint32_t(p[0]) << 16);
}

std::unique_ptr<TPNGObject> Picture(const Bytes& file) {
  auto png = std::make_unique<TPNGObject>();
  LoadBytes(*png, file);
  return png;
}

// A 4x1 palette image using entries 0 to 3, with the given tRNS.
Bytes PaletteRow(const Bytes& trns) {
  PngBuilder b;
  b.Header(4, 1, 8, 3).Chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30});
  if (!trns.empty()) b.Chunk("tRNS", trns);
  return b.Chunk("IDAT", Deflate({0, 0, 1, 2, 3})).End().Out;
}

}  // namespace

TEST(PngObject, NewPictureIsEmpty) {
  TPNGObject png;
  EXPECT_TRUE(png.Empty());
  EXPECT_EQ(png.Width(), 0);
  EXPECT_EQ(png.Height(), 0);
  EXPECT_THROW(png.TransparencyKind(), EPNGHeaderNotPresent);
  EXPECT_THROW((void)png.Transparent(), EPNGHeaderNotPresent);
  EXPECT_THROW(png.SetWidth(5), EPngError);
  EXPECT_EQ(png.Pixels(0, 0), 0);
  png.SetPixels(0, 0, clRed);  // nothing to change, nothing raised
  auto target = Canvas(2, 2);
  png.Draw(target->Canvas(), TRect(0, 0, 2, 2));
  EXPECT_EQ(At(*target, 0, 0), 0xFFFFFFu);
}

TEST(PngObject, OpaqueDrawShowsThePixels) {
  auto png = Picture(SimplePng(2, 2, 8, 2, {0, 200, 0, 0, 0, 200, 0, 0, 0, 0, 200, 9, 9, 9}));
  EXPECT_FALSE(png->Transparent());
  auto target = Canvas(4, 4);
  png->Draw(target->Canvas(), TRect(1, 1, 3, 3));
  EXPECT_EQ(At(*target, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(At(*target, 1, 1), 0x0000C8u);
  EXPECT_EQ(At(*target, 2, 1), 0x00C800u);
  EXPECT_EQ(At(*target, 1, 2), 0xC80000u);
  EXPECT_EQ(At(*target, 2, 2), 0x090909u);
}

TEST(PngObject, AlphaBlendedDraw) {
  // Red 200 at alpha 128 over white: (200 x 128 + 127 x 255 + 255) shr 8 = 227.
  auto png = Picture(SimplePng(4, 1, 8, 6, {0, 200, 0, 0, 128, 0, 0, 0, 0, 10, 20, 30, 255, 0, 0, 0, 0}));
  EXPECT_EQ(png->TransparencyKind(), ptAlphaChannel);
  auto target = Canvas(8, 2);
  png->Draw(target->Canvas(), TRect(0, 0, 4, 1));
  EXPECT_EQ(At(*target, 0, 0) & 0xFF, 227u);
  EXPECT_EQ(At(*target, 1, 0), 0xFFFFFFu);  // alpha 0 keeps the background
  EXPECT_EQ(At(*target, 2, 0), 0x1E140Au);  // alpha 255 copies
  // At twice the size, destination column 5 shows source column 2.
  auto twice = Canvas(8, 2);
  png->Draw(twice->Canvas(), TRect(0, 0, 8, 2));
  EXPECT_EQ(At(*twice, 5, 1), 0x1E140Au);
  EXPECT_EQ(At(*twice, 6, 0), 0xFFFFFFu);
  // An empty rectangle draws nothing.
  auto none = Canvas(4, 1);
  png->Draw(none->Canvas(), TRect(2, 0, 2, 1));
  EXPECT_EQ(At(*none, 2, 0), 0xFFFFFFu);

  // Grey with alpha blends the displayed grey.
  auto grey = Picture(SimplePng(1, 1, 8, 4, {0, 100, 255}));
  auto g = Canvas(1, 1, clBlack);
  grey->Draw(g->Canvas(), TRect(0, 0, 1, 1));
  EXPECT_EQ(At(*g, 0, 0), 0x646464u);
}

TEST(PngObject, PaletteTransparency) {
  // One transparent entry: the colour key path with entry 3's colour.
  auto key = Picture(PaletteRow({255, 255, 255, 0}));
  EXPECT_EQ(key->TransparencyKind(), ptColorKey);
  EXPECT_EQ(key->TransparentColor(), 0x1E140Au);
  auto a = Canvas(4, 1, clBlack);
  key->Draw(a->Canvas(), TRect(0, 0, 4, 1));
  EXPECT_EQ(At(*a, 0, 0), 0x0000FFu);
  EXPECT_EQ(At(*a, 2, 0), 0xFF0000u);
  EXPECT_EQ(At(*a, 3, 0), 0x000000u);
  // Partial alpha on entries: blended per entry (entry 1 at 0 and 0 at 255).
  auto blend = Picture(PaletteRow({255, 0, 128}));
  EXPECT_EQ(blend->TransparencyKind(), ptColorKey);  // any entry below 255 is a mask...
  auto partial = Picture(PaletteRow({255, 255}));
  EXPECT_EQ(partial->TransparencyKind(), ptAlphaChannel);
  auto b = Canvas(4, 1, clBlack);
  partial->Draw(b->Canvas(), TRect(0, 0, 4, 1));
  EXPECT_EQ(At(*b, 0, 0), 0x0000FFu);
  EXPECT_EQ(At(*b, 3, 0), 0x1E140Au);
  // Indices past a short palette and tRNS draw as black, opaque.
  auto shortPal = Picture(PngBuilder()
                              .Header(2, 1, 8, 3)
                              .Chunk("PLTE", {1, 2, 3})
                              .Chunk("tRNS", {255})
                              .Chunk("IDAT", Deflate({0, 0, 200}))
                              .End()
                              .Out);
  auto c = Canvas(2, 1);
  shortPal->Draw(c->Canvas(), TRect(0, 0, 2, 1));
  EXPECT_EQ(At(*c, 1, 0), 0u);
}

TEST(PngObject, ColourKeysDrawWithTheMaskAtEveryDepth) {
  // Two pixels: the key sample, then another; drawn over red.
  struct Case {
    uint8_t depth, colorType;
    Bytes row, trns, plte;
  } cases[] = {
      {1, 0, {0, 0b01000000}, {0, 0}, {}},
      {2, 0, {0, 0b10010000}, {0, 2}, {}},
      {4, 0, {0, 0x5A}, {0, 5}, {}},
      {8, 0, {0, 50, 60}, {0, 50}, {}},
      {16, 0, {0, 0x12, 0x34, 0x40, 0}, {0x12, 0x34}, {}},
      {8, 2, {0, 1, 2, 3, 4, 5, 6}, {0, 1, 0, 2, 0, 3}, {}},
      {16, 2, {0, 1, 0, 2, 0, 3, 0, 9, 9, 9, 9, 9, 9}, {1, 0, 2, 0, 3, 0}, {}},
      {4, 3, {0, 0x21}, {255, 255, 0}, {9, 9, 9, 40, 40, 40, 70, 80, 90}},
  };
  for (const auto& c : cases) {
    PngBuilder b;
    b.Header(2, 1, c.depth, c.colorType);
    if (!c.plte.empty()) b.Chunk("PLTE", c.plte);
    auto png = Picture(b.Chunk("tRNS", c.trns).Chunk("IDAT", Deflate(c.row)).End().Out);
    ASSERT_EQ(png->TransparencyKind(), ptColorKey);
    EXPECT_EQ(png->TransparentColor(), uint32_t(png->Pixels(0, 0))) << int(c.depth) << "/" << int(c.colorType);
    auto target = Canvas(2, 1, clRed);
    png->Draw(target->Canvas(), TRect(0, 0, 2, 1));
    EXPECT_EQ(At(*target, 0, 0), 0x0000FFu) << int(c.depth) << "/" << int(c.colorType);
    EXPECT_EQ(At(*target, 1, 0), uint32_t(png->Pixels(1, 0))) << int(c.depth) << "/" << int(c.colorType);
  }
}

TEST(PngObject, FromAndToBitmaps) {
  auto bmp = Canvas(3, 2, clBlue);
  bmp->Canvas().Brush().SetColor(static_cast<TColor>(0x123456));
  bmp->Canvas().FillRect(TRect(0, 0, 1, 1));
  bmp->SetPixelFormat(pf24bit);
  TPNGObject png;
  png.Assign(bmp.get());
  ASSERT_EQ(png.Chunks().Count(), 3);
  EXPECT_EQ(png.Chunks().Item(1)->NameString(), "IDAT");
  EXPECT_EQ(png.Header().ColorType, 2);
  EXPECT_EQ(png.Header().BitDepth, 8);
  EXPECT_EQ(png.Pixels(0, 0), 0x123456);
  EXPECT_EQ(png.Pixels(2, 1), clBlue);
  // It saves as a valid PNG.
  LibpngImage ref;
  EXPECT_TRUE(LibpngDecode(SaveBytes(png), ref)) << ref.Error;

  auto pal = Canvas(2, 2, clLime);
  pal->SetPixelFormat(pf8bit);
  pal->SetTransparent(true);
  pal->SetTransparentMode(tmFixed);
  pal->SetTransparentColor(clLime);
  TPNGObject keyed;
  keyed.Assign(pal.get());
  std::string names;
  for (int i = 0; i < keyed.Chunks().Count(); ++i) names += keyed.Chunks().Item(i)->NameString() + " ";
  EXPECT_EQ(names, "IHDR PLTE tRNS IDAT IEND ");
  EXPECT_EQ(keyed.Header().ColorType, 3);
  EXPECT_EQ(keyed.Chunks().ItemFromClass<TChunkPLTE>()->Count, 256u);
  EXPECT_EQ(keyed.TransparencyKind(), ptColorKey);
  EXPECT_EQ(keyed.TransparentColor(), uint32_t(clLime));

  // Back to a bitmap: a colour key makes a transparent bitmap...
  TBitmap out;
  out.Assign(&keyed);
  EXPECT_EQ(out.Width(), 2);
  EXPECT_TRUE(out.Transparent());
  EXPECT_EQ(out.TransparentColor(), clLime);
  // ...an alpha channel an opaque one, Transparent left as it was.
  auto alpha = Picture(SimplePng(1, 1, 8, 6, {0, 1, 2, 3, 4}));
  TBitmap opaque;
  opaque.Assign(alpha.get());
  EXPECT_EQ(opaque.Width(), 1);
  EXPECT_FALSE(opaque.Transparent());
  // Picture to picture keeps the settings and the pixels.
  TPNGObject copy;
  copy.Assign(&png);
  EXPECT_EQ(copy.Pixels(0, 0), 0x123456);
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
}

TEST(PngObject, PixelsAndPalette) {
  // A 1-bit image sets only the two entries it can index.
  auto png = Picture(PngBuilder()
                         .Header(8, 1, 1, 3)
                         .Chunk("PLTE", {0, 0, 0, 255, 255, 255, 250, 0, 0})
                         .Chunk("IDAT", Deflate({0, 0}))
                         .End()
                         .Out);
  png->SetPixels(3, 0, clRed);
  EXPECT_EQ(png->RowPointer(0)[0], 0);
  png->SetPixels(3, 0, clWhite);
  EXPECT_EQ(png->RowPointer(0)[0], 0x10);
  EXPECT_EQ(png->Pixels(3, 0), clWhite);
  EXPECT_EQ(png->Pixels(8, 0), 0);
  HPALETTE first = png->Palette();
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(png->Palette(), first);
  PALETTEENTRY e[3];
  ASSERT_EQ(GetPaletteEntries(first, 0, 3, e), 3u);
  EXPECT_EQ(e[2].peRed, 250);
  // RGB pictures have none; their pixels are written as they come.
  auto rgb = Picture(SimplePng(2, 1, 8, 2, {0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(rgb->Palette(), nullptr);
  rgb->SetPixels(1, 0, static_cast<TColor>(0x0A0B0C));
  EXPECT_EQ(rgb->Pixels(1, 0), 0x0A0B0C);
  EXPECT_EQ(rgb->Pixels(0, 0), 0x030201);
}

TEST(PngObject, RegisteredAsPictureFormat) {
  EXPECT_EQ(TPicture::FindExtension("png"), GraphicClassOf<TPNGObject>());
  EXPECT_EQ(TPicture::FindGraphicClass("TPNGObject"), GraphicClassOf<TPNGObject>());
  TPicture picture;
  TMemoryStream s;
  const Bytes file = SimplePng(1, 1, 8, 0, {0, 77});
  s.Write(file.data(), int64_t(file.size()));
  s.SetPosition(0);
  picture.LoadFromStreamAs("TPNGObject", s);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(static_cast<TPNGObject*>(picture.Graphic())->Pixels(0, 0), 0x4D4D4D);
}
