// Invalidation and painting into the top-level window's surface.
#include "WindowTestUtil.h"

namespace {

// Colours as a surface holds them; GDI leaves the alpha byte to its callers.
constexpr uint32_t kWhite = 0xFFFFFFu;
uint32_t Pixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
uint32_t At(HWND h, int x, int y) { return HeadlessPixel(h, x, y) & 0xFFFFFFu; }

class PaintingTest : public PlatformTest {
 protected:
  // Paint handlers fill their whole client area with a colour of their own.
  std::map<HWND, COLORREF> Fill;
  void SetUp() override {
    PlatformTest::SetUp();
    MessageHook() = [this](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
      if (m != WM_PAINT || !Fill.count(h)) return false;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT c;
      GetClientRect(h, &c);
      HBRUSH b = CreateSolidBrush(Fill[h]);
      FillRect(dc, &c, b);
      DeleteObject(b);
      EndPaint(h, &ps);
      *r = 0;
      return true;
    };
  }
};

TEST_F(PaintingTest, PaintOnlyWhenInvalidAndVisible) {
  HWND h = MakeTop(0, 0, 40, 30);
  HeadlessPumpMessages();
  EXPECT_TRUE(Logged(WM_PAINT, h).empty());  // hidden
  ShowWindow(h, SW_SHOWNA);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_PAINT, h).size(), 1u);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_PAINT, h).size(), 1u);  // valid now
  RECT part{5, 5, 10, 10};
  InvalidateRect(h, &part, FALSE);
  InvalidateRect(h, &part, FALSE);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_PAINT, h).size(), 2u);  // invalidations merge into one paint
  EXPECT_TRUE(Logged(WM_ERASEBKGND, h).size() == 1u);  // only the first paint erased
}

TEST_F(PaintingTest, EraseFillsWithTheClassBackgroundAndPaintIsClipped) {
  HWND h = MakeTop(0, 0, 40, 30, WS_POPUP | WS_VISIBLE);
  HeadlessPumpMessages();
  EXPECT_EQ(At(h, 39, 29), Pixel(GetSysColor(COLOR_WINDOW)));
  Fill[h] = RGB(255, 0, 0);
  RECT part{10, 10, 20, 20};
  InvalidateRect(h, &part, FALSE);
  HeadlessPumpMessages();
  // The handler filled everything, but only the invalid part changed.
  EXPECT_EQ(At(h, 15, 15), Pixel(RGB(255, 0, 0)));
  EXPECT_EQ(At(h, 9, 15), kWhite);
  EXPECT_EQ(At(h, 20, 15), kWhite);
}

TEST_F(PaintingTest, ChildrenPaintAtTheirOffsetClippedByTheirParents) {
  HWND top = MakeTop(100, 100, 60, 60, WS_POPUP);
  HWND child = MakeChild(top, 10, 10, 30, 30);
  HWND grand = MakeChild(child, 20, 20, 30, 30);  // reaches past the child
  Fill[top] = RGB(0, 0, 255);
  Fill[child] = RGB(0, 255, 0);
  Fill[grand] = RGB(255, 0, 0);
  ShowWindow(top, SW_SHOWNA);
  HeadlessPumpMessages();
  // The parent painted first, then the children over it.
  EXPECT_LT(IndexOf(WM_PAINT, top), IndexOf(WM_PAINT, child));
  EXPECT_LT(IndexOf(WM_PAINT, child), IndexOf(WM_PAINT, grand));
  EXPECT_EQ(At(top, 5, 5), Pixel(RGB(0, 0, 255)));
  EXPECT_EQ(At(top, 15, 15), Pixel(RGB(0, 255, 0)));
  EXPECT_EQ(At(top, 35, 35), Pixel(RGB(255, 0, 0)));
  EXPECT_EQ(At(top, 45, 45), Pixel(RGB(0, 0, 255)));  // grand is clipped by child
  // A child's own pixels read back from its client area.
  EXPECT_EQ(At(child, 0, 0), Pixel(RGB(0, 255, 0)));
  // Hiding a child repaints what was under it.
  ShowWindow(child, SW_HIDE);
  HeadlessPumpMessages();
  EXPECT_EQ(At(top, 15, 15), Pixel(RGB(0, 0, 255)));
  EXPECT_EQ(At(top, 35, 35), Pixel(RGB(0, 0, 255)));
}

TEST_F(PaintingTest, UpdateWindowPaintsAtOnceAndValidateRectCancels) {
  HWND top = MakeTop(0, 0, 50, 50, WS_POPUP);
  HWND child = MakeChild(top, 0, 0, 20, 20);
  Fill[top] = RGB(10, 20, 30);
  ShowWindow(top, SW_SHOWNA);
  UpdateWindow(top);
  EXPECT_EQ(Logged(WM_PAINT, top).size(), 1u);
  EXPECT_EQ(Logged(WM_PAINT, child).size(), 1u);
  EXPECT_EQ(At(top, 40, 40), Pixel(RGB(10, 20, 30)));
  InvalidateRect(top, nullptr, TRUE);
  ValidateRect(top, nullptr);
  ValidateRect(child, nullptr);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_PAINT, top).size(), 1u);
  RECT u;
  EXPECT_FALSE(GetUpdateRect(top, &u, FALSE));
  // BeginPaint reports the invalid rectangle.
  RECT part{3, 4, 13, 14};
  InvalidateRect(top, &part, FALSE);
  ValidateRect(child, nullptr);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(top, &ps);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(ps.rcPaint.left, 3);
  EXPECT_EQ(ps.rcPaint.bottom, 14);
  EndPaint(top, &ps);
}

