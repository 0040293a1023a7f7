// Input latency on X11: a press and release sent together through XTest
// (as a tap sends them) until the window's handler of the release runs,
// with our message loop asleep in GetMessage; against a plain Xlib client
// on the same display seeing its release. Runs on its own Xvfb.
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Windows.h"
#include "platform/drivers/headless/Headless.h"
#include "tests/x11/PrivateDisplay.h"
// Xlib's macros clash with the platform's names: it comes last.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kClicks = 60;

std::mutex gLock;
std::condition_variable gChanged;
int gReleases = 0;
Clock::time_point gReleasedAt;

void Released() {
  std::lock_guard<std::mutex> guard(gLock);
  ++gReleases;
  gReleasedAt = Clock::now();
  gChanged.notify_all();
}

LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_LBUTTONUP) Released();
  return DefWindowProcA(h, m, w, l);
}

// Clicks at (x, y) from a connection of the user's; the median time from
// sending a press and release to the release's handler.
double MedianClickMs(const std::string& display, int x, int y) {
  Display* user = XOpenDisplay(display.c_str());
  if (user == nullptr) return -1;
  std::vector<double> samples;
  for (int i = 0; i < kClicks + 3; ++i) {
    XTestFakeMotionEvent(user, DefaultScreen(user), x + (i % 3), y, CurrentTime);
    XSync(user, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::unique_lock<std::mutex> lock(gLock);
    const int before = gReleases;
    lock.unlock();
    const auto sent = Clock::now();
    XTestFakeButtonEvent(user, 1, True, CurrentTime);
    XTestFakeButtonEvent(user, 1, False, CurrentTime);
    XFlush(user);
    lock.lock();
    // Not seen within two seconds: counted as two seconds.
    bool seen = gChanged.wait_for(lock, std::chrono::seconds(2), [&] { return gReleases > before; });
    const double ms = std::chrono::duration<double, std::milli>((seen ? gReleasedAt : Clock::now()) - sent).count();
    if (i >= 3) samples.push_back(ms);  // the first ones warm up
  }
  XCloseDisplay(user);
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

}  // namespace

int main() {
  hktest::TPrivateDisplay server;
  std::string error = server.Start(hktest::TWindowManager::NoWindowManager);
  if (!error.empty()) {
    std::printf("SKIP | input latency | %s\n", error.c_str());
    return 0;
  }
  const std::string display = server.Name();

  // The peer: a plain Xlib client's window and event loop.
  std::atomic<bool> peerRunning{true};
  std::thread peer([&] {
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) return;
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.event_mask = ButtonPressMask | ButtonReleaseMask;
    Window w = XCreateWindow(d, DefaultRootWindow(d), 200, 0, 100, 100, 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWOverrideRedirect | CWEventMask, &a);
    XMapRaised(d, w);
    XFlush(d);
    while (peerRunning) {
      while (XPending(d) > 0) {
        XEvent ev;
        XNextEvent(d, &ev);
        if (ev.type == ButtonRelease) Released();
      }
      pollfd fd{ConnectionNumber(d), POLLIN, 0};
      ::poll(&fd, 1, 50);
    }
    XCloseDisplay(d);
  });

  UseVirtualClock(false);
  if (!SelectPlatformDriver("x11", display)) {
    std::printf("SKIP | input latency | no X11 driver on %s\n", display.c_str());
    peerRunning = false;
    peer.join();
    return 0;
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = "LatencyWindow";
  RegisterClassA(&wc);
  HWND h = CreateWindowExA(0, "LatencyWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                           nullptr);
  // The loop sleeps with nothing due for a minute, as a program waiting for the user does.
  SetTimer(h, 1, 60000, nullptr);

  double ours = -1, theirs = -1;
  std::thread user([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    theirs = MedianClickMs(display, 250, 50);
    ours = MedianClickMs(display, 50, 50);
    PostMessageA(h, WM_CLOSE, 0, 0);
  });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_CLOSE || (msg.hwnd == h && msg.message == WM_DESTROY)) break;
    DispatchMessageA(&msg);
  }
  user.join();
  peerRunning = false;
  peer.join();
  DestroyWindow(h);
  SelectPlatformDriver("headless");
  std::printf("ROW | a press and release sent together, to the release's handler (median of %d) | ours %.2f ms | "
              "plain Xlib client %.2f ms | ratio %.2f\n",
              kClicks, ours, theirs, ours / theirs);
  return 0;
}
