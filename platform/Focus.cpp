// Activation, focus and the foreground window.
#include "platform/Driver.h"
#include "platform/WindowInternals.h"

namespace hkwin {
namespace {

HWND gActive = nullptr;
HWND gFocus = nullptr;
// Counts every focus change: a change made by a window's WM_KILLFOCUS (a
// field that takes the focus back when its check fails) wins over the one
// that sent the message.
unsigned gFocusChanges = 0;
bool gActivating = false;
uint64_t gActivations = 0;

// Takes the focus from its window; false when the window's handler moved
// the focus itself meanwhile.
bool KillFocus(HWND to) {
  HWND f = gFocus;
  gFocus = nullptr;
  unsigned before = ++gFocusChanges;
  if (f != nullptr && IsWindow(f)) SendMessageA(f, WM_KILLFOCUS, reinterpret_cast<WPARAM>(to), 0);
  return gFocusChanges == before;
}

bool Minimized(HWND h) { return IsIconic(h) != FALSE; }

void SendActivateApp(bool active) {
  std::vector<HWND> tops;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    tops = TopLevels();
  }
  for (HWND h : tops) {
    PWindow w = Find(h);
    if (w && w->ThreadId == GetCurrentThreadId()) SendMessageA(h, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
  }
}

// The foreign window standing for another program in front.
HWND gForeign = nullptr;

}  // namespace

HWND ActiveWindow() {
  if (gActive && !IsWindow(gActive)) gActive = nullptr;
  return gActive;
}

HWND FocusWindow() {
  if (gFocus && !IsWindow(gFocus)) gFocus = nullptr;
  return gFocus;
}

void ActivateInternal(HWND root, WORD how, bool fromDriver) {
  if (root != nullptr) {
    PWindow w = Find(root);
    if (!w || w->Foreign || w->MessageOnly) return;
  }
  if (root == gActive || gActivating) return;
  gActivating = true;
  HWND old = gActive;
  if (old != nullptr && IsWindow(old)) {
    SendMessageA(old, WM_NCACTIVATE, FALSE, 0);
    SendMessageA(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, Minimized(old) ? 1 : 0), reinterpret_cast<LPARAM>(root));
  }
  if ((old == nullptr) != (root == nullptr)) SendActivateApp(root != nullptr);
  gActive = root;
  if (root != nullptr)
    if (PWindow w = Find(root)) w->ActivatedAt = ++gActivations;
  if (root == nullptr) {
    if (gFocus != nullptr) KillFocus(nullptr);
  } else {
    if (gFocus != nullptr && Root(gFocus) != root) KillFocus(nullptr);
    SetWindowPosInternal(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE, fromDriver);
    SendMessageA(root, WM_NCACTIVATE, TRUE, 0);
    SendMessageA(root, WM_ACTIVATE, MAKEWPARAM(how, Minimized(root) ? 1 : 0), reinterpret_cast<LPARAM>(old));
    if (!fromDriver && IsWindow(root)) Driver().WindowActivated(root);
  }
  gActivating = false;
}

void ForgetWindowInFocus(HWND hwnd) {
  if (gFocus == hwnd) gFocus = nullptr;
  if (gActive == hwnd) {
    gActive = nullptr;
    SendActivateApp(false);
  }
}

void ResetFocusState() {
  gActive = nullptr;
  gFocus = nullptr;
  gActivating = false;
  ForeignWindow(nullptr);
  SetHeadlessForeignForeground(nullptr);
}

// Another program's window at the front (headless tests and the X11 driver).
HWND ForeignWindow(const RECT* clientRect) {
  if (clientRect == nullptr) {
    if (gForeign) Windows().Remove(gForeign);
    gForeign = nullptr;
    return nullptr;
  }
  PWindow w = Find(gForeign);
  if (!w) {
    w = std::make_shared<TWindow>();
    w->Foreign = true;
    w->Style = WS_VISIBLE | WS_POPUP;
    auto c = std::make_shared<TWindowClass>();
    c->Name = "#foreign";
    w->Class = c;
    gForeign = Windows().Add(w);
    w->Handle = gForeign;
  }
  w->Rect = *clientRect;
  return gForeign;
}

}  // namespace hkwin

using namespace hkwin;

HWND SetActiveWindow(HWND hwnd) {
  HWND old = ActiveWindow();
  if (hwnd == nullptr) {
    ActivateInternal(nullptr, WA_INACTIVE, false);
    return old;
  }
  PWindow w = Find(hwnd);
  if (!w || w->Foreign || w->ThreadId != GetCurrentThreadId()) return nullptr;
  ActivateInternal(Root(hwnd), WA_ACTIVE, false);
  return old;
}

HWND GetActiveWindow() { return ActiveWindow(); }

HWND SetFocus(HWND hwnd) {
  HWND old = FocusWindow();
  if (hwnd == nullptr) {
    if (old != nullptr) KillFocus(nullptr);
    return old;
  }
  PWindow w = Find(hwnd);
  if (!w || w->Foreign || w->MessageOnly || w->ThreadId != GetCurrentThreadId()) return nullptr;
  if (w->Style & WS_DISABLED) return nullptr;
  HWND root = Root(hwnd);
  if (root != ActiveWindow()) {
    ActivateInternal(root, WA_ACTIVE, false);
    old = FocusWindow();
    // Activation may already have put the focus where we want it.
    if (old == hwnd) return old;
  }
  if (old == hwnd) return old;
  if (old != nullptr && !KillFocus(hwnd)) return old;
  if (!IsWindow(hwnd)) return old;
  gFocus = hwnd;
  ++gFocusChanges;
  SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() { return FocusWindow(); }

BOOL SetForegroundWindow(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  HWND root = Root(hwnd);
  if (root == ActiveWindow()) {
    Driver().WindowActivated(root);
  } else {
    ActivateInternal(root, WA_ACTIVE, false);
  }
  // Our program is in front now; on a real display the driver sees it.
  SetHeadlessForeignForeground(nullptr);
  return TRUE;
}

HWND GetLastActivePopup(HWND hwnd) {
  PWindow owner = Find(hwnd);
  if (!owner || !IsTopLevel(*owner)) return hwnd;
  std::vector<HWND> tops;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    tops = TopLevels();
  }
  HWND found = hwnd;
  uint64_t last = owner->ActivatedAt;
  for (HWND h : tops) {
    PWindow w = Find(h);
    if (!w || h == hwnd || w->ActivatedAt < last || (w->Style & WS_DISABLED) || !IsVisibleChain(*w)) continue;
    bool owned = false;
    for (PWindow o = Find(w->Owner); o && !owned; o = Find(o->Owner)) owned = o->Handle == hwnd;
    if (!owned) continue;
    // Of two never activated, the one above.
    found = h;
    last = w->ActivatedAt;
  }
  return found;
}

// The display's answer at each call: once the other program's window has
// gone (or nobody has the focus) it is no longer in front.
HWND GetForegroundWindow() {
  RECT client;
  if (Driver().ForeignForeground(&client)) return ForeignWindow(&client);
  ForeignWindow(nullptr);
  return ActiveWindow();
}
