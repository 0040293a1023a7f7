#include "classlib/controls/ModalLoop.h"

#include "classlib/Threads.h"

void RunModalLoop(const std::atomic<bool>& done, const std::function<bool(MSG& msg)>& filter) {
  while (!done) {
    MSG msg;
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
