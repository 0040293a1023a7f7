// Functions bound by name, and layered windows with an image or an opacity.
#include "WindowTestUtil.h"

namespace {

class ModulesTest : public PlatformTest {};

TEST_F(ModulesTest, User32AnswersFromOurTableAndATestCanUnbind) {
  HMODULE user32 = GetModuleHandleA("User32.dll");
  ASSERT_NE(user32, nullptr);
  EXPECT_EQ(GetModuleHandleA("user32"), user32);
  EXPECT_EQ(GetModuleHandleA("C:\\Windows\\System32\\USER32.DLL"), user32);
  EXPECT_EQ(GetModuleHandleA("uxtheme.dll"), nullptr);
  EXPECT_EQ(LoadLibraryA("uxtheme.dll"), nullptr);
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
  auto ulw = reinterpret_cast<PFN_UpdateLayeredWindow>(GetProcAddress(user32, "UpdateLayeredWindow"));
  EXPECT_EQ(ulw, &UpdateLayeredWindow);
  EXPECT_NE(GetProcAddress(user32, "AnimateWindow"), nullptr);
  EXPECT_NE(GetProcAddress(user32, "SetLayeredWindowAttributes"), nullptr);
  EXPECT_EQ(GetProcAddress(user32, "updatelayeredwindow"), nullptr);  // names are exact
  EXPECT_EQ(GetProcAddress(user32, "NoSuchFunction"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "UpdateLayeredWindow"), nullptr);
  SetModuleExport("User32.dll", "UpdateLayeredWindow", nullptr);
  EXPECT_EQ(GetProcAddress(user32, "UpdateLayeredWindow"), nullptr);
  EXPECT_NE(GetProcAddress(user32, "AnimateWindow"), nullptr);
  ResetModuleExports();
  EXPECT_NE(GetProcAddress(user32, "UpdateLayeredWindow"), nullptr);
  char path[512];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::string(path).find("platform_tests"), std::string(path).size() - std::string("platform_tests").size());
  char small[4];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 3u);  // cut, still terminated
  EXPECT_EQ(small[3], 0);
}

class LayeredTest : public PlatformTest {
 protected:
  HDC Mem = nullptr;
  HBITMAP Bitmap = nullptr;
  HGDIOBJ Old = nullptr;
  uint32_t* Bits = nullptr;

  // A 32-bit top-down image of w x h filled with one premultiplied pixel.
  void MakeImage(int w, int h, uint32_t pixel) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    Mem = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    Bitmap = CreateDIBSection(Mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(Bitmap, nullptr);
    Old = SelectObject(Mem, Bitmap);
    Bits = static_cast<uint32_t*>(bits);
    for (int i = 0; i < w * h; ++i) Bits[i] = pixel;
  }
  void TearDown() override {
    if (Mem) {
      SelectObject(Mem, Old);
      DeleteObject(Bitmap);
      DeleteDC(Mem);
    }
    PlatformTest::TearDown();
  }
  BOOL Update(HWND h, int w, int ht, BYTE alpha) {
    SIZE size{w, ht};
    POINT src{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    return UpdateLayeredWindow(h, nullptr, nullptr, &size, Mem, &src, 0, &blend, ULW_ALPHA);
  }
};

TEST_F(LayeredTest, TheWindowTakesTheImageAndItsSize) {
  HWND card = MakeTop(100, 100, 280, 170, WS_POPUP, WS_EX_LAYERED | WS_EX_TOPMOST);
  MakeImage(40, 30, 0x80402010u);
  MessageLog().clear();
  ASSERT_TRUE(Update(card, 40, 30, 255));
  RECT r;
  GetWindowRect(card, &r);
  EXPECT_EQ(r.left, 100);  // no destination point: the window stays
  EXPECT_EQ(r.right - r.left, 40);
  EXPECT_EQ(r.bottom - r.top, 30);
  EXPECT_EQ(Logged(WM_WINDOWPOSCHANGED, card).size(), 1u);
  EXPECT_EQ(HeadlessPixel(card, 39, 29), 0x80402010u);
  // No WM_PAINT for a window that shows its image.
  ShowWindow(card, SW_SHOWNORMAL);
  HeadlessPumpMessages();
  EXPECT_TRUE(Logged(WM_PAINT, card).empty());
  // An opacity alone keeps the image.
  BLENDFUNCTION half{AC_SRC_OVER, 0, 99, 0};
  ASSERT_TRUE(UpdateLayeredWindow(card, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &half, ULW_ALPHA));
  BYTE alpha = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(card, nullptr, &alpha, nullptr));
  EXPECT_EQ(alpha, 99);
  EXPECT_EQ(HeadlessPixel(card, 0, 0), 0x80402010u);
  // Hidden, it keeps image and opacity.
  ShowWindow(card, SW_HIDE);
  ShowWindow(card, SW_SHOWNA);
  GetLayeredWindowAttributes(card, nullptr, &alpha, nullptr);
  EXPECT_EQ(alpha, 99);
  EXPECT_EQ(HeadlessPixel(card, 20, 20), 0x80402010u);
}

TEST_F(LayeredTest, RefusedUpdates) {
  HWND plain = MakeTop(0, 0, 50, 50);
  HWND card = MakeTop(0, 0, 50, 50, WS_POPUP, WS_EX_LAYERED);
  MakeImage(10, 10, 0xFF000000u);
  EXPECT_FALSE(Update(plain, 10, 10, 255));  // not layered
  RECT r;
  GetWindowRect(plain, &r);
  EXPECT_EQ(r.right, 50);
  SIZE zero{0, 10};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  EXPECT_FALSE(UpdateLayeredWindow(card, nullptr, nullptr, &zero, Mem, nullptr, 0, &blend, ULW_ALPHA));
  EXPECT_FALSE(UpdateLayeredWindow(card, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, ULW_ALPHA));
  HWND dead = MakeTop(0, 0, 5, 5, WS_POPUP, WS_EX_LAYERED);
  DestroyWindow(dead);
  EXPECT_FALSE(Update(dead, 10, 10, 255));
  // Setting the style later makes a window layered.
  SetWindowLongPtrA(plain, GWL_EXSTYLE, GetWindowLongPtrA(plain, GWL_EXSTYLE) | WS_EX_LAYERED);
  EXPECT_TRUE(Update(plain, 10, 10, 255));
}

TEST_F(LayeredTest, AnimateWindowShowsAndHides) {
  HWND h = MakeTop(0, 0, 10, 10);
  EXPECT_TRUE(AnimateWindow(h, 200, AW_BLEND | AW_ACTIVATE));
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_FALSE(AnimateWindow(h, 200, AW_BLEND));  // already shown
  EXPECT_TRUE(AnimateWindow(h, 200, AW_BLEND | AW_HIDE));
  EXPECT_FALSE(IsWindowVisible(h));
}

TEST_F(LayeredTest, ForegroundAnswersAnotherProgramsWindow) {
  HWND h = MakeTop(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(GetForegroundWindow(), h);
  HeadlessSetForeignForeground(RECT{0, 0, 1280, 1024});
  HWND other = GetForegroundWindow();
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, h);
  EXPECT_NE(other, GetDesktopWindow());
  RECT c;
  ASSERT_TRUE(GetClientRect(other, &c));
  EXPECT_EQ(c.right, 1280);
  EXPECT_EQ(c.bottom, 1024);
  EXPECT_EQ(GetActiveWindow(), nullptr);
  SetForegroundWindow(h);
  EXPECT_EQ(GetForegroundWindow(), h);
}

}  // namespace
