// TSimpleTimer: a light timer that needs no window of its own. Every timer
// of the program shares one hidden window, kept by a reference-counted
// TSimpleTimerHandler; each timer's id names it to that window, which finds
// the timer through its table of live timers, so a tick for a timer that is
// gone (or an id nobody gave out) reaches nothing.
#pragma once

#include <cstdint>

#include "card/SharedWindow.h"
#include "classlib/Components.h"
#include "platform/Types.h"

class TSimpleTimer;

class TSimpleTimerHandler : public TSharedObjectWindow<TSimpleTimer> {
 public:
  TSimpleTimerHandler() : TSharedObjectWindow(&TimerWindowProc) {}

 private:
  static LRESULT TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// The shared handler, or nullptr while no timer exists.
extern TSimpleTimerHandler* TimerHandler;
void AcquireTimerHandler();
void ReleaseTimerHandler();

class TSimpleTimer : public TObject {
 public:
  TSimpleTimer();
  // CreateWithHandler.
  TSimpleTimer(uint32_t interval, TNotifyEvent onTimer);
  ~TSimpleTimer() override;
  TSimpleTimer(const TSimpleTimer&) = delete;
  TSimpleTimer& operator=(const TSimpleTimer&) = delete;

  // The platform timer id on the shared window; unique to this timer and
  // never given to another one.
  UINT_PTR Id() const { return FId; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent value);
  // Stop after the first tick.
  bool OneShot = false;

  // False when the interval is 0 or the platform refuses; a running timer
  // starts a full new period.
  bool StartTimer();
  // With disable False the platform timer stops but Enabled keeps its
  // value, so a later change of interval starts it again.
  bool StopTimer(bool disable);

 private:
  friend class TSimpleTimerHandler;
  void InitTimer(uint32_t interval, TNotifyEvent onTimer);
  void Tick();

  UINT_PTR FId = 0;
  bool FEnabled = false;
  uint32_t FInterval = 1000;
  TNotifyEvent FOnTimer;
};
