// The card's layered-window routines: premultiplying, handing a bitmap to a
// window, constant opacity and fades on the virtual clock.
#include <gtest/gtest.h>

#include <vector>

#include "classlib/Graphics.h"
#include "common/DrawUtils.h"
#include "common/WindowUtils.h"
#include "platform/Windows.h"
#include "platform/drivers/headless/Headless.h"

namespace {

struct TFrame {
  BYTE Alpha;
  DWORD Tick;
  bool Image;
};

std::vector<TFrame>& Frames() {
  static std::vector<TFrame> frames;
  return frames;
}

// Stands in for the bound function: records each call, then does it.
BOOL RecordingUpdate(HWND hwnd, HDC dst, POINT* dstPoint, SIZE* size, HDC src, POINT* srcPoint, COLORREF key,
                     BLENDFUNCTION* blend, DWORD flags) {
  Frames().push_back({blend ? blend->SourceConstantAlpha : BYTE{0}, GetTickCount(), src != nullptr});
  return UpdateLayeredWindow(hwnd, dst, dstPoint, size, src, srcPoint, key, blend, flags);
}

class LayeredRoutinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseVirtualClock(true);
    ResetPlatformForTests();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "HkLayeredRoutines";
    RegisterClassA(&wc);
    InitializeWindowUtils();
    SetModuleExport("User32.dll", "UpdateLayeredWindow", reinterpret_cast<FARPROC>(&RecordingUpdate));
    BindLayeredWindowFunctions();
    Frames().clear();
  }
  void TearDown() override {
    ResetModuleExports();
    BindLayeredWindowFunctions();
    ResetPlatformForTests();
  }
  static HWND Make(DWORD style = WS_POPUP, DWORD ex = WS_EX_TOPMOST) {
    return CreateWindowExA(ex, "HkLayeredRoutines", "", style, 50, 60, 100, 80, nullptr, nullptr, nullptr, nullptr);
  }
  static BYTE Opacity(HWND h) {
    BYTE a = 0;
    GetLayeredWindowAttributes(h, nullptr, &a, nullptr);
    return a;
  }
  static std::unique_ptr<TBitmap> Bitmap32(int w, int h, uint32_t pixel) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf32bit);
    b->SetSize(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) static_cast<uint32_t*>(b->ScanLine(y))[x] = pixel;
    return b;
  }
};

TEST(PremultiplyAlphaTest, RoundsEachChannelAndKeepsAlpha) {
  struct {
    uint32_t in, out;
  } cases[] = {
      {0x800180FFu, 0x80014080u},  // blue 255, green 128, red 1 at alpha 128
      {0x00FFFFFFu, 0x00000000u},  // transparent becomes black
      {0xFF123456u, 0xFF123456u},  // opaque unchanged
      {0x01FFFFFFu, 0x01010101u},  // 255 * 1 / 255
      {0x7F030303u, 0x7F010101u},  // 381 / 255 = 1.49 rounds down
      {0x80030303u, 0x80020202u},  // 384 / 255 = 1.51 rounds up
  };
  for (auto& c : cases) {
    TBitmap b;
    b.SetPixelFormat(pf32bit);
    b.SetSize(3, 2);
    static_cast<uint32_t*>(b.ScanLine(1))[2] = c.in;
    static_cast<uint32_t*>(b.ScanLine(0))[0] = c.in;
    PremultiplyAlpha(b);
    EXPECT_EQ(static_cast<uint32_t*>(b.ScanLine(1))[2], c.out) << std::hex << c.in;
    EXPECT_EQ(static_cast<uint32_t*>(b.ScanLine(0))[0], c.out) << std::hex << c.in;
  }
}

TEST(PremultiplyAlphaTest, OneRowAndOtherFormats) {
  TBitmap row;
  row.SetPixelFormat(pf32bit);
  row.SetSize(2, 1);
  static_cast<uint32_t*>(row.ScanLine(0))[1] = 0x80FFFFFFu;
  PremultiplyAlpha(row);
  EXPECT_EQ(static_cast<uint32_t*>(row.ScanLine(0))[1], 0x80808080u);
  TBitmap rgb;
  rgb.SetPixelFormat(pf24bit);
  rgb.SetSize(2, 2);
  static_cast<uint8_t*>(rgb.ScanLine(0))[0] = 200;
  PremultiplyAlpha(rgb);  // no alpha to multiply by
  EXPECT_EQ(static_cast<uint8_t*>(rgb.ScanLine(0))[0], 200);
}

TEST_F(LayeredRoutinesTest, WindowTakesAPremultipliedCopy) {
  HWND h = Make();
  auto b = Bitmap32(30, 20, 0x800180FFu);
  static_cast<uint32_t*>(b->ScanLine(19))[29] = 0x00FFFFFFu;
  ASSERT_TRUE(UpdateLayeredWindowFromBitmap(h, *b));
  EXPECT_NE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 60);
  EXPECT_EQ(r.right - r.left, 30);
  EXPECT_EQ(r.bottom - r.top, 20);
  EXPECT_EQ(HeadlessPixel(h, 0, 0), 0x80014080u);
  EXPECT_EQ(HeadlessPixel(h, 29, 19), 0u);
  EXPECT_EQ(static_cast<uint32_t*>(b->ScanLine(0))[0], 0x800180FFu);  // caller's pixels untouched
  ASSERT_EQ(Frames().size(), 1u);
  EXPECT_EQ(Frames()[0].Alpha, 255);
}

