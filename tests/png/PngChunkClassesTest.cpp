// Header and ancillary chunks: checks, fields, transparency, gamma, text, time.
#include <gtest/gtest.h>

#include "PngTestUtil.h"
#include "png/PngAncillaryChunks.h"
#include "png/PngErrors.h"
#include "png/PngHeaderChunk.h"
#include "png/PngZlib.h"

namespace {

Bytes OnePixel(uint8_t depth, uint8_t colorType, const std::function<void(PngBuilder&)>& before) {
  PngBuilder b;
  b.Header(1, 1, depth, colorType);
  if (before) before(b);
  const unsigned bytes = colorType == 2 ? 3u * depth / 8 : colorType == 6 ? 4u * depth / 8 : colorType == 4 ? 2u * depth / 8 : (depth + 7u) / 8;
  Bytes row(1 + bytes, 0);
  return b.Chunk("IDAT", Deflate(row)).End().Out;
}

}  // namespace

TEST(PngHeaderChunk, Checks) {
  struct Case {
    Bytes ihdr;
    const char* error;  // nullptr: loads
  } cases[] = {
      {IhdrData(65535, 1, 1, 0), nullptr},
      {IhdrData(65536, 1, 8, 0), "size"},
      {IhdrData(1, 65536, 8, 0), "size"},
      {IhdrData(0x80000000u, 1, 8, 0), "size"},
      {Bytes(12, 1), "ihdr"},
  };
  for (const auto& c : cases) {
    PngBuilder b;
    b.Chunk("IHDR", c.ihdr).Chunk("IDAT", Deflate(Bytes(1 + 65535 / 8 + 1, 0))).End();
    TPNGChunkList png;
    if (!c.error) {
      EXPECT_NO_THROW(LoadBytes(png, b.Out));
    } else if (std::string(c.error) == "size") {
      EXPECT_THROW(LoadBytes(png, b.Out), EPNGSizeExceeds);
    } else {
      EXPECT_THROW(LoadBytes(png, b.Out), EPngInvalidIHDR);
    }
  }
  Bytes d = IhdrData(1, 1, 8, 0);
  d[10] = 1;
  TPNGChunkList png;
  EXPECT_THROW(LoadBytes(png, PngBuilder().Chunk("IHDR", d).End().Out), EPNGUnknownCompression);
  d = IhdrData(1, 1, 8, 0, 2);
  EXPECT_THROW(LoadBytes(png, PngBuilder().Chunk("IHDR", d).End().Out), EPNGUnknownInterlace);
}

TEST(PngHeaderChunk, FormatsWithoutALayoutAreRefused) {
  // RGB below 8 bits, palette at 16, zero sizes, an unknown filter method.
  for (auto [depth, type] : {std::pair{4, 2}, {2, 6}, {16, 3}, {3, 0}, {8, 5}}) {
    TPNGChunkList png;
    EXPECT_THROW(LoadBytes(png, OnePixel(uint8_t(depth), uint8_t(type), {})), EPngInvalidIHDR) << depth << "/" << type;
  }
  TPNGChunkList png;
  EXPECT_THROW(LoadBytes(png, PngBuilder().Header(0, 1, 8, 0).Chunk("IDAT", Deflate({0})).End().Out), EPngInvalidIHDR);
  Bytes d = IhdrData(1, 1, 8, 0);
  d[11] = 1;
  EXPECT_THROW(LoadBytes(png, PngBuilder().Chunk("IHDR", d).Chunk("IDAT", Deflate({0, 0})).End().Out), EPngInvalidIHDR);
}

TEST(PngHeaderChunk, TooLargeForMemoryIsOutOfMemoryNotACrash) {
  // 65535 x 65535 RGBA would need 16 GiB.
  TPNGChunkList png;
  EXPECT_THROW(LoadBytes(png, PngBuilder().Header(65535, 65535, 8, 6).Chunk("IDAT", Deflate({0})).End().Out),
               EPNGOutMemory);
  EXPECT_EQ(png.Chunks().Count(), 0);
}

