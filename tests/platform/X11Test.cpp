// The X11 driver on a real display: what a window shows reads back from the
// X server with the surface's pixels, and XTest input reaches the window.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <thread>

#include "X11DisplayTest.h"
// Xlib's macros clash with GoogleTest's names: it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

namespace {

class X11Test : public X11DisplayTest {
 protected:
  void SetUp() override {
    const char* display = std::getenv("HANAKUMO_TEST_DISPLAY");
    if (display == nullptr || *display == 0) GTEST_SKIP() << "HANAKUMO_TEST_DISPLAY is not set";
    OpenDisplay(display);
  }

  // The screen's pixels inside a rectangle, from the X server.
  std::vector<uint32_t> Screen(const RECT& r) {
    XImage* img = XGetImage(Probe, DefaultRootWindow(Probe), r.left, r.top, static_cast<unsigned>(r.right - r.left),
                            static_cast<unsigned>(r.bottom - r.top), AllPlanes, ZPixmap);
    std::vector<uint32_t> out;
    if (img == nullptr) return out;
    for (int y = 0; y < r.bottom - r.top; ++y)
      for (int x = 0; x < r.right - r.left; ++x) out.push_back(static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFFu);
    XDestroyImage(img);
    return out;
  }
};

LRESULT PatternPaint(HWND h, UINT m, WPARAM w, LPARAM l, LRESULT* r) {
  if (m != WM_PAINT) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  const COLORREF colors[] = {RGB(255, 0, 0), RGB(0, 200, 0), RGB(0, 0, 255), RGB(250, 240, 10)};
  for (int i = 0; i < 4; ++i) {
    RECT band{0, i * 12, 64, i * 12 + 12};
    HBRUSH b = CreateSolidBrush(colors[i]);
    FillRect(dc, &band, b);
    DeleteObject(b);
  }
  SetPixel(dc, 5, 5, RGB(1, 2, 3));
  EndPaint(h, &ps);
  *r = 0;
  return true;
}

TEST_F(X11Test, AShownWindowReadsBackWithTheSurfacesPixels) {
  EXPECT_EQ(PlatformDriverName(), "x11");
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), DisplayWidth(Probe, DefaultScreen(Probe)));
  MessageHook() = [](HWND h, UINT m, WPARAM w, LPARAM l, LRESULT* r) { return PatternPaint(h, m, w, l, r) != 0; };
  HWND h = MakeTop(40, 30, 64, 48, WS_POPUP | WS_VISIBLE);
  ASSERT_NE(h, nullptr);
  RECT r{40, 30, 104, 78};
  std::vector<uint32_t> surface;
  bool same = PumpUntil([&] {
    surface = HeadlessReadPixels(h);
    for (auto& p : surface) p &= 0xFFFFFFu;
    return !surface.empty() && Screen(r) == surface;
  });
  EXPECT_TRUE(same);
  ASSERT_EQ(surface.size(), 64u * 48u);
  EXPECT_EQ(surface[5 * 64 + 5], 0x010203u);
  EXPECT_EQ(surface[40 * 64 + 10], 0xFAF00Au);
  // Moving the window moves what the screen shows.
  SetWindowPos(h, nullptr, 200, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_TRUE(PumpUntil([&] { return Screen(RECT{200, 100, 264, 148}) == surface; }));
}

TEST_F(X11Test, KeysAndClicksFromXTestReachTheWindow) {
  HWND h = MakeTop(300, 300, 80, 60, WS_POPUP | WS_VISIBLE);
  ASSERT_NE(h, nullptr);
  SetForegroundWindow(h);
  SetFocus(h);
  ASSERT_TRUE(PumpUntil([&] {
    Window focus;
    int revert;
    XGetInputFocus(Probe, &focus, &revert);
    return focus != None && focus != PointerRoot && focus != DefaultRootWindow(Probe);
  }));
  KeyCode a = XKeysymToKeycode(Probe, XK_a);
  XTestFakeKeyEvent(Probe, a, True, CurrentTime);
  XTestFakeKeyEvent(Probe, a, False, CurrentTime);
  XFlush(Probe);
  ASSERT_TRUE(PumpUntil([&] { return !Logged(WM_CHAR, h).empty(); }));
  EXPECT_EQ(Logged(WM_CHAR, h)[0].WParam, static_cast<WPARAM>(u'a'));
  ASSERT_FALSE(Logged(WM_KEYDOWN, h).empty());
  EXPECT_EQ(Logged(WM_KEYDOWN, h)[0].WParam, static_cast<WPARAM>('A'));
  XTestFakeMotionEvent(Probe, DefaultScreen(Probe), 310, 320, CurrentTime);
  XTestFakeButtonEvent(Probe, 1, True, CurrentTime);
  XTestFakeButtonEvent(Probe, 1, False, CurrentTime);
  XFlush(Probe);
  ASSERT_TRUE(PumpUntil([&] { return !Logged(WM_LBUTTONUP, h).empty(); }));
  auto downs = Logged(WM_LBUTTONDOWN, h);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(downs[0].LParam), 10);
  EXPECT_EQ(GET_Y_LPARAM(downs[0].LParam), 20);
}

