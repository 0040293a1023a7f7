// The shapes of a per-pixel-alpha window on X11: where it takes input (its
// pixels that are not fully transparent) and, with nothing to composite it,
// where it is drawn at all (its pixels that are mostly opaque). Both come
// from one reading of the image's alpha.
#pragma once

#include <X11/Xlib.h>

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
// or its pixels from an alpha on (kOpaqueFrom for the bounding shape, 1 for
// input).
struct TShapePlan {
  enum TKind { Whole, Empty, Alpha };
  TKind Input = Whole, Bounding = Whole;
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
  // True when the event was about the selection (asks the owner again).
  bool Handle(const XEvent& ev);

 private:
  void Refresh();
  Display* D;
  Atom FSelection;
  int FEventBase = -1;
  bool FRunning = false;
};

}  // namespace hkx11
