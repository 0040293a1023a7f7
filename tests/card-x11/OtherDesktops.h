// The card among other desktops: its icon window found where their
// notification areas hold it (jwm's own tray, trayer), and its windows
// minimised as the user does it through the window manager.
#pragma once

#include <sys/types.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace hktest {

// A CARDINAL of the window, -1 where it has none.
inline long CardinalProperty(Display* d, Window w, const char* name) {
  Atom type;
  int format;
  unsigned long n = 0, after;
  unsigned char* data = nullptr;
  long value = -1;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1, False, AnyPropertyType, &type, &format, &n, &after,
                         &data) == Success &&
      data != nullptr && n >= 1 && format == 32)
    value = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return value;
}

// The icon window of the program `pid` that a tray holds: an XEmbed client
// of its own inside another window, shown; 0 while none is.
inline Window EmbeddedIconOf(Display* d, pid_t pid, Window under = 0, int depth = 0) {
  if (under == 0) under = DefaultRootWindow(d);
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, under, &root, &parent, &children, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && found == 0; ++i) {
    Window w = children[i];
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) continue;
    if (under != root && CardinalProperty(d, w, "_XEMBED_INFO") >= 0 && CardinalProperty(d, w, "_NET_WM_PID") == pid)
      found = w;
    else if (depth < 8)
      found = EmbeddedIconOf(d, pid, w, depth + 1);
  }
  if (children) XFree(children);
  return found;
}

// WM_STATE's state: 1 normal, 3 iconic; -1 while the window manager has
// not taken the window.
inline long WmStateOf(Display* d, Window w) {
  Atom type;
  int format;
  unsigned long n = 0, after;
  unsigned char* data = nullptr;
  long state = -1;
  const Atom wmState = XInternAtom(d, "WM_STATE", False);
  if (XGetWindowProperty(d, w, wmState, 0, 2, False, wmState, &type, &format, &n, &after, &data) == Success &&
      data != nullptr && n >= 1)
    state = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return state;
}

// Asks the window manager to minimise the window, as its minimise button
// and `xdotool windowminimize` do (ICCCM's WM_CHANGE_STATE).
inline void MinimiseThroughTheWindowManager(Display* d, Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_CHANGE_STATE", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = IconicState;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(d);
}

}  // namespace hktest
