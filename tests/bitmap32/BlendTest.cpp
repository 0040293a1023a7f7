#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32System.h"

namespace {
const TBlendRoutines& P = PlainBlendRoutines;
const TBlendRoutines& S = SSE2BlendRoutines;
const TBlendRoutines A = OverlayBlendRoutines(SSE2BlendRoutines, AVX2BlendRoutines);
const TBlendRoutines W = OverlayBlendRoutines(A, AVX512BlendRoutines);

// Colours weighted towards the values where the shortcuts and rounding bite.
TColor32 RandomColor(std::mt19937& rng) {
  static const uint8_t special[] = {0, 1, 127, 128, 129, 254, 255};
  TColor32 c = 0;
  for (int i = 0; i < 4; ++i) {
    uint32_t r = rng();
    uint8_t v = (r & 3) == 0 ? special[(r >> 2) % 7] : static_cast<uint8_t>(r >> 8);
    c |= static_cast<TColor32>(v) << (8 * i);
  }
  return c;
}
}  // namespace

TEST(BlendPlain, EdgeValues) {
  EXPECT_EQ(P.CombinePixel(0x12345678, 0x9ABCDEF0, 0), 0x9ABCDEF0u);
  EXPECT_EQ(P.CombinePixel(0x12345678, 0x9ABCDEF0, 255), 0x12345678u);
  EXPECT_EQ(P.CombinePixel(0xFFFFFFFF, 0x00000000, 128), 0x80808080u);
  EXPECT_EQ(P.CombinePixel(0x12345678, 0x9ABCDEF0, 0x10000), 0x9ABCDEF0u);  // the zero test reads 16 bits
  EXPECT_EQ(P.BlendPixel(0x00FFFFFF, 0x80123456), 0x80123456u);
  EXPECT_EQ(P.BlendPixel(0xFF654321, 0x80123456), 0xFF654321u);
  // Master alpha: the alpha byte of the result is 0; 0 keeps the background.
  EXPECT_EQ(P.BlendPixelMaster(0xFFFFFFFF, 0xFF000000, 255), 0x00FEFEFEu);  // no shortcut at 255
  EXPECT_EQ(P.BlendPixelMaster(0xFFFFFFFF, 0xFF000000, 0), 0xFF000000u);
  EXPECT_EQ(P.AddColor32(0xFF808080, 0xFF808080), 0xFFFFFFFFu);
  EXPECT_EQ(P.SubtractColor32(0x00000000, 0xFFFFFFFF), 0u);
  EXPECT_EQ(P.DivideColor32(0x00FF0080, 0x10203040), 0xFF20FF80u);
  EXPECT_EQ(P.ModulateColor32(0xFFFF8000, 0xFF80FFFF), 0xFE7F7F00u);
  EXPECT_EQ(P.MaxColor32(0x10F020E0, 0xE020F010), 0xE0F0F0E0u);
  EXPECT_EQ(P.MinColor32(0x10F020E0, 0xE020F010), 0x10202010u);
  EXPECT_EQ(P.DifferenceColor32(0x10F020E0, 0xE020F010), 0xD0D0D0D0u);
  EXPECT_EQ(P.AverageColor32(0x01030507, 0x00000000), 0x00010203u);
  EXPECT_EQ(P.ExclusionColor32(0xFF00FF80, 0xFFFF0080), 0x02FFFF80u);
  EXPECT_EQ(P.ScaleColor32(0x80FF4000, 512), 0xFFFF8000u);
}

TEST(BlendPlain, MergeComposesAlpha) {
  // Over a clear background the foreground stays as it is.
  EXPECT_EQ(P.MergePixel(0x80FF0000, 0x00123456), 0x80FF0000u);
  // Over an opaque one the result is opaque.
  EXPECT_EQ(P.MergePixel(0x80FF0000, 0xFF0000FF) >> 24, 0xFFu);
  EXPECT_EQ(P.MergePixel(0x00FF0000, 0x40112233), 0x40112233u);
  EXPECT_EQ(P.MergePixel(0xFF0000FF, 0x40112233), 0xFF0000FFu);
  // Two half-covered layers: 0x80 + 0x80 - 0x80 * 0x80 / 255 = 0xC0.
  TColor32 m = P.MergePixel(0x80FFFFFF, 0x80000000);
  EXPECT_EQ(m >> 24, 0xC0u);
  EXPECT_EQ(m & 0xFF, 0xAAu);  // 128 * 255 / 192: the colour undone from the composed alpha
}

