// Waitable objects, critical sections and sleeping, as the system's code
// calls them. Events and thread handles are entries of one handle table, so a
// stale or foreign handle is a refused call. Timed waits and Sleep follow the
// platform clock: in tests a virtual clock that is advanced by hand.
#pragma once

#include <cstdint>

#include "platform/Types.h"

#ifndef INFINITE
#define INFINITE 0xFFFFFFFFu
#endif

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 0x102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Events. The name is accepted for the interface's sake; named events are not
// shared between processes here, and a name is refused (nullptr) rather than
// silently giving an unshared event.
HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// WAIT_OBJECT_0 when signalled (an auto-reset event is reset by the wait),
// WAIT_TIMEOUT after `milliseconds` of the platform clock, WAIT_FAILED for a
// handle that is not live.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);

// Suspends the calling thread for `milliseconds` of the platform clock (on
// the virtual clock the sleeper moves the clock on itself, see ClockSleep);
// Sleep(0) only yields.
void Sleep(DWORD milliseconds);

// A recursive lock, entered again by the thread that holds it.
struct CRITICAL_SECTION {
  void* Impl;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);

// The id of the calling thread as the kernel numbers it (what thread handles
// and TThread.ThreadID report).
DWORD CurrentKernelThreadId();

namespace hk {
// A waitable object behind a HANDLE. Thread objects of the class library
// make one of these (manual reset) to be waited on like an event.
class Waitable;
// A manual-reset event for a thread handle; signalled when the thread ends.
HANDLE CreateThreadHandle();
}  // namespace hk
