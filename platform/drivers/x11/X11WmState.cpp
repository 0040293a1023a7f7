#include "platform/drivers/x11/X11WmState.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace hkx11 {

TWmStateAtoms::TWmStateAtoms(Display* d)
    : NetState(XInternAtom(d, "_NET_WM_STATE", False)),
      MaxHorz(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False)),
      MaxVert(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
      Fullscreen(XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False)),
      Hidden(XInternAtom(d, "_NET_WM_STATE_HIDDEN", False)),
      WmState(XInternAtom(d, "WM_STATE", False)) {}

bool TWmState::Iconic() const { return Icccm == IconicState || Hidden; }
bool TWmState::Managed() const { return Icccm == NormalState || Icccm == IconicState; }

TWmState ReadWmState(Display* d, Window w, const TWmStateAtoms& atoms) {
  TWmState state;
  Atom type;
  int format;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, atoms.WmState, 0, 2, False, atoms.WmState, &type, &format, &n, &after, &data) ==
          Success &&
      data != nullptr && format == 32 && n >= 1)
    state.Icccm = reinterpret_cast<long*>(data)[0];
  if (data) XFree(data);
  data = nullptr;
  n = 0;
  if (XGetWindowProperty(d, w, atoms.NetState, 0, 64, False, XA_ATOM, &type, &format, &n, &after, &data) == Success &&
      data != nullptr && format == 32) {
    const Atom* list = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < n; ++i) {
      state.MaxHorz = state.MaxHorz || list[i] == atoms.MaxHorz;
      state.MaxVert = state.MaxVert || list[i] == atoms.MaxVert;
      state.Fullscreen = state.Fullscreen || list[i] == atoms.Fullscreen;
      state.Hidden = state.Hidden || list[i] == atoms.Hidden;
    }
  }
  if (data) XFree(data);
  return state;
}

void RequestNetState(Display* d, Window root, Window w, Atom netState, bool on, Atom first, Atom second) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = netState;
  e.xclient.format = 32;
  e.xclient.data.l[0] = on ? 1 : 0;
  e.xclient.data.l[1] = static_cast<long>(first);
  e.xclient.data.l[2] = static_cast<long>(second);
  e.xclient.data.l[3] = 1;  // from an application
  XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

}  // namespace hkx11
