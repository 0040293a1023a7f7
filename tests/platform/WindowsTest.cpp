// Window classes, creation and destruction, window values, subclassing,
// positions, coordinates and show states.
#include <stdexcept>
#include <thread>

#include "WindowTestUtil.h"

namespace {

class WindowsTest : public PlatformTest {};

TEST_F(WindowsTest, CreationSendsItsMessagesInOrderAndKeepsTheRectangle) {
  HWND h = MakeTop(10, 20, 300, 200);
  ASSERT_NE(h, nullptr);
  size_t mm = IndexOf(WM_GETMINMAXINFO, h), nc = IndexOf(WM_NCCREATE, h), calc = IndexOf(WM_NCCALCSIZE, h),
         create = IndexOf(WM_CREATE, h);
  ASSERT_NE(create, SIZE_MAX);
  EXPECT_LT(mm, nc);
  EXPECT_LT(nc, calc);
  EXPECT_LT(calc, create);
  RECT r;
  ASSERT_TRUE(GetWindowRect(h, &r));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right, 310);
  EXPECT_EQ(r.bottom, 220);
  char text[16];
  EXPECT_EQ(GetWindowTextA(h, text, sizeof text), 3);
  EXPECT_STREQ(text, "top");
  EXPECT_FALSE(IsWindowVisible(h));  // WS_VISIBLE was not given
}

TEST_F(WindowsTest, RefusedCreationsReturnZero) {
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  // A child needs a live parent.
  EXPECT_EQ(MakeChild(nullptr, 0, 0, 1, 1), nullptr);
  HWND stale = MakeTop(0, 0, 10, 10);
  DestroyWindow(stale);
  EXPECT_EQ(MakeChild(stale, 0, 0, 1, 1), nullptr);
  // WM_CREATE answering -1 destroys the new window.
  MessageHook() = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_CREATE) return false;
    *r = -1;
    return true;
  };
  MessageLog().clear();
  EXPECT_EQ(MakeTop(0, 0, 10, 10), nullptr);
  EXPECT_EQ(Logged(WM_NCDESTROY).size(), 1u);
  // A class is registered once.
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = "hktestrecording";  // names compare without case
  EXPECT_EQ(RegisterClassA(&wc), 0);
}

TEST_F(WindowsTest, AFailingCreateLeavesNoWindowAndOnlyTheOwnerDestroys) {
  MessageHook() = [](HWND, UINT m, WPARAM, LPARAM, LRESULT*) -> bool {
    if (m == WM_CREATE) throw std::runtime_error("no");
    return false;
  };
  EXPECT_THROW(MakeTop(0, 0, 10, 10), std::runtime_error);
  ASSERT_EQ(Logged(WM_NCCREATE).size(), 1u);
  HWND made = Logged(WM_NCCREATE)[0].Hwnd;
  EXPECT_FALSE(IsWindow(made));
  EXPECT_EQ(GetTopWindow(nullptr), nullptr);
  MessageHook() = nullptr;
  HWND h = MakeTop(0, 0, 10, 10);
  BOOL fromOther = TRUE;
  std::thread other([&] { fromOther = DestroyWindow(h); });
  other.join();
  EXPECT_FALSE(fromOther);
  EXPECT_TRUE(IsWindow(h));
}

