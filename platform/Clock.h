// The one clock behind tick counts, timers, double clicks, fades and
// animation delays. Programs run on monotonic time; tests run on a virtual
// clock that only moves when advanced. The virtual clock is chosen when the
// environment says HANAKUMO_DRIVER=headless (unless HANAKUMO_CLOCK=monotonic),
// and can be switched on or off by a test before anything waits on it.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/Types.h"

// Milliseconds since an arbitrary start; never goes back.
uint64_t ClockNowMs();
// The low 32 bits of ClockNowMs: they wrap after 49.7 days.
DWORD GetTickCount();
uint64_t GetTickCount64();
DWORD timeGetTime();

bool IsVirtualClock();
void UseVirtualClock(bool useVirtual);
// Moves the virtual clock on (no effect on monotonic time) and wakes every
// thread waiting for a message, so timers that became due are noticed.
void AdvanceClock(uint64_t ms);
// Sets the virtual clock to an absolute value (not below the present one).
void SetVirtualClock(uint64_t ms);
// Each read of the virtual clock moves it on by `ms` first. Lets code that
// spins on the tick count (a fade) end in a test; 0 turns it off.
void SetClockAutoAdvance(uint32_t ms);

// Called (on the advancing thread) after the virtual clock moved, so code
// that waits on the clock can look again. Returns an id for removal.
int AddClockListener(std::function<void()> listener);
void RemoveClockListener(int id);

// Waits `ms` on the platform clock: sleeps on monotonic time; on the virtual
// clock the waiting thread moves the clock on by `ms` itself.
void ClockSleep(uint32_t ms);