TEST(PngHeaderChunk, TwoBitImagesSaveAsFourBit) {
  TPNGChunkList png;
  LoadBytes(png, SimplePng(4, 1, 2, 0, {0, 0b00011011}));
  // The grey levels are those of a 2-bit image: 0, 85, 170, 255.
  EXPECT_EQ(png.GetPixel(0, 0), 0x000000u);
  EXPECT_EQ(png.GetPixel(1, 0), 0x555555u);
  EXPECT_EQ(png.GetPixel(2, 0), 0xAAAAAAu);
  EXPECT_EQ(png.GetPixel(3, 0), 0xFFFFFFu);
  const Bytes saved = SaveBytes(png);
  EXPECT_EQ(png.Header().BitDepth, 4);
  EXPECT_EQ(saved[8 + 8 + 8], 4);
  TPNGChunkList back;
  LoadBytes(back, saved);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(back.GetPixel(x, 0), png.GetPixel(x, 0));
}

TEST(PngHeaderChunk, SavedInterlaceComesFromThePicture) {
  TPNGChunkList png;
  LoadBytes(png, SimplePng(3, 3, 8, 0, Bytes(12, 0)));
  png.InterlaceMethod = 1;
  const Bytes saved = SaveBytes(png);
  EXPECT_EQ(saved[8 + 8 + 12], 1);
  EXPECT_EQ(png.Header().InterlaceMethod, 0);
}

TEST(PngPaletteChunk, SizesAndEntries) {
  for (auto [size, ok] : {std::pair{0, true}, {768, true}, {769, false}, {771, false}, {4, false}}) {
    TPNGChunkList png;
    const Bytes file = OnePixel(8, 3, [&](PngBuilder& b) { b.Chunk("PLTE", Bytes(size_t(size), 9)); });
    if (ok) {
      LoadBytes(png, file);
      EXPECT_EQ(png.Chunks().ItemFromClass<TChunkPLTE>()->Count, uint32_t(size / 3));
    } else {
      EXPECT_THROW(LoadBytes(png, file), EPNGInvalidPalette) << size;
    }
  }
  TPNGChunkList png;
  LoadBytes(png, OnePixel(8, 3, [](PngBuilder& b) { b.Chunk("PLTE", {1, 2, 3, 0x10, 0x20, 0x30}); }));
  auto* plte = png.Chunks().ItemFromClass<TChunkPLTE>();
  EXPECT_EQ(plte->Item(1), 0x102030u);
  EXPECT_THROW(plte->Item(2), EPngError);
  TChunkgAMA gama(&png);
  EXPECT_THROW(plte->Assign(gama), EPngError);
}

TEST(PngTransparencyChunk, MaskOrAlphaOnPalettes) {
  struct Case {
    Bytes alphas;
    TPNGTransparency kind;
  } cases[] = {
      {{255, 0, 255}, ptColorKey}, {{255, 128, 0}, ptColorKey}, {{128}, ptColorKey}, {{255, 255}, ptAlphaChannel}};
  // MaskTransparency is set whenever any entry differs from 255.
  for (const auto& c : cases) {
    TPNGChunkList png;
    LoadBytes(png, OnePixel(8, 3, [&](PngBuilder& b) { b.Chunk("PLTE", Bytes(12, 50)).Chunk("tRNS", c.alphas); }));
    EXPECT_EQ(png.TransparencyKind(), c.kind);
  }
  TPNGChunkList png;
  EXPECT_THROW(LoadBytes(png, OnePixel(8, 3, [](PngBuilder& b) { b.Chunk("tRNS", Bytes(257, 0)); })),
               EPNGInvalidPalette);
  TPNGChunkList empty;
  EXPECT_THROW(empty.TransparencyKind(), EPNGHeaderNotPresent);
}

