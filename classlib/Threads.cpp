#include "classlib/Threads.h"

#include <sys/resource.h>

#include <chrono>
#include <deque>
#include <memory>

std::function<void()> WakeMainThread;
DWORD MainThreadID = CurrentKernelThreadId();

namespace {

struct SyncRequest {
  TThreadMethod Method;
  std::exception_ptr Error;
  bool Done = false;
};

// One queue for every thread's synchronised calls. `Changed` is notified when
// a call is queued, when one is done and when a thread ends, so the main
// thread waiting in WaitFor or CheckSynchronize wakes for each.
struct SyncQueue {
  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<SyncRequest*> Pending;
};

SyncQueue& Queue() {
  // Never destroyed: threads that free themselves may outlive static data.
  static auto* queue = new SyncQueue;
  return *queue;
}

bool OnMainThread() { return CurrentKernelThreadId() == MainThreadID; }

bool RunPending() {
  auto& queue = Queue();
  std::deque<SyncRequest*> batch;
  {
    std::lock_guard<std::mutex> guard(queue.Lock);
    batch.swap(queue.Pending);
  }
  for (SyncRequest* request : batch) {
    try {
      request->Method();
    } catch (...) {
      request->Error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> guard(queue.Lock);
      request->Done = true;
    }
    queue.Changed.notify_all();
  }
  return !batch.empty();
}

}  // namespace

bool CheckSynchronize(int timeoutMs) {
  if (!OnMainThread()) {
    throw EThread("CheckSynchronize called from thread $" + std::to_string(CurrentKernelThreadId()) +
                  ", which is NOT the main thread");
  }
  auto& queue = Queue();
  if (timeoutMs > 0) {
    std::unique_lock<std::mutex> lock(queue.Lock);
    queue.Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue.Pending.empty(); });
  }
  return RunPending();
}

void TThread::Synchronize(TThread*, TThreadMethod method) {
  if (!method) return;
  if (OnMainThread()) {
    method();
    return;
  }
  auto& queue = Queue();
  SyncRequest request;
  request.Method = std::move(method);
  {
    std::lock_guard<std::mutex> guard(queue.Lock);
    queue.Pending.push_back(&request);
  }
  queue.Changed.notify_all();
  if (WakeMainThread) WakeMainThread();
  {
    std::unique_lock<std::mutex> lock(queue.Lock);
    queue.Changed.wait(lock, [&] { return request.Done; });
  }
  if (request.Error) std::rethrow_exception(request.Error);
}

TThread::TThread(bool createSuspended) : FCreateSuspended(createSuspended) {
  FHandle = hk::CreateThreadHandle();
  FThread = std::thread([this] { Run(); });
  std::unique_lock<std::mutex> lock(FGateLock);
  FGateChanged.wait(lock, [&] { return FIdKnown; });
}

TThread::~TThread() {
  if (FThread.joinable()) {
    if (FThread.get_id() == std::this_thread::get_id()) {
      // Freed by its own thread at the end of Run (FreeOnTerminate).
      FThread.detach();
    } else {
      Terminate();
      OpenGate();
      WaitUntilFinished();
      FThread.join();
    }
  }
  CloseHandle(FHandle);
}

void TThread::AfterConstruction() {
  if (!FCreateSuspended) OpenGate();
}

void TThread::OpenGate() {
  {
    std::lock_guard<std::mutex> guard(FGateLock);
    FGateOpen = true;
  }
  FGateChanged.notify_all();
}

void TThread::Resume() { OpenGate(); }

bool TThread::Suspended() const {
  std::lock_guard<std::mutex> guard(FGateLock);
  return !FGateOpen;
}

void TThread::Terminate() {
  FTerminated = true;
  TerminatedSet();
}

void TThread::SetPriority(TThreadPriority value) {
  FPriority = value;
  // Best effort: an unprivileged process may only lower a thread's priority.
  static const int kNice[] = {19, 10, 5, 0, -5, -10, -15};
  setpriority(PRIO_PROCESS, static_cast<id_t>(FThreadID), kNice[value]);
}

void TThread::Run() {
  {
    std::unique_lock<std::mutex> lock(FGateLock);
    FThreadID = CurrentKernelThreadId();
    FIdKnown = true;
    FGateChanged.notify_all();
    FGateChanged.wait(lock, [&] { return FGateOpen; });
  }
  if (!Terminated()) {
    try {
      Execute();
    } catch (...) {
      FFatalException = std::current_exception();
    }
  }
  try {
    DoTerminate();
  } catch (...) {
    if (!FFatalException) FFatalException = std::current_exception();
  }
  bool freeSelf = FFreeOnTerminate.load();
  {
    std::lock_guard<std::mutex> guard(Queue().Lock);
    FFinished = true;
  }
  SetEvent(FHandle);
  Queue().Changed.notify_all();
  if (freeSelf) delete this;
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::WaitUntilFinished() {
  if (OnMainThread()) {
    auto& queue = Queue();
    for (;;) {
      RunPending();
      std::unique_lock<std::mutex> lock(queue.Lock);
      if (FFinished) return;
      queue.Changed.wait(lock, [&] { return FFinished.load() || !queue.Pending.empty(); });
      if (FFinished && queue.Pending.empty()) return;
    }
  }
  WaitForSingleObject(FHandle, INFINITE);
}

int TThread::WaitFor() {
  if (FThread.get_id() == std::this_thread::get_id()) throw EThread("Thread cannot wait for itself");
  if (FFreeOnTerminate) throw EThread("Cannot call WaitFor on a thread that frees itself");
  if (Suspended()) throw EThread("Cannot call WaitFor on a suspended thread");
  WaitUntilFinished();
  return FReturnValue;
}

void TThread::TerminateAndWait() {
  Terminate();
  if (FThread.get_id() == std::this_thread::get_id()) return;
  OpenGate();
  WaitUntilFinished();
}
