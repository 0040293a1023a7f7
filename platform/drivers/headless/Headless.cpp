// The test interface: injected input, the virtual clock, pixels read back.
#include "platform/drivers/headless/Headless.h"

#include "platform/Clock.h"
#include "platform/Driver.h"
#include "platform/Input.h"
#include "platform/Modules.h"
#include "platform/RawInput.h"
#include "platform/Session.h"
#include "platform/Timers.h"
#include "platform/WindowInternals.h"
#include "platform/services/NotifyIcon.h"

using namespace hkwin;

namespace {

int ButtonIndex(THeadlessButton b) { return b == THeadlessButton::Left ? 0 : b == THeadlessButton::Right ? 1 : 2; }

void PushMouse(TRawKind kind, int button) {
  POINT p;
  GetCursorPos(&p);
  TRawInput e;
  e.Kind = kind;
  e.X = p.x;
  e.Y = p.y;
  e.Button = button;
  PushRawInput(e);
}

// The tests' thread reads the input when no window has claimed it yet.
void ClaimInput() {
  if (InputThread() == 0) SetInputThread(GetCurrentThreadId());
}

}  // namespace

void HeadlessMouseMove(int x, int y) {
  ClaimInput();
  TRawInput e;
  e.Kind = TRawKind::MouseMove;
  e.X = x;
  e.Y = y;
  PushRawInput(e);
}

void HeadlessMouseDown(THeadlessButton button) {
  ClaimInput();
  PushMouse(TRawKind::ButtonDown, ButtonIndex(button));
}

void HeadlessMouseUp(THeadlessButton button) {
  ClaimInput();
  PushMouse(TRawKind::ButtonUp, ButtonIndex(button));
}

void HeadlessClick(int x, int y, THeadlessButton button) {
  HeadlessMouseMove(x, y);
  HeadlessMouseDown(button);
  HeadlessMouseUp(button);
}

void HeadlessMouseWheel(int delta) {
  ClaimInput();
  TRawInput e;
  e.Kind = TRawKind::Wheel;
  e.Delta = delta;
  PushRawInput(e);
}

void HeadlessMouseLeaveScreen() {
  ClaimInput();
  TRawInput e;
  e.Kind = TRawKind::LeaveScreen;
  PushRawInput(e);
}

void HeadlessKeyDown(int vk) {
  ClaimInput();
  TRawInput e;
  e.Kind = TRawKind::KeyDown;
  e.Vk = vk;
  e.Extended = (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
  // The text is what the key types with the modifiers held before it.
  e.Text = UsLayoutText(vk);
  PushRawInput(e);
}

void HeadlessKeyUp(int vk) {
  ClaimInput();
  TRawInput e;
  e.Kind = TRawKind::KeyUp;
  e.Vk = vk;
  PushRawInput(e);
}

void HeadlessKeyPress(int vk) {
  HeadlessKeyDown(vk);
  HeadlessKeyUp(vk);
}

void HeadlessChars(const std::u16string& text) {
  ClaimInput();
  TRawInput e;
  e.Kind = TRawKind::Chars;
  e.Text = text;
  PushRawInput(e);
}

int HeadlessPumpMessages() {
  ClaimInput();
  int count = 0;
  MSG msg;
  // A handler that keeps invalidating itself would never let this end.
  for (int guard = 0; guard < 100000; ++guard) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) break;
    if (msg.message == WM_QUIT) break;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    ++count;
  }
  PresentDirty();
  return count;
}

void HeadlessAdvance(uint32_t ms) {
  HeadlessPumpMessages();
  DWORD thread = GetCurrentThreadId();
  uint64_t end = ClockNowMs() + ms;
  // Step to each due time so timers fire in order and at their times.
  for (;;) {
    uint64_t now = ClockNowMs();
    uint64_t due = NextTimerDue(thread);
    if (due > end || !IsVirtualClock()) break;
    if (due > now) AdvanceClock(due - now);
    int n = HeadlessPumpMessages();
    if (n == 0 && due <= now) break;
  }
  uint64_t now = ClockNowMs();
  if (end > now) AdvanceClock(end - now);
  HeadlessPumpMessages();
}

std::vector<uint32_t> HeadlessReadPixels(HWND hwnd, int* width, int* height) {
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  if (!ReadWindowPixels(hwnd, true, &w, &h, &pixels)) pixels.clear();
  if (width) *width = w;
  if (height) *height = h;
  return pixels;
}

uint32_t HeadlessPixel(HWND hwnd, int x, int y) {
  int w = 0, h = 0;
  std::vector<uint32_t> pixels = HeadlessReadPixels(hwnd, &w, &h);
  if (x < 0 || y < 0 || x >= w || y >= h) return 0;
  return pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
}

void HeadlessSetScreenSize(int width, int height) { SetHeadlessScreenSize(width, height); }

void HeadlessSetNotificationArea(bool present) { hk::SetNotificationAreaPresent(present); }

void HeadlessSetForeignForeground(const RECT& clientRect) {
  if (clientRect.right <= clientRect.left || clientRect.bottom <= clientRect.top) {
    SetHeadlessForeignForeground(nullptr);
    return;
  }
  // Another program in front: ours is no longer active.
  ActivateInternal(nullptr, WA_INACTIVE, true);
  SetHeadlessForeignForeground(&clientRect);
}

void HeadlessSetWorkArea(const RECT& area) {
  SetHeadlessWorkArea(area.right > area.left && area.bottom > area.top ? &area : nullptr);
}

bool SelectPlatformDriver(const std::string& name, const std::string& display) {
  bool any = false;
  Windows().ForEach([&](HWND, const PWindow& w) {
    if (!w->Foreign) any = true;
  });
  if (any) return false;
  if (name == "headless") return ReplaceDriver(MakeHeadlessDriver());
  if (name == "x11") return ReplaceDriver(MakeX11Driver(display));
  return false;
}

std::string PlatformDriverName() { return Driver().Name(); }

void ResetPlatformForTests() {
  DestroyAllWindows();
  KillAllTimers();
  ClearInputState();
  ResetFocusState();
  ResetQueues();
  ResetModuleExports();
  hk::ClearTrayIcons();
  ResetSessionEndForTests();
  if (PlatformDriverName() == "headless") hk::SetNotificationAreaPresent(true, false);
  SetHeadlessWorkArea(nullptr);
  SetCursor(nullptr);
  ResetClockForTests();
  SetInputThread(GetCurrentThreadId());
}