TEST_F(WindowsTest, DestroyGoesParentFirstAndNcDestroyChildrenFirst) {
  HWND top = MakeTop(0, 0, 100, 100);
  HWND child = MakeChild(top, 0, 0, 50, 50);
  HWND grand = MakeChild(child, 0, 0, 10, 10);
  HWND owned = CreateWindowExA(0, kRecordingClass, "owned", WS_POPUP, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(GetParent(owned), top);
  MessageLog().clear();
  ASSERT_TRUE(DestroyWindow(top));
  std::vector<std::pair<HWND, UINT>> seen;
  for (auto& m : MessageLog())
    if (m.Msg == WM_DESTROY || m.Msg == WM_NCDESTROY) seen.push_back({m.Hwnd, m.Msg});
  std::vector<std::pair<HWND, UINT>> expected{{owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {top, WM_DESTROY},
                                              {child, WM_DESTROY},  {grand, WM_DESTROY},  {grand, WM_NCDESTROY},
                                              {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
  EXPECT_EQ(seen, expected);
  for (HWND h : {top, child, grand, owned}) EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowsTest, StaleAndForeignHandlesAreRefused) {
  HWND h = MakeTop(0, 0, 10, 10);
  DestroyWindow(h);
  HWND bogus = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x12345));
  for (HWND bad : {h, bogus, static_cast<HWND>(nullptr)}) {
    RECT r{};
    POINT p{};
    EXPECT_FALSE(IsWindow(bad));
    EXPECT_EQ(SendMessageA(bad, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(bad, WM_USER, 0, 0) && bad != nullptr);
    EXPECT_EQ(SetWindowLongPtrA(bad, GWL_STYLE, 0), 0);
    EXPECT_FALSE(GetWindowRect(bad, &r));
    EXPECT_FALSE(ClientToScreen(bad, &p));
    EXPECT_FALSE(ShowWindow(bad, SW_SHOW));
    EXPECT_EQ(SetTimer(bad, 1, 10, nullptr), bad == nullptr ? 1u : 0u);
    EXPECT_EQ(GetDC(bad) != nullptr, bad == nullptr);
  }
  // The desktop window is no window of ours to destroy.
  EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
  RECT d;
  ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &d));
  EXPECT_EQ(d.right, GetSystemMetrics(SM_CXSCREEN));
}

// A subclassing chain: each procedure passes on through CallWindowProc.
std::vector<std::string> gChain;
WNDPROC gOldA = nullptr;
LRESULT SubclassA(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) gChain.push_back("A");
  return CallWindowProcA(gOldA, h, m, w, l);
}

TEST_F(WindowsTest, SubclassingChainsThroughCallWindowProc) {
  HWND h = MakeTop(0, 0, 10, 10);
  gChain.clear();
  gOldA = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassA)));
  EXPECT_EQ(gOldA, &RecordingProc);
  // An object's method as a procedure, placed on top of A.
  WNDPROC oldB = nullptr;
  std::string tag = "B";
  WNDPROC b = MakeObjectWindowProc([&](HWND hh, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_USER) gChain.push_back(tag);
    return CallWindowProcA(oldB, hh, m, w, l);
  });
  oldB = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(b)));
  EXPECT_EQ(oldB, &SubclassA);
  MessageLog().clear();
  SendMessageA(h, WM_USER, 0, 0);
  EXPECT_EQ(gChain, (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(Logged(WM_USER, h).size(), 1u);  // the class procedure still came last
  // Restoring unwinds the chain; the freed object procedure is never called.
  SetWindowLongPtrA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(oldB));
  FreeObjectWindowProc(b);
  EXPECT_EQ(CallWindowProcA(b, h, WM_USER, 0, 0), 0);
  gChain.clear();
  SendMessageA(h, WM_USER, 0, 0);
  EXPECT_EQ(gChain, (std::vector<std::string>{"A"}));
}

