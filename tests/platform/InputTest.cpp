// Mouse and keys turned into messages: activation, double clicks, capture,
// leave tracking, caption drags, focus and key state.
#include "WindowTestUtil.h"

namespace {

class InputTest : public PlatformTest {};

TEST_F(InputTest, ClickActivatesAndArrivesInClientCoordinates) {
  HWND a = MakeTop(100, 100, 200, 100, WS_POPUP | WS_VISIBLE);
  HWND b = MakeTop(400, 100, 200, 100, WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(GetActiveWindow(), b);
  HWND child = MakeChild(a, 10, 10, 50, 50);
  MessageLog().clear();
  HeadlessClick(120, 130);
  HeadlessPumpMessages();
  EXPECT_EQ(GetActiveWindow(), a);
  auto downs = Logged(WM_LBUTTONDOWN, child);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(downs[0].LParam), 10);
  EXPECT_EQ(GET_Y_LPARAM(downs[0].LParam), 20);
  EXPECT_EQ(downs[0].WParam & MK_LBUTTON, MK_LBUTTON);
  ASSERT_EQ(Logged(WM_LBUTTONUP, child).size(), 1u);
  EXPECT_EQ(Logged(WM_LBUTTONUP, child)[0].WParam & MK_LBUTTON, 0u);
  // The order Windows programs rely on: hit test, activation, cursor, press.
  size_t hit = IndexOf(WM_NCHITTEST, child), act = IndexOf(WM_MOUSEACTIVATE, child),
         activate = IndexOf(WM_ACTIVATE, a), cursor = IndexOf(WM_SETCURSOR, child, act),
         down = IndexOf(WM_LBUTTONDOWN, child);
  EXPECT_LT(hit, act);
  EXPECT_LT(act, activate);
  EXPECT_LT(activate, cursor);
  EXPECT_LT(cursor, down);
  EXPECT_EQ(LOWORD(Logged(WM_ACTIVATE, b).back().WParam), WA_INACTIVE);
  EXPECT_EQ(LOWORD(Logged(WM_ACTIVATE, a).back().WParam), WA_CLICKACTIVE);
}

TEST_F(InputTest, DoubleClicksNeedTheClassStyleTheClockAndThePlace) {
  HWND dbl = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE, 0, kRecordingDblClass);
  HWND plain = MakeTop(200, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  struct Case {
    HWND Window;
    int X2;
    uint32_t Gap;
    bool Double;
  };
  std::vector<Case> cases{{dbl, 10, 100, true},
                          {dbl, 10, GetDoubleClickTime() + 1, false},
                          {dbl, 20, 100, false},  // too far from the first press
                          {plain, 210, 100, false}};
  for (const Case& c : cases) {
    MessageLog().clear();
    int base = c.Window == dbl ? 10 : 210;
    HeadlessClick(base, 10);
    HeadlessPumpMessages();
    AdvanceClock(c.Gap);
    HeadlessClick(c.X2, 10);
    HeadlessPumpMessages();
    EXPECT_EQ(Logged(WM_LBUTTONDBLCLK, c.Window).size(), c.Double ? 1u : 0u) << c.X2 << " " << c.Gap;
    EXPECT_EQ(Logged(WM_LBUTTONDOWN, c.Window).size(), c.Double ? 1u : 2u);
    AdvanceClock(1000);
  }
  // A third press right after a double click is a single click again.
  MessageLog().clear();
  for (int i = 0; i < 3; ++i) HeadlessClick(10, 10);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_LBUTTONDBLCLK, dbl).size(), 1u);
  EXPECT_EQ(Logged(WM_LBUTTONDOWN, dbl).size(), 2u);
}

TEST_F(InputTest, CaptureTakesMovesOutsideTheWindow) {
  HWND a = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND b = MakeTop(200, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  MessageHook() = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_LBUTTONDOWN) SetCapture(h);
    if (m == WM_LBUTTONUP) ReleaseCapture();
    return false;
  };
  HeadlessMouseMove(50, 50);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(250, 50);  // over b, but a has the capture
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessMouseMove(260, 50);
  HeadlessPumpMessages();
  auto movesA = Logged(WM_MOUSEMOVE, a);
  ASSERT_GE(movesA.size(), 2u);
  EXPECT_EQ(GET_X_LPARAM(movesA.back().LParam), 250);
  EXPECT_EQ(Logged(WM_LBUTTONUP, a).size(), 1u);
  EXPECT_EQ(Logged(WM_CAPTURECHANGED, a).size(), 1u);
  EXPECT_EQ(Logged(WM_MOUSEMOVE, b).size(), 1u);  // only after the release
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, TrackMouseEventPostsOneLeave) {
  HWND a = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND child = MakeChild(a, 10, 10, 20, 20);
  HeadlessMouseMove(15, 15);
  HeadlessPumpMessages();
  TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, child, 0};
  ASSERT_TRUE(TrackMouseEvent(&tme));
  HeadlessMouseMove(16, 16);
  HeadlessPumpMessages();
  EXPECT_TRUE(Logged(WM_MOUSELEAVE, child).empty());
  HeadlessMouseMove(50, 50);  // onto the parent
  HeadlessMouseMove(51, 51);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_MOUSELEAVE, child).size(), 1u);
  // Tracking a window the pointer is not over answers at once.
  TRACKMOUSEEVENT again{sizeof again, TME_LEAVE, child, 0};
  TrackMouseEvent(&again);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_MOUSELEAVE, child).size(), 2u);
  // Leaving all our windows ends the tracking as well.
  TRACKMOUSEEVENT onA{sizeof onA, TME_LEAVE, a, 0};
  TrackMouseEvent(&onA);
  HeadlessMouseLeaveScreen();
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_MOUSELEAVE, a).size(), 1u);
}

