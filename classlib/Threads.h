// Threads of the run-time library: TThread, calls synchronised with the main
// (GUI) thread, and a list guarded by a lock.
//
// Synchronize queues a call for the main thread and waits until the main
// thread has run it (CheckSynchronize, called by the message loop and by
// ProcessMessages); WakeMainThread is called after queueing so an idle loop
// notices. An exception raised by the call is raised again in the waiting
// thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "classlib/SysTypes.h"
#include "platform/services/Synch.h"

HK_DECLARE_EXCEPTION(EThread, Exception);

using TThreadMethod = std::function<void()>;

// Set by the application object: posts a message that wakes its loop.
extern std::function<void()> WakeMainThread;
// The kernel id of the thread that started the program.
extern DWORD MainThreadID;

// Runs the synchronised calls queued so far; waits up to `timeoutMs` for one
// to arrive when none is queued. True when a call ran. Raises EThread on a
// thread other than the main thread.
bool CheckSynchronize(int timeoutMs = 0);

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread;
using TThreadNotifyEvent = std::function<void(TThread* sender)>;

class TThread {
 public:
  // The kernel thread exists from here on (ThreadID is known) but Execute
  // runs only once the thread is started: by Resume/Start, or, for a thread
  // not created suspended, by AfterConstruction, which Create<T> calls once
  // the whole object is built.
  explicit TThread(bool createSuspended);
  // A thread still running is told to terminate and waited for. A derived
  // class whose Execute uses its own members must stop the thread in its own
  // destructor (TerminateAndWait), since those members go first.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Makes a T and, unless it was created suspended, starts it. With
  // FreeOnTerminate the thread owns itself; otherwise the caller does.
  template <typename T, typename... Args>
  static T* Create(Args&&... args) {
    T* thread = new T(std::forward<Args>(args)...);
    thread->AfterConstruction();
    return thread;
  }

  virtual void AfterConstruction();
  void Resume();
  void Start() { Resume(); }
  void Terminate();
  // Waits until Execute has returned and OnTerminate has run; on the main
  // thread the synchronised calls keep running meanwhile. Returns ReturnValue.
  int WaitFor();
  void TerminateAndWait();

  bool Terminated() const { return FTerminated.load(); }
  bool Suspended() const;
  bool Finished() const { return FFinished.load(); }
  DWORD ThreadID() const { return FThreadID; }
  // Signalled (manual reset) when the thread has ended.
  HANDLE Handle() const { return FHandle; }
  bool FreeOnTerminate() const { return FFreeOnTerminate.load(); }
  void SetFreeOnTerminate(bool value) { FFreeOnTerminate = value; }
  TThreadPriority Priority() const { return FPriority; }
  void SetPriority(TThreadPriority value);
  int ReturnValue() const { return FReturnValue; }
  // What escaped Execute, or nullptr.
  std::exception_ptr FatalException() const { return FFatalException; }

  // Runs on the main thread after Execute, through Synchronize.
  TThreadNotifyEvent OnTerminate;

  static void Synchronize(TThread* thread, TThreadMethod method);

 protected:
  virtual void Execute() = 0;
  virtual void DoTerminate();
  virtual void TerminatedSet() {}
  void Synchronize(TThreadMethod method) { Synchronize(this, std::move(method)); }
  void SetReturnValue(int value) { FReturnValue = value; }

 private:
  void Run();
  void OpenGate();
  void WaitUntilFinished();

  std::thread FThread;
  HANDLE FHandle = nullptr;
  DWORD FThreadID = 0;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FFreeOnTerminate{false};
  std::atomic<bool> FCreateSuspended;
  TThreadPriority FPriority = tpNormal;
  int FReturnValue = 0;
  std::exception_ptr FFatalException;
  mutable std::mutex FGateLock;
  std::condition_variable FGateChanged;
  bool FGateOpen = false;
  bool FIdKnown = false;
};

// A list whose access is guarded by a lock: LockList gives the items and
// holds the lock until UnlockList. Adding an item already in the list does
// nothing (duplicates are ignored).
template <typename T = void>
class TThreadList {
 public:
  std::vector<T*>& LockList() {
    FLock.lock();
    return FItems;
  }
  void UnlockList() { FLock.unlock(); }

  void Add(T* item) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (std::find(FItems.begin(), FItems.end(), item) == FItems.end()) FItems.push_back(item);
  }
  void Remove(T* item) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it != FItems.end()) FItems.erase(it);
  }
  void Clear() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FItems.clear();
  }

 private:
  std::recursive_mutex FLock;
  std::vector<T*> FItems;
};