// With a compositing manager a layered window holds its premultiplied
// image at its opacity; without one the screen would show those colours
// over black, so the window shows its own colours, opaque, cut to its
// mostly opaque pixels.
TEST_F(X11Test, ALayeredWindowShowsItsImageAsTheCompositorAllows) {
  for (bool composited : {false, true}) {
    SCOPED_TRACE(composited ? "xcompmgr" : "no compositor");
    pid_t manager = -1;
    Atom selection = XInternAtom(Probe, "_NET_WM_CM_S0", False);
    if (composited) {
      std::string env = std::string("DISPLAY=") + std::getenv("HANAKUMO_TEST_DISPLAY");
      char* argv[] = {const_cast<char*>("xcompmgr"), nullptr};
      char* envp[] = {env.data(), nullptr};
      ASSERT_EQ(posix_spawnp(&manager, "xcompmgr", nullptr, nullptr, argv, envp), 0);
      for (int i = 0; i < 400 && XGetSelectionOwner(Probe, selection) == None; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ASSERT_NE(XGetSelectionOwner(Probe, selection), None) << "xcompmgr did not start";
    }
    // Made plain and turned layered afterwards, as the card's fade does.
    HWND card = MakeTop(500, 400, 3, 1, WS_POPUP, WS_EX_TOPMOST);
    ASSERT_NE(card, nullptr);
    SetWindowLongPtrA(card, GWL_EXSTYLE, GetWindowLongPtrA(card, GWL_EXSTYLE) | WS_EX_LAYERED);
    // A 3 x 1 image: half-transparent, opaque and nearly transparent, premultiplied.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 3;
    bi.bmiHeader.biHeight = -1;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr);
    HGDIOBJ old = SelectObject(mem, bmp);
    static_cast<uint32_t*>(bits)[0] = 0x80402010u;
    static_cast<uint32_t*>(bits)[1] = 0xFF804020u;
    static_cast<uint32_t*>(bits)[2] = 0x10080402u;
    SIZE size{3, 1};
    POINT src{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(card, nullptr, nullptr, &size, mem, &src, 0, &blend, ULW_ALPHA));
    ShowWindow(card, SW_SHOWNOACTIVATE);
    Window x = 0;
    ASSERT_TRUE(PumpUntil([&] { return (x = XWindowTitled("top")) != 0; }));
    // The window's own pixels, alpha and all.
    auto pixels = [&] {
      std::vector<uint32_t> out;
      XImage* img = XGetImage(Probe, x, 0, 0, 3, 1, AllPlanes, ZPixmap);
      if (img == nullptr) return out;
      for (int i = 0; i < 3; ++i) out.push_back(static_cast<uint32_t>(XGetPixel(img, i, 0)));
      XDestroyImage(img);
      return out;
    };
    auto shape = [&] {
      int count = 0, ordering = 0;
      XRectangle* rects = XShapeGetRectangles(Probe, x, ShapeBounding, &count, &ordering);
      std::vector<int> out;
      for (int i = 0; i < count; ++i) out.insert(out.end(), {rects[i].x, rects[i].width});
      if (rects) XFree(rects);
      return out;
    };
    if (composited) {
      EXPECT_TRUE(PumpUntil([&] { return pixels() == std::vector<uint32_t>{0x80402010u, 0xFF804020u, 0x10080402u}; }));
      EXPECT_EQ(shape(), (std::vector<int>{0, 3}));
    } else {
      // The first two in their own colours, the third cut out.
      EXPECT_TRUE(PumpUntil([&] {
        std::vector<uint32_t> p = pixels();
        return p.size() == 3 && (p[0] & 0xFFFFFF) == 0x804020u && (p[1] & 0xFFFFFF) == 0x804020u;
      }));
      EXPECT_EQ(shape(), (std::vector<int>{0, 2}));
    }
    BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
    ASSERT_TRUE(UpdateLayeredWindow(card, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &half, ULW_ALPHA));
    // Every channel scaled by 128/255, rounded; no fading without a compositor.
    if (composited)
      EXPECT_TRUE(PumpUntil([&] { return pixels() == std::vector<uint32_t>{0x40201008u, 0x80402010u, 0x08040201u}; }));
    else
      EXPECT_TRUE(PumpUntil([&] { return pixels().size() == 3 && (pixels()[0] & 0xFFFFFF) == 0x804020u; }));
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    DestroyWindow(card);
    if (manager > 0) {
      kill(manager, SIGTERM);
      waitpid(manager, nullptr, 0);
      for (int i = 0; i < 400 && XGetSelectionOwner(Probe, selection) != None; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

// A 24 x 24 icon: an opaque red left half, a see-through right half.
HICON RedHalfIcon() {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 24;
  bi.bmiHeader.biHeight = -24;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* px = static_cast<uint32_t*>(bits);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) px[y * 24 + x] = x < 12 ? 0xFFFF0000u : 0x00000000u;
  ICONINFO info{TRUE, 0, 0, nullptr, bmp};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(bmp);
  return icon;
}

TEST_F(X11Test, AWindowsIconIsItsNetWmIcon) {
  HWND h = MakeTop(20, 20, 30, 30, WS_POPUP);
  SetWindowTextA(h, "icon window");
  HICON icon = RedHalfIcon();
  SendMessageA(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  XSync(Probe, False);
  Window x = 0;
  ASSERT_TRUE(PumpUntil([&] { return (x = XWindowTitled("icon window")) != 0 && !Property(x, "_NET_WM_ICON").empty(); }));
  std::vector<long> prop = Property(x, "_NET_WM_ICON");
  ASSERT_EQ(prop.size(), 2u + 24u * 24u);
  EXPECT_EQ(prop[0], 24);
  EXPECT_EQ(prop[1], 24);
  EXPECT_EQ(static_cast<uint32_t>(prop[2 + 5 * 24 + 3]), 0xFFFF0000u);
  EXPECT_EQ(static_cast<uint32_t>(prop[2 + 5 * 24 + 20]), 0u);
  DestroyIcon(icon);
}

HICON SolidIcon(int size, uint32_t argb) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = size;
  bi.bmiHeader.biHeight = -size;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::fill_n(static_cast<uint32_t*>(bits), size * size, argb);
  ICONINFO info{TRUE, 0, 0, nullptr, bmp};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(bmp);
  return icon;
}

// An icon with other sizes of its picture gives taskbars each of them; a
// size is given once, by the first icon that has it (the big one first).
TEST_F(X11Test, EverySizeOfAWindowsIconsIsInItsNetWmIconOnce) {
  HWND h = MakeTop(20, 20, 30, 30, WS_POPUP);
  SetWindowTextA(h, "sized icon window");
  HICON big = SolidIcon(24, 0xFF0000FFu);
  HICON sizes[] = {SolidIcon(16, 0xFF00FF00u), SolidIcon(48, 0xFFFF0000u), SolidIcon(24, 0xFFFFFFFFu),
                   SolidIcon(16, 0xFFFFFFFFu)};
  ASSERT_TRUE(SetIconSizes(big, sizes, 4));
  EXPECT_FALSE(SetIconSizes(LoadIconA(nullptr, IDI_APPLICATION), sizes, 1));
  HICON small = SolidIcon(16, 0xFF000000u);
  SendMessageA(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageA(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  XSync(Probe, False);
  Window x = 0;
  ASSERT_TRUE(PumpUntil([&] {
    return (x = XWindowTitled("sized icon window")) != 0 && Property(x, "_NET_WM_ICON").size() > 2 + 24 * 24;
  }));
  const std::vector<long> prop = Property(x, "_NET_WM_ICON");
  std::vector<std::pair<long, uint32_t>> given;  // size and first pixel
  for (size_t at = 0; at + 2 < prop.size(); at += 2 + static_cast<size_t>(prop[at] * prop[at + 1]))
    given.emplace_back(prop[at], static_cast<uint32_t>(prop[at + 2]));
  EXPECT_EQ(given, (std::vector<std::pair<long, uint32_t>>{{24, 0xFF0000FFu}, {16, 0xFF00FF00u}, {48, 0xFFFF0000u}}));
  for (HICON i : sizes) DestroyIcon(i);
  DestroyIcon(big);
  DestroyIcon(small);
}

TEST_F(X11Test, ACardShownWithoutActivationLeavesTheKeyboardAndToolWindowsSkipTheTaskbar) {
  HWND typing = MakeTop(300, 300, 80, 60, WS_POPUP | WS_VISIBLE);
  SetWindowTextA(typing, "typing");
  SetForegroundWindow(typing);
  SetFocus(typing);
  Window typingX = 0;
  auto focus = [&] {
    Window f;
    int revert;
    XGetInputFocus(Probe, &f, &revert);
    return f;
  };
  ASSERT_TRUE(PumpUntil([&] { return (typingX = XWindowTitled("typing")) != 0 && focus() == typingX; }));
  HWND card = MakeTop(20, 20, 60, 40, WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  SetWindowTextA(card, "card");
  ShowWindow(card, SW_SHOWNOACTIVATE);
  Window cardX = 0;
  XWindowAttributes attrs{};
  ASSERT_TRUE(PumpUntil([&] {
    return (cardX = XWindowTitled("card")) != 0 && XGetWindowAttributes(Probe, cardX, &attrs) &&
           attrs.map_state == IsViewable;
  }));
  HeadlessPumpMessages();
  EXPECT_EQ(focus(), typingX);
  EXPECT_EQ(GetActiveWindow(), typing);
  EXPECT_EQ(Property(cardX, "_NET_WM_USER_TIME"), std::vector<long>{0});
  // The states as the server holds them: out of the taskbar and the pager.
  auto states = [&](Window w) {
    std::vector<std::string> names;
    for (long a : Property(w, "_NET_WM_STATE")) {
      char* n = XGetAtomName(Probe, static_cast<Atom>(a));
      names.push_back(n ? n : "");
      if (n) XFree(n);
    }
    return names;
  };
  auto has = [](const std::vector<std::string>& v, const char* s) { return std::find(v.begin(), v.end(), s) != v.end(); };
  EXPECT_TRUE(has(states(cardX), "_NET_WM_STATE_SKIP_TASKBAR"));
  EXPECT_TRUE(has(states(cardX), "_NET_WM_STATE_SKIP_PAGER"));
  EXPECT_TRUE(has(states(cardX), "_NET_WM_STATE_ABOVE"));
  EXPECT_FALSE(has(states(typingX), "_NET_WM_STATE_SKIP_TASKBAR"));
  // Made an ordinary window while shown, it comes back to the taskbar.
  SetWindowLongPtrA(card, GWL_EXSTYLE, WS_EX_TOPMOST);
  EXPECT_TRUE(PumpUntil([&] { return !has(states(cardX), "_NET_WM_STATE_SKIP_TASKBAR"); }));
  EXPECT_FALSE(has(states(cardX), "_NET_WM_STATE_SKIP_PAGER"));
  // A show that activates leaves the choice to the window manager.
  HWND normal = MakeTop(120, 20, 40, 40, WS_POPUP);
  SetWindowTextA(normal, "normal");
  ShowWindow(normal, SW_SHOW);
  Window normalX = 0;
  ASSERT_TRUE(PumpUntil([&] { return (normalX = XWindowTitled("normal")) != 0 && focus() == normalX; }));
  EXPECT_TRUE(Property(normalX, "_NET_WM_USER_TIME").empty());
}

TEST_F(X11Test, ABoxOwnedByAStayOnTopWindowIsTransientForItAndAboveIt) {
  HWND card = MakeTop(10, 10, 200, 150, WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  SetWindowTextA(card, "card");
  ShowWindow(card, SW_SHOWNOACTIVATE);
  HWND box = CreateWindowExA(0, kRecordingClass, "box", WS_POPUP | WS_CAPTION, 40, 40, 120, 80, card, nullptr, nullptr,
                             nullptr);
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(GetWindowLongPtrA(box, GWL_EXSTYLE) & WS_EX_TOPMOST);  // on top with its owner
  ShowWindow(box, SW_SHOW);
  Window cardX = 0, boxX = 0;
  auto order = [&] {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    int c = -1, b = -1;
    XQueryTree(Probe, DefaultRootWindow(Probe), &root, &parent, &children, &n);
    for (unsigned i = 0; i < n; ++i) {
      if (children[i] == cardX) c = static_cast<int>(i);
      if (children[i] == boxX) b = static_cast<int>(i);
    }
    if (children) XFree(children);
    return c >= 0 && b > c;  // bottom to top
  };
  ASSERT_TRUE(PumpUntil([&] {
    cardX = XWindowTitled("card");
    boxX = XWindowTitled("box");
    return cardX && boxX && order();
  }));
  Window transientFor = 0;
  ASSERT_TRUE(XGetTransientForHint(Probe, boxX, &transientFor));
  EXPECT_EQ(transientFor, cardX);
  // The card raised again (its next refresh) stays below its box.
  SetWindowPos(card, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  HeadlessPumpMessages();
  EXPECT_EQ(WindowFromPoint(POINT{60, 60}), box);
  EXPECT_TRUE(PumpUntil(order));
}

// A tray manager of the test's own: owns the selection, announces itself
// and reports the windows that ask to be docked.
struct TTestTray {
  Display* D;
  Window Manager = 0;
  Atom Selection, Opcode;
  explicit TTestTray(Display* d) : D(d) {
    Selection = XInternAtom(D, "_NET_SYSTEM_TRAY_S0", False);
    Opcode = XInternAtom(D, "_NET_SYSTEM_TRAY_OPCODE", False);
  }
  // The icon size and orientation (1 vertical) the tray names, when > 0.
  void Start(long iconSize = 0, long orientation = 0) {
    Manager = XCreateSimpleWindow(D, DefaultRootWindow(D), 0, 0, 1, 1, 0, 0, 0);
    if (iconSize > 0)
      XChangeProperty(D, Manager, XInternAtom(D, "_NET_SYSTEM_TRAY_ICON_SIZE", False), XA_CARDINAL, 32,
                      PropModeReplace, reinterpret_cast<unsigned char*>(&iconSize), 1);
    if (orientation > 0)
      XChangeProperty(D, Manager, XInternAtom(D, "_NET_SYSTEM_TRAY_ORIENTATION", False), XA_CARDINAL, 32,
                      PropModeReplace, reinterpret_cast<unsigned char*>(&orientation), 1);
    XSetSelectionOwner(D, Selection, Manager, CurrentTime);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = DefaultRootWindow(D);
    e.xclient.message_type = XInternAtom(D, "MANAGER", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = CurrentTime;
    e.xclient.data.l[1] = static_cast<long>(Selection);
    e.xclient.data.l[2] = static_cast<long>(Manager);
    XSendEvent(D, DefaultRootWindow(D), False, StructureNotifyMask, &e);
    XFlush(D);
  }
  // The window of the latest dock request, 0 when none came.
  Window Docked() {
    Window found = 0;
    while (XPending(D) > 0) {
      XEvent ev;
      XNextEvent(D, &ev);
      if (ev.type == ClientMessage && ev.xclient.message_type == Opcode && ev.xclient.data.l[1] == 0)
        found = static_cast<Window>(ev.xclient.data.l[2]);
    }
    return found;
  }
};

TEST_F(X11Test, AnIconAddedOnceATrayManagerArrivesDocksAndALaterTrayGetsItAgain) {
  HWND owner = MakeTop(0, 0, 10, 10);
  UINT created = RegisterWindowMessageA("TaskbarCreated");
  NOTIFYICONDATAA nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = owner;
  nid.uID = reinterpret_cast<UINT_PTR>(&nid);  // pointer-sized, as a component's own address
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = WM_USER + 1;
  nid.hIcon = RedHalfIcon();
  std::snprintf(nid.szTip, sizeof nid.szTip, "Card");
  // No tray yet: no notification area, and the add fails.
  EXPECT_FALSE(NotificationAreaPresent());
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &nid));
  EXPECT_TRUE(hk::TrayIcons().empty());
  TTestTray tray(Probe);
  tray.Start();
  // The program hears of the tray and adds its icon again, which docks.
  ASSERT_TRUE(PumpUntil([&] { return !Logged(created, owner).empty(); }));
  EXPECT_TRUE(NotificationAreaPresent());
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &nid));
  Window icon = 0;
  ASSERT_TRUE(PumpUntil([&] { return (icon = icon ? icon : tray.Docked()) != 0; }));
  // The tray shows the icon; a click on it reaches the owner's callback.
  XMoveWindow(Probe, icon, 600, 600);
  XMapWindow(Probe, icon);
  XSync(Probe, False);
  // It shows the icon's image: red where opaque, what is behind elsewhere.
  EXPECT_TRUE(PumpUntil([&] {
    auto px = Screen(RECT{600, 600, 624, 624});
    return px.size() == 576u && px[3 * 24 + 2] == 0xFF0000u && px[20 * 24 + 11] == 0xFF0000u &&
           px[3 * 24 + 13] != 0xFF0000u && px[20 * 24 + 23] != 0xFF0000u;
  }));
  HeadlessPumpMessages();
  XTestFakeMotionEvent(Probe, DefaultScreen(Probe), 605, 605, CurrentTime);
  XTestFakeButtonEvent(Probe, 3, True, CurrentTime);
  XTestFakeButtonEvent(Probe, 3, False, CurrentTime);
  XFlush(Probe);
  ASSERT_TRUE(PumpUntil([&] {
    for (auto& m : Logged(WM_USER + 1, owner))
      if (m.LParam == WM_RBUTTONUP) return true;
    return false;
  }));
  auto callbacks = Logged(WM_USER + 1, owner);
  EXPECT_EQ(callbacks[0].WParam, nid.uID);
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 605);
  // A tray that takes over (after a restart) starts empty: the program
  // hears of it again and its re-add docks there.
  TTestTray again(Probe);
  again.Start();
  EXPECT_TRUE(PumpUntil([&] { return Logged(created, owner).size() >= 2; }));
  EXPECT_FALSE(hk::FindTrayIcon(owner, nid.uID, nullptr));
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &nid));
  Window second = 0;
  EXPECT_TRUE(PumpUntil([&] { return (second = second ? second : again.Docked()) != 0; }));
  // The tray goes away: so do its icons.
  XDestroyWindow(Probe, again.Manager);
  XSetSelectionOwner(Probe, again.Selection, None, CurrentTime);
  XSync(Probe, False);
  EXPECT_TRUE(PumpUntil([&] { return !NotificationAreaPresent(); }));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &nid));
}

