#include "classlib/controls/ModalLoop.h"

#include "classlib/Threads.h"
#include "platform/Session.h"

void RunModalLoop(const std::atomic<bool>& done, const std::function<bool(MSG& msg)>& filter) {
  while (!done) {
    MSG msg;
    // Nothing waits for a user once the session ends: a look at the queue
    // delivers the end to our windows, and the loop is left.
    if (SessionEnding()) {
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
      return;
    }
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (got < 0) return;
    if (!filter || !filter(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (CurrentKernelThreadId() == MainThreadID) CheckSynchronize();
  }
}
