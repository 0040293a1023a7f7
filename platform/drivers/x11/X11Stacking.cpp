#include "platform/drivers/x11/X11Stacking.h"

#include <algorithm>
#include <set>

namespace hkx11 {

void TRootStack::Reset(Window root) {
  FRoot = root;
  FStale = false;
  FChildren.clear();
}

void TRootStack::Load(Display* d, Window root) {
  Reset(root);
  Window rootReturn, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, root, &rootReturn, &parent, &children, &n)) return;
  for (unsigned i = 0; i < n; ++i) {
    XWindowAttributes a{};
    // Gone since the query: nothing to stack against.
    if (!XGetWindowAttributes(d, children[i], &a)) continue;
    FChildren.push_back(TChild{children[i], a.map_state != IsUnmapped, a.override_redirect != False});
  }
  if (children) XFree(children);
}

long TRootStack::IndexOf(Window x) const {
  for (size_t i = 0; i < FChildren.size(); ++i)
    if (FChildren[i].Xid == x) return static_cast<long>(i);
  return -1;
}

bool TRootStack::Mapped(Window x) const {
  const long i = IndexOf(x);
  return i >= 0 && FChildren[static_cast<size_t>(i)].Mapped;
}

TRootStack::TChild* TRootStack::Get(Window x) {
  const long i = IndexOf(x);
  return i < 0 ? nullptr : &FChildren[static_cast<size_t>(i)];
}

void TRootStack::Remove(Window x) {
  FChildren.erase(std::remove_if(FChildren.begin(), FChildren.end(), [&](const TChild& c) { return c.Xid == x; }),
                  FChildren.end());
}

void TRootStack::Insert(const TChild& c, Window sibling, bool onTop) {
  if (onTop) {
    FChildren.push_back(c);
    return;
  }
  if (sibling == None) {
    FChildren.insert(FChildren.begin(), c);
    return;
  }
  const long i = IndexOf(sibling);
  if (i < 0) {
    // A sibling we never heard of: where the window is, we no longer know.
    FStale = true;
    FChildren.push_back(c);
    return;
  }
  FChildren.insert(FChildren.begin() + i + 1, c);
}

bool TRootStack::Superseded(Window x, unsigned long serial) const {
  auto it = FOurSerials.find(x);
  return it != FOurSerials.end() && serial < it->second;
}

Window RootChildOf(const XEvent& ev) {
  switch (ev.type) {
    case CreateNotify: return ev.xcreatewindow.window;
    case DestroyNotify: return ev.xdestroywindow.window;
    case MapNotify: return ev.xmap.window;
    case UnmapNotify: return ev.xunmap.window;
    case ConfigureNotify: return ev.xconfigure.window;
    case CirculateNotify: return ev.xcirculate.window;
    case ReparentNotify: return ev.xreparent.window;
    default: return 0;
  }
}

bool TRootStack::Follow(const XEvent& ev) {
  if (FRoot == 0 || ev.xany.window != FRoot) return false;
  const Window x = RootChildOf(ev);
  if (x == 0 || x == FRoot) return false;
  const unsigned long serial = ev.xany.serial;
  switch (ev.type) {
    case CreateNotify:
      if (Superseded(x, serial)) return true;
      Remove(x);
      Insert(TChild{x, false, ev.xcreatewindow.override_redirect != False}, None, true);
      return true;
    case DestroyNotify:
      Remove(x);
      FOurSerials.erase(x);
      return true;
    case MapNotify:
    case UnmapNotify: {
      TChild* c = Get(x);
      if (c == nullptr) {
        FStale = true;
        return true;
      }
      c->Mapped = ev.type == MapNotify;
      if (ev.type == MapNotify) c->OverrideRedirect = ev.xmap.override_redirect != False;
      return true;
    }
    case ConfigureNotify: {
      TChild c{x, false, ev.xconfigure.override_redirect != False};
      if (const TChild* old = Get(x)) c.Mapped = old->Mapped;
      else FStale = true;
      if (Superseded(x, serial)) {
        if (TChild* old = Get(x)) old->OverrideRedirect = c.OverrideRedirect;
        return true;
      }
      Remove(x);
      Insert(c, ev.xconfigure.above, false);
      return true;
    }
    case CirculateNotify: {
      if (Superseded(x, serial)) return true;
      TChild c{x, false, false};
      if (const TChild* old = Get(x)) c = *old;
      Remove(x);
      Insert(c, None, ev.xcirculate.place == PlaceOnTop);
      return true;
    }
    case ReparentNotify:
      Remove(x);
      // Taken into the root: on top, unmapped until its MapNotify.
      if (ev.xreparent.parent == FRoot)
        Insert(TChild{x, false, ev.xreparent.override_redirect != False}, None, true);
      return true;
    default:
      return false;
  }
}