// The icon window asks for a square of the tray's icon size in its size
// hints (trayer's sockets size an icon from them): the size the tray names,
// else its height (a vertical tray's width) once the tray has given it.
TEST_F(X11Test, ATrayIconAsksForASquareOfTheTraysIconSize) {
  struct TCase {
    long IconSize, Orientation;
    int GivenWidth, GivenHeight;  // as trayer gives an icon without hints: 1 pixel across
    int Asked;
  };
  HWND owner = MakeTop(0, 0, 10, 10);
  const UINT created = RegisterWindowMessageA("TaskbarCreated");
  NOTIFYICONDATAA nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = owner;
  nid.uID = 1;
  nid.uFlags = NIF_MESSAGE | NIF_ICON;
  nid.uCallbackMessage = WM_USER + 1;
  nid.hIcon = RedHalfIcon();
  auto asked = [&](Window icon) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(Probe, icon, &hints, &supplied) || !(hints.flags & PMinSize) ||
        !(hints.flags & PBaseSize) || hints.min_width != hints.min_height || hints.base_width != hints.min_width ||
        hints.base_height != hints.min_height)
      return -1;
    return hints.min_width;
  };
  std::vector<TTestTray> trays;
  for (const TCase& c : {TCase{20, 0, 1, 1, 20}, TCase{0, 0, 1, 30, 30}, TCase{0, 1, 36, 1, 36}}) {
    SCOPED_TRACE("icon size " + std::to_string(c.IconSize) + ", orientation " + std::to_string(c.Orientation));
    const size_t heard = Logged(created, owner).size();
    TTestTray& tray = trays.emplace_back(Probe);
    tray.Start(c.IconSize, c.Orientation);
    ASSERT_TRUE(PumpUntil([&] { return Logged(created, owner).size() > heard; }));
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &nid));
    Window icon = 0;
    ASSERT_TRUE(PumpUntil([&] { return (icon = icon ? icon : tray.Docked()) != 0; }));
    EXPECT_EQ(asked(icon), c.IconSize > 0 ? c.IconSize : 24) << "asked when docked";
    // The tray takes it into a window of its own and gives it a size.
    Window slot = XCreateSimpleWindow(Probe, DefaultRootWindow(Probe), 600, 600, 40, 40, 0, 0, 0x808080);
    XMapWindow(Probe, slot);
    XReparentWindow(Probe, icon, slot, 0, 0);
    XResizeWindow(Probe, icon, static_cast<unsigned>(c.GivenWidth), static_cast<unsigned>(c.GivenHeight));
    XMapWindow(Probe, icon);
    XSync(Probe, False);
    EXPECT_TRUE(PumpUntil([&] { return asked(icon) == c.Asked; })) << "asked " << asked(icon);
  }
}

