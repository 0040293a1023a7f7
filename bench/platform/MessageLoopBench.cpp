// The message loop's idle cost: PeekMessage with nothing pending, against a
// loop that asks the operating system once per call (a zero-timeout poll);
// and a post-and-take round trip against a plain locked queue.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "bench/BenchTiming.h"
#include "platform/Windows.h"
#include "platform/drivers/headless/Headless.h"

namespace {

void Row(const char* what, double ours, const char* peer, double theirs) {
  std::printf("ROW | %s | ours %.2f ms | %s %.2f ms | ratio %.2f\n", what, ours, peer, theirs, ours / theirs);
}

LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

volatile long gSink = 0;

}  // namespace

int main() {
  UseVirtualClock(false);
  const char* display = std::getenv("HANAKUMO_BENCH_DISPLAY");
  bool x11 = display != nullptr && *display != 0 && SelectPlatformDriver("x11", display);
  if (!x11) SelectPlatformDriver("headless");
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = "BenchWindow";
  RegisterClassA(&wc);
  HWND h = CreateWindowExA(0, "BenchWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);

  constexpr int kCalls = 1000000;
  double ours = BestMs([&] {
    for (int i = 0; i < kCalls; ++i)
      if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  });
  int fd = eventfd(0, EFD_NONBLOCK);
  double peer = BestMs([&] {
    for (int i = 0; i < kCalls; ++i) {
      pollfd p{fd, POLLIN, 0};
      gSink = gSink + poll(&p, 1, 0);
    }
  });
  close(fd);
  Row(x11 ? "PeekMessage with nothing pending, X11, 1000000 calls" : "PeekMessage with nothing pending, 1000000 calls",
      ours, "poll(2) per call", peer);

  constexpr int kPosts = 200000;
  double roundTrip = BestMs([&] {
    for (int i = 0; i < kPosts; ++i) {
      PostMessageA(h, WM_USER, static_cast<WPARAM>(i), 0);
      if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
  });
  std::mutex lock;
  std::condition_variable cond;
  std::deque<MSG> queue;
  double plain = BestMs([&] {
    for (int i = 0; i < kPosts; ++i) {
      MSG m{};
      m.hwnd = h;
      m.message = WM_USER;
      m.wParam = static_cast<WPARAM>(i);
      m.time = GetTickCount();
      {
        std::lock_guard<std::mutex> g(lock);
        queue.push_back(m);
      }
      cond.notify_one();
      std::lock_guard<std::mutex> g(lock);
      MSG got = queue.front();
      queue.pop_front();
      gSink = gSink + Proc(got.hwnd, got.message, got.wParam, got.lParam);
    }
  });
  Row("PostMessage then PeekMessage and dispatch, 200000 messages", roundTrip, "mutex+deque queue", plain);
  DestroyWindow(h);
  return 0;
}
