// The chunk sequence: signature, chunk framing, CRCs, unknown chunks.
#include <gtest/gtest.h>

#include "PngTestUtil.h"
#include "png/PngAncillaryChunks.h"
#include "png/PngCrc.h"
#include "png/PngErrors.h"
#include "png/PngHeaderChunk.h"
#include "png/PngIdatChunk.h"

namespace {

// A valid 2x2 8-bit grey image with the given chunks before its IDAT.
Bytes GreyWith(const std::function<void(PngBuilder&)>& before, const std::function<void(PngBuilder&)>& after = {}) {
  PngBuilder b;
  b.Header(2, 2, 8, 0);
  if (before) before(b);
  b.Chunk("IDAT", Deflate({0, 10, 20, 0, 30, 40}));
  if (after) after(b);
  return b.End().Out;
}

template <class E>
void ExpectLoadError(const Bytes& file) {
  TPNGChunkList png;
  EXPECT_THROW(LoadBytes(png, file), E);
  // A failed load never leaves half a picture behind.
  EXPECT_EQ(png.Chunks().Count(), 0);
}

}  // namespace

TEST(PngChunkStream, SignatureAndFraming) {
  Bytes sig(PngBuilder().Out);
  ExpectLoadError<EPNGInvalidFileHeader>({});
  ExpectLoadError<EPNGInvalidFileHeader>(Bytes(sig.begin(), sig.begin() + 5));
  Bytes wrong = GreyWith({});
  wrong[3] = 'g';
  ExpectLoadError<EPNGInvalidFileHeader>(wrong);
  ExpectLoadError<EPngUnexpectedEnd>(sig);

  // Short length, a length past the stream's end or beyond 2^31-1.
  Bytes shortLength = sig;
  shortLength.insert(shortLength.end(), {0, 0, 0});
  ExpectLoadError<EPngUnexpectedEnd>(shortLength);
  Bytes good = GreyWith({});
  ExpectLoadError<EPngUnexpectedEnd>(Bytes(good.begin(), good.begin() + 8 + 8 + 13 + 2));
  for (uint32_t length : {0x80000000u, 0xFFFFFFFFu, 14u}) {
    Bytes b = good;
    b[8] = uint8_t(length >> 24), b[9] = uint8_t(length >> 16), b[10] = uint8_t(length >> 8), b[11] = uint8_t(length);
    if (length == 14u) b.resize(8 + 8 + 13 + 4);
    ExpectLoadError<EPngUnexpectedEnd>(b);
  }
  // A stream that ends after a complete chunk without IEND.
  ExpectLoadError<EPngUnexpectedEnd>(PngBuilder().Header(2, 2, 8, 0).Chunk("IDAT", Deflate({0, 1, 2, 0, 3, 4})).Out);
}

TEST(PngChunkStream, HeaderMustComeFirstAndOnce) {
  ExpectLoadError<EPNGIHDRNotFirst>(PngBuilder().Chunk("tEXt", {'a', 0, 'b'}).Header(1, 1, 8, 0).End().Out);
  Bytes lower = GreyWith({});
  std::memcpy(lower.data() + 12, "Ihdr", 4);
  ExpectLoadError<EPNGIHDRNotFirst>(lower);
  ExpectLoadError<EPngInvalidIHDR>(GreyWith([](PngBuilder& b) { b.Header(100, 100, 8, 2); }));
}

TEST(PngChunkStream, CrcIsCheckedAndIendCrcIsTheStandardOne) {
  const uint8_t iend[4] = {'I', 'E', 'N', 'D'};
  EXPECT_EQ(ChunkCrc(iend, nullptr, 0), 0xAE426082u);
  ExpectLoadError<EPngInvalidCRC>(GreyWith([](PngBuilder& b) { b.BadCrcChunk("tEXt", {'k', 0, 'v'}); }));
  Bytes badIhdr = GreyWith({});
  badIhdr[8 + 8 + 13] ^= 1;
  ExpectLoadError<EPngInvalidCRC>(badIhdr);
}

