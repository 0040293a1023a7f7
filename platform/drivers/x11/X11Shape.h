// The shapes of a per-pixel-alpha window on X11: where it takes input (its
// pixels that are not fully transparent) and, with nothing to composite it,
// where it is drawn at all (its pixels that are mostly opaque). Both come
// from one reading of the image's alpha.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/gdi/Surface.h"

namespace hkx11 {

// Alpha from which a pixel is drawn opaque when nothing composites.
constexpr uint32_t kOpaqueFrom = 128;

// Rectangles covering the pixels whose alpha is at least `minAlpha`: one
// run of a row each, a run the same as the row above's grows that one.
std::vector<XRectangle> AlphaRegion(const TSurface& surface, uint32_t minAlpha);

// What each of a window's two shapes should be: the whole window, nothing,
// or its pixels from an alpha on (1 for input; for the bounding shape
// kOpaqueFrom while drawn opaque, else 1).
struct TShapePlan {
  enum TKind { Whole, Empty, Alpha };
  TKind Input = Whole, Bounding = Whole;
  uint32_t BoundingFrom = kOpaqueFrom;
};

// The shapes a window was given, so an unchanged one is not sent again
// (a fade presents the same image many times).
class TWindowShapes {
 public:
  // `surface` is locked by the caller; it gives the alpha shapes.
  void Apply(Display* d, Window x, const TShapePlan& plan, const TSurface* surface);
  // A new X window has no shapes of ours yet.
  void Forget() { FInput = FBounding = TOne{}; }

 private:
  struct TOne {
    bool Known = false, Whole = false;
    std::vector<XRectangle> Rects;
  };
  static void Set(Display* d, Window x, int kind, bool whole, std::vector<XRectangle> rects, TOne& was);
  TOne FInput, FBounding;
};

// Whether a compositing manager holds the screen (owns _NET_WM_CM_Sn), and
// news of it starting or stopping through XFixes selection events.
class TCompositorWatch {
 public:
  TCompositorWatch(Display* d, int screen);
  bool Running() const { return FRunning; }
  // Whether windows are drawn for a compositor. One that has just taken
  // the selection has yet to redirect and paint them (picom takes a tenth
  // of a second or more): until then the server shows a 32-bit window as
  // it does without one, where only the opaque picture looks right. One
  // that goes is believed at its first sign.
  bool Composites() const;
  // True once, when a compositor that came has had that moment.
  bool Settled();
  // Milliseconds until that moment is over, or -1 when none is waited.
  int SettleLeftMs() const;
  // True when the event was about the selection (asks the owner again).
  bool Handle(const XEvent& ev);
  // Takes news of the selection waiting on the connection ahead of the
  // other events (a fade holds the event loop); true when any came.
  bool TakeNews();

 private:
  void Refresh();
  Display* D;
  Atom FSelection;
  int FEventBase = -1;
  bool FRunning = false;
  bool FSettling = false;
  std::chrono::steady_clock::time_point FSettledAt;
};

}  // namespace hkx11