TEST_F(X11Test, ClipboardTextIsTheClipboardSelection) {
  const std::u16string text = u"日本語 and text \U0001F338";
  ASSERT_TRUE(SetClipboardTextW(text));
  std::u16string back;
  ASSERT_TRUE(GetClipboardTextW(&back));
  EXPECT_EQ(back, text);
  // Another program reads what we copied (its request is answered by our loop).
  Atom clipboard = XInternAtom(Probe, "CLIPBOARD", False), utf8 = XInternAtom(Probe, "UTF8_STRING", False),
       prop = XInternAtom(Probe, "PROBE_PROP", False);
  Window reader = XCreateSimpleWindow(Probe, DefaultRootWindow(Probe), 0, 0, 1, 1, 0, 0, 0);
  XConvertSelection(Probe, clipboard, utf8, prop, reader, CurrentTime);
  XFlush(Probe);
  std::string got;
  EXPECT_TRUE(PumpUntil([&] {
    XEvent ev;
    if (!XCheckTypedWindowEvent(Probe, reader, SelectionNotify, &ev)) return false;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(Probe, reader, prop, 0, 4096, True, AnyPropertyType, &type, &format, &n, &after, &data);
    if (data) got.assign(reinterpret_cast<char*>(data), n);
    if (data) XFree(data);
    return true;
  }));
  EXPECT_EQ(got, "日本語 and text \U0001F338");
  // And we read what another program copied.
  std::atomic<bool> owned{false}, done{false};
  std::thread owner([&] {
    Display* d = XOpenDisplay(std::getenv("HANAKUMO_TEST_DISPLAY"));
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    Atom cb = XInternAtom(d, "CLIPBOARD", False), u8 = XInternAtom(d, "UTF8_STRING", False);
    XSetSelectionOwner(d, cb, w, CurrentTime);
    XSync(d, False);
    owned = true;
    while (!done) {
      while (XPending(d) > 0) {
        XEvent ev;
        XNextEvent(d, &ev);
        if (ev.type != SelectionRequest) continue;
        const char* value = "from elsewhere";
        XChangeProperty(d, ev.xselectionrequest.requestor, ev.xselectionrequest.property, u8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(value), 14);
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = ev.xselectionrequest.requestor;
        reply.xselection.selection = ev.xselectionrequest.selection;
        reply.xselection.target = ev.xselectionrequest.target;
        reply.xselection.property = ev.xselectionrequest.property;
        reply.xselection.time = ev.xselectionrequest.time;
        XSendEvent(d, ev.xselectionrequest.requestor, False, NoEventMask, &reply);
        XFlush(d);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    XCloseDisplay(d);
  });
  while (!owned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(GetClipboardTextW(&back));
  EXPECT_EQ(back, u"from elsewhere");
  done = true;
  owner.join();
}

TEST_F(X11Test, ClickThroughAndAnotherProgramInFront) {
  HWND below = MakeTop(700, 100, 60, 60, WS_POPUP | WS_VISIBLE);
  HWND card = MakeTop(700, 100, 80, 80, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TRANSPARENT);
  ASSERT_NE(card, nullptr);
  HeadlessPumpMessages();
  XSync(Probe, False);
  HeadlessPumpMessages();
  // Where only the card is, the X server finds no window under the pointer.
  XTestFakeMotionEvent(Probe, DefaultScreen(Probe), 770, 170, CurrentTime);
  XSync(Probe, False);
  Window rootRet, child = 1;
  int rx, ry, wx, wy;
  unsigned mask;
  XQueryPointer(Probe, DefaultRootWindow(Probe), &rootRet, &child, &rx, &ry, &wx, &wy, &mask);
  EXPECT_EQ(child, static_cast<Window>(None));
  XTestFakeMotionEvent(Probe, DefaultScreen(Probe), 720, 120, CurrentTime);
  XTestFakeButtonEvent(Probe, 1, True, CurrentTime);
  XTestFakeButtonEvent(Probe, 1, False, CurrentTime);
  XFlush(Probe);
  // The locked card lets the click through to the window below it.
  EXPECT_TRUE(PumpUntil([&] { return !Logged(WM_LBUTTONUP, below).empty(); }));
  EXPECT_TRUE(Logged(WM_LBUTTONDOWN, card).empty());
  // A full-screen window of another program takes the focus.
  int sw = DisplayWidth(Probe, DefaultScreen(Probe)), sh = DisplayHeight(Probe, DefaultScreen(Probe));
  Window other = XCreateSimpleWindow(Probe, DefaultRootWindow(Probe), 0, 0, static_cast<unsigned>(sw),
                                     static_cast<unsigned>(sh), 0, 0, 0);
  XMapRaised(Probe, other);
  XSync(Probe, False);
  XSetInputFocus(Probe, other, RevertToParent, CurrentTime);
  XSync(Probe, False);
  HWND front = nullptr;
  EXPECT_TRUE(PumpUntil([&] {
    front = GetForegroundWindow();
    return front != nullptr && front != below && front != card;
  }));
  RECT c{};
  EXPECT_TRUE(GetClientRect(front, &c));
  EXPECT_EQ(c.right, sw);
  EXPECT_EQ(c.bottom, sh);
  // The focus on a window inside it: still that program's window in front.
  Window inner = XCreateSimpleWindow(Probe, other, 10, 10, 50, 50, 0, 0, 0);
  XMapWindow(Probe, inner);
  XSync(Probe, False);
  XSetInputFocus(Probe, inner, RevertToParent, CurrentTime);
  XSync(Probe, False);
  EXPECT_TRUE(PumpUntil([&] {
    RECT r{};
    HWND f = GetForegroundWindow();
    return f != nullptr && f != card && f != below && GetClientRect(f, &r) && r.right == sw && r.bottom == sh;
  }));
  // Once it is gone, nothing of it is left in front.
  XDestroyWindow(Probe, other);
  XSync(Probe, False);
  EXPECT_TRUE(PumpUntil([&] {
    HWND f = GetForegroundWindow();
    return f == nullptr || f == card || f == below;
  }));
  EXPECT_FALSE(GetClientRect(front, &c)) << "the window that stood for it is still there";
}

TEST_F(X11Test, ACaptionDragWithoutAWindowManagerMovesSteadily) {
  HWND h = MakeTop(100, 600, 120, 80, WS_POPUP | WS_VISIBLE);
  MessageHook() = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_NCHITTEST) return false;
    *r = HTCAPTION;
    return true;
  };
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(h) != FALSE; }));
  HeadlessPumpMessages();
  XTestFakeMotionEvent(Probe, DefaultScreen(Probe), 110, 610, CurrentTime);
  XTestFakeButtonEvent(Probe, 1, True, CurrentTime);
  for (int i = 1; i <= 10; ++i) {
    XTestFakeMotionEvent(Probe, DefaultScreen(Probe), 110 + 10 * i, 610 + 5 * i, CurrentTime);
    XFlush(Probe);
    HeadlessPumpMessages();
  }
  XTestFakeButtonEvent(Probe, 1, False, CurrentTime);
  XFlush(Probe);
  ASSERT_TRUE(PumpUntil([&] { return !Logged(WM_EXITSIZEMOVE, h).empty(); }));
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 200);
  EXPECT_EQ(r.top, 650);
  // The window only ever moved on, never back.
  LONG last = 0;
  for (auto& m : Logged(WM_MOVE, h)) {
    EXPECT_GE(GET_X_LPARAM(m.LParam), last);
    last = GET_X_LPARAM(m.LParam);
  }
  EXPECT_EQ(last, 200);
}

}  // namespace