TEST_F(LayeredRoutinesTest, RefusedImages) {
  HWND h = Make(WS_POPUP, 0);
  TBitmap rgb;
  rgb.SetPixelFormat(pf24bit);
  rgb.SetSize(10, 10);
  EXPECT_FALSE(UpdateLayeredWindowFromBitmap(h, rgb));
  EXPECT_EQ(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);  // style untouched
  auto b = Bitmap32(10, 10, 0xFF000000u);
  EXPECT_FALSE(UpdateLayeredWindowFromBitmap(nullptr, *b));
  HWND dead = Make();
  DestroyWindow(dead);
  EXPECT_FALSE(UpdateLayeredWindowFromBitmap(dead, *b));
  SetModuleExport("User32.dll", "UpdateLayeredWindow", nullptr);
  BindLayeredWindowFunctions();
  EXPECT_FALSE(UpdateLayeredWindowFromBitmap(h, *b));
  EXPECT_EQ(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  EXPECT_TRUE(Frames().empty());
}

TEST_F(LayeredRoutinesTest, ConstantAlphaIsClampedAndKeepsTheImage) {
  HWND h = Make();
  auto b = Bitmap32(4, 4, 0xFFFFFFFFu);
  ASSERT_TRUE(UpdateLayeredWindowFromBitmap(h, *b));
  for (auto [in, out] : {std::pair{300, 255}, {-5, 0}, {77, 77}}) {
    SetLayeredWindowAlpha(h, in);
    EXPECT_EQ(Opacity(h), out) << in;
  }
  EXPECT_EQ(HeadlessPixel(h, 1, 1), 0xFFFFFFFFu);
}

TEST_F(LayeredRoutinesTest, FadeInEndsOneBelowAlphaWithoutTakingTheFocus) {
  HWND other = Make(WS_POPUP | WS_VISIBLE, 0);
  SetActiveWindow(other);
  SetFocus(other);
  HWND h = Make();
  const DWORD start = GetTickCount();
  FadeLayeredWindow(h, 100, 200, true);
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_EQ(Opacity(h), 99);
  EXPECT_GE(GetTickCount() - start, 200u);  // the thread was held for the fade
  EXPECT_LT(GetTickCount() - start, 260u);
  ASSERT_GE(Frames().size(), 3u);
  EXPECT_EQ(Frames().front().Alpha, 0);
  for (size_t i = 1; i < Frames().size(); ++i) {
    EXPECT_GE(Frames()[i].Alpha, Frames()[i - 1].Alpha);
    EXPECT_LE(Frames()[i].Alpha, 99);
  }
  EXPECT_LE(Frames().size(), 200u / 5);  // paced, not spun
  EXPECT_EQ(GetActiveWindow(), other);
  EXPECT_EQ(GetFocus(), other);
}

TEST_F(LayeredRoutinesTest, FadeOutEndsHidden) {
  HWND h = Make(WS_POPUP | WS_VISIBLE);
  FadeLayeredWindow(h, 100, 200, false);
  EXPECT_FALSE(IsWindowVisible(h));
  ASSERT_GE(Frames().size(), 2u);
  EXPECT_EQ(Frames().front().Alpha, 98);
  EXPECT_EQ(Frames().back().Alpha, 0);
  for (size_t i = 1; i < Frames().size(); ++i) {
    EXPECT_LE(Frames()[i].Alpha, 99);
    if (i > 1) {
      EXPECT_LE(Frames()[i].Alpha, Frames()[i - 1].Alpha);
    }
  }
}

TEST_F(LayeredRoutinesTest, LowAndHighAlphaStayInRange) {
  for (int alpha : {0, 1, -40}) {
    Frames().clear();
    HWND h = Make();
    FadeLayeredWindow(h, alpha, 200, true);
    for (auto& f : Frames()) EXPECT_EQ(f.Alpha, 0) << alpha;
    FadeLayeredWindow(h, alpha, 200, false);
    for (auto& f : Frames()) EXPECT_EQ(f.Alpha, 0) << alpha;
  }
  Frames().clear();
  HWND h = Make();
  FadeLayeredWindow(h, 9999, 200, true);
  EXPECT_EQ(Opacity(h), 254);
  for (auto& f : Frames()) EXPECT_LE(f.Alpha, 254);
}

TEST_F(LayeredRoutinesTest, TickCounterWrappingDuringAFade) {
  SetVirtualClock((uint64_t{1} << 32) - 50);  // wraps 50 ms into the fade
  const uint64_t before = ClockNowMs();
  HWND h = Make();
  FadeLayeredWindow(h, 200, 200, true);
  EXPECT_GE(ClockNowMs() - before, 200u);  // not ended at once
  EXPECT_LT(ClockNowMs() - before, 260u);  // nor held for days
  EXPECT_EQ(Opacity(h), 199);
  bool wrapped = false;
  for (size_t i = 1; i < Frames().size(); ++i) {
    wrapped = wrapped || Frames()[i].Tick < Frames()[i - 1].Tick;
    EXPECT_GE(Frames()[i].Alpha, Frames()[i - 1].Alpha);
  }
  EXPECT_TRUE(wrapped);
  Frames().clear();
  SetVirtualClock((uint64_t{2} << 32) - 20);
  FadeLayeredWindow(h, 200, 200, false);
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_EQ(Frames().back().Alpha, 0);
}

TEST_F(LayeredRoutinesTest, WithoutTheBoundFunctionAFadeJustShowsOrHides) {
  SetModuleExport("User32.dll", "UpdateLayeredWindow", nullptr);
  BindLayeredWindowFunctions();
  HWND h = Make();
  const DWORD start = GetTickCount();
  FadeLayeredWindow(h, 100, 200, true);
  EXPECT_TRUE(IsWindowVisible(h));
  FadeLayeredWindow(h, 100, 200, false);
  EXPECT_FALSE(IsWindowVisible(h));
  SetLayeredWindowAlpha(h, 50);  // nothing to call: no crash, nothing set
  EXPECT_EQ(GetTickCount(), start);
}

}  // namespace
