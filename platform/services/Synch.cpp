#include "platform/services/Synch.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/HandleTable.h"
#include "platform/Clock.h"

namespace hk {

class Waitable : public std::enable_shared_from_this<Waitable> {
 public:
  explicit Waitable(bool manualReset, bool signalled) : FManualReset(manualReset), FSignalled(signalled) {}

  void Set() {
    {
      std::lock_guard<std::mutex> guard(FLock);
      FSignalled = true;
    }
    FChanged.notify_all();
  }

  void Reset() {
    std::lock_guard<std::mutex> guard(FLock);
    FSignalled = false;
  }

  DWORD Wait(DWORD milliseconds) {
    std::unique_lock<std::mutex> lock(FLock);
    auto take = [&] {
      if (!FManualReset) FSignalled = false;
      return WAIT_OBJECT_0;
    };
    if (milliseconds == INFINITE) {
      FChanged.wait(lock, [&] { return FSignalled; });
      return take();
    }
    // A virtual clock moves only when a test advances it: look again then.
    int listener = 0;
    if (IsVirtualClock()) {
      lock.unlock();
      // The clock may call a copy of the listener after its removal: hold
      // the object weakly, never by a bare pointer.
      listener = AddClockListener([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
          std::lock_guard<std::mutex> guard(self->FLock);
          self->FChanged.notify_all();
        }
      });
      lock.lock();
    }
    const uint64_t deadline = ClockNowMs() + milliseconds;
    DWORD result = WAIT_TIMEOUT;
    for (;;) {
      if (FSignalled) {
        result = take();
        break;
      }
      uint64_t now = ClockNowMs();
      if (now >= deadline) break;
      // The clock may be switched while we wait: never sleep long on a guess.
      auto step = listener != 0 ? std::chrono::milliseconds(50) : std::chrono::milliseconds(deadline - now);
      FChanged.wait_for(lock, step);
    }
    lock.unlock();
    if (listener != 0) RemoveClockListener(listener);
    return result;
  }

 private:
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FManualReset;
  bool FSignalled;
};

namespace {
HandleTable<HANDLE, Waitable>& Waitables() {
  // Never destroyed: a thread that frees itself may still close its handle
  // while the process exits.
  static auto* table = new HandleTable<HANDLE, Waitable>(0x45);  // 'E'
  return *table;
}
}  // namespace

HANDLE CreateThreadHandle() { return Waitables().Add(std::make_shared<Waitable>(true, false)); }

}  // namespace hk

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char* name) {
  if (name != nullptr && *name != '\0') return nullptr;
  return hk::Waitables().Add(std::make_shared<hk::Waitable>(manualReset != 0, initialState != 0));
}

BOOL SetEvent(HANDLE event) {
  auto object = hk::Waitables().Get(event);
  if (!object) return FALSE;
  object->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  auto object = hk::Waitables().Get(event);
  if (!object) return FALSE;
  object->Reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  // The shared pointer keeps the object alive even if another thread closes
  // the handle during the wait.
  auto object = hk::Waitables().Get(handle);
  if (!object) return WAIT_FAILED;
  return object->Wait(milliseconds);
}

BOOL CloseHandle(HANDLE handle) { return hk::Waitables().Remove(handle) ? TRUE : FALSE; }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  ClockSleep(milliseconds);
}

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  if (section != nullptr) section->Impl = new std::recursive_mutex();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  if (section == nullptr) return;
  delete static_cast<std::recursive_mutex*>(section->Impl);
  section->Impl = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  if (section != nullptr && section->Impl != nullptr) static_cast<std::recursive_mutex*>(section->Impl)->lock();
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  if (section != nullptr && section->Impl != nullptr) static_cast<std::recursive_mutex*>(section->Impl)->unlock();
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
  if (section == nullptr || section->Impl == nullptr) return FALSE;
  return static_cast<std::recursive_mutex*>(section->Impl)->try_lock() ? TRUE : FALSE;
}

DWORD CurrentKernelThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }
