#include <gtest/gtest.h>

#include <vector>

#include "bitmap32/Bitmap32Containers.h"
#include "bitmap32/Bitmap32LowLevel.h"
#include "bitmap32/Bitmap32Math.h"
#include "bitmap32/Bitmap32OrdinalMaps.h"
#include "bitmap32/Bitmap32System.h"
#include "bitmap32/Bitmap32Transforms.h"
#include "platform/Messages.h"

TEST(WrapFunctions, TableOfCases) {
  struct Case {
    TWrapProc f;
    int value, min, max, want;
  } cases[] = {
      {Clamp, -3, 0, 9, 0},   {Clamp, 12, 0, 9, 9},    {Clamp, 4, 0, 9, 4},    {Wrap, -1, 0, 9, 9},
      {Wrap, 10, 0, 9, 0},    {Wrap, -11, 0, 9, 9},    {Wrap, 25, 5, 9, 5},    {Mirror, 10, 0, 9, 9},
      {Mirror, -1, 0, 9, 0},  {Mirror, 20, 0, 9, 0},   {Mirror, -11, 0, 9, 9}, {Mirror, 3, 0, 9, 3},
      {Mirror, 12, 5, 9, 7},  {Wrap, 7, 7, 7, 7},
      // An empty range answers its minimum instead of dividing by zero.
      {Wrap, 3, 0, -1, 0},    {Mirror, 3, 0, -1, 0},
      // Far from the range the 32-bit differences would overflow.
      {Wrap, INT32_MIN, 0, INT32_MAX - 1, INT32_MAX - 1}, {Mirror, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(c.f(c.value, c.min, c.max), c.want) << c.value << " in " << c.min << ".." << c.max;
  EXPECT_EQ(WRAP_PROCS[wmClamp], Clamp);
  EXPECT_EQ(WRAP_PROCS[wmRepeat], Wrap);
  EXPECT_EQ(WRAP_PROCS[wmMirror], Mirror);
}

TEST(FixedPoint, RoundFixedRoundsHalvesDown) {
  EXPECT_EQ(RoundFixed(0x00008000), 0);
  EXPECT_EQ(RoundFixed(0x00008001), 1);
  EXPECT_EQ(RoundFixed(static_cast<TFixed>(0xFFFF8000)), -1);
  EXPECT_EQ(RoundFixed(INT32_MAX), 32768);
}

TEST(FillDwords, BothFormsWriteExactlyCountCells) {
  for (TFillDwords fill : {FillDwordsPlain, FillDwordsSSE2}) {
    for (int count : {-1, 0, 1, 3, 4, 5, 9}) {
      std::vector<uint32_t> cells(12, 7);
      fill(cells.data() + 1, count, 0xDEADBEEF);
      for (int i = 0; i < 12; ++i)
        EXPECT_EQ(cells[i], (i >= 1 && i <= count) ? 0xDEADBEEF : 7u) << "count " << count << " cell " << i;
    }
  }
}

TEST(MoveDwords, OverlapsInBothDirections) {
  std::vector<uint32_t> a = {1, 2, 3, 4, 5, 6};
  MoveDwords(a.data(), a.data() + 2, 4);
  EXPECT_EQ(a, (std::vector<uint32_t>{1, 2, 1, 2, 3, 4}));
  MoveDwords(a.data() + 2, a.data(), 4);
  EXPECT_EQ(a, (std::vector<uint32_t>{1, 2, 3, 4, 3, 4}));
}

namespace {
TCPUIDRegs gLeaf1, gExt1;
uint32_t gExtMax;
bool FakeCPUID(uint32_t leaf, TCPUIDRegs& r) {
  if (leaf == 1) r = gLeaf1;
  else if (leaf == 0x80000000u) r = {gExtMax, 0, 0, 0};
  else if (leaf == 0x80000001u) r = gExt1;
  else return false;
  return true;
}
struct FakeCPU {
  FakeCPU(uint32_t family, uint32_t edx1, uint32_t extMax, uint32_t extEdx) {
    gLeaf1 = {family << 8, 0, 0, edx1};
    gExtMax = extMax;
    gExt1 = {0, 0, 0, extEdx};
    CPUIDQuery = FakeCPUID;
  }
  ~FakeCPU() { CPUIDQuery = NativeCPUID; }
};
}  // namespace

TEST(CPUFeatures, ReadTheRegistersTheFeatureNames) {
  {
    // SSE alone implies the extended MMX instructions.
    FakeCPU cpu(6, 0x02800000, 0x80000000u, 0);
    EXPECT_TRUE(CPUHasFeature(cfMMX));
    EXPECT_TRUE(CPUHasFeature(cfExtMMX));
    EXPECT_TRUE(CPUHasFeature(cfSSE));
    EXPECT_FALSE(CPUHasFeature(cfSSE2));
    EXPECT_FALSE(CPUHasFeature(cf3DNow));  // no extended leaves
  }
  {
    FakeCPU cpu(5, 0x00800000, 0x80000001u, 0xC0400000);
    EXPECT_TRUE(CPUHasFeature(cfExtMMX));
    EXPECT_TRUE(CPUHas3DNow());
    EXPECT_TRUE(CPUHasFeature(cf3DNowExt));
  }
  {
    FakeCPU cpu(4, 0xFFFFFFFF, 0x80000001u, 0xFFFFFFFF);  // family below 5
    EXPECT_FALSE(CPUHasMMX());
  }
  // The real processor of this machine is x86-64: SSE2 is always there.
  EXPECT_TRUE(CPUHasFeature(cfSSE2));
  EXPECT_TRUE(CPUHasMMX());
}

namespace {
int gLoads, gFrees, gOpened, gClosed;
bool gMissingEnable;
BOOL FakeIsThemeActive() { return TRUE; }
BOOL FakeIsAppThemed() { return TRUE; }
HWND gOpenedFor;
HTHEME FakeOpen(HWND hwnd, const char16_t*) {
  gOpenedFor = hwnd; return reinterpret_cast<HTHEME>(static_cast<intptr_t>(++gOpened)); }
LONG FakeClose(HTHEME) {
  ++gClosed;
  return 0;
}
void FakeEnable() {}
HMODULE FakeLoad(const char*) {
  ++gLoads;
  return reinterpret_cast<HMODULE>(static_cast<intptr_t>(0x1234));
}
FARPROC FakeGetProc(HMODULE, const char* name) {
  std::string n = name;
  if (n == "OpenThemeData") return reinterpret_cast<FARPROC>(FakeOpen);
  if (n == "CloseThemeData") return reinterpret_cast<FARPROC>(FakeClose);
  if (n == "IsThemeActive") return reinterpret_cast<FARPROC>(FakeIsThemeActive);
  if (n == "IsAppThemed") return reinterpret_cast<FARPROC>(FakeIsAppThemed);
  if (n == "EnableTheming" && !gMissingEnable) return reinterpret_cast<FARPROC>(FakeEnable);
  return nullptr;
}
BOOL FakeFree(HMODULE) {
  ++gFrees;
  return TRUE;
}
}  // namespace

TEST(Themes, MissingLibraryLeavesThemesOff) {
  TThemeNexus nexus;
  EXPECT_FALSE(UseThemes);
  EXPECT_EQ(ScrollbarTheme, nullptr);
  EXPECT_FALSE(ThemeLibraryLoaded());
}

TEST(Themes, FakeLibraryOpensAndReopensOnStyleChange) {
  TThemeLibraryHooks saved = ThemeLibraryHooks;
  ThemeLibraryHooks = {FakeLoad, FakeGetProc, FakeFree};
  gLoads = gFrees = gOpened = gClosed = 0;
  gMissingEnable = false;
  {
    TThemeNexus nexus;
    EXPECT_TRUE(UseThemes);
    EXPECT_NE(ScrollbarTheme, nullptr);
    EXPECT_NE(GlobalsTheme, nullptr);
    EXPECT_EQ(gOpened, 2);
    EXPECT_EQ(gOpenedFor, nexus.Handle());
    ASSERT_NE(nexus.Handle(), nullptr);
    SendMessageA(nexus.Handle(), WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(gClosed, 2);
    EXPECT_EQ(gOpened, 4);
    EXPECT_EQ(gLoads, 2);
  }
  EXPECT_EQ(gClosed, 4);
  EXPECT_EQ(gFrees, 2);
  EXPECT_FALSE(ThemeLibraryLoaded());
  // A required entry point missing frees the library again.
  gMissingEnable = true;
  {
    TThemeNexus nexus;
    EXPECT_FALSE(UseThemes);
    EXPECT_FALSE(ThemeLibraryLoaded());
  }
  ThemeLibraryHooks = saved;
}

TEST(ClassList, FindsWholeNamesCaseSensitively) {
  using F = int (*)();
  static const TClassRef<F> a{"TNearestResampler", [] { return 1; }}, b{"TNearest", [] { return 2; }};
  TClassList<F> list;
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&b), 1);
  EXPECT_EQ(list.Find("TNearestResampler"), &a);
  EXPECT_EQ(list.Find("TNearest"), &b);
  EXPECT_EQ(list.Find("tnearestresampler"), nullptr);
  EXPECT_EQ(list.Find("TNearestRes"), nullptr);
}

TEST(IntegerMap, ResizeKeepsCellsInStorageOrder) {
  TIntegerMap map;
  EXPECT_TRUE(map.Empty());
  map.SetSize(2, 2);
  for (int i = 0; i < 4; ++i) *map.ValueAddress(i % 2, i / 2) = i + 1;
  map.SetSize(3, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(*map.ValueAddress(i % 3, i / 3), i < 4 ? i + 1 : 0) << i;
}

TEST(Transformation, BaseClassRaisesAfterPreparing) {
  struct Counting : TTransformation {
    int prepared = 0;
    void PrepareMapping() override { ++prepared; }
  };
  TTransformation t;
  float x, y;
  try {
    t.MapReverse(1.0f, 2.0f, x, y);
    FAIL();
  } catch (const ETransformNotImplemented& e) {
    EXPECT_STREQ(e.what(), "Reverse transformation is not implemented in TTransformation.");
  }
  int ix, iy;
  EXPECT_THROW(t.MapForward(1, 2, ix, iy), ETransformNotImplemented);
  Counting c;
  EXPECT_THROW(c.MapReverse(1, 2, ix, iy), ETransformNotImplemented);
  EXPECT_EQ(c.prepared, 1);
}
