// Colour lookups, ditherers, the octree quantizer and ReduceToPalette.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "gif/GIFColorLookup.h"
#include "gif/GIFColorReduction.h"
#include "gif/GIFDithering.h"

namespace {

struct TRGB {
  int R, G, B;
  bool operator==(const TRGB&) const = default;
};

// 24-bit bitmap from a colour function.
template <class F>
std::unique_ptr<TBitmap> MakeBitmap(int w, int h, F color) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(bmp->ScanLine(y));
    for (int x = 0; x < w; ++x) {
      TRGB c = color(x, y);
      row[x * 3] = static_cast<uint8_t>(c.B);
      row[x * 3 + 1] = static_cast<uint8_t>(c.G);
      row[x * 3 + 2] = static_cast<uint8_t>(c.R);
    }
  }
  return bmp;
}

std::vector<PALETTEENTRY> Entries(HPALETTE p) {
  std::vector<PALETTEENTRY> e(256);
  e.resize(p ? GetPaletteEntries(p, 0, 256, e.data()) : 0);
  return e;
}

HPALETTE PaletteOf(const std::vector<TRGB>& colors) {
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 256);
  auto* log = reinterpret_cast<LOGPALETTE*>(block.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(colors.size());
  for (size_t i = 0; i < colors.size(); ++i)
    log->palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(colors[i].R), static_cast<BYTE>(colors[i].G),
                                       static_cast<BYTE>(colors[i].B), 0};
  return CreatePalette(log);
}

TEST(GifColorLookup, ArithmeticLookups) {
  uint8_t r, g, b;
  TNetscapeColorLookup web(nullptr);
  EXPECT_EQ(web.MatchColor(255, 128, 0, r, g, b), 192);
  EXPECT_EQ((TRGB{r, g, b}), (TRGB{255, 102, 0}));
  web.MatchColor(47, 48, 0, r, g, b);
  EXPECT_EQ((TRGB{r, g, b}), (TRGB{0, 51, 0}));
  TGrayScaleLookup grey(nullptr);
  EXPECT_EQ(grey.MatchColor(255, 0, 0, r, g, b), 76);
  EXPECT_EQ(r, 76);
  TMonochromeLookup mono(nullptr);
  EXPECT_EQ(mono.MatchColor(128, 128, 128, r, g, b), 1);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(mono.MatchColor(127, 127, 127, r, g, b), 0);
  EXPECT_EQ(r, 0);
}

TEST(GifColorLookup, SlowLookupFindsNearestEntry) {
  HPALETTE p = PaletteOf({{0, 0, 0}, {255, 0, 0}, {0, 0, 255}, {200, 200, 200}});
  TSlowColorLookup lookup(p);
  EXPECT_EQ(lookup.EntryCount, 4);
  uint8_t r, g, b;
  EXPECT_EQ(lookup.MatchColor(250, 10, 10, r, g, b), 1);
  EXPECT_EQ((TRGB{r, g, b}), (TRGB{255, 0, 0}));
  EXPECT_EQ(lookup.MatchColor(180, 190, 210, r, g, b), 3);
  EXPECT_EQ(lookup.MatchColor(250, 10, 10, r, g, b), 1);  // from the cache
  DeleteObject(p);
  // No palette: nothing to answer with, the colour is left alone.
  TSlowColorLookup none(nullptr);
  EXPECT_EQ(none.EntryCount, 0);
  r = 1, g = 2, b = 3;
  none.MatchColor(9, 9, 9, r, g, b);
  EXPECT_EQ((TRGB{r, g, b}), (TRGB{1, 2, 3}));
}

// Records the colours each pixel asked for; answers through another lookup.
class TRecordingLookup : public TColorLookup {
 public:
  explicit TRecordingLookup(TColorLookup& inner) : TColorLookup(nullptr), FInner(inner) {
    EntryCount = inner.EntryCount;
  }
  uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override {
    Wanted.push_back(red);
    return FInner.MatchColor(red, green, blue, r, g, b);
  }
  std::vector<int> Wanted;

 private:
  TColorLookup& FInner;
};

class TBlackLookup : public TColorLookup {
 public:
  TBlackLookup() : TColorLookup(nullptr) { EntryCount = 1; }
  uint8_t MatchColor(uint8_t, uint8_t, uint8_t, uint8_t& r, uint8_t& g, uint8_t& b) override {
    r = g = b = 0;
    return 0;
  }
};

// Runs an engine over rows of grey values the way ReduceToPalette does;
// answers the indices and the columns in visiting order.
std::vector<std::vector<int>> RunRows(TDitherEngine& engine, const std::vector<std::vector<int>>& rows,
                                  std::vector<std::vector<int>>* columns = nullptr) {
  std::vector<std::vector<int>> out;
  for (const auto& row : rows) {
    std::vector<int> indices(row.size()), visited;
    uint8_t r, g, b;
    for (int x = engine.Column(); x >= 0 && x < static_cast<int>(row.size()); x = engine.Column()) {
      visited.push_back(x);
      auto v = static_cast<uint8_t>(row[static_cast<size_t>(x)]);
      indices[static_cast<size_t>(x)] = engine.MapPixel(v, v, v, r, g, b);
    }
    engine.EndRow();
    out.push_back(indices);
    if (columns) columns->push_back(visited);
  }
  return out;
}

