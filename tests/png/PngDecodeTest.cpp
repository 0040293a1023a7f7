// Image data decoding against libpng, and the decoder's own edge cases.
#include <gtest/gtest.h>

#include <random>

#include "PngTestUtil.h"
#include "png/PngErrors.h"
#include "png/PngFilters.h"
#include "png/PngHeaderChunk.h"
#include "png/PngRows.h"

namespace {

void ExpectSameAsLibpng(const Bytes& file, const std::string& what) {
  LibpngImage ref;
  ASSERT_TRUE(LibpngDecode(file, ref)) << what << ": " << ref.Error;
  TPNGChunkList png;
  ASSERT_NO_THROW(LoadBytes(png, file)) << what;
  ASSERT_EQ(png.Header().Width, ref.Width);
  ASSERT_EQ(png.Header().Height, ref.Height);
  int mismatches = 0;
  for (uint32_t y = 0; y < ref.Height; ++y)
    for (uint32_t x = 0; x < ref.Width; ++x) {
      const Shown ours = OursAt(png, int(x), int(y)), want = ExpectedAt(ref, png, int(x), int(y));
      if (!(ours == want) && mismatches++ < 3)
        ADD_FAILURE() << what << " at " << x << "," << y << ": " << std::hex << ours.Color << "/" << int(ours.Alpha)
                      << " want " << want.Color << "/" << int(want.Alpha);
    }
}

}  // namespace

TEST(PngDecode, PngSuiteMatchesLibpng) {
  const auto files = PngSuiteFiles();
  ASSERT_GT(files.size(), 30u);
  for (const auto& f : files) ExpectSameAsLibpng(ReadFileBytes(f), f);
  ExpectSameAsLibpng(ReadFileBytes("/usr/share/doc/libpng-dev/examples/pngtest.png"), "pngtest.png");
}

TEST(PngDecode, ManySmallIdatChunksDecodeLikeOne) {
  Bytes rows;
  std::mt19937 rng(5);
  for (int y = 0; y < 20; ++y) {
    rows.push_back(uint8_t(y % 5));
    for (int x = 0; x < 17 * 4; ++x) rows.push_back(uint8_t(rng()));
  }
  const Bytes one = SimplePng(17, 20, 8, 6, rows), many = SimplePng(17, 20, 8, 6, rows, 7);
  ExpectSameAsLibpng(many, "split");
  TPNGChunkList a, b;
  LoadBytes(a, one);
  LoadBytes(b, many);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 17; ++x) ASSERT_EQ(OursAt(a, x, y), OursAt(b, x, y));
  // Each chunk's CRC is checked as the reader crosses it.
  Bytes bad = many;
  bad[8 + 25 + 8 + 7 + 1] ^= 1;  // last CRC byte of the first IDAT chunk
  EXPECT_THROW(LoadBytes(a, bad), EPngInvalidCRC);
  EXPECT_EQ(a.Chunks().Count(), 0);
}

TEST(PngDecode, MissingAndDamagedImageData) {
  Bytes rows(4 * 4, 0);
  const Bytes z = Deflate(rows);
  // Interrupted by another chunk while rows are missing.
  const Bytes interrupted = PngBuilder()
                                .Header(3, 4, 8, 0)
                                .Chunk("IDAT", Bytes(z.begin(), z.begin() + 4))
                                .Chunk("tEXt", {'a', 0, 'b'})
                                .Chunk("IDAT", Bytes(z.begin() + 4, z.end()))
                                .End()
                                .Out;
  TPNGChunkList png;
  EXPECT_THROW(LoadBytes(png, interrupted), EPNGMissingMultipleIDAT);
  // The compressed data ends before the last row.
  EXPECT_THROW(LoadBytes(png, SimplePng(3, 4, 8, 0, Bytes(12, 0))), EPNGMissingMultipleIDAT);
  // A corrupt deflate stream.
  Bytes broken = z;
  broken[0] = 0x78, broken[1] = 0x9c, broken[2] = 0xFF;
  try {
    LoadBytes(png, PngBuilder().Header(3, 4, 8, 0).Chunk("IDAT", broken).End().Out);
    ADD_FAILURE() << "no error";
  } catch (const EPNGZLIBError& e) {
    const std::string m = e.Message();
    EXPECT_EQ(m.substr(0, 31), "Could not decompress the image ");
    EXPECT_EQ(m.substr(m.size() - 15), "data error (-3)");
  }
  // A preset dictionary is not ours to have.
  const Bytes needDict = {0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0};
  EXPECT_THROW(LoadBytes(png, PngBuilder().Header(1, 1, 8, 0).Chunk("IDAT", needDict).End().Out), EPNGZLIBError);
}

TEST(PngDecode, RowsEndingBeforeTheDataDoesAreValid) {
  // Padding after the zlib stream inside the last IDAT, and an empty IDAT
  // after it: both only count for the CRC.
  Bytes z = Deflate({0, 1, 2, 0, 3, 4});
  z.insert(z.end(), 70000, 0);
  TPNGChunkList png;
  LoadBytes(png, PngBuilder().Header(2, 2, 8, 0).Chunk("IDAT", z).Chunk("IDAT", {}).End().Out);
  EXPECT_EQ(png.GetPixel(1, 1), 0x040404u);
  z.back() ^= 1;
  Bytes bad = PngBuilder().Header(2, 2, 8, 0).Chunk("IDAT", z).End().Out;
  bad[bad.size() - 12 - 1] ^= 1;
  EXPECT_THROW(LoadBytes(png, bad), EPngInvalidCRC);
}

