#include "ControlsFixture.h"

namespace {
LRESULT PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcA(hwnd, msg, wParam, lParam); }
}  // namespace

HWND HeadlessTest::MakeFocusWindow(int x, int y, int w, int h) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &PlainProc;
    wc.lpszClassName = "HkTestPlain";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    registered = RegisterClassA(&wc) != 0;
  }
  HWND hwnd = CreateWindowExA(0, "HkTestPlain", "test", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr, nullptr,
                              nullptr);
  SetForegroundWindow(hwnd);
  SetFocus(hwnd);
  HeadlessPumpMessages();
  return hwnd;
}