TEST_F(WindowsTest, StyleChangesAreAnnouncedAndExtraBytesKept) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = "HkExtra";
  wc.cbWndExtra = 16;
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND h = CreateWindowExA(0, "HkExtra", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(SetWindowLongPtrA(h, 8, 0x1234), 0);
  EXPECT_EQ(GetWindowLongPtrA(h, 8), 0x1234);
  EXPECT_EQ(GetWindowLongPtrA(h, 16), 0);  // outside the extra bytes
  MessageLog().clear();
  LONG_PTR old = SetWindowLongPtrA(h, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_EQ(old, 0);
  EXPECT_EQ(GetWindowLongPtrA(h, GWL_EXSTYLE), static_cast<LONG_PTR>(WS_EX_LAYERED | WS_EX_TRANSPARENT));
  ASSERT_EQ(Logged(WM_STYLECHANGED, h).size(), 1u);
  EXPECT_LT(IndexOf(WM_STYLECHANGING, h), IndexOf(WM_STYLECHANGED, h));
  // WS_VISIBLE is not switched through the style.
  SetWindowLongPtrA(h, GWL_STYLE, WS_POPUP | WS_VISIBLE);
  EXPECT_FALSE(IsWindowVisible(h));
}

TEST_F(WindowsTest, CoordinatesFollowParentsAndFrames) {
  HWND top = MakeTop(100, 50, 400, 300);
  HWND child = MakeChild(top, 10, 20, 200, 100, WS_CHILD | WS_VISIBLE | WS_BORDER);
  HWND inner = MakeChild(child, 5, 5, 50, 50, WS_CHILD | WS_VISIBLE, WS_EX_CLIENTEDGE);
  RECT c;
  GetClientRect(child, &c);
  EXPECT_EQ(c.right, 198);  // one-pixel border on each side
  EXPECT_EQ(c.bottom, 98);
  POINT p{0, 0};
  ClientToScreen(inner, &p);
  // 100+10+1 (border) +5 +2 (client edge)
  EXPECT_EQ(p.x, 118);
  EXPECT_EQ(p.y, 50 + 20 + 1 + 5 + 2);
  ScreenToClient(inner, &p);
  EXPECT_EQ(p.x, 0);
  POINT q{0, 0};
  MapWindowPoints(inner, top, &q, 1);
  EXPECT_EQ(q.x, 18);
  EXPECT_EQ(q.y, 28);
  ShowWindow(top, SW_SHOWNA);
  EXPECT_EQ(WindowFromPoint(POINT{120, 80}), inner);
  EXPECT_EQ(WindowFromPoint(POINT{111, 71}), child);  // the child's client, outside inner
  EXPECT_EQ(WindowFromPoint(POINT{450, 100}), top);
  EXPECT_EQ(WindowFromPoint(POINT{99, 100}), nullptr);
  EnableWindow(inner, FALSE);
  EXPECT_EQ(WindowFromPoint(POINT{120, 80}), child);  // disabled windows are skipped
  EXPECT_EQ(ChildWindowFromPoint(top, POINT{20, 30}), child);
}

TEST_F(WindowsTest, WindowPosChangedOnlyForRealChanges) {
  HWND h = MakeTop(0, 0, 100, 100);
  MessageLog().clear();
  SetWindowPos(h, nullptr, 0, 0, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(Logged(WM_WINDOWPOSCHANGING, h).size(), 1u);
  EXPECT_TRUE(Logged(WM_WINDOWPOSCHANGED, h).empty());
  SetWindowPos(h, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  auto changed = Logged(WM_WINDOWPOSCHANGED, h);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(Logged(WM_SIZE, h).size(), 0u);
  ASSERT_EQ(Logged(WM_MOVE, h).size(), 1u);
  EXPECT_EQ(Logged(WM_MOVE, h)[0].LParam, MAKELPARAM(30, 40));
  MessageLog().clear();
  // A handler may change the position on its way (a minimum size).
  MessageHook() = [](HWND, UINT m, WPARAM, LPARAM l, LRESULT*) {
    if (m == WM_WINDOWPOSCHANGING) {
      auto* pos = reinterpret_cast<WINDOWPOS*>(l);
      pos->cx = std::max(pos->cx, 50);
    }
    return false;
  };
  SetWindowPos(h, nullptr, 0, 0, 20, 60, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.right - r.left, 50);
  EXPECT_EQ(r.bottom - r.top, 60);
  ASSERT_EQ(Logged(WM_SIZE, h).size(), 1u);
  EXPECT_EQ(Logged(WM_SIZE, h)[0].LParam, MAKELPARAM(50, 60));
}

TEST_F(WindowsTest, ShowStatesMinimizeMaximizeRestore) {
  HWND h = MakeTop(10, 10, 200, 100, WS_POPUP | WS_VISIBLE);
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_EQ(GetActiveWindow(), h);
  MessageLog().clear();
  EXPECT_TRUE(ShowWindow(h, SW_MAXIMIZE));
  EXPECT_TRUE(IsZoomed(h));
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
  auto sizes = Logged(WM_SIZE, h);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back().WParam, SIZE_MAXIMIZED);
  ShowWindow(h, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(h));
  EXPECT_EQ(Logged(WM_SIZE, h).back().WParam, SIZE_MINIMIZED);
  EXPECT_EQ(GetActiveWindow(), nullptr);
  // Restoring a window minimized from maximized brings it back maximized,
  // and restoring again gives the old rectangle.
  ShowWindow(h, SW_RESTORE);
  EXPECT_FALSE(IsIconic(h));
  EXPECT_TRUE(IsZoomed(h));
  ShowWindow(h, SW_RESTORE);
  EXPECT_FALSE(IsZoomed(h));
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right, 210);
  EXPECT_EQ(Logged(WM_SIZE, h).back().WParam, SIZE_RESTORED);
  // WM_SHOWWINDOW comes only when the visibility changes.
  MessageLog().clear();
  ShowWindow(h, SW_SHOW);
  EXPECT_TRUE(Logged(WM_SHOWWINDOW, h).empty());
  EXPECT_TRUE(ShowWindow(h, SW_HIDE));
  ASSERT_EQ(Logged(WM_SHOWWINDOW, h).size(), 1u);
  EXPECT_EQ(Logged(WM_SHOWWINDOW, h)[0].WParam, static_cast<WPARAM>(FALSE));
  EXPECT_FALSE(ShowWindow(h, SW_HIDE));
}

TEST_F(WindowsTest, AbsurdSizesAreCutNotAllocated) {
  HWND h = MakeTop(0, 0, 1 << 30, -5, WS_POPUP | WS_VISIBLE);
  ASSERT_NE(h, nullptr);
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.right - r.left, 8192);
  EXPECT_EQ(r.bottom - r.top, 0);
  SetWindowPos(h, nullptr, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF, SWP_NOMOVE | SWP_NOZORDER);
  GetWindowRect(h, &r);
  EXPECT_EQ(r.bottom - r.top, 8192);
  HWND child = MakeChild(h, 0, 0, 100000, 10);
  GetWindowRect(child, &r);
  EXPECT_EQ(r.right - r.left, 32767);
  HeadlessPumpMessages();
}

