// Image data encoding: round trips through libpng and pngcheck, IDAT
// splitting, filter choice, gamma.
#include <gtest/gtest.h>
#include <unistd.h>

#include <zlib.h>

#include <random>

#include "PngTestUtil.h"
#include "png/PngAncillaryChunks.h"
#include "png/PngErrors.h"
#include "png/PngHeaderChunk.h"
#include "png/PngIdatChunk.h"

namespace {

struct ChunkInfo {
  std::string Type;
  uint32_t Length;
  Bytes Data;
};

std::vector<ChunkInfo> ChunksOf(const Bytes& file) {
  std::vector<ChunkInfo> out;
  for (size_t at = 8; at + 12 <= file.size();) {
    const uint32_t len = ReadBE32(file.data() + at);
    out.push_back({std::string(file.begin() + long(at) + 4, file.begin() + long(at) + 8), len,
                   Bytes(file.begin() + long(at) + 8, file.begin() + long(at) + 8 + len)});
    at += 12 + len;
  }
  return out;
}

// Raw (unfiltered) rows of the IDAT data, in stream order.
Bytes InflatedIdat(const Bytes& file) {
  Bytes z;
  for (const auto& c : ChunksOf(file))
    if (c.Type == "IDAT") z.insert(z.end(), c.Data.begin(), c.Data.end());
  Bytes out(1 << 20);
  uLongf size = out.size();
  uncompress(out.data(), &size, z.data(), static_cast<uLong>(z.size()));
  out.resize(size);
  return out;
}

bool PngcheckAccepts(const Bytes& file) {
  // One file per process: the tests run side by side.
  const std::string path = ::testing::TempDir() + "/hk_png_check_" + std::to_string(::getpid()) + ".png";
  WriteFileBytes(path, file);
  return std::system(("pngcheck -q " + path + " > /dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TEST(PngEncode, EveryFormatRoundTripsThroughLibpngAndPngcheck) {
  std::mt19937 rng(11);
  for (auto [type, depth] : {std::pair{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2}, {3, 4},
                             {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}})
    for (uint8_t interlace : {0, 1}) {
      const uint32_t w = 13, h = 11;
      PngBuilder b;
      b.Header(w, h, uint8_t(depth), uint8_t(type));
      if (type == 3) {
        Bytes plte(3u << depth);
        for (auto& v : plte) v = uint8_t(rng());
        b.Chunk("PLTE", plte);
      }
      uint64_t line = 0;
      uint32_t stride = 0;
      PngLineSize(uint8_t(type), uint8_t(depth), w, line, stride);
      Bytes rows;
      for (uint32_t y = 0; y < h; ++y) {
        rows.push_back(0);
        for (uint64_t i = 0; i < line; ++i) rows.push_back(uint8_t(rng()));
      }
      TPNGChunkList png;
      LoadBytes(png, b.Chunk("IDAT", Deflate(rows)).End().Out);
      png.InterlaceMethod = interlace;
      png.RowFilters = AllRowFilters;
      const std::string what = std::to_string(type) + "/" + std::to_string(depth) + "/" + std::to_string(interlace);
      const Bytes saved = SaveBytes(png);
      EXPECT_TRUE(PngcheckAccepts(saved)) << what;
      LibpngImage ref;
      ASSERT_TRUE(LibpngDecode(saved, ref)) << what << ": " << ref.Error;
      TPNGChunkList back;
      LoadBytes(back, saved);
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
          ASSERT_EQ(ExpectedAt(ref, back, int(x), int(y)), OursAt(png, int(x), int(y))) << what << " " << x << "," << y;
          ASSERT_EQ(OursAt(back, int(x), int(y)), OursAt(png, int(x), int(y))) << what;
        }
    }
}

TEST(PngEncode, IdatChunksSplitAsConfigured) {
  // Noise does not compress: about 150,000 bytes of IDAT data.
  std::mt19937 rng(1);
  const uint32_t w = 250, h = 200;
  Bytes rows;
  for (uint32_t y = 0; y < h; ++y) {
    rows.push_back(0);
    for (uint32_t i = 0; i < w * 3; ++i) rows.push_back(uint8_t(rng()));
  }
  TPNGChunkList png;
  LoadBytes(png, SimplePng(w, h, 8, 2, rows));
  png.SetIdatSplitSize(1000);
  EXPECT_EQ(png.IdatSplitSize(), 65535u);
  png.SetIdatSplitSize(65534);
  EXPECT_EQ(png.IdatSplitSize(), 65535u);
  png.SetIdatSplitSize(100000);
  EXPECT_EQ(png.IdatSplitSize(), 100000u);
  for (uint32_t split : {65535u, 100000u}) {
    png.SetIdatSplitSize(split);
    const Bytes saved = SaveBytes(png);
    std::vector<uint32_t> sizes;
    uint64_t total = 0;
    for (const auto& c : ChunksOf(saved))
      if (c.Type == "IDAT") sizes.push_back(c.Length), total += c.Length;
    ASSERT_GE(sizes.size(), 2u);
    for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], split);
    EXPECT_EQ(sizes.size(), (total + split - 1) / split);
    EXPECT_TRUE(PngcheckAccepts(saved));
  }
  // Default settings: every row with Sub.
  png.SetIdatSplitSize(65535);
  const Bytes raw = InflatedIdat(SaveBytes(png));
  for (uint32_t y = 0; y < h; ++y) ASSERT_EQ(raw[y * (w * 3 + 1)], 1);
}

