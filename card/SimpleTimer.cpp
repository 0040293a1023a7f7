#include "card/SimpleTimer.h"

#include "platform/Messages.h"
#include "platform/Timers.h"
#include "platform/Window.h"

TSimpleTimerHandler* TimerHandler = nullptr;

namespace {

// Ids count up from 1 and are never reused, so a late tick for a freed
// timer cannot land on a new one made at the same address.
UINT_PTR NextTimerId() {
  static UINT_PTR next = 0;
  return ++next;
}

// A handler still left when the program ends is freed with it. Made after
// the first window, so it goes before the platform's window table does.
struct TTimerHandlerFinaliser {
  ~TTimerHandlerFinaliser() {
    delete TimerHandler;
    TimerHandler = nullptr;
  }
};

}  // namespace

// ---- TSimpleTimerHandler

TSimpleTimerHandler::TSimpleTimerHandler() { FHandle = CreateHelperWindow(&TimerWindowProc); }

TSimpleTimerHandler::~TSimpleTimerHandler() {
  if (FHandle && IsWindow(FHandle)) DestroyWindow(FHandle);
}

HWND TSimpleTimerHandler::Handle() {
  if (!FHandle || !IsWindow(FHandle)) FHandle = CreateHelperWindow(&TimerWindowProc);
  return FHandle;
}

LRESULT TSimpleTimerHandler::TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_TIMER) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (TimerHandler == nullptr) return 0;
  auto it = TimerHandler->FTimers.find(static_cast<UINT_PTR>(wParam));
  if (it != TimerHandler->FTimers.end()) it->second->Tick();
  return 0;
}

void AcquireTimerHandler() {
  if (TimerHandler == nullptr) {
    TimerHandler = new TSimpleTimerHandler;
    static TTimerHandlerFinaliser finaliser;
  }
  ++TimerHandler->FUsers;
}

void ReleaseTimerHandler() {
  if (TimerHandler == nullptr) return;
  if (TimerHandler->FUsers > 0) --TimerHandler->FUsers;
  if (TimerHandler->FUsers == 0) {
    delete TimerHandler;
    TimerHandler = nullptr;
  }
}

// ---- TSimpleTimer

TSimpleTimer::TSimpleTimer() { InitTimer(1000, nullptr); }

TSimpleTimer::TSimpleTimer(uint32_t interval, TNotifyEvent onTimer) { InitTimer(interval, std::move(onTimer)); }

void TSimpleTimer::InitTimer(uint32_t interval, TNotifyEvent onTimer) {
  FId = NextTimerId();
  OneShot = false;
  FEnabled = false;
  FInterval = interval;
  SetOnTimer(std::move(onTimer));
  AcquireTimerHandler();
  TimerHandler->FTimers[FId] = this;
}

TSimpleTimer::~TSimpleTimer() {
  if (FEnabled) StopTimer(true);
  if (TimerHandler) TimerHandler->FTimers.erase(FId);
  ReleaseTimerHandler();
}

void TSimpleTimer::SetEnabled(bool value) {
  if (value)
    StartTimer();
  else
    StopTimer(true);
}

void TSimpleTimer::SetInterval(uint32_t value) {
  if (value == FInterval) return;
  FInterval = value;
  if (!FEnabled) return;
  if (value != 0)
    StartTimer();
  else
    StopTimer(false);
}

void TSimpleTimer::SetOnTimer(TNotifyEvent value) {
  FOnTimer = std::move(value);
  if (!FOnTimer && FEnabled) StopTimer(false);
}

bool TSimpleTimer::StartTimer() {
  if (FInterval == 0) return false;
  if (FEnabled) StopTimer(true);
  if (TimerHandler == nullptr) return false;
  bool started = SetTimer(TimerHandler->Handle(), FId, FInterval, nullptr) != 0;
  if (started) FEnabled = true;
  return started;
}

bool TSimpleTimer::StopTimer(bool disable) {
  if (disable) FEnabled = false;
  if (TimerHandler == nullptr) return false;
  return KillTimer(TimerHandler->Handle(), FId) != FALSE;
}

void TSimpleTimer::Tick() {
  if (OneShot) StopTimer(true);
  // A copy, and last: the handler may free this timer.
  TNotifyEvent handler = FOnTimer;
  if (handler) handler(this);
}
