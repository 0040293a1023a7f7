// Synchronisation objects of the run-time library over the platform's
// events and critical sections.
#pragma once

#include <cstdint>

#include "platform/services/Synch.h"

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

class TSynchroObject {
 public:
  virtual ~TSynchroObject() = default;
  virtual void Acquire() {}
  virtual void Release() {}
};

// A recursive lock: the owning thread may enter again.
class TCriticalSection : public TSynchroObject {
 public:
  TCriticalSection();
  ~TCriticalSection() override;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Acquire() override;
  void Release() override;
  void Enter() { Acquire(); }
  void Leave() { Release(); }
  bool TryEnter();

 private:
  CRITICAL_SECTION FSection;
};

class THandleObject : public TSynchroObject {
 public:
  ~THandleObject() override;
  HANDLE Handle() const { return FHandle; }

 protected:
  THandleObject() = default;
  HANDLE FHandle = nullptr;
};

class TEvent : public THandleObject {
 public:
  TEvent(bool manualReset = true, bool initialState = false);
  // Waits on the platform clock; INFINITE waits without end.
  TWaitResult WaitFor(DWORD timeout = INFINITE);
  void SetEvent();
  void ResetEvent();
};

// A manual-reset event, initially not signalled.
class TSimpleEvent : public TEvent {
 public:
  TSimpleEvent() : TEvent(true, false) {}
};

// Holds a critical section for the lifetime of a scope.
class TLockGuard {
 public:
  explicit TLockGuard(TCriticalSection& section) : FSection(section) { FSection.Enter(); }
  ~TLockGuard() { FSection.Leave(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;

 private:
  TCriticalSection& FSection;
};
