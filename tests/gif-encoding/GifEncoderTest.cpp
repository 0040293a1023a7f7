// The LZW and run-length coders and the sub-block writer, read back by giflib.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "GifEncodingUtil.h"
#include "gif/GIFEncoder.h"
#include "gif/GIFWriter.h"

namespace {

Bytes StreamBytes(TMemoryStream& s) {
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

Bytes EncodeLZW(const Bytes& pixels, int bits, int colors, int width, int height, bool interlaced) {
  TMemoryStream s;
  TLZWEncoder e(nullptr);
  e.Encode(s, bits, colors, pixels.data(), interlaced, height, width);
  return StreamBytes(s);
}

TEST(GifEncoder, SmallestFramesGiveExactBytes) {
  // Clear 4, code 0 and end 5 at 3 bits each.
  EXPECT_EQ(EncodeLZW({0}, 1, 2, 1, 1, false), (Bytes{2, 2, 0x44, 0x01, 0}));
  // Nothing to code: the end code alone.
  EXPECT_EQ(EncodeLZW({}, 2, 4, 0, 5, false), (Bytes{2, 1, 0x05, 0}));
  EXPECT_EQ(EncodeLZW({}, 2, 4, 5, 0, true), (Bytes{2, 1, 0x05, 0}));
}

TEST(GifEncoder, InterlacedRowsGoInPassOrder) {
  // Rows 0, 2, 1 (height 3) and 0, 4, 2, 1, 3 (height 5), as a plain frame of the rows reordered.
  struct {
    int height;
    std::vector<int> order;
  } cases[] = {{3, {0, 2, 1}}, {5, {0, 4, 2, 1, 3}}, {1, {0}}, {9, {0, 8, 4, 2, 6, 1, 3, 5, 7}}};
  for (const auto& c : cases) {
    const int w = 3;
    Bytes rows(static_cast<size_t>(w) * c.height), reordered;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < w; ++x) rows[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(y * 3 + x);
    for (int y : c.order) reordered.insert(reordered.end(), rows.begin() + y * w, rows.begin() + (y + 1) * w);
    EXPECT_EQ(EncodeLZW(rows, 8, 256, w, c.height, true), EncodeLZW(reordered, 8, 256, w, c.height, false))
        << "height " << c.height;
  }
}

TEST(GifEncoder, PixelOutsideTableRaises) {
  TMemoryStream s;
  TLZWEncoder lzw(nullptr);
  const Bytes pixels{0, 1, 2, 3};
  try {
    lzw.Encode(s, 2, 3, pixels.data(), false, 1, 4);
    FAIL() << "no exception";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Color not in color table");
  }
  TMemoryStream s2;
  TRLEEncoder rle(nullptr);
  EXPECT_THROW(rle.Encode(s2, 2, 3, pixels.data(), false, 1, 4), GIFException);
}

TEST(GifWriter, FullBlocksGoOutAtOnceAndTheRestOnFlush) {
  struct {
    int count;
    Bytes sizes;
  } cases[] = {{255, {255}}, {256, {255, 1}}, {510, {255, 255}}, {1, {1}}, {0, {}}};
  for (const auto& c : cases) {
    TMemoryStream s;
    TGIFWriter w(s, nullptr);
    Bytes data(static_cast<size_t>(c.count), 7);
    w.Write(data.data(), c.count);
    w.FlushBlock();
    Bytes out = StreamBytes(s), sizes;
    for (size_t i = 0; i < out.size(); i += out[i] + 1u) sizes.push_back(out[i]);
    EXPECT_EQ(sizes, c.sizes) << c.count;
    EXPECT_EQ(out.size(), static_cast<size_t>(c.count) + c.sizes.size());
  }
  // The writer is no stream to read or seek.
  TMemoryStream s;
  TGIFWriter w(s, nullptr);
  uint8_t b;
  EXPECT_THROW(w.Read(&b, 1), GIFException);
  EXPECT_THROW(w.Seek(0, soBeginning), GIFException);
  TGIFStream plain(s, nullptr);
  EXPECT_THROW(plain.Write(&b, 1), GIFException);
}

TEST(GifHashTable, CollidingKeysAreAllFound) {
  // Keys that share one start slot, some also the prefix: every probe must reach a free slot.
  THashTable t;
  std::vector<uint32_t> keys;
  for (uint32_t k = 0; k < (1u << 20) && keys.size() < 4000; ++k)
    if (THashTable::HashOf(k) == 17) keys.push_back(k);
  for (uint32_t pixel = 0; pixel < 256; ++pixel) keys.push_back((77u << 8) | pixel);
  ASSERT_GT(keys.size(), 300u);
  for (size_t i = 0; i < keys.size(); ++i) t.StoreCode(keys[i], static_cast<int>(i));
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(t.FindCode(keys[i]), static_cast<int>(i));
  EXPECT_EQ(t.FindCode(0xFFEFF), -1);
  // Every slot is visited once before the walk comes back, whatever the step.
  for (uint32_t prefix : {0u, 1u, 2u, 1000u, 4093u, 4094u}) {
    const int step = THashTable::ProbeStep(prefix << 8);
    std::vector<bool> seen(THashTable::Size);
    int h = 5;
    for (int i = 0; i < THashTable::Size; ++i, h = THashTable::NextProbe(h, step)) seen[static_cast<size_t>(h)] = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), THashTable::Size) << prefix;
  }
}

