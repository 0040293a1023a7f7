#include "platform/Session.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/WindowInternals.h"

namespace {

std::atomic<DWORD> gSessionThread{0};
std::atomic<int> gWakeFd{-1};
// 0 nothing, 1 asked, 2 delivered: only the first request counts.
std::atomic<int> gState{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

void OnSignal(int) {
  int expected = 0;
  if (!gState.compare_exchange_strong(expected, 1)) return;
  int fd = gWakeFd.load();
  if (fd >= 0) {
    uint64_t one = 1;
    ssize_t n = ::write(fd, &one, sizeof one);  // wakes the loop's poll
    (void)n;
  }
}

}  // namespace

void InstallSessionEndHandlers() {
  hkwin::TThreadQueue& q = hkwin::CurrentQueueRef();
  gSessionThread = q.ThreadId;
  gWakeFd = q.WakeFd;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaction(sig, &sa, nullptr);
}

void RequestSessionEnd() { OnSignal(0); }

bool SessionEnding() { return gState.load() != 0; }

namespace hkwin {

bool DeliverSessionEnd() {
  if (gState.load(std::memory_order_relaxed) != 1) return false;
  DWORD self = GetCurrentThreadId();
  if (self != gSessionThread.load()) return false;
  int expected = 1;
  if (!gState.compare_exchange_strong(expected, 2)) return false;
  std::vector<HWND> mine;
  Windows().ForEach([&](HWND h, const PWindow& w) {
    if (!w->Foreign && IsTopLevel(*w) && w->ThreadId == self) mine.push_back(h);
  });
  // Nobody may refuse: a signal or a closed display does not wait.
  for (HWND h : mine)
    if (IsWindow(h)) SendMessageA(h, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  for (HWND h : mine)
    if (IsWindow(h)) SendMessageA(h, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  return true;
}

void ResetSessionEndForTests() { gState = 0; }

}  // namespace hkwin