TEST(PngChunkStream, ChromaticitiesAreSkippedEvenWithABadCrc) {
  TPNGChunkList png;
  LoadBytes(png, GreyWith([](PngBuilder& b) { b.BadCrcChunk("cHRM", Bytes(32, 7)); }));
  ASSERT_EQ(png.Chunks().Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_NE(png.Chunks().Item(i)->NameString(), "cHRM");
  const Bytes saved = SaveBytes(png);
  EXPECT_EQ(std::search(saved.begin(), saved.end(), "cHRM", "cHRM" + 4), saved.end());
}

TEST(PngChunkStream, UnknownChunks) {
  // Ancillary: kept raw and written back byte for byte with its CRC.
  const Bytes teST = {1, 2, 3, 250};
  const Bytes file = GreyWith([&](PngBuilder& b) { b.Chunk("teST", teST); });
  TPNGChunkList png;
  LoadBytes(png, file);
  ASSERT_EQ(png.Chunks().Count(), 4);
  TChunk* raw = png.Chunks().Item(1);
  EXPECT_EQ(raw->NameString(), "teST");
  EXPECT_EQ(typeid(*raw), typeid(TChunk));
  const Bytes saved = SaveBytes(png);
  const Bytes expected = PngBuilder().Chunk("teST", teST).Out;
  EXPECT_NE(std::search(saved.begin(), saved.end(), expected.begin() + 8, expected.end()), saved.end());
  // Critical: refused. A zero first byte is not taken as critical.
  ExpectLoadError<EPNGUnknownCriticalChunk>(GreyWith([](PngBuilder& b) { b.Chunk("TEST", {}); }));
  TPNGChunkList zero;
  LoadBytes(zero, GreyWith([](PngBuilder& b) { b.Chunk(std::string("\0eST", 4).c_str(), {}); }));
}

TEST(PngChunkStream, NoImageDataAndLaterIdatGroupsAreSkipped) {
  ExpectLoadError<EPNGNoImageData>(PngBuilder().Header(1, 1, 8, 0).End().Out);
  // A second IDAT group after another chunk is not decoded (its garbage
  // would otherwise fail).
  TPNGChunkList png;
  LoadBytes(png, GreyWith({}, [](PngBuilder& b) { b.Chunk("tEXt", {'a', 0, 'b'}).Chunk("IDAT", {1, 2, 3}); }));
  EXPECT_EQ(png.Chunks().Count(), 4);
  EXPECT_EQ(png.GetPixel(1, 1), 0x282828u);
}

TEST(PngChunkStream, SavingAnEmptyPictureWritesTheSignatureOnly) {
  TPNGChunkList png;
  EXPECT_EQ(SaveBytes(png), PngBuilder().Out);
}

TEST(PngChunkStream, ChunkListAndRegistry) {
  TPNGChunkList png;
  LoadBytes(png, GreyWith([](PngBuilder& b) { b.Chunk("zTXt", {'k', 0, 0, 0x78, 0x9c, 3, 0, 0, 0, 0, 1}); }));
  // Asking for tEXt finds the zTXt chunk, which descends from it.
  EXPECT_NE(png.Chunks().ItemFromClass<TChunktEXt>(), nullptr);
  EXPECT_EQ(png.Chunks().ItemFromClass<TChunktIME>(), nullptr);
  EXPECT_EQ(png.Chunks().Item(-1), nullptr);
  EXPECT_EQ(png.Chunks().Item(99), nullptr);
  TChunk* z = png.Chunks().Item(1);
  auto taken = png.Chunks().Remove(z);
  EXPECT_EQ(taken.get(), z);
  EXPECT_EQ(png.Chunks().Remove(z), nullptr);
  EXPECT_EQ(png.Chunks().Count(), 3);
  TChunkIHDR ihdr(nullptr);
  EXPECT_EQ(ihdr.NameString(), "IHDR");
  TChunk plain(nullptr);
  EXPECT_EQ(plain.NameString(), std::string(4, '\0'));
  EXPECT_EQ(plain.DataSize(), 0u);
}