TEST(BlendPlain, MasterAlphaPast255IsClampedWhereTablesAreRead) {
  // 1000 would index the merge table out of bounds.
  EXPECT_EQ(P.MergePixelMaster(0x80FFFFFF, 0x80000000, 1000), P.MergePixelMaster(0x80FFFFFF, 0x80000000, 255));
  EXPECT_EQ(P.BlendPixelMaster(0x80FFFFFF, 0x80000000, 1000), P.BlendPixelMaster(0x80FFFFFF, 0x80000000, 255));
}

TEST(BlendTables, ValuesAndRounding) {
  EXPECT_EQ(MultiplyTable[255 * 256 + 255], 255);
  EXPECT_EQ(MultiplyTable[128 * 256 + 255], 128);
  EXPECT_EQ(MultiplyTable[1 * 256 + 128], 1);      // 0.50196.. rounds up
  EXPECT_EQ(MultiplyTable[3 * 256 + 85], 1);       // exactly 1
  EXPECT_EQ(DivideTable[0 * 256 + 77], 0);
  EXPECT_EQ(DivideTable[2 * 256 + 1], 128);        // 127.5 ties to even
  EXPECT_EQ(DivideTable[1 * 256 + 2], 510 & 0xFF); // only the low byte is kept
}

TEST(BlendForms, FastFormsChosenAtStart) {
  EXPECT_TRUE(BlendFastFormsUsed());
  EXPECT_EQ(CombinePixel, S.CombinePixel);
  EXPECT_EQ(MergePixel, P.MergePixel);
  EXPECT_EQ(DivideColor32, P.DivideColor32);
  EXPECT_EQ(BlendPixelRunByMode[cmMerge], MergePixelRun);
  EXPECT_EQ(BlendPixelRun, CPUHasAVX2() ? A.BlendPixelRun : S.BlendPixelRun);
}

TEST(BlendForms, CombineAgreesOnEveryWeightAndChannelPair) {
  // Exhaustive in channel value and weight: the same byte in all four lanes.
  for (uint32_t w = 0; w < 256; ++w)
    for (uint32_t x = 0; x < 256; x += 3)
      for (uint32_t y = 0; y < 256; ++y) {
        TColor32 cx = x * 0x01010101u, cy = y * 0x01010101u;
        ASSERT_EQ(P.CombinePixel(cx, cy, w), S.CombinePixel(cx, cy, w)) << x << " " << y << " " << w;
      }
}

TEST(BlendForms, RegisterFormsAgreeOnRandomColours) {
  std::mt19937 rng(7);
  for (int i = 0; i < 200000; ++i) {
    TColor32 a = RandomColor(rng), b = RandomColor(rng);
    uint32_t w = rng() % 256, m = rng() % 300;
    ASSERT_EQ(P.CombinePixel(a, b, w), S.CombinePixel(a, b, w));
    ASSERT_EQ(P.BlendPixel(a, b), S.BlendPixel(a, b)) << std::hex << a << " " << b;
    ASSERT_EQ(P.BlendPixelMaster(a, b, m), S.BlendPixelMaster(a, b, m)) << std::hex << a << " " << b << " " << m;
    TColor32 p1 = b, s1 = b;
    P.CombinePixelInto(a, p1, w);
    S.CombinePixelInto(a, s1, w);
    ASSERT_EQ(p1, s1);
    p1 = s1 = b;
    P.BlendPixelInto(a, p1);
    S.BlendPixelInto(a, s1);
    ASSERT_EQ(p1, s1);
    p1 = s1 = b;
    P.BlendPixelIntoMaster(a, p1, m);
    S.BlendPixelIntoMaster(a, s1, m);
    ASSERT_EQ(p1, s1);
    ASSERT_EQ(P.AddColor32(a, b), S.AddColor32(a, b));
    ASSERT_EQ(P.SubtractColor32(a, b), S.SubtractColor32(a, b));
    ASSERT_EQ(P.ModulateColor32(a, b), S.ModulateColor32(a, b));
    ASSERT_EQ(P.MaxColor32(a, b), S.MaxColor32(a, b));
    ASSERT_EQ(P.MinColor32(a, b), S.MinColor32(a, b));
    ASSERT_EQ(P.DifferenceColor32(a, b), S.DifferenceColor32(a, b));
    ASSERT_EQ(P.AverageColor32(a, b), S.AverageColor32(a, b)) << std::hex << a << " " << b;
    ASSERT_EQ(P.ExclusionColor32(a, b), S.ExclusionColor32(a, b)) << std::hex << a << " " << b;
    uint32_t sw = rng() % 600;
    ASSERT_EQ(P.ScaleColor32(a, sw), S.ScaleColor32(a, sw));
  }
}