void TRootStack::Created(Window x, bool overrideRedirect, unsigned long serial) {
  FOurSerials[x] = serial;
  Remove(x);
  Insert(TChild{x, false, overrideRedirect}, None, true);
}

void TRootStack::Restacked(Window x, Window sibling, bool above, unsigned long serial) {
  FOurSerials[x] = serial;
  TChild c{x, false, false};
  if (const TChild* old = Get(x)) c = *old;
  Remove(x);
  if (sibling == None) {
    Insert(c, None, above);
    return;
  }
  const long i = IndexOf(sibling);
  if (i < 0) {
    FStale = true;
    FChildren.push_back(c);
    return;
  }
  FChildren.insert(FChildren.begin() + i + (above ? 1 : 0), c);
}

bool TCoverBackoff::Answer(Window w, TClock::time_point now) {
  TRecord& r = FRecords[w];
  if (now < r.LetBeUntil) return false;
  r.Answers.erase(std::remove_if(r.Answers.begin(), r.Answers.end(), [&](TClock::time_point t) { return now - t > kWithin; }),
                  r.Answers.end());
  if (static_cast<int>(r.Answers.size()) >= kAnswers) {
    r.Answers.clear();
    r.LetBeUntil = now + kLetBeFor;
    return false;
  }
  r.Answers.push_back(now);
  return true;
}

std::vector<TRestack> PlanRestacks(const TRootStack& stack, const std::vector<TKeptWindow>& kept,
                                   const std::function<bool(Window)>& mayAnswer) {
  std::vector<TRestack> plan;
  // The order as it will be once the planned restacks are done.
  std::vector<TRootStack::TChild> order = stack.Children();
  auto pos = [&](Window x) -> long {
    if (x == 0) return -1;
    for (size_t i = 0; i < order.size(); ++i)
      if (order[i].Xid == x) return static_cast<long>(i);
    return -1;
  };
  auto move = [&](Window x, Window sibling, bool above) {
    plan.push_back(TRestack{x, sibling, above});
    TRootStack::TChild c{x, false, false};
    if (const long i = pos(x); i >= 0) {
      c = order[static_cast<size_t>(i)];
      order.erase(order.begin() + i);
    }
    const long s = pos(sibling);
    order.insert(s < 0 ? order.end() : order.begin() + s + (above ? 1 : 0), c);
  };
  std::set<Window> ours, refused;
  for (const TKeptWindow& k : kept) {
    ours.insert(k.Xid);
    ours.insert(k.Owned.begin(), k.Owned.end());
    if (k.UnderFrame) ours.insert(k.UnderFrame);
  }
  // The topmost window below `limit` that a kept window must be above.
  auto floorBelow = [&](long limit) -> long {
    for (long i = std::min<long>(limit, static_cast<long>(order.size())) - 1; i >= 0; --i) {
      const auto& c = order[static_cast<size_t>(i)];
      if (c.Mapped && !c.OverrideRedirect && !ours.count(c.Xid) && !refused.count(c.Xid)) return i;
    }
    return -1;
  };
  Window previous = 0;
  for (const TKeptWindow& k : kept) {
    const long frame = k.UnderFrame ? pos(k.UnderFrame) : static_cast<long>(order.size());
    for (;;) {
      if (frame < 0) break;  // a frame not known yet: its window manager places it
      const long at = pos(k.Xid);
      const long floor = floorBelow(frame);
      long anchor = floor;
      if (const long p = pos(previous); p >= 0 && p < frame && p > anchor) anchor = p;
      if (at >= 0 && at > anchor && at < frame) break;  // in place
      if (!k.UnderFrame && anchor < 0) break;           // nothing to be above
      // Raised over another client's window: it may have come back once too often.
      if (at >= 0 && anchor == floor && at < floor && !mayAnswer(order[static_cast<size_t>(floor)].Xid)) {
        refused.insert(order[static_cast<size_t>(floor)].Xid);
        continue;
      }
      if (k.UnderFrame) move(k.Xid, k.UnderFrame, false);
      else move(k.Xid, order[static_cast<size_t>(anchor)].Xid, true);
      break;
    }
    previous = k.Xid;
    for (Window o : k.Owned) {
      const long p = pos(previous), at = pos(o);
      if (p >= 0 && at < p) move(o, previous, true);
      previous = o;
    }
  }
  return plan;
}

}  // namespace hkx11
