#include "common/WindowUtils.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "classlib/Graphics.h"
#include "common/DrawUtils.h"
#include "platform/Clock.h"
#include "platform/Modules.h"
#include "platform/Window.h"

PFN_UpdateLayeredWindow UpdateLayeredWindowFunc = nullptr;
PFN_AnimateWindow AnimateWindowFunc = nullptr;
PFN_SetLayeredWindowAttributes SetLayeredWindowAttributesFunc = nullptr;

namespace {

template <typename F>
F Bind(HMODULE module, const char* name) {
  return reinterpret_cast<F>(GetProcAddress(module, name));
}

}  // namespace

void BindLayeredWindowFunctions() {
  UpdateLayeredWindowFunc = nullptr;
  AnimateWindowFunc = nullptr;
  SetLayeredWindowAttributesFunc = nullptr;
  HMODULE user32 = GetModuleHandleA("User32.dll");
  if (user32 == nullptr) return;
  UpdateLayeredWindowFunc = Bind<PFN_UpdateLayeredWindow>(user32, "UpdateLayeredWindow");
  AnimateWindowFunc = Bind<PFN_AnimateWindow>(user32, "AnimateWindow");
  SetLayeredWindowAttributesFunc = Bind<PFN_SetLayeredWindowAttributes>(user32, "SetLayeredWindowAttributes");
}

void InitializeWindowUtils() {
  static std::once_flag bound;
  std::call_once(bound, BindLayeredWindowFunctions);
}

// ---- layered-window routines

namespace {

bool MakeLayered(HWND wnd) {
  const LONG_PTR style = GetWindowLongA(wnd, GWL_EXSTYLE);
  if ((style & WS_EX_LAYERED) == 0) SetWindowLongA(wnd, GWL_EXSTYLE, style | WS_EX_LAYERED);
  // Read back: a refused write leaves the style as it was.
  return (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

BOOL SetConstantAlpha(HWND wnd, uint8_t alpha) {
  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
  return UpdateLayeredWindowFunc(wnd, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &blend, ULW_ALPHA);
}

uint8_t ClampAlpha(int alpha) { return static_cast<uint8_t>(std::clamp(alpha, 0, 255)); }

// Time between fade frames: smooth enough to look continuous, without
// spinning the processor for the whole fade.
constexpr DWORD kFadeFrameMs = 10;

void ShowRaised(HWND wnd) {
  // Shown on its own timer: the window the user types in keeps the keyboard.
  ShowWindow(wnd, SW_SHOWNOACTIVATE);
  SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

bool UpdateLayeredWindowFromBitmap(HWND wnd, TBitmap& bitmap) {
  if (UpdateLayeredWindowFunc == nullptr || wnd == nullptr || bitmap.PixelFormat() != pf32bit) return false;
  if (!MakeLayered(wnd)) return false;
  // The caller keeps its straight-alpha pixels; the window gets a
  // premultiplied copy.
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(&bitmap);
  SIZE size{copy->Width(), copy->Height()};
  PremultiplyAlpha(*copy);
  HDC source = copy->Canvas().Handle();
  HDC target = CreateCompatibleDC(source);
  POINT origin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  const BOOL ok = UpdateLayeredWindowFunc(wnd, target, nullptr, &size, source, &origin, 0, &blend, ULW_ALPHA);
  if (target != nullptr) DeleteDC(target);
  return ok != FALSE;
}

void SetLayeredWindowAlpha(HWND wnd, int alpha) {
  if (UpdateLayeredWindowFunc == nullptr) return;
  SetConstantAlpha(wnd, ClampAlpha(alpha));
}

void FadeLayeredWindow(HWND wnd, int alpha, DWORD durationMs, bool show) {
  if (UpdateLayeredWindowFunc == nullptr || !MakeLayered(wnd)) {
    if (show) ShowRaised(wnd);
    else ShowWindow(wnd, SW_HIDE);
    return;
  }
  const int a = std::max(ClampAlpha(alpha) - 1, 0);
  SetConstantAlpha(wnd, static_cast<uint8_t>(show ? 0 : std::max(a - 1, 0)));
  if (show) ShowRaised(wnd);
  const float step = durationMs > 0 ? static_cast<float>(a) / static_cast<float>(durationMs) : 0.0f;
  const DWORD start = GetTickCount();
  for (;;) {
    // Unsigned difference: a tick counter that wraps during the fade still
    // counts the time since the start.
    const DWORD elapsed = std::min<DWORD>(GetTickCount() - start, durationMs);
    const DWORD t = show ? elapsed : durationMs - elapsed;
    const long level = std::lrint(step * static_cast<float>(t));
    SetConstantAlpha(wnd, static_cast<uint8_t>(std::clamp<long>(level, 0, a)));
    if (elapsed >= durationMs) break;
    ClockSleep(std::min(kFadeFrameMs, durationMs - elapsed));
  }
  if (show) SetConstantAlpha(wnd, static_cast<uint8_t>(a));
  else ShowWindow(wnd, SW_HIDE);
}
