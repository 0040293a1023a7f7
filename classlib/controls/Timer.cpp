#include "classlib/controls/Timer.h"
#include "classlib/controls/ControlClasses.h"

#include <mutex>
#include <unordered_map>

#include "platform/Timers.h"

namespace {

// Thread timers carry a platform-chosen id; this finds the component.
std::mutex& TimersLock() {
  static std::mutex lock;
  return lock;
}

std::unordered_map<UINT_PTR, TTimer*>& TimersById() {
  static std::unordered_map<UINT_PTR, TTimer*> timers;
  return timers;
}

}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
}

void TTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t value) {
  if (value == FInterval) return;
  FInterval = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  FOnTimer = std::move(handler);
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::Timer() {
  if (FOnTimer) FOnTimer(this);
}

void TTimer::UpdateTimer() {
  if (FTimerId != 0) {
    KillTimer(nullptr, FTimerId);
    std::lock_guard<std::mutex> guard(TimersLock());
    TimersById().erase(FTimerId);
    FTimerId = 0;
  }
  if (!FEnabled || FInterval == 0 || !FOnTimer || IsLoading() || IsDestroying()) return;
  UINT_PTR id = SetTimer(nullptr, 0, FInterval, &TTimer::TimerProc);
  if (id == 0) throw EOutOfResources("Not enough timers available");
  std::lock_guard<std::mutex> guard(TimersLock());
  TimersById()[id] = this;
  FTimerId = id;
}

void TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  TTimer* timer = nullptr;
  {
    std::lock_guard<std::mutex> guard(TimersLock());
    auto it = TimersById().find(id);
    if (it != TimersById().end()) timer = it->second;
  }
  // A tick already queued for a timer since stopped or freed finds nothing.
  if (timer != nullptr) timer->Timer();
}

namespace {
// Form resources may name the controls as soon as the program runs.
const bool kRegistered = (RegisterStandardControls(), true);
}  // namespace