TEST(BlendForms, LineFormsAgreeOnRandomRuns) {
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    int n = static_cast<int>(rng() % 43) - 2;  // includes counts <= 0
    std::vector<TColor32> src(40), dst(40);
    for (auto& c : src) c = RandomColor(rng);
    for (auto& c : dst) c = RandomColor(rng);
    // Runs of one alpha reach the whole-group shortcuts.
    if (round % 3 == 0)
      for (auto& c : src) c |= 0xFF000000u;
    if (round % 3 == 1)
      for (int i = 0; i < 8; ++i) src[i] &= 0x00FFFFFF;
    uint32_t w = rng() % 256, m = rng() % 256;
    auto check = [&](auto plain, auto fast, auto... extra) {
      auto a = dst, b = dst;
      plain(src.data(), a.data(), n, extra...);
      fast(src.data(), b.data(), n, extra...);
      ASSERT_EQ(a, b) << "round " << round;
    };
    check(P.BlendPixelRun, S.BlendPixelRun);
    check(P.BlendPixelRunMaster, S.BlendPixelRunMaster, m);
    check(P.CombinePixelRun, S.CombinePixelRun, w);
    check(P.CombinePixelRun, S.CombinePixelRun, 0u);
    check(P.CombinePixelRun, S.CombinePixelRun, 255u);
    if (!CPUHasAVX2()) continue;
    check(P.BlendPixelRun, A.BlendPixelRun);
    check(P.BlendPixelRunMaster, A.BlendPixelRunMaster, m);
    check(P.CombinePixelRun, A.CombinePixelRun, w);
    check(P.MergePixelRun, A.MergePixelRun);
    check(P.MergePixelRunMaster, A.MergePixelRunMaster, m);
    check(P.MergePixelRunMaster, A.MergePixelRunMaster, 700u);
    if (!CPUHasAVX512VBMI()) continue;
    check(P.MergePixelRun, W.MergePixelRun);
    check(P.MergePixelRunMaster, W.MergePixelRunMaster, m);
    check(P.MergePixelRunMaster, W.MergePixelRunMaster, 700u);
  }
}

// Every pair of alphas, each with colours weighted towards the edges, through
// the 8- and 16-pixel merges: the float division must land on the table's
// every entry, ties included.
TEST(BlendForms, WideMergeAgreesOnEveryAlphaPair) {
  if (!CPUHasAVX2()) GTEST_SKIP() << "no AVX2 forms on this processor";
  std::mt19937 rng(13);
  std::vector<TColor32> src(65536), dst(65536);
  for (int round = 0; round < 8; ++round) {
    for (uint32_t i = 0; i < 65536; ++i) {
      src[i] = (i >> 8) << 24 | (RandomColor(rng) & 0x00FFFFFF);
      dst[i] = (i & 0xFF) << 24 | (RandomColor(rng) & 0x00FFFFFF);
    }
    auto a = dst, b = dst, c = dst;
    P.MergePixelRun(src.data(), a.data(), 65536);
    A.MergePixelRun(src.data(), b.data(), 65536);
    ASSERT_EQ(a, b) << "round " << round;
    if (!CPUHasAVX512VBMI()) continue;
    W.MergePixelRun(src.data(), c.data(), 65536);
    ASSERT_EQ(a, c) << "round " << round;
  }
}