TEST(PngTransparencyChunk, ColourKeyMatchesTheDisplayedPixels) {
  // A palette key in the class library's colour order ($00BBGGRR).
  TPNGChunkList pal;
  LoadBytes(pal, OnePixel(8, 3, [](PngBuilder& b) {
    b.Chunk("PLTE", {1, 2, 3, 0x10, 0x20, 0x30}).Chunk("tRNS", {255, 0});
  }));
  EXPECT_EQ(pal.TransparentColor(), 0x302010u);
  // A tRNS entry past the palette's end is black, not an error.
  TPNGChunkList past;
  LoadBytes(past, OnePixel(8, 3, [](PngBuilder& b) { b.Chunk("PLTE", {1, 2, 3}).Chunk("tRNS", {255, 255, 0}); }));
  EXPECT_EQ(past.TransparentColor(), 0u);

  // Grey keys as displayed: 16-bit by their high byte, sub-byte on the ramp.
  struct Case {
    uint8_t depth;
    Bytes key;
    uint8_t grey;
  } greys[] = {{16, {0x12, 0x34}, 0x12}, {8, {0, 0x40}, 0x40}, {4, {0, 3}, 3 * 17}, {2, {0, 2}, 170}, {1, {0, 1}, 255}};
  for (const auto& c : greys) {
    TPNGChunkList png;
    LoadBytes(png, OnePixel(c.depth, 0, [&](PngBuilder& b) { b.Chunk("tRNS", c.key); }));
    EXPECT_EQ(png.TransparencyKind(), ptColorKey);
    EXPECT_EQ(png.TransparentColor(), 0x010101u * c.grey) << int(c.depth);
  }
  // A key cut short keys nothing.
  for (auto [type, size] : {std::pair{0, 1}, {2, 4}}) {
    TPNGChunkList png;
    LoadBytes(png, OnePixel(8, uint8_t(type), [&](PngBuilder& b) { b.Chunk("tRNS", Bytes(size_t(size), 0)); }));
    EXPECT_EQ(png.TransparencyKind(), ptOpaque);
  }
  TPNGChunkList rgb16;
  LoadBytes(rgb16, OnePixel(16, 2, [](PngBuilder& b) { b.Chunk("tRNS", {0x11, 0, 0x22, 0, 0x33, 0}); }));
  EXPECT_EQ(rgb16.TransparentColor(), 0x332211u);
}

TEST(PngTransparencyChunk, WritingTheColourReadsItBack) {
  for (auto [depth, type, color] : {std::tuple{8, 2, 0x123456u}, {16, 2, 0xFEDCBAu}, {8, 0, 0x000077u},
                                    {4, 0, 0x000088u}, {16, 0, 0x0000FFu}}) {
    TPNGChunkList png;
    LoadBytes(png, OnePixel(uint8_t(depth), uint8_t(type), {}));
    auto end = png.Chunks().Remove(png.Chunks().Item(png.Chunks().Count() - 1));
    auto* trns = static_cast<TChunktRNS*>(png.Chunks().Add(std::make_unique<TChunktRNS>(&png)));
    png.Chunks().Add(std::move(end));
    trns->SetTransparentColor(color);
    const uint32_t back = png.TransparentColor();
    if (type == 2) {
      EXPECT_EQ(back, color);
    } else {
      // Grey takes the red byte; on a 4-bit ramp the nearest level.
      const uint8_t r = color & 0xFF;
      const uint8_t want = depth == 4 ? uint8_t((r * 15 + 127) / 255 * 17) : r;
      EXPECT_EQ(back, 0x010101u * want);
    }
    // And the key survives a save and a load.
    TPNGChunkList again;
    LoadBytes(again, SaveBytes(png));
    EXPECT_EQ(again.TransparentColor(), back);
  }
  // Palette: the first entry of that colour becomes the only transparent one.
  TPNGChunkList pal;
  LoadBytes(pal, OnePixel(8, 3, [](PngBuilder& b) { b.Chunk("PLTE", {1, 1, 1, 2, 2, 2, 3, 3, 3}); }));
  auto* trns = static_cast<TChunktRNS*>(pal.Chunks().Add(std::make_unique<TChunktRNS>(&pal)));
  trns->SetTransparentColor(0x030303);
  EXPECT_EQ(trns->DataSize(), 3u);
  EXPECT_EQ(trns->Alphas[0], 255);
  EXPECT_EQ(trns->Alphas[2], 0);
  EXPECT_EQ(pal.TransparentColor(), 0x030303u);
}