TEST(GifHashTable, QuickHashIsTheHashOfTheKey) {
  for (int prefix = 0; prefix < 4096; ++prefix)
    for (int pixel = 0; pixel < 256; ++pixel)
      ASSERT_EQ(THashTable::HashOf(prefix, pixel),
                THashTable::HashOf((static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(pixel)))
          << prefix << " " << pixel;
}

// The plainest LZW coder of the same rules (a map for the dictionary, one
// code at a time, then cut into sub-blocks): the table coder must give its bytes.
Bytes ReferenceLZW(const Bytes& pixels, int bits, int width, int height, bool interlaced) {
  std::vector<int> rows;
  const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
    for (int y = interlaced ? start[pass] : 0; y < height; y += interlaced ? step[pass] : 1) rows.push_back(y);
  Bytes codes;
  uint64_t bucket = 0;
  int count = 0;
  const int clear = 1 << bits, initial = bits + 1;
  int codeWidth = initial;
  auto put = [&](int code) {
    bucket |= static_cast<uint64_t>(code) << count;
    count += codeWidth;
    for (; count >= 8; count -= 8, bucket >>= 8) codes.push_back(static_cast<uint8_t>(bucket));
  };
  std::map<std::pair<int, int>, int> dict;
  int next = clear + 2, prefix = -1;
  auto putGrowing = [&](int code) {
    put(code);
    if (next > (1 << codeWidth) - 1 && codeWidth < 12) ++codeWidth;
  };
  put(clear);
  for (int y : rows)
    for (int x = 0; x < width; ++x) {
      const int p = pixels[static_cast<size_t>(y) * width + x];
      if (prefix < 0) {
        prefix = p;
      } else if (auto it = dict.find({prefix, p}); it != dict.end()) {
        prefix = it->second;
      } else {
        putGrowing(prefix);
        if (next >= 4095) {
          put(clear);
          codeWidth = initial;
          dict.clear();
          next = clear + 2;
        } else {
          dict[{prefix, p}] = next++;
        }
        prefix = p;
      }
    }
  putGrowing(prefix);
  put(clear + 1);
  if (count > 0) codes.push_back(static_cast<uint8_t>(bucket));
  Bytes out{static_cast<uint8_t>(bits)};
  for (size_t i = 0; i < codes.size(); i += 255) {
    const size_t n = std::min<size_t>(255, codes.size() - i);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(i), codes.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  out.push_back(0);
  return out;
}

TEST(GifEncoder, LZWGivesTheBytesOfThePlainestCoder) {
  struct TCase {
    const char* name;
    TRaster raster;
    int bits;
  };
  // Flat areas make long strings and few clears; noise fills the table often.
  TRaster bands{640, 200, Bytes(640 * 200)};
  for (int y = 0; y < bands.Height; ++y)
    for (int x = 0; x < bands.Width; ++x)
      bands.Pixels[static_cast<size_t>(y * bands.Width + x)] = static_cast<uint8_t>(((x / 5 + y / 7) & 127) + ((x * y / 97) & 64));
  std::vector<TCase> cases = {
      {"1x1", NoiseRaster(1, 1, 4, 1), 2},         {"noise 2 bits", NoiseRaster(301, 77, 4, 2), 2},
      {"noise 5 bits", NoiseRaster(123, 45, 32, 3), 5}, {"noise 8 bits", NoiseRaster(400, 300, 256, 4), 8},
      {"runs", RunsRaster(500, 80, 16, 37), 4},    {"one colour", RunsRaster(700, 700, 1, 1), 8},
      {"bands", bands, 8},
  };
  for (const auto& c : cases)
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (interlaced ? " interlaced" : ""));
      EXPECT_EQ(EncodeLZW(c.raster.Pixels, c.bits, 1 << c.bits, c.raster.Width, c.raster.Height, interlaced),
                ReferenceLZW(c.raster.Pixels, c.bits, c.raster.Width, c.raster.Height, interlaced));
    }
}