TEST(PngDecode, InterlaceCorners) {
  // 1x1: pass 0 alone.
  TPNGChunkList one;
  LoadBytes(one, PngBuilder().Header(1, 1, 8, 2, 1).Chunk("IDAT", Deflate({0, 10, 20, 30})).End().Out);
  EXPECT_EQ(one.GetPixel(0, 0), 0x1E140Au);
  // The first row of every pass is unfiltered against zeros, Up and Paeth included.
  std::mt19937 rng(9);
  for (uint8_t filter : {2, 4}) {
    // A 10x10 1-bit palette image and a 9x9 RGB image, all rows with `filter`.
    for (auto [w, depth, type] : {std::tuple{10u, 1, 3}, {9u, 8, 2}}) {
      PngBuilder b;
      b.Header(w, w, uint8_t(depth), uint8_t(type), 1);
      if (type == 3) b.Chunk("PLTE", {0, 0, 0, 255, 255, 255});
      Bytes rows;
      for (int pass = 0; pass < 7; ++pass) {
        const uint32_t pixels = (w + Adam7ColumnStep[pass] - Adam7ColumnStart[pass] - 1) / Adam7ColumnStep[pass];
        uint64_t line = 0;
        uint32_t stride = 0;
        PngLineSize(uint8_t(type), uint8_t(depth), pixels, line, stride);
        if (line == 0) continue;
        for (uint32_t y = Adam7RowStart[pass]; y < w; y += Adam7RowStep[pass]) {
          rows.push_back(filter);
          for (uint64_t i = 0; i < line; ++i) rows.push_back(uint8_t(rng()));
        }
      }
      const Bytes file = b.Chunk("IDAT", Deflate(rows)).End().Out;
      ExpectSameAsLibpng(file, "interlaced filter " + std::to_string(filter));
      if (type == 3) {
        // No bit outside the 2-byte rows of 10 pixels.
        TPNGChunkList png;
        LoadBytes(png, file);
        for (uint32_t y = 0; y < w; ++y) EXPECT_EQ(png.RowPointer(int(y))[1] & 0x3F, 0);
      }
    }
  }
}

TEST(PngDecode, SamplesAndUnknownFilters) {
  // 16-bit RGBA keeps the high bytes.
  TPNGChunkList png;
  LoadBytes(png, SimplePng(1, 1, 16, 6, {0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}));
  const uint8_t* p = png.RowPointer(0);
  EXPECT_EQ(p[0], 0x9A);
  EXPECT_EQ(p[1], 0x56);
  EXPECT_EQ(p[2], 0x12);
  EXPECT_EQ(png.AlphaRow(0)[0], 0xDE);
  // Filter type 7 is taken as None.
  LoadBytes(png, SimplePng(2, 1, 8, 0, {7, 5, 6}));
  EXPECT_EQ(png.GetPixel(1, 0), 0x060606u);
  // gAMA 45455 is the identity: the same bytes as without it.
  TPNGChunkList plain, gamma;
  const Bytes rows = {0, 10, 200, 30, 40, 50, 250};
  LoadBytes(plain, SimplePng(2, 1, 8, 2, rows));
  PngBuilder b;
  b.Header(2, 1, 8, 2).Chunk("gAMA", {0, 0, 0xB1, 0x8F}).Chunk("IDAT", Deflate(rows)).End();
  LoadBytes(gamma, b.Out);
  EXPECT_EQ(std::memcmp(plain.RowPointer(0), gamma.RowPointer(0), 6), 0);
}

TEST(PngFilters, FastFormsMatchThePlainOnes) {
  std::mt19937 rng(3);
  for (size_t stride : {1u, 2u, 3u, 4u, 6u, 8u})
    for (size_t n : {0u, 1u, 3u, 4u, 7u, 12u, 64u, 300u, 301u})
      for (uint8_t type = 0; type <= 5; ++type) {
        Bytes prior(n), row(n);
        for (auto& v : prior) v = uint8_t(rng());
        for (auto& v : row) v = uint8_t(rng());
        Bytes a = row, b = row;
        UnfilterRow(type, a.data(), prior.data(), n, stride);
        UnfilterRowPlain(type, b.data(), prior.data(), n, stride);
        ASSERT_EQ(a, b) << int(type) << " " << stride << " " << n;
        // And filtering gives back the row.
        if (type >= 1 && type <= 4) {
          Bytes f(n);
          FilterRow(type, a.data(), prior.data(), f.data(), n, stride);
          ASSERT_EQ(f, row);
        }
      }
  for (int bytes : {3, 4}) {
    Bytes src(3 * 40 * 4), a(3 * 40), b(3 * 40);
    for (auto& v : src) v = uint8_t(rng());
    RgbToBgr(src.data(), a.data(), 40, bytes, nullptr);
    RgbToBgrPlain(src.data(), b.data(), 40, bytes, nullptr);
    ASSERT_EQ(a, b);
  }
}
