// TTimer: a component that calls OnTimer every Interval milliseconds. It
// runs only while Enabled, with an Interval above 0 and a handler; setting
// any of the three starts a new full period. Ticks come through the message
// loop of the thread that made the timer, on the platform clock.
#pragma once

#include <cstdint>

#include "classlib/Components.h"
#include "classlib/SysTypes.h"
#include "platform/Types.h"


class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent handler);
  // Whether a platform timer is set now.
  bool Running() const { return FTimerId != 0; }

  void Loaded() override;

 protected:
  virtual void Timer();

 private:
  static void TimerProc(HWND, UINT, UINT_PTR id, DWORD);
  void UpdateTimer();

  bool FEnabled = true;
  uint32_t FInterval = 1000;
  TNotifyEvent FOnTimer;
  UINT_PTR FTimerId = 0;
};