TEST_F(PaintingTest, GetDCDrawsOnTheWindowAndResizingKeepsItConsistent) {
  HWND h = MakeTop(0, 0, 20, 20, WS_POPUP | WS_VISIBLE);
  HeadlessPumpMessages();
  HDC dc = GetDC(h);
  ASSERT_NE(dc, nullptr);
  SetPixel(dc, 3, 4, RGB(1, 2, 3));
  ReleaseDC(h, dc);
  EXPECT_EQ(At(h, 3, 4), Pixel(RGB(1, 2, 3)));
  SetWindowPos(h, nullptr, 0, 0, 80, 60, SWP_NOMOVE | SWP_NOZORDER);
  HeadlessPumpMessages();
  int w = 0, ht = 0;
  EXPECT_EQ(HeadlessReadPixels(h, &w, &ht).size(), 80u * 60u);
  EXPECT_EQ(w, 80);
  EXPECT_EQ(At(h, 79, 59), Pixel(GetSysColor(COLOR_WINDOW)));
  EXPECT_TRUE(HeadlessReadPixels(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x77))).empty());
}

TEST_F(PaintingTest, ChildFramesArePaintedOutsideTheClientArea) {
  HWND top = MakeTop(0, 0, 60, 60, WS_POPUP);
  HWND framed = MakeChild(top, 10, 10, 20, 20, WS_CHILD | WS_VISIBLE | WS_BORDER);
  Fill[top] = RGB(0, 0, 255);
  Fill[framed] = RGB(0, 255, 0);
  ShowWindow(top, SW_SHOWNA);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_NCPAINT, framed).size(), 1u);
  EXPECT_EQ(At(top, 10, 10), Pixel(GetSysColor(COLOR_WINDOWFRAME)));
  EXPECT_EQ(At(top, 29, 29), Pixel(GetSysColor(COLOR_WINDOWFRAME)));
  EXPECT_EQ(At(top, 11, 11), Pixel(RGB(0, 255, 0)));  // the client starts inside the frame
  EXPECT_EQ(At(framed, 0, 0), Pixel(RGB(0, 255, 0)));
  EXPECT_EQ(At(top, 30, 30), Pixel(RGB(0, 0, 255)));
}

}  // namespace

// Two invalid rectangles merge into one box that the parent paints; a child
// under the box but outside both rectangles must not be left painted over.
TEST_F(PaintingTest, AParentsMergedRepaintNeverLeavesAChildCovered) {
  for (DWORD clip : {DWORD{WS_CLIPCHILDREN}, DWORD{0}}) {
    SCOPED_TRACE(clip ? "clipping its children" : "not clipping its children");
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP | clip);
    HWND child = MakeChild(top, 10, 10, 50, 80);
    Fill[top] = RGB(0, 0, 255);
    Fill[child] = RGB(0, 255, 0);
    ShowWindow(top, SW_SHOWNA);
    HeadlessPumpMessages();
    ASSERT_EQ(At(top, 40, 60), Pixel(RGB(0, 255, 0)));
    Fill[top] = RGB(255, 0, 0);
    Fill[child] = RGB(255, 255, 0);
    RECT corner{0, 0, 20, 20}, far{70, 70, 90, 90};
    InvalidateRect(top, &corner, TRUE);
    InvalidateRect(top, &far, TRUE);
    HeadlessPumpMessages();
    EXPECT_EQ(At(top, 5, 5), Pixel(RGB(255, 0, 0)));
    EXPECT_EQ(At(top, 80, 80), Pixel(RGB(255, 0, 0)));
    EXPECT_EQ(At(top, 15, 15), Pixel(RGB(255, 255, 0)));  // the child's invalid corner
    // Elsewhere in the child: its old pixels where the parent clips it,
    // else painted again; never the parent's.
    EXPECT_EQ(At(top, 40, 60), clip ? Pixel(RGB(0, 255, 0)) : Pixel(RGB(255, 255, 0)));
    DestroyWindow(top);
    Fill.clear();
  }
}

// Whatever a parent that clips its children draws, at any time and through
// any device context, leaves its visible children's pixels as they are.
TEST_F(PaintingTest, DrawingOnAParentThatClipsChildrenSkipsThem) {
  HWND top = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
  HWND child = MakeChild(top, 10, 10, 30, 30);
  HWND hidden = MakeChild(top, 60, 60, 30, 30, WS_CHILD);
  Fill[child] = RGB(0, 255, 0);
  HeadlessPumpMessages();
  HDC dc = GetDC(top);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, 100, 100};
  FillRect(dc, &all, red);
  SetPixel(dc, 20, 20, RGB(0, 0, 255));
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 100, 100);
  HGDIOBJ old = SelectObject(mem, bmp);
  FillRect(mem, &all, red);
  BitBlt(dc, 0, 0, 100, 100, mem, 0, 0, SRCCOPY);
  // Reading through the parent's DC sees the child's pixels and changes nothing.
  EXPECT_EQ(GetPixel(dc, 20, 20), RGB(0, 255, 0));
  BitBlt(mem, 0, 0, 100, 100, dc, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(mem, 20, 20), RGB(0, 255, 0));
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  DeleteObject(red);
  ReleaseDC(top, dc);
  EXPECT_EQ(At(top, 5, 5), Pixel(RGB(255, 0, 0)));
  EXPECT_EQ(At(top, 20, 20), Pixel(RGB(0, 255, 0)));
  EXPECT_EQ(At(top, 39, 39), Pixel(RGB(0, 255, 0)));
  EXPECT_EQ(At(top, 40, 40), Pixel(RGB(255, 0, 0)));
  EXPECT_EQ(At(top, 70, 70), Pixel(RGB(255, 0, 0)));  // a hidden child is no child to skip
  (void)hidden;
}
