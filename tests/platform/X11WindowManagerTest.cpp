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

#include "platform/Clipboard.h"
#include "tests/x11/PrivateDisplay.h"

namespace {

class X11WindowManagerTest : public X11DisplayTest {
 protected:
  hktest::TPrivateDisplay Server;

  virtual hktest::TWindowManager WindowManager() const { return hktest::TWindowManager::Openbox; }
  void SetUp() override {
    const char* display = std::getenv("HANAKUMO_TEST_DISPLAY");
    if (display == nullptr || *display == 0) GTEST_SKIP() << "HANAKUMO_TEST_DISPLAY is not set";
    ASSERT_EQ(Server.Start(WindowManager()), "");
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
  // The window manager says the window is maximised.
  bool WmMaximized(Window x) {
    const Atom vert = XInternAtom(Probe, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    for (long atom : Property(x, "_NET_WM_STATE"))
      if (static_cast<Atom>(atom) == vert) return true;
    return false;
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
  ASSERT_TRUE(PumpUntil([&] { return !Property(x, "WM_STATE").empty(); }));

  // A taskbar maximises it: maximised, with the screen's size, as its own
  // maximise would say; the driver may read the map only after it.
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
  ASSERT_TRUE(PumpUntil([&] { return !WmMaximized(x); }));
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a{};
    return XGetWindowAttributes(Probe, x, &a) && a.width == 300 && a.height == 200;
  }));
  EXPECT_FALSE(IsZoomed(h));
  EXPECT_TRUE(RectIs(h, normal));

  // A taskbar's restore after the program's own maximise: both agree again.
  ShowWindow(h, SW_MAXIMIZE);
  ASSERT_TRUE(PumpUntil([&] { return WmMaximized(x) && LastSize(h) == TSize{SIZE_MAXIMIZED, sw, sh}; }));
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

// The window manager played by the test itself, so that what it does comes
// in an exact order: it maps the window, looks after it and maximises it at
// a taskbar's request, all before the program has read one event of it.
class X11LateMapTest : public X11WindowManagerTest {
 protected:
  hktest::TWindowManager WindowManager() const override { return hktest::TWindowManager::NoWindowManager; }

  Window Check = 0;

  Atom A(const char* name) { return XInternAtom(Probe, name, False); }
  void BecomeWindowManager() {
    Window root = DefaultRootWindow(Probe);
    XSelectInput(Probe, root, SubstructureRedirectMask | SubstructureNotifyMask);
    Window check = Check = XCreateSimpleWindow(Probe, root, -10, -10, 1, 1, 0, 0, 0);
    for (Window w : {root, check})
      XChangeProperty(Probe, w, A("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&check), 1);
    Atom supported[] = {A("_NET_WM_STATE"), A("_NET_WM_STATE_MAXIMIZED_HORZ"), A("_NET_WM_STATE_MAXIMIZED_VERT")};
    XChangeProperty(Probe, root, A("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(supported), 3);
    XSync(Probe, False);
  }
  void SetMaximized(Window x, bool on) {
    Atom max[] = {A("_NET_WM_STATE_MAXIMIZED_HORZ"), A("_NET_WM_STATE_MAXIMIZED_VERT")};
    XChangeProperty(Probe, x, A("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(max),
                    on ? 2 : 0);
  }
  // Does what the program asks, as a window manager would; true when it
  // asked to undo the maximise.
  bool Serve() {
    bool undo = false;
    while (XPending(Probe) > 0) {
      XEvent ev;
      XNextEvent(Probe, &ev);
      if (ev.type == ConfigureRequest) {
        XWindowChanges c{};
        c.x = ev.xconfigurerequest.x;
        c.y = ev.xconfigurerequest.y;
        c.width = ev.xconfigurerequest.width;
        c.height = ev.xconfigurerequest.height;
        XConfigureWindow(Probe, ev.xconfigurerequest.window,
                         static_cast<unsigned>(ev.xconfigurerequest.value_mask) & (CWX | CWY | CWWidth | CWHeight), &c);
      } else if (ev.type == ClientMessage && ev.xclient.message_type == A("_NET_WM_STATE") &&
                 static_cast<Atom>(ev.xclient.data.l[1]) == A("_NET_WM_STATE_MAXIMIZED_HORZ")) {
        undo = undo || ev.xclient.data.l[0] == 0;
        SetMaximized(ev.xclient.window, ev.xclient.data.l[0] != 0);
      }
    }
    XSync(Probe, False);
    return undo;
  }
  // Until the program has read every event the display sent it so far: it
  // answers a request for the clipboard it holds only after those.
  bool ProgramCaughtUp() {
    XConvertSelection(Probe, A("CLIPBOARD"), A("UTF8_STRING"), A("PROBE_PROP"), Check, CurrentTime);
    XSync(Probe, False);
    XEvent ev;
    return PumpUntil([&] { return XCheckTypedWindowEvent(Probe, Check, SelectionNotify, &ev) != 0; });
  }
};

TEST_F(X11LateMapTest, AMaximiseTheWindowManagerMadeBeforeTheMapWasReadIsKept) {
  BecomeWindowManager();
  ASSERT_TRUE(SetClipboardTextW(u"sync"));
  HWND h = CreateWindowExA(0, kRecordingClass, "late map", WS_POPUP | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, 100, 120, 300,
                           200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(h, nullptr);
  ShowWindow(h, SW_SHOW);
  XEvent ev{};
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!XCheckTypedEvent(Probe, MapRequest, &ev) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(ev.type, MapRequest) << "no map request reached the window manager";
  const Window x = ev.xmaprequest.window;
  // The program has read what came before the map: its own windows'
  // properties, whose news would otherwise make it read the state later.
  ASSERT_TRUE(ProgramCaughtUp());
  const int sw = DisplayWidth(Probe, DefaultScreen(Probe)), sh = DisplayHeight(Probe, DefaultScreen(Probe));
  XMapWindow(Probe, x);
  long state[] = {NormalState, 0};
  XChangeProperty(Probe, x, A("WM_STATE"), A("WM_STATE"), 32, PropModeReplace, reinterpret_cast<unsigned char*>(state),
                  2);
  SetMaximized(x, true);
  XMoveResizeWindow(Probe, x, 0, 0, static_cast<unsigned>(sw), static_cast<unsigned>(sh));
  XSync(Probe, False);

  bool undone = false;
  EXPECT_TRUE(PumpUntil([&] {
    undone = Serve() || undone;
    return IsZoomed(h) && LastSize(h) == TSize{SIZE_MAXIMIZED, sw, sh} && WmMaximized(x);
  })) << "IsZoomed " << IsZoomed(h) << ", last WM_SIZE " << LastSize(h).Kind << " " << LastSize(h).Width << " x "
      << LastSize(h).Height << ", the window manager says " << (WmMaximized(x) ? "maximised" : "not maximised");
  EXPECT_FALSE(undone) << "the program asked the window manager to undo its maximise";
  DestroyWindow(h);
}

}  // namespace
