// What the X11 driver's tests share: the driver on a real display, a
// connection of the test's own to read the server back, a pump that waits
// on the state a test wants with a deadline no loaded machine reaches, and
// lookups of our windows and their properties.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "WindowTestUtil.h"
// Xlib's macros clash with GoogleTest's names: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

class X11DisplayTest : public PlatformTest {
 protected:
  Display* Probe = nullptr;

  // Runs the driver on `display` and opens the test's own connection to it.
  void OpenDisplay(const std::string& display) {
    PlatformTest::SetUp();
    ASSERT_TRUE(SelectPlatformDriver("x11", display));
    Probe = XOpenDisplay(display.c_str());
    ASSERT_NE(Probe, nullptr);
  }
  void TearDown() override {
    if (Probe == nullptr) return;
    PlatformTest::TearDown();
    SelectPlatformDriver("headless");
    XCloseDisplay(Probe);
  }

  // Pumps until `done` holds, at most 20 s of real time.
  template <typename F>
  bool PumpUntil(F done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      HeadlessPumpMessages();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }

  // Our X window of that title: a child of the root, or inside a window
  // manager's frame.
  Window XWindowTitled(const char* title, Window under = 0, int depth = 0) {
    if (under == 0) under = DefaultRootWindow(Probe);
    Window root, parent, *children = nullptr, found = 0;
    unsigned n = 0;
    if (!XQueryTree(Probe, under, &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(Probe, children[i], &name) && name) {
        if (std::string(name) == title) found = children[i];
        XFree(name);
      } else if (depth < 2) {
        found = XWindowTitled(title, children[i], depth + 1);
      }
    }
    if (children) XFree(children);
    return found;
  }

  // A window property of 32-bit items, as longs.
  std::vector<long> Property(Window w, const char* name) {
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> out;
    if (XGetWindowProperty(Probe, w, XInternAtom(Probe, name, False), 0, 1 << 20, False, AnyPropertyType, &type,
                           &format, &n, &after, &data) == Success &&
        data && format == 32)
      out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
    if (data) XFree(data);
    return out;
  }
};
