// The X11 driver under a window manager (openbox on a private display of
// its own): what the window manager says of a window, maximised or
// minimised, is the window's own state, and the window hears of it with the
// messages its own change of state sends.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "X11DisplayTest.h"
// Xlib's macros clash with GoogleTest's names: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/x11/PrivateDisplay.h"

namespace {

class X11WindowManagerTest : public X11DisplayTest {
 protected:
  hktest::TPrivateDisplay Server;

  void SetUp() override {
    const char* display = std::getenv("HANAKUMO_TEST_DISPLAY");
    if (display == nullptr || *display == 0) GTEST_SKIP() << "HANAKUMO_TEST_DISPLAY is not set";
    ASSERT_EQ(Server.Start(hktest::TWindowManager::Openbox), "");
    OpenDisplay(Server.Name());
  }

  void Send(Window x, const char* type, long l0, long l1 = 0, long l2 = 0, long l3 = 0) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = x;
    e.xclient.message_type = XInternAtom(Probe, type, False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    XSendEvent(Probe, DefaultRootWindow(Probe), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XSync(Probe, False);
  }
  // A taskbar's maximise (or restore) request.
  void RequestMaximized(Window x, bool on) {
    Send(x, "_NET_WM_STATE", on ? 1 : 0, static_cast<long>(XInternAtom(Probe, "_NET_WM_STATE_MAXIMIZED_HORZ", False)),
         static_cast<long>(XInternAtom(Probe, "_NET_WM_STATE_MAXIMIZED_VERT", False)), 2);
  }

  // The last WM_SIZE the window had, as kind and client size.
  struct TSize {
    WPARAM Kind = 99;
    int Width = -1, Height = -1;
    bool operator==(const TSize& o) const { return Kind == o.Kind && Width == o.Width && Height == o.Height; }
  };
  static TSize LastSize(HWND h) {
    auto sizes = Logged(WM_SIZE, h);
    if (sizes.empty()) return {};
    const auto& m = sizes.back();
    return {m.WParam, LOWORD(static_cast<uintptr_t>(m.LParam)), HIWORD(static_cast<uintptr_t>(m.LParam))};
  }
  static bool RectIs(HWND h, const RECT& want) {
    RECT r{};
    GetWindowRect(h, &r);
    return r.left == want.left && r.top == want.top && r.right == want.right && r.bottom == want.bottom;
  }
};

TEST_F(X11WindowManagerTest, TheWindowManagersMaximiseAndMinimiseAreTheWindowsOwn) {
  HWND h = CreateWindowExA(0, kRecordingClass, "wm states", WS_POPUP | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, 100, 120, 300,
                           200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(h, nullptr);
  ShowWindow(h, SW_SHOW);
  const int sw = DisplayWidth(Probe, DefaultScreen(Probe)), sh = DisplayHeight(Probe, DefaultScreen(Probe));
  Window x = 0;
  ASSERT_TRUE(PumpUntil([&] { return (x = XWindowTitled("wm states")) != 0; }));
  const RECT normal{100, 120, 400, 320};
  ASSERT_TRUE(PumpUntil([&] { return RectIs(h, normal); }));
  // A window manager hears no request for a window it does not look after
  // yet: the taskbar asks once it does (WM_STATE set).
  ASSERT_TRUE(PumpUntil([&] {
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(Probe, x, XInternAtom(Probe, "WM_STATE", False), 0, 2, False, AnyPropertyType, &type, &format,
                       &n, &after, &data);
    if (data) XFree(data);
    return n > 0;
  }));

  // A taskbar maximises it: maximised, with the screen's size, as its own
  // maximise would say.
  RequestMaximized(x, true);
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(h) && LastSize(h) == TSize{SIZE_MAXIMIZED, sw, sh}; }))
      << "IsZoomed " << IsZoomed(h) << ", last WM_SIZE " << LastSize(h).Kind << " " << LastSize(h).Width << " x "
      << LastSize(h).Height;
  EXPECT_TRUE(RectIs(h, RECT{0, 0, sw, sh}));

  // Minimised by the window manager and brought back by a taskbar: still
  // maximised.
  Send(x, "WM_CHANGE_STATE", IconicState);
  ASSERT_TRUE(PumpUntil([&] { return IsIconic(h) && LastSize(h).Kind == SIZE_MINIMIZED; }));
  EXPECT_TRUE(IsZoomed(h));
  Send(x, "_NET_ACTIVE_WINDOW", 2, CurrentTime);
  ASSERT_TRUE(PumpUntil([&] { return !IsIconic(h) && LastSize(h) == TSize{SIZE_MAXIMIZED, sw, sh}; }));

  // The program's own restore goes back where the window was before the
  // window manager's maximise, and the window manager hears of it.
  ShowWindow(h, SW_RESTORE);
  EXPECT_FALSE(IsZoomed(h));
  EXPECT_EQ(LastSize(h), (TSize{SIZE_RESTORED, 300, 200}));
  auto wmMaximized = [&] {
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(Probe, x, XInternAtom(Probe, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type, &format,
                           &n, &after, &data) == Success &&
        data != nullptr)
      for (unsigned long i = 0; i < n; ++i)
        found = found || reinterpret_cast<Atom*>(data)[i] == XInternAtom(Probe, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    if (data) XFree(data);
    return found;
  };
  ASSERT_TRUE(PumpUntil([&] { return !wmMaximized(); }));
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a{};
    return XGetWindowAttributes(Probe, x, &a) && a.width == 300 && a.height == 200;
  }));
  EXPECT_FALSE(IsZoomed(h));
  EXPECT_TRUE(RectIs(h, normal));

  // A taskbar's restore after the program's own maximise: both agree again.
  ShowWindow(h, SW_MAXIMIZE);
  ASSERT_TRUE(PumpUntil([&] { return wmMaximized() && LastSize(h) == TSize{SIZE_MAXIMIZED, sw, sh}; }));
  RequestMaximized(x, false);
  ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(h) && LastSize(h) == TSize{SIZE_RESTORED, 300, 200}; }))
      << "IsZoomed " << IsZoomed(h) << ", last WM_SIZE " << LastSize(h).Kind << " " << LastSize(h).Width << " x "
      << LastSize(h).Height;
  EXPECT_TRUE(RectIs(h, normal));

  // The taskbar's restore right behind the program's own maximise, before
  // the program has seen the window manager's answer to it: the window
  // still ends as the window manager leaves it.
  ShowWindow(h, SW_MAXIMIZE);
  RequestMaximized(x, false);
  ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(h) && LastSize(h) == TSize{SIZE_RESTORED, 300, 200}; }))
      << "IsZoomed " << IsZoomed(h) << ", last WM_SIZE " << LastSize(h).Kind << " " << LastSize(h).Width << " x "
      << LastSize(h).Height;
  DestroyWindow(h);
}

}  // namespace