TEST_F(InputTest, CaptionDragMovesTheWindowThroughPositionChanges) {
  HWND h = MakeTop(100, 100, 200, 150, WS_POPUP | WS_VISIBLE);
  // The top 30 rows act as a caption, except a "button" at the right.
  MessageHook() = [](HWND hwnd, UINT m, WPARAM w, LPARAM l, LRESULT* r) {
    if (m != WM_NCHITTEST) return false;
    LRESULT inherited = DefWindowProcA(hwnd, m, w, l);
    POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
    ScreenToClient(hwnd, &p);
    *r = (inherited == HTCLIENT && p.y < 30 && p.x < 180) ? HTCAPTION : inherited;
    return true;
  };
  HeadlessMouseMove(150, 110);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(170, 140);
  HeadlessMouseMove(190, 160);
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 140);
  EXPECT_EQ(r.top, 150);
  EXPECT_EQ(r.right - r.left, 200);
  EXPECT_GE(Logged(WM_WINDOWPOSCHANGED, h).size(), 2u);
  EXPECT_EQ(Logged(WM_ENTERSIZEMOVE, h).size(), 1u);
  EXPECT_EQ(Logged(WM_EXITSIZEMOVE, h).size(), 1u);
  EXPECT_TRUE(Logged(WM_LBUTTONDOWN, h).empty());
  // A press on the "button" is a client press and moves nothing.
  MessageLog().clear();
  HeadlessClick(140 + 190, 160);
  HeadlessMouseMove(140 + 150, 200);
  HeadlessPumpMessages();
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 140);
  EXPECT_EQ(Logged(WM_LBUTTONDOWN, h).size(), 1u);

  // A drag whose release never came (it went to another program): the next
  // press ends it and starts a drag of its own.
  MessageLog().clear();
  HeadlessMouseMove(190, 160);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(210, 170);
  HeadlessPumpMessages();
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessPumpMessages();
  EXPECT_EQ(Logged(WM_EXITSIZEMOVE, h).size(), 1u) << "the press did not end the drag before it";
  HeadlessMouseMove(230, 200);
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 180);
  EXPECT_EQ(r.top, 190);
  EXPECT_EQ(Logged(WM_ENTERSIZEMOVE, h).size(), 2u);
  EXPECT_EQ(Logged(WM_EXITSIZEMOVE, h).size(), 2u);
}