TEST(PngGammaChunk, Curves) {
  auto curve = [](const Bytes& gama) {
    auto png = std::make_unique<TPNGChunkList>();
    LoadBytes(*png, OnePixel(8, 2, [&](PngBuilder& b) { b.Chunk("gAMA", gama); }));
    return png;
  };
  auto g45455 = curve({0, 0, 0xB1, 0x8F});
  for (int i = 0; i < 256; ++i) ASSERT_EQ(g45455->GammaCurve[i], i);
  auto g1 = curve({0, 0x01, 0x86, 0xA0});
  EXPECT_EQ(g1->GammaCurve[128], 186);
  EXPECT_EQ(g1->GammaCurve[64], 136);
  EXPECT_EQ(g1->InverseGammaCurve[186], 128);
  auto tiny = curve({0, 0, 0, 1});
  EXPECT_EQ(tiny->GammaCurve[254], 0);
  EXPECT_EQ(tiny->GammaCurve[255], 255);
  // Damaged values leave the identity.
  for (const Bytes& bad : {Bytes{0, 0, 0, 0}, Bytes{0x80, 0, 0, 0}, Bytes{0, 1, 0x86}}) {
    auto png = curve(bad);
    EXPECT_EQ(png->GammaCurve[100], 100);
  }
  TChunkgAMA fresh(nullptr);
  EXPECT_EQ(fresh.Gamma(), 1u);
}

TEST(PngTimeAndTextChunks, LoadAndSave) {
  TPNGChunkList png;
  LoadBytes(png, OnePixel(8, 0, [](PngBuilder& b) {
    b.Chunk("tIME", {0x07, 0xD5, 1, 2, 3, 4, 5})
        .Chunk("tEXt", {'T', 'i', 't', 'l', 'e', 0, 'a', 'b', 'c'})
        .Chunk("tEXt", {'a', 0})
        .Chunk("zTXt", {'k', 0, 1, 0x78, 0x9c})
        .Chunk("zTXt", {'k', 'e', 'y', 'w'});
  }));
  auto* time = png.Chunks().ItemFromClass<TChunktIME>();
  EXPECT_EQ(time->Year, 2005);
  EXPECT_EQ(time->Second, 5);
  auto* text = static_cast<TChunktEXt*>(png.Chunks().Item(2));
  EXPECT_EQ(text->Keyword, "Title");
  EXPECT_EQ(text->Text, "abc");
  auto* shortText = static_cast<TChunktEXt*>(png.Chunks().Item(3));
  EXPECT_EQ(shortText->Keyword, "");
  auto* zMethod1 = static_cast<TChunkzTXt*>(png.Chunks().Item(4));
  EXPECT_EQ(zMethod1->Text, "");
  // No separator and no method byte: no text, nothing read past the data.
  auto* zBare = static_cast<TChunkzTXt*>(png.Chunks().Item(5));
  EXPECT_EQ(zBare->Text, "");

  // Compressed text survives a save and a load; an empty text goes out as " ".
  zMethod1->Text = std::string(5000, 'x') + "end";
  zBare->Text.clear();
  TPNGChunkList back;
  LoadBytes(back, SaveBytes(png));
  EXPECT_EQ(static_cast<TChunkzTXt*>(back.Chunks().Item(4))->Text, std::string(5000, 'x') + "end");
  EXPECT_EQ(static_cast<TChunkzTXt*>(back.Chunks().Item(5))->Text, " ");
  EXPECT_EQ(static_cast<TChunktEXt*>(back.Chunks().Item(2))->Text, "abc");
  const Bytes saved = SaveBytes(back);
  const Bytes tIME = {0x07, 0xD5, 1, 2, 3, 4, 5};
  EXPECT_NE(std::search(saved.begin(), saved.end(), tIME.begin(), tIME.end()), saved.end());
}

TEST(PngTimeAndTextChunks, CompressedTextHasASizeCap) {
  const Bytes bomb = Deflate(Bytes(MaxInflatedTextSize + 1, 'a'));
  Bytes data = {'k', 0, 0};
  data.insert(data.end(), bomb.begin(), bomb.end());
  TPNGChunkList png;
  LoadBytes(png, OnePixel(8, 0, [&](PngBuilder& b) { b.Chunk("zTXt", data); }));
  EXPECT_EQ(png.Chunks().ItemFromClass<TChunkzTXt>()->Text, "");
}
