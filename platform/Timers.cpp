// Window timers, ticking through the owning thread's loop.
#include "platform/Timers.h"

#include <algorithm>
#include <atomic>
#include <map>

#include "platform/Clock.h"
#include "platform/WindowInternals.h"

namespace hkwin {
namespace {

struct TTimer {
  HWND Hwnd = nullptr;
  UINT_PTR Id = 0;
  UINT Period = 0;
  TIMERPROC Proc = nullptr;
  DWORD ThreadId = 0;
  uint64_t Due = 0;
};

std::mutex gTimerLock;
std::map<std::pair<HWND, UINT_PTR>, TTimer> gTimers;
UINT_PTR gNextThreadTimerId = 1;
// Changes whenever a timer is set or killed; an idle loop keeps the next due
// time of its thread's timers and looks again only when this moved.
std::atomic<uint64_t> gGeneration{1};
struct TDueCache {
  uint64_t Generation = 0;
  uint64_t NextDue = 0;
};
thread_local TDueCache tDue;

}  // namespace

bool TakeDueTimer(DWORD threadId, HWND filter, bool remove, MSG* msg, uint64_t now) {
  uint64_t generation = gGeneration.load(std::memory_order_acquire);
  bool own = threadId == GetCurrentThreadId();
  if (own && tDue.Generation == generation && now < tDue.NextDue) return false;
  std::lock_guard<std::mutex> guard(gTimerLock);
  TTimer* best = nullptr;
  uint64_t next = UINT64_MAX;
  for (auto& [key, t] : gTimers) {
    if (t.ThreadId != threadId) continue;
    next = std::min(next, t.Due);
    if (t.Due > now) continue;
    if (filter != nullptr && t.Hwnd != filter && !IsChild(filter, t.Hwnd)) continue;
    if (best == nullptr || t.Due < best->Due) best = &t;
  }
  if (best == nullptr) {
    if (own && next > now) tDue = TDueCache{generation, next};
    return false;
  }
  *msg = MSG{};
  msg->hwnd = best->Hwnd;
  msg->message = WM_TIMER;
  msg->wParam = best->Id;
  msg->lParam = reinterpret_cast<LPARAM>(best->Proc);
  msg->time = static_cast<DWORD>(now);
  // Missed periods coalesce: the next one counts from this tick.
  if (remove) best->Due = now + best->Period;
  return true;
}

uint64_t NextTimerDue(DWORD threadId) {
  uint64_t due = HoverDue(threadId);
  std::lock_guard<std::mutex> guard(gTimerLock);
  for (auto& [key, t] : gTimers)
    if (t.ThreadId == threadId) due = std::min(due, t.Due);
  return due;
}

void KillWindowTimers(HWND hwnd) {
  std::lock_guard<std::mutex> guard(gTimerLock);
  for (auto it = gTimers.begin(); it != gTimers.end();) {
    if (it->first.first == hwnd) it = gTimers.erase(it);
    else ++it;
  }
  ++gGeneration;
}

void KillAllTimers() {
  std::lock_guard<std::mutex> guard(gTimerLock);
  gTimers.clear();
  gNextThreadTimerId = 1;
  ++gGeneration;
}

}  // namespace hkwin

using namespace hkwin;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  DWORD thread = GetCurrentThreadId();
  if (hwnd != nullptr) {
    PWindow w = Find(hwnd);
    if (!w || w->Foreign) return 0;
    // A timer belongs to the window's thread.
    if (w->ThreadId != thread) return 0;
  }
  elapseMs = std::clamp<UINT>(elapseMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  CurrentQueue();
  std::lock_guard<std::mutex> guard(gTimerLock);
  if (hwnd == nullptr) {
    // A thread timer: a new id unless `id` names one of this thread's.
    auto it = gTimers.find({nullptr, id});
    if (id == 0 || it == gTimers.end() || it->second.ThreadId != thread) {
      do {
        id = gNextThreadTimerId++;
      } while (gTimers.count({nullptr, id}) != 0);
    }
  }
  TTimer& t = gTimers[{hwnd, id}];
  t.Hwnd = hwnd;
  t.Id = id;
  t.Period = elapseMs;
  t.Proc = proc;
  t.ThreadId = thread;
  t.Due = ClockNowMs() + elapseMs;
  ++gGeneration;
  if (PThreadQueue q = QueueOf(thread)) WakeQueue(*q);
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  std::lock_guard<std::mutex> guard(gTimerLock);
  auto it = gTimers.find({hwnd, id});
  if (it == gTimers.end()) return FALSE;
  gTimers.erase(it);
  ++gGeneration;
  return TRUE;
}
