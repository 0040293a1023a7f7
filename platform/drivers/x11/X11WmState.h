// What a window manager says of a top-level window it manages: maximised,
// fullscreen or minimised, in _NET_WM_STATE and in ICCCM's WM_STATE; and
// the request that asks it for such a state.
#pragma once

#include <X11/Xlib.h>

namespace hkx11 {

struct TWmStateAtoms {
  explicit TWmStateAtoms(Display* d);
  Atom NetState, MaxHorz, MaxVert, Fullscreen, Hidden, WmState;
};

struct TWmState {
  // WM_STATE's state: NormalState, IconicState, WithdrawnState; -1 when
  // the window has none (no window manager looks after it).
  long Icccm = -1;
  bool MaxHorz = false, MaxVert = false, Fullscreen = false, Hidden = false;
  // A fullscreen window fills the screen as a maximised one does, and the
  // program's restore brings it back from either.
  bool Maximized() const { return (MaxHorz && MaxVert) || Fullscreen; }
  bool Iconic() const;
  bool Managed() const;
};

TWmState ReadWmState(Display* d, Window w, const TWmStateAtoms& atoms);

// Asks the window manager to set (or clear) one or two states of a window
// it manages, as a _NET_WM_STATE client message from an application.
void RequestNetState(Display* d, Window root, Window w, Atom netState, bool on, Atom first, Atom second = 0);

}  // namespace hkx11