TEST_F(WindowsTest, SystemCommandsOfTheDefaultProcedure) {
  HWND h = MakeTop(10, 10, 200, 100, WS_POPUP | WS_VISIBLE);
  SendMessageA(h, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_TRUE(IsZoomed(h));
  SendMessageA(h, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsZoomed(h));
  SendMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(h));
  SendMessageA(h, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsIconic(h));
  // A posted close goes through the loop to WM_CLOSE and destroys the window.
  PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(IsWindow(h));
  HeadlessPumpMessages();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(Logged(WM_CLOSE, h).size(), 1u);
}

TEST_F(WindowsTest, TopmostWindowsStayAbove) {
  HWND a = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
  HWND b = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  // b is newer and active, but a stays on top.
  EXPECT_EQ(GetTopWindow(nullptr), a);
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), a);
  SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(GetWindowLongPtrA(a, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  BringWindowToTop(b);
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), b);
}

TEST_F(WindowsTest, AWindowShownWithoutActivationComesUpOnTopAndLeavesTheKeyboard) {
  HWND typing = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND field = MakeChild(typing, 0, 0, 50, 20);
  SetFocus(field);
  ASSERT_EQ(GetActiveWindow(), typing);
  // Every way of showing without activation.
  for (auto show : {+[](HWND h) { ShowWindow(h, SW_SHOWNOACTIVATE); }, +[](HWND h) { ShowWindow(h, SW_SHOWNA); },
                    +[](HWND h) {
                      SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                    }}) {
    HWND card = MakeTop(20, 20, 60, 60, WS_POPUP, WS_EX_TOOLWINDOW);
    SetWindowPos(typing, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    MessageLog().clear();
    show(card);
    HeadlessPumpMessages();
    EXPECT_TRUE(IsWindowVisible(card));
    EXPECT_EQ(WindowFromPoint(POINT{50, 50}), card);  // raised
    EXPECT_EQ(GetActiveWindow(), typing);
    EXPECT_EQ(GetFocus(), field);
    EXPECT_TRUE(Logged(WM_ACTIVATE).empty());
    EXPECT_TRUE(Logged(WM_KILLFOCUS).empty());
    DestroyWindow(card);
  }
}

}  // namespace
