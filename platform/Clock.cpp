// The platform clock: monotonic time, or a virtual clock for tests.
#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include <poll.h>

#include "platform/Driver.h"
#include "platform/WindowInternals.h"

namespace {

// The virtual clock starts well above zero so that code subtracting a
// duration from "now" never goes below it.
constexpr uint64_t kVirtualStart = 10'000'000;

struct TClockState {
  std::atomic<bool> Virtual{false};
  std::atomic<uint64_t> VirtualNow{kVirtualStart};
  std::atomic<uint32_t> AutoAdvance{0};
  std::mutex ListenerLock;
  std::map<int, std::function<void()>> Listeners;
  int NextListener = 1;

  TClockState() {
    const char* driver = std::getenv("HANAKUMO_DRIVER");
    const char* clock = std::getenv("HANAKUMO_CLOCK");
    bool headless = driver != nullptr && std::strcmp(driver, "headless") == 0;
    if (clock != nullptr && std::strcmp(clock, "virtual") == 0) headless = true;
    if (clock != nullptr && std::strcmp(clock, "monotonic") == 0) headless = false;
    Virtual = headless;
  }
};

TClockState& State() {
  static TClockState state;
  return state;
}

uint64_t MonotonicMs() {
  static const auto start = std::chrono::steady_clock::now();
  auto elapsed = std::chrono::steady_clock::now() - start;
  // Start above zero, as the virtual clock does.
  return kVirtualStart + static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void NotifyAdvanced() {
  std::map<int, std::function<void()>> copy;
  {
    std::lock_guard<std::mutex> guard(State().ListenerLock);
    copy = State().Listeners;
  }
  for (auto& [id, f] : copy) f();
  hkwin::WakeAllQueues();
}

}  // namespace

uint64_t ClockNowMs() {
  TClockState& s = State();
  if (!s.Virtual.load(std::memory_order_relaxed)) return MonotonicMs();
  uint32_t step = s.AutoAdvance.load(std::memory_order_relaxed);
  if (step != 0) return s.VirtualNow.fetch_add(step) + step;
  return s.VirtualNow.load();
}

DWORD GetTickCount() { return static_cast<DWORD>(ClockNowMs()); }
uint64_t GetTickCount64() { return ClockNowMs(); }
DWORD timeGetTime() { return static_cast<DWORD>(ClockNowMs()); }

bool IsVirtualClock() { return State().Virtual; }

void UseVirtualClock(bool useVirtual) {
  TClockState& s = State();
  if (useVirtual && !s.Virtual) s.VirtualNow = std::max<uint64_t>(s.VirtualNow.load(), MonotonicMs());
  s.Virtual = useVirtual;
  hkwin::WakeAllQueues();
}

void AdvanceClock(uint64_t ms) {
  if (!State().Virtual) return;
  State().VirtualNow += ms;
  NotifyAdvanced();
}

void SetVirtualClock(uint64_t ms) {
  TClockState& s = State();
  uint64_t now = s.VirtualNow.load();
  while (ms > now && !s.VirtualNow.compare_exchange_weak(now, ms)) {
  }
  NotifyAdvanced();
}

void SetClockAutoAdvance(uint32_t ms) { State().AutoAdvance = ms; }

int AddClockListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> guard(State().ListenerLock);
  int id = State().NextListener++;
  State().Listeners.emplace(id, std::move(listener));
  return id;
}

void RemoveClockListener(int id) {
  std::lock_guard<std::mutex> guard(State().ListenerLock);
  State().Listeners.erase(id);
}

void ClockSleep(uint32_t ms) {
  if (State().Virtual) {
    AdvanceClock(ms);
    std::this_thread::yield();
    return;
  }
  // A wait that holds the input thread (a fade) still takes the display's
  // news that cannot wait for the loop.
  const int fd = GetCurrentThreadId() == hkwin::InputThread() ? Driver().EventFd() : -1;
  if (fd < 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  // News already read off the connection (by a request's reply) is in the
  // queue, where waiting on the connection would never see it: it is taken
  // before each wait.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    Driver().TakeUrgentNews();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) return;
    pollfd wait{fd, POLLIN, 0};
    ::poll(&wait, 1, static_cast<int>(left));
  }
}

namespace hkwin {
uint64_t RealNowMs() { return MonotonicMs(); }

void ResetClockForTests() {
  State().VirtualNow = kVirtualStart;
  State().AutoAdvance = 0;
}
}  // namespace hkwin