TEST(GifDither, EveryEngineWalksSerpentineAndKeepsMidGrey) {
  TMonochromeLookup mono(nullptr);
  for (int kind = 0; kind <= 6; ++kind) {
    SCOPED_TRACE(kind);
    for (int width : {1, 2, 3}) {
      auto engine = CreateDitherer(kind, width, &mono);
      std::vector<std::vector<int>> columns;
      RunRows(*engine, std::vector<std::vector<int>>(4, std::vector<int>(static_cast<size_t>(width), 128)), &columns);
      for (size_t y = 0; y < columns.size(); ++y)
        for (int i = 0; i < width; ++i) EXPECT_EQ(columns[y][static_cast<size_t>(i)], y % 2 ? width - 1 - i : i);
    }
    // A mid-grey field stays half white: the error really is carried.
    auto engine = CreateDitherer(kind, 32, &mono);
    auto out = RunRows(*engine, std::vector<std::vector<int>>(32, std::vector<int>(32, 128)));
    int white = 0;
    for (const auto& row : out)
      for (int v : row) white += v;
    if (kind == 0)
      EXPECT_EQ(white, 32 * 32);
    else
      EXPECT_NEAR(white, 512, 40);
  }
  EXPECT_EQ(CreateDitherer(7, 4, &mono), nullptr);
}

TEST(GifDither, FloydSteinbergAlternatesOnMidGrey) {
  TMonochromeLookup mono(nullptr);
  TFloydSteinbergDitherer fs(8, &mono);
  auto out = RunRows(fs, {std::vector<int>(8, 128)});
  EXPECT_EQ(out[0], (std::vector<int>{1, 0, 1, 0, 1, 0, 1, 0}));
}

TEST(GifDither, FloydSteinbergErrorGoesToTheNeighboursBelow) {
  // Row 1 leaves 100 at its last column: 5/16 fall right below it and 3/16
  // one to the left; walking back, 7/16 of each new error go on to the left.
  TBlackLookup black;
  TRecordingLookup rec(black);
  TFloydSteinbergDitherer fs(3, &rec);
  RunRows(fs, {{0, 0, 100}, {0, 0, 0}});
  EXPECT_EQ(rec.Wanted, (std::vector<int>{0, 0, 100, 31, 32, 14}));
}

TEST(GifDither, ExactColourCarriesNoOldError) {
  // The middle pixel lands exactly on white: the error before it is spent,
  // so the last pixel gets none of it again.
  TMonochromeLookup mono(nullptr);
  TRecordingLookup rec(mono);
  TFloydSteinbergDitherer fs(3, &rec);
  RunRows(fs, {{100, 211, 0}});
  EXPECT_EQ(rec.Wanted, (std::vector<int>{100, 255, 0}));
  // The row-based engines spread nothing for a zero error.
  TRecordingLookup rec2(mono);
  TBurkesDitherer burkes(3, &rec2);
  RunRows(burkes, {{255, 255, 255}, {0, 0, 0}});
  EXPECT_EQ(rec2.Wanted, (std::vector<int>{255, 255, 255, 0, 0, 0}));
}

TEST(GifDither, ExtremeErrorsStayInRange) {
  // Every pixel white against a black-only palette: errors pile up row after row.
  TBlackLookup black;
  for (int kind = 1; kind <= 6; ++kind) {
    TRecordingLookup rec(black);
    auto engine = CreateDitherer(kind, 5, &rec);
    RunRows(*engine, std::vector<std::vector<int>>(40, std::vector<int>(5, 255)));
    for (int v : rec.Wanted) EXPECT_EQ(v, 255);
  }
}

TEST(GifOctree, ExactForFewColoursAndCappedForMany) {
  auto few = MakeBitmap(20, 10, [](int x, int y) { return TRGB{x * 12, y * 25, (x * y) % 7}; });
  std::set<uint32_t> distinct;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) distinct.insert(static_cast<uint32_t>(x * 12 << 16 | y * 25 << 8 | (x * y) % 7));
  HPALETTE p = MakeBitmapPalette(*few, 256, 8, false);
  auto entries = Entries(p);
  ASSERT_EQ(entries.size(), distinct.size());
  std::set<uint32_t> got;
  for (auto& e : entries) got.insert(static_cast<uint32_t>(e.peRed << 16 | e.peGreen << 8 | e.peBlue));
  EXPECT_EQ(got, distinct);
  DeleteObject(p);

  auto many = MakeBitmap(64, 64, [](int x, int y) { return TRGB{x * 4, y * 4, (x + y) * 2}; });
  for (int colors : {2, 16, 256}) {
    TColorQuantizer q(colors, 8);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) q.AddColor(static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 4), static_cast<uint8_t>((x + y) * 2));
    EXPECT_LE(q.LeafCount(), colors);
    std::vector<RGBQUAD> table;
    q.ReadPalette(table);
    EXPECT_EQ(static_cast<int>(table.size()), q.LeafCount());
  }
  // Even a one-colour budget ends: the tree merges up to its root.
  TColorQuantizer one(1, 8);
  one.AddColor(0, 0, 0);
  one.AddColor(255, 255, 255);
  EXPECT_EQ(one.LeafCount(), 1);
}