TEST(GifRLE, RunCodeCountAndIntSqrt) {
  EXPECT_EQ(TRLEEncoder::IntSqrt(0), 0);
  EXPECT_EQ(TRLEEncoder::IntSqrt(1), 1);
  for (int64_t x : std::initializer_list<int64_t>{2, 3, 4, 15, 16, 17, 99, 100, 1000000, 999999999999})
    EXPECT_EQ(TRLEEncoder::IntSqrt(x), static_cast<int64_t>(std::sqrt(static_cast<double>(x)))) << x;
  // Runs of 1+2+3 = 6 pixels take 3 codes; 7 takes 4; a whole triangle of m takes m.
  EXPECT_EQ(TRLEEncoder::RunCodeCount(6, 100), 3);
  EXPECT_EQ(TRLEEncoder::RunCodeCount(7, 100), 4);
  EXPECT_EQ(TRLEEncoder::RunCodeCount(10, 4), 4);
  EXPECT_EQ(TRLEEncoder::RunCodeCount(11, 4), 5);
}

// Every coder, depth and shape decodes through giflib to the same indices.
TEST(GifEncoder, RoundTripsThroughGiflib) {
  struct TCase {
    const char* name;
    TRaster raster;
    int bits;
  };
  std::vector<TCase> cases = {
      {"1x1", NoiseRaster(1, 1, 2, 1), 1},
      {"width 1", NoiseRaster(1, 300, 4, 2), 2},
      {"height 1", NoiseRaster(300, 1, 8, 3), 3},
      {"noise 4 bits", NoiseRaster(97, 61, 16, 4), 4},
      {"noise 5 bits", NoiseRaster(33, 17, 32, 5), 5},
      {"noise 6 bits", NoiseRaster(64, 64, 64, 6), 6},
      {"noise 7 bits", NoiseRaster(50, 40, 128, 7), 7},
      // Many more than 4096 codes: the table is cleared several times.
      {"noise 8 bits", NoiseRaster(300, 200, 256, 8), 8},
      {"one colour", RunsRaster(320, 240, 1, 1), 8},
      {"one colour, 1 bit", RunsRaster(500, 400, 1, 1), 1},
      {"long runs", RunsRaster(211, 97, 4, 777), 2},
      {"short runs", RunsRaster(128, 50, 16, 3), 4},
      {"runs 8 bits", RunsRaster(256, 256, 256, 41), 8},
      {"very long runs", RunsRaster(1000, 1000, 3, 150000), 2},
      {"gradient", RunsRaster(256, 30, 256, 1), 8},
  };
  for (const auto& c : cases)
    for (bool interlaced : {false, true})
      for (bool rle : {false, true}) {
        SCOPED_TRACE(std::string(c.name) + (interlaced ? " interlaced" : "") + (rle ? " run-length" : " LZW"));
        Bytes gif = SingleFrameGIF(c.raster, c.bits, interlaced, rle);
        TOracleImage o;
        ASSERT_TRUE(OracleLoadBytes(gif, o));
        ASSERT_EQ(o.Frames.size(), 1u);
        EXPECT_EQ(o.Frames[0].Interlaced, interlaced);
        EXPECT_TRUE(o.Frames[0].Raster == c.raster.Pixels);
      }
}

TEST(GifRLE, MixedRunLengthsRoundTrip) {
  // Runs of every length 1..300 in turn, the same colour twice in a row now and then,
  // so that the repeat, plain and fresh paths all run at each depth.
  for (int bits : {1, 2, 3, 4, 8}) {
    SCOPED_TRACE(bits);
    TRaster r{0, 0, {}};
    int colors = 1 << bits;
    for (int len = 1, c = 0; r.Pixels.size() < 60000; ++len) {
      r.Pixels.insert(r.Pixels.end(), static_cast<size_t>(len % 300 + 1), static_cast<uint8_t>(c));
      if (len % 7 != 0) c = (c + 1) % colors;
    }
    r.Width = 300;
    r.Height = static_cast<int>(r.Pixels.size() / 300);
    r.Pixels.resize(static_cast<size_t>(r.Width) * r.Height);
    TOracleImage o;
    ASSERT_TRUE(OracleLoadBytes(SingleFrameGIF(r, bits, false, true), o));
    EXPECT_TRUE(o.Frames[0].Raster == r.Pixels);
  }
}

}  // namespace

namespace {

// Takes a few bytes, then refuses.
class TShortStream : public TMemoryStream {
 public:
  explicit TShortStream(int64_t room) : FRoom(room) {}
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t n = std::min(count, FRoom - Size());
    return n > 0 ? TMemoryStream::Write(buffer, n) : 0;
  }

 private:
  int64_t FRoom;
};

TEST(GifEncoder, TargetWriteErrorsPassThrough) {
  TRaster r = NoiseRaster(100, 100, 256, 9);
  for (int64_t room : {0, 1, 100, 300}) {
    SCOPED_TRACE(room);
    TShortStream s(room);
    TLZWEncoder e(nullptr);
    EXPECT_THROW(e.Encode(s, 8, 256, r.Pixels.data(), false, 100, 100), EWriteError);
    // What went out in whole blocks stays.
    EXPECT_LE(s.Size(), room);
  }
}

}  // namespace