TEST(PngEncode, FilterChoice) {
  // Filter type bytes chosen for one-row images under several filter sets.
  auto typeOf = [](const Bytes& row, uint32_t w, uint8_t colorType, TPNGRowFilters filters) {
    Bytes rows = {0};
    rows.insert(rows.end(), row.begin(), row.end());
    TPNGChunkList png;
    LoadBytes(png, SimplePng(w, 1, colorType == 3 ? 1 : 8, colorType, rows, 0,
                             colorType == 3 ? Bytes{0, 0, 0, 9, 9, 9} : Bytes{}));
    png.RowFilters = filters;
    return InflatedIdat(SaveBytes(png))[0];
  };
  const Bytes ramp = {0, 1, 3, 6, 10, 15, 21, 28};  // no filter output repeats a byte
  EXPECT_EQ(typeOf(ramp, 8, 0, AllRowFilters), 0);
  EXPECT_EQ(typeOf(Bytes(8, 77), 8, 0, RowFilterBit(rfUp) | RowFilterBit(rfPaeth)), 2);
  EXPECT_EQ(typeOf(ramp, 8, 0, 0), 0);
  EXPECT_EQ(typeOf(ramp, 8, 0, RowFilterBit(rfNone)), 0);
  EXPECT_EQ(typeOf(ramp, 8, 0, RowFilterBit(rfPaeth)), 4);
  // A 2-byte row (16 pixels of 1 bit) scores 0 everywhere: type 0.
  EXPECT_EQ(typeOf({0xAA, 0x55}, 16, 3, RowFilterBit(rfSub) | RowFilterBit(rfUp)), 0);
  // An arithmetic ramp is constant after Sub.
  EXPECT_EQ(typeOf({5, 10, 15, 20, 25, 30, 35, 40}, 8, 0, AllRowFilters), 1);
}

TEST(PngEncode, GammaIsUndoneOnSave) {
  PngBuilder b;
  b.Header(2, 1, 8, 2).Chunk("gAMA", {0, 0x01, 0x86, 0xA0}).Chunk("IDAT", Deflate({0, 128, 64, 0, 255, 1, 2}));
  TPNGChunkList png;
  LoadBytes(png, b.End().Out);
  EXPECT_EQ(png.RowPointer(0)[2], 186);  // red of pixel 0, displayed
  png.RowFilters = 0;
  const Bytes raw = InflatedIdat(SaveBytes(png));
  EXPECT_EQ(raw[1], 128);
  EXPECT_EQ(raw[2], 64);
  // A copy saves the same samples: it keeps the curves its pixels went through.
  TPNGChunkList copy;
  copy.CopyFromPNG(png);
  EXPECT_EQ(InflatedIdat(SaveBytes(copy)), raw);
  // Without gAMA, and with no filter, 8-bit RGBA comes back exactly.
  const Bytes rgba = {0, 1, 2, 3, 4, 250, 251, 252, 253};
  TPNGChunkList plain;
  LoadBytes(plain, SimplePng(2, 1, 8, 6, rgba));
  plain.RowFilters = 0;
  EXPECT_EQ(InflatedIdat(SaveBytes(plain)), rgba);
}

TEST(PngEncode, InterlacedSmallImageSkipsEmptyPasses) {
  TPNGChunkList png;
  LoadBytes(png, SimplePng(3, 3, 8, 0, {0, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9}));
  png.InterlaceMethod = 1;
  png.RowFilters = 0;
  // Passes 0, 3, 4, 5, 6 of a 3x3 image: rows of 1, 1, 2, 1 and 3 pixels.
  const Bytes raw = InflatedIdat(SaveBytes(png));
  EXPECT_EQ(raw, (Bytes{0, 1, 0, 3, 0, 7, 9, 0, 2, 0, 8, 0, 4, 5, 6}));
}

TEST(PngEncode, FormatsWithoutALayoutAreRefusedBeforeImageData) {
  TPNGChunkList png;
  LoadBytes(png, SimplePng(1, 1, 8, 2, {0, 1, 2, 3}));
  png.Header().ColorType = 5;
  TMemoryStream s;
  EXPECT_THROW(png.SaveToStream(s), EPngInvalidIHDR);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  EXPECT_EQ(std::search(p, p + s.Size(), "IDAT", "IDAT" + 4), p + s.Size());
}