TEST_F(InputTest, FocusAndKeyState) {
  HWND a = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND e1 = MakeChild(a, 0, 0, 10, 10);
  HWND e2 = MakeChild(a, 20, 0, 10, 10);
  SetFocus(e1);
  MessageLog().clear();
  EXPECT_EQ(SetFocus(e2), e1);
  ASSERT_EQ(Logged(WM_KILLFOCUS, e1).size(), 1u);
  EXPECT_EQ(Logged(WM_KILLFOCUS, e1)[0].WParam, reinterpret_cast<WPARAM>(e2));
  EXPECT_EQ(Logged(WM_SETFOCUS, e2)[0].WParam, reinterpret_cast<WPARAM>(e1));
  EXPECT_LT(IndexOf(WM_KILLFOCUS, e1), IndexOf(WM_SETFOCUS, e2));
  // Disabling the focus window takes the focus away.
  EnableWindow(e2, FALSE);
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(SetFocus(e2), nullptr);
  SetFocus(e1);
  // GetAsyncKeyState sees the key at once; GetKeyState when its message is taken.
  MessageHook() = [](HWND, UINT m, WPARAM w, LPARAM, LRESULT*) {
    if (m == WM_KEYDOWN && w == VK_CONTROL) {
      EXPECT_NE(GetKeyState(VK_CONTROL) & 0x8000, 0);
    }
    return false;
  };
  HeadlessKeyDown(VK_CONTROL);
  EXPECT_NE(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0);
  EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);
  HeadlessPumpMessages();
  EXPECT_NE(GetKeyState(VK_CONTROL) & 0x8000, 0);
  HeadlessKeyPress('C');  // Ctrl+C types the control character 3
  HeadlessKeyUp(VK_CONTROL);
  HeadlessPumpMessages();
  EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);
  auto chars = Logged(WM_CHAR, e1);
  ASSERT_EQ(chars.size(), 1u);
  EXPECT_EQ(chars[0].WParam, 3u);
  // Caps Lock toggles with each press.
  HeadlessKeyPress(VK_CAPITAL);
  HeadlessPumpMessages();
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 1);
  HeadlessKeyPress(VK_CAPITAL);
  HeadlessPumpMessages();
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0);
  // Alt combinations are system keys.
  MessageLog().clear();
  HeadlessKeyDown(VK_MENU);
  HeadlessKeyPress('X');
  HeadlessKeyUp(VK_MENU);
  HeadlessPumpMessages();
  EXPECT_FALSE(Logged(WM_SYSKEYDOWN, e1).empty());
  EXPECT_TRUE(Logged(WM_KEYDOWN, e1).empty());
}

TEST_F(InputTest, CommittedTextArrivesInUtf16Units) {
  HWND a = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  SetFocus(a);
  HeadlessChars(u"日本\U0001F338");
  HeadlessPumpMessages();
  std::u16string got;
  for (auto& m : Logged(WM_CHAR, a)) got.push_back(static_cast<char16_t>(m.WParam));
  EXPECT_EQ(got, u"日本\U0001F338");
  EXPECT_EQ(got.size(), 4u);  // the surrogate pair is two messages
}

TEST_F(InputTest, ClickThroughLayeredWindowsAndCursorShapes) {
  HWND below = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND card = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED | WS_EX_TOPMOST);
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), card);
  SetWindowLongPtrA(card, GWL_EXSTYLE, GetWindowLongPtrA(card, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), below);
  HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
  ASSERT_NE(hand, nullptr);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_HAND), hand);
  EXPECT_EQ(CursorStockId(hand), 32649);
  EXPECT_EQ(LoadCursorA(nullptr, reinterpret_cast<const char*>(1234)), nullptr);
  SetClassLongPtrA(below, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(hand));
  HeadlessMouseMove(40, 40);
  HeadlessPumpMessages();
  EXPECT_EQ(GetCursor(), hand);
}

}  // namespace

TEST_F(InputTest, TheLastActivePopupIsTheShownEnabledOwnedWindowActiveLast) {
  HWND owner = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND other = MakeTop(200, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(GetLastActivePopup(owner), owner) << "it owns none";
  auto owned = [&](HWND by) {
    return CreateWindowExA(0, kRecordingClass, "owned", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, by, nullptr, nullptr,
                           nullptr);
  };
  HWND dialog = owned(owner);
  HWND box = owned(dialog);  // a box of the dialog: the owner's through it
  EXPECT_EQ(GetLastActivePopup(owner), box) << "none active yet: the one above";
  SetActiveWindow(dialog);
  EXPECT_EQ(GetLastActivePopup(owner), dialog);
  SetActiveWindow(box);
  EnableWindow(dialog, FALSE);
  SetActiveWindow(other);  // not the owner's
  EXPECT_EQ(GetLastActivePopup(owner), box);
  ShowWindow(box, SW_MINIMIZE);
  EXPECT_EQ(GetLastActivePopup(owner), box) << "minimised is still shown";
  DestroyWindow(box);
  EXPECT_EQ(GetLastActivePopup(owner), owner) << "the dialog is disabled";
  EnableWindow(dialog, TRUE);
  EXPECT_EQ(GetLastActivePopup(owner), dialog);
  ShowWindow(dialog, SW_HIDE);
  EXPECT_EQ(GetLastActivePopup(owner), owner);
  ShowWindow(dialog, SW_SHOW);
  SetActiveWindow(owner);
  EXPECT_EQ(GetLastActivePopup(owner), owner) << "the owner was active since";
  EXPECT_EQ(GetLastActivePopup(nullptr), nullptr);
}

TEST_F(InputTest, AWindowActivatedWhileMinimisedTakesTheKeyboardWhenRestored) {
  HWND a = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  ShowWindow(a, SW_MINIMIZE);
  SetActiveWindow(a);  // as a window manager may focus a minimised window
  EXPECT_EQ(GetFocus(), nullptr);
  ShowWindow(a, SW_RESTORE);
  EXPECT_EQ(GetFocus(), a);
}
