#include "platform/drivers/x11/X11Popups.h"

#include <X11/Xatom.h>

#include <chrono>
#include <thread>
#include <vector>

void MakeOverrideRedirect(Display* d, Window w) {
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.save_under = True;
  XChangeWindowAttributes(d, w, CWOverrideRedirect | CWSaveUnder, &a);
}

bool TX11PopupGrab::Grab(Window w) {
  if (FHolder == w) return true;
  Release();
  constexpr unsigned kPointerEvents =
      ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
  // The press that opened the popup may still be held by another client (a
  // window manager's click-to-focus, a panel): it lets go within moments.
  bool pointer = false, keyboard = false;
  for (int tries = 0; tries < 50 && !(pointer && keyboard); ++tries) {
    if (!pointer)
      pointer = XGrabPointer(D, w, True, kPointerEvents, GrabModeAsync, GrabModeAsync, None, None, CurrentTime) ==
                GrabSuccess;
    if (!keyboard) keyboard = XGrabKeyboard(D, w, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    if (!(pointer && keyboard)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  FHolder = w;
  XFlush(D);
  return pointer && keyboard;
}

void TX11PopupGrab::Release() {
  if (FHolder == 0) return;
  XUngrabPointer(D, CurrentTime);
  XUngrabKeyboard(D, CurrentTime);
  XFlush(D);
  FHolder = 0;
}

namespace {
bool ReadCardinals(Display* d, Window w, const char* name, std::vector<long>* out) {
  Atom type;
  int format;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  bool ok = XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, XA_CARDINAL, &type, &format, &n,
                               &after, &data) == Success &&
            data != nullptr && format == 32;
  if (ok) out->assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
  if (data) XFree(data);
  return ok;
}
}  // namespace

bool ReadWorkArea(Display* d, Window root, RECT* area) {
  std::vector<long> areas, desktop;
  if (!ReadCardinals(d, root, "_NET_WORKAREA", &areas) || areas.size() < 4) return false;
  size_t i = 0;
  if (ReadCardinals(d, root, "_NET_CURRENT_DESKTOP", &desktop) && !desktop.empty() && desktop[0] >= 0 &&
      static_cast<size_t>(desktop[0]) * 4 + 4 <= areas.size())
    i = static_cast<size_t>(desktop[0]) * 4;
  if (areas[i + 2] <= 0 || areas[i + 3] <= 0) return false;
  *area = RECT{static_cast<LONG>(areas[i]), static_cast<LONG>(areas[i + 1]), static_cast<LONG>(areas[i] + areas[i + 2]),
               static_cast<LONG>(areas[i + 1] + areas[i + 3])};
  return true;
}