TEST(GifReduce, SystemColoursFrameTheOctreePalette) {
  auto bmp = MakeBitmap(30, 30, [](int x, int y) { return TRGB{x * 8, y * 8, 77}; });
  HPALETTE p = MakeBitmapPalette(*bmp, 256, 8, true);
  auto entries = Entries(p), system = Entries(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
  ASSERT_EQ(entries.size(), 256u);
  ASSERT_EQ(system.size(), 20u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(entries[static_cast<size_t>(i)].peRed, system[static_cast<size_t>(i)].peRed);
    EXPECT_EQ(entries[static_cast<size_t>(246 + i)].peBlue, system[static_cast<size_t>(10 + i)].peBlue);
  }
  DeleteObject(p);
}

TEST(GifReduce, EveryMethodAndDithererGivesAValidPaletteImage) {
  // More than 256 colours.
  auto bmp = MakeBitmap(37, 23, [](int x, int y) { return TRGB{x * 7, y * 11, (x * y) & 255}; });
  HPALETTE custom = PaletteOf({{0, 0, 0}, {255, 255, 255}, {255, 0, 0}});
  for (int method = 1; method <= 9; ++method)
    for (int dither = 0; dither <= 6; ++dither) {
      SCOPED_TRACE(std::to_string(method) + "/" + std::to_string(dither));
      auto out = ReduceToPalette(*bmp, method, dither, 4, custom);
      ASSERT_FALSE(out->Empty());
      EXPECT_EQ(out->PixelFormat(), pf8bit);
      ASSERT_EQ(out->Width(), 37);
      ASSERT_EQ(out->Height(), 23);
      size_t count = Entries(out->Palette()).size();
      ASSERT_GT(count, 0u);
      if (method == 7) {
        EXPECT_LE(count, 16u);
      }
      if (method == 9) {
        EXPECT_EQ(count, 3u);
      }
      for (int y = 0; y < 23; ++y) {
        auto* row = static_cast<uint8_t*>(out->ScanLine(y));
        for (int x = 0; x < 37; ++x) ASSERT_LT(row[x], count);
      }
    }
  DeleteObject(custom);
  // The caller's bitmap is left as it was.
  EXPECT_EQ(bmp->PixelFormat(), pf24bit);
}

TEST(GifReduce, EdgesOfTheArguments) {
  auto bmp = MakeBitmap(5, 4, [](int x, int y) { return TRGB{x * 50, y * 60, 9}; });
  auto copy = ReduceToPalette(*bmp, ReduceNone, 0, 8, nullptr);
  EXPECT_EQ(copy->PixelFormat(), pf24bit);
  EXPECT_EQ(static_cast<uint8_t*>(copy->ScanLine(3))[4 * 3 + 2], 200);
  EXPECT_TRUE(ReduceToPalette(*bmp, 10, 0, 8, nullptr)->Empty());
  EXPECT_TRUE(ReduceToPalette(*bmp, ReduceWebCube, 7, 8, nullptr)->Empty());
  EXPECT_TRUE(ReduceToPalette(*bmp, ReduceCustomPalette, 0, 8, nullptr)->Empty());
  // Depths outside 1..8 are held to that range.
  EXPECT_LE(Entries(ReduceToPalette(*bmp, ReduceOctree, 0, 0, nullptr)->Palette()).size(), 2u);
  EXPECT_EQ(Entries(ReduceToPalette(*bmp, ReduceOctree, 0, 40, nullptr)->Palette()).size(), 20u);
  // Large pictures take the small-bitmap path first; the result is whole all the same.
  auto large = MakeBitmap(1000, 520, [](int x, int y) { return TRGB{x & 255, y & 255, 128}; });
  auto reduced = ReduceToPalette(*large, ReduceWebCube, DitherNearest, 8, nullptr);
  ASSERT_EQ(reduced->PixelFormat(), pf8bit);
  EXPECT_EQ(reduced->Width(), 1000);
  EXPECT_EQ(static_cast<uint8_t*>(reduced->ScanLine(519))[999], 36 * ((999 % 256 + 3) / 51) + 6 * ((519 % 256 + 3) / 51) + (128 + 3) / 51);
  // Grey ramp through the 256 greys keeps each grey exactly.
  auto ramp = MakeBitmap(256, 1, [](int x, int) { return TRGB{x, x, x}; });
  auto grey = ReduceToPalette(*ramp, ReduceGray256, 0, 8, nullptr);
  for (int x = 0; x < 256; ++x) EXPECT_EQ(static_cast<uint8_t*>(grey->ScanLine(0))[x], x);
}

}  // namespace
