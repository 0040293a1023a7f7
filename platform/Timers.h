// Window timers. A tick is a WM_TIMER that the owning thread's loop makes
// when the timer is due and nothing else is pending; missed periods coalesce
// into one tick, and the next period counts from that tick. Setting a timer
// again with the same window and id replaces it and restarts its period.
#pragma once

#include "platform/Types.h"

constexpr UINT USER_TIMER_MINIMUM = 10;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;
// With hwnd 0 the id is chosen by the platform (and returned); otherwise the
// result is `id`. Periods below USER_TIMER_MINIMUM are raised to it. A tick
// of a timer with `proc` calls it from DispatchMessage (lParam = proc).
// 0 on a bad window.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
