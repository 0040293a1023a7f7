#include "classlib/SyncObjs.h"

#include "classlib/SysTypes.h"

TCriticalSection::TCriticalSection() { InitializeCriticalSection(&FSection); }
TCriticalSection::~TCriticalSection() { DeleteCriticalSection(&FSection); }
void TCriticalSection::Acquire() { EnterCriticalSection(&FSection); }
void TCriticalSection::Release() { LeaveCriticalSection(&FSection); }
bool TCriticalSection::TryEnter() { return TryEnterCriticalSection(&FSection) != FALSE; }

THandleObject::~THandleObject() {
  if (FHandle != nullptr) CloseHandle(FHandle);
}

TEvent::TEvent(bool manualReset, bool initialState) {
  FHandle = CreateEventA(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, nullptr);
  if (FHandle == nullptr) throw Exception("Cannot create event");
}

TWaitResult TEvent::WaitFor(DWORD timeout) {
  switch (WaitForSingleObject(FHandle, timeout)) {
    case WAIT_OBJECT_0:
      return wrSignaled;
    case WAIT_TIMEOUT:
      return wrTimeout;
    case WAIT_ABANDONED:
      return wrAbandoned;
    default:
      return wrError;
  }
}

void TEvent::SetEvent() { ::SetEvent(FHandle); }
void TEvent::ResetEvent() { ::ResetEvent(FHandle); }
