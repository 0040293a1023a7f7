// Popup menus and drop-down lists as every X11 program shows them: windows
// the window manager never sees (override-redirect), raised above the rest,
// that take the pointer and the keyboard of the whole display while they
// are open. And the work area that panels leave, where popups must fit.
#pragma once

#include <X11/Xlib.h>

#include "platform/Types.h"

// Keeps the window out of a window manager's hands; before it is mapped.
void MakeOverrideRedirect(Display* display, Window window);

class TX11PopupGrab {
 public:
  explicit TX11PopupGrab(Display* display) : D(display) {}
  // Gives the pointer and the keyboard to the window (mapped): events over
  // our other windows still go to them, the rest of the display's come to
  // it. Waits a little for another client's grab to end. False when the
  // display refused.
  bool Grab(Window window);
  // Ends a grab of ours (nothing when there is none).
  void Release();
  Window Holder() const { return FHolder; }

 private:
  Display* D;
  Window FHolder = 0;
};

// _NET_WORKAREA of the current desktop; false when no window manager sets it.
bool ReadWorkArea(Display* display, Window root, RECT* area);
