#include "platform/drivers/x11/X11Shape.h"

#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <string>

namespace hkx11 {

namespace {
// How long a compositor that came is given to redirect and paint.
constexpr std::chrono::milliseconds kSettleTime{400};
}  // namespace

std::vector<XRectangle> AlphaRegion(const TSurface& surface, uint32_t minAlpha) {
  std::vector<XRectangle> out;
  // Rectangles that reach the row above, in order of x: an equal run below
  // one of them grows it instead of starting a new one.
  std::vector<size_t> open, next;
  const int width = std::min(surface.Width, 32767), height = std::min(surface.Height, 32767);
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = surface.Row(y);
    next.clear();
    size_t k = 0;
    for (int x = 0; x < width;) {
      while (x < width && (row[x] >> 24) < minAlpha) ++x;
      if (x == width) break;
      const int start = x;
      while (x < width && (row[x] >> 24) >= minAlpha) ++x;
      while (k < open.size() && out[open[k]].x < start) ++k;
      if (k < open.size() && out[open[k]].x == start && out[open[k]].width == x - start) {
        ++out[open[k]].height;
        next.push_back(open[k]);
        continue;
      }
      next.push_back(out.size());
      out.push_back(XRectangle{static_cast<short>(start), static_cast<short>(y), static_cast<unsigned short>(x - start), 1});
    }
    open.swap(next);
  }
  return out;
}

void TWindowShapes::Set(Display* d, Window x, int kind, bool whole, std::vector<XRectangle> rects, TOne& was) {
  auto same = [](const XRectangle& a, const XRectangle& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
  };
  if (was.Known && was.Whole == whole &&
      std::equal(rects.begin(), rects.end(), was.Rects.begin(), was.Rects.end(), same))
    return;
  if (whole) XShapeCombineMask(d, x, kind, 0, 0, None, ShapeSet);
  else XShapeCombineRectangles(d, x, kind, 0, 0, rects.data(), static_cast<int>(rects.size()), ShapeSet, Unsorted);
  was.Known = true;
  was.Whole = whole;
  was.Rects = std::move(rects);
}

void TWindowShapes::Apply(Display* d, Window x, const TShapePlan& plan, const TSurface* surface) {
  auto one = [&](TShapePlan::TKind kind, uint32_t minAlpha, int which, TOne& was) {
    if (kind == TShapePlan::Alpha && surface == nullptr) kind = TShapePlan::Whole;
    Set(d, x, which, kind == TShapePlan::Whole,
        kind == TShapePlan::Alpha ? AlphaRegion(*surface, minAlpha) : std::vector<XRectangle>{}, was);
  };
  one(plan.Bounding, plan.BoundingFrom, ShapeBounding, FBounding);
  one(plan.Input, 1, ShapeInput, FInput);
}

TCompositorWatch::TCompositorWatch(Display* d, int screen) : D(d) {
  FSelection = XInternAtom(D, ("_NET_WM_CM_S" + std::to_string(screen)).c_str(), False);
  int errorBase = 0;
  if (XFixesQueryExtension(D, &FEventBase, &errorBase))
    XFixesSelectSelectionInput(D, RootWindow(D, screen), FSelection,
                               XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
  else
    FEventBase = -1;
  Refresh();
}

void TCompositorWatch::Refresh() { FRunning = XGetSelectionOwner(D, FSelection) != None; }

bool TCompositorWatch::Handle(const XEvent& ev) {
  if (FEventBase < 0 || ev.type != FEventBase + XFixesSelectionNotify) return false;
  const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(ev);
  if (notify.selection != FSelection) return false;
  const bool was = FRunning;
  FRunning = notify.subtype == XFixesSetSelectionOwnerNotify && notify.owner != None;
  if (FRunning) Refresh();
  if (FRunning && !was) {
    FSettling = true;
    FSettledAt = std::chrono::steady_clock::now() + kSettleTime;
  }
  if (!FRunning) FSettling = false;
  return true;
}

bool TCompositorWatch::Composites() const {
  return FRunning && (!FSettling || std::chrono::steady_clock::now() >= FSettledAt);
}

bool TCompositorWatch::Settled() {
  if (!FSettling || std::chrono::steady_clock::now() < FSettledAt) return false;
  FSettling = false;
  return FRunning;
}

int TCompositorWatch::SettleLeftMs() const {
  if (!FSettling) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(FSettledAt - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<long long>(0, left.count()));
}

bool TCompositorWatch::TakeNews() {
  if (FEventBase < 0) return false;
  bool any = false;
  XEvent ev;
  while (XCheckTypedEvent(D, FEventBase + XFixesSelectionNotify, &ev)) any = Handle(ev) || any;
  return any;
}

}  // namespace hkx11
