#include "card/SimpleTimer.h"

#include "platform/Messages.h"
#include "platform/Timers.h"
#include "platform/Window.h"

TSimpleTimerHandler* TimerHandler = nullptr;

// ---- TSimpleTimerHandler

LRESULT TSimpleTimerHandler::TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_TIMER) return DefWindowProcA(hwnd, msg, wParam, lParam);
  TSimpleTimer* timer = TimerHandler ? TimerHandler->Find(static_cast<UINT_PTR>(wParam)) : nullptr;
  if (timer) timer->Tick();
  return 0;
}

void AcquireTimerHandler() { AcquireSharedHandler(TimerHandler); }

void ReleaseTimerHandler() { ReleaseSharedHandler(TimerHandler); }

// ---- TSimpleTimer

TSimpleTimer::TSimpleTimer() { InitTimer(1000, nullptr); }

TSimpleTimer::TSimpleTimer(uint32_t interval, TNotifyEvent onTimer) { InitTimer(interval, std::move(onTimer)); }

void TSimpleTimer::InitTimer(uint32_t interval, TNotifyEvent onTimer) {
  OneShot = false;
  FEnabled = false;
  FInterval = interval;
  SetOnTimer(std::move(onTimer));
  AcquireTimerHandler();
  FId = TimerHandler->Add(this);
}

TSimpleTimer::~TSimpleTimer() {
  if (FEnabled) StopTimer(true);
  if (TimerHandler) TimerHandler->Remove(FId);
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
