// Showing, moving, sizing, z-order and coordinates.
#include <algorithm>

#include "platform/Driver.h"
#include "platform/Layered.h"
#include "platform/SystemInfo.h"
#include "platform/WindowInternals.h"

namespace hkwin {

// Set while ShowWindow shows a window it is about to activate; any other
// show (SW_SHOWNOACTIVATE, SW_SHOWNA, SetWindowPos) is a quiet one.
thread_local bool gShowActivates = false;
namespace {

// Moves a window in its sibling list; returns whether the order changed.
bool Reorder(const PWindow& w, HWND insertAfter) {
  std::lock_guard<std::recursive_mutex> guard(TreeLock());
  std::vector<HWND>* list;
  PWindow p;
  if (IsTopLevel(*w)) {
    if (w->MessageOnly) return false;
    list = &TopLevels();
  } else {
    p = Find(w->Parent);
    if (!p) return false;
    list = &p->Children;
  }
  std::vector<HWND> before = *list;
  list->erase(std::remove(list->begin(), list->end(), w->Handle), list->end());
  bool topLevel = IsTopLevel(*w);
  if (insertAfter == HWND_TOPMOST && topLevel) w->ExStyle |= WS_EX_TOPMOST;
  if (insertAfter == HWND_NOTOPMOST && topLevel) w->ExStyle &= ~WS_EX_TOPMOST;
  auto isTopmost = [](HWND h) {
    PWindow o = Find(h);
    return o && (o->ExStyle & WS_EX_TOPMOST);
  };
  bool topmost = topLevel && (w->ExStyle & WS_EX_TOPMOST);
  auto insertAt = list->end();
  if (insertAfter == HWND_BOTTOM) {
    insertAt = list->begin();
    if (topmost)
      insertAt = std::find_if(list->begin(), list->end(), isTopmost);
  } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    if (topLevel && !topmost) insertAt = std::find_if(list->begin(), list->end(), isTopmost);
  } else {
    auto it = std::find(list->begin(), list->end(), insertAfter);
    if (it != list->end()) insertAt = it;  // just below insertAfter
  }
  list->insert(insertAt, w->Handle);
  if (topLevel) {
    // What the window owns (its message boxes, its dialogs) stays above it.
    std::vector<HWND> owned;
    for (HWND h : *list)
      if (PWindow o = Find(h); o && o->Owner == w->Handle) owned.push_back(h);
    for (HWND h : owned) {
      list->erase(std::remove(list->begin(), list->end(), h), list->end());
      auto at = std::find(list->begin(), list->end(), w->Handle);
      list->insert(at + 1, h);
    }
  }
  return before != *list;
}

// Asks the window for its size limits and hands them to the driver.
void TellSizeLimits(HWND hwnd) {
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  MINMAXINFO mmi{};
  mmi.ptMaxSize = POINT{sw, sh};
  mmi.ptMaxTrackSize = POINT{sw, sh};
  mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)};
  SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  if (!IsWindow(hwnd)) return;
  SIZE minSize{std::max<LONG>(0, mmi.ptMinTrackSize.x), std::max<LONG>(0, mmi.ptMinTrackSize.y)};
  // The screen's size is no limit of the window's own.
  SIZE maxSize{mmi.ptMaxTrackSize.x < sw ? std::max<LONG>(1, mmi.ptMaxTrackSize.x) : 0,
               mmi.ptMaxTrackSize.y < sh ? std::max<LONG>(1, mmi.ptMaxTrackSize.y) : 0};
  // A window with a caption and no sizing border (a dialog, a message box)
  // keeps its size: the window manager is told so, and offers neither a
  // resize nor a maximise that would do nothing.
  if (PWindow w = Find(hwnd); w && (w->Style & WS_CAPTION) == WS_CAPTION && !(w->Style & WS_THICKFRAME) &&
                              !(w->Style & (WS_MAXIMIZE | WS_MINIMIZE))) {
    minSize = maxSize = SIZE{std::max<LONG>(1, w->Rect.right - w->Rect.left), std::max<LONG>(1, w->Rect.bottom - w->Rect.top)};
  }
  Driver().WindowSizeLimits(hwnd, minSize, maxSize);
}

}  // namespace

BOOL SetWindowPosInternal(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags, bool fromDriver) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  bool top = IsTopLevel(*w);
  WINDOWPOS pos{hwnd, insertAfter, x, y, ClampSize(cx, top), ClampSize(cy, top), flags};
  if (flags & SWP_NOMOVE) {
    pos.x = w->Rect.left;
    pos.y = w->Rect.top;
  }
  if (flags & SWP_NOSIZE) {
    pos.cx = w->Rect.right - w->Rect.left;
    pos.cy = w->Rect.bottom - w->Rect.top;
  }
  if ((flags & SWP_NOSENDCHANGING) == 0) {
    SendMessageA(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (!IsWindow(hwnd)) return FALSE;
    pos.cx = ClampSize(pos.cx, top);
    pos.cy = ClampSize(pos.cy, top);
  }
  flags = pos.flags;
  RECT oldRect = w->Rect;
  RECT newRect{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
  bool moved = (oldRect.left != newRect.left || oldRect.top != newRect.top);
  bool sized = (oldRect.right - oldRect.left != pos.cx || oldRect.bottom - oldRect.top != pos.cy);
  bool zChanged = false;
  if ((flags & SWP_NOZORDER) == 0) zChanged = Reorder(w, pos.hwndInsertAfter);
  bool wasVisible = (w->Style & WS_VISIBLE) != 0;
  bool showChanged = false;
  if ((flags & SWP_SHOWWINDOW) && !wasVisible) {
    w->Style |= WS_VISIBLE;
    showChanged = true;
  } else if ((flags & SWP_HIDEWINDOW) && wasVisible) {
    w->Style &= ~WS_VISIBLE;
    showChanged = true;
  }
  bool frame = (flags & SWP_FRAMECHANGED) != 0;
  if (!moved && !sized && !zChanged && !showChanged && !frame) return TRUE;

  bool topLevel = IsTopLevel(*w);
  if (!topLevel && wasVisible && (moved || sized || showChanged || zChanged)) InvalidateParentArea(*w, oldRect);
  w->Rect = newRect;
  if (sized || frame) {
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = newRect;
    SendMessageA(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
    if (!IsWindow(hwnd)) return FALSE;
    RECT c = params.rgrc[0];
    w->Insets = RECT{std::max<LONG>(0, c.left - newRect.left), std::max<LONG>(0, c.top - newRect.top),
                     std::max<LONG>(0, newRect.right - c.right), std::max<LONG>(0, newRect.bottom - c.bottom)};
  }
  if (topLevel && w->Surface && sized) {
    std::lock_guard<std::mutex> guard(w->Surface->Lock);
    // A layered image keeps its pixels until a new one comes.
    ResizeSurface(*w->Surface, pos.cx, pos.cy);
  }
  bool visibleNow = (w->Style & WS_VISIBLE) != 0;
  if (visibleNow && (flags & SWP_NOREDRAW) == 0 && (sized || showChanged || frame || (!topLevel && (moved || zChanged)))) {
    InvalidateInternal(hwnd, nullptr, true, true);
    w->NcPaint = true;
  }
  if (showChanged && visibleNow) w->QuietShow = !gShowActivates;
  if (topLevel && !w->MessageOnly && !fromDriver) {
    // The window manager learns the size limits before it shows the window.
    if ((showChanged && visibleNow) || sized || frame) TellSizeLimits(hwnd);
    if (!IsWindow(hwnd)) return FALSE;
    if (moved || sized) Driver().WindowMoved(hwnd, w->Rect);
    if (showChanged) Driver().WindowShown(hwnd, visibleNow);
    if (zChanged && visibleNow) Driver().WindowStyleChanged(hwnd);
  }
  if (visibleNow && !topLevel && wasVisible == visibleNow) InvalidateParentArea(*w, w->Rect);
  WINDOWPOS changed = pos;
  if (!moved) changed.flags |= SWP_NOMOVE;
  if (!sized) changed.flags |= SWP_NOSIZE;
  if (!zChanged) changed.flags |= SWP_NOZORDER;
  SendMessageA(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&changed));
  return TRUE;
}

// A window restored while it is the active one (a window manager may give
// the focus to a minimised window) gets the keyboard back, which its
// activation while minimised did not give it.
void FocusRestoredWindow(HWND hwnd) {
  HWND focus = FocusWindow();
  if (ActiveWindow() == hwnd && (focus == nullptr || Root(focus) != hwnd)) SetFocus(hwnd);
}

void SetMinimizedFromDriver(HWND hwnd, bool minimized) {
  PWindow w = Find(hwnd);
  if (!w) return;
  bool is = (w->Style & WS_MINIMIZE) != 0;
  if (is == minimized) return;
  if (minimized) {
    // As a minimise of the program's own: a restore brings back what it left.
    w->MinimizedFromMaximized = (w->Style & WS_MAXIMIZE) != 0;
    if (!w->MinimizedFromMaximized) w->RestoreRect = w->Rect;
    w->Style |= WS_MINIMIZE;
    SendMessageA(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    if (ActiveWindow() == hwnd) ActivateInternal(nullptr, WA_INACTIVE, true);
  } else {
    w->Style &= ~WS_MINIMIZE;
    RECT r = w->Rect;
    SendMessageA(hwnd, WM_SIZE, (w->Style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED,
                 MAKELPARAM(static_cast<WORD>(r.right - r.left), static_cast<WORD>(r.bottom - r.top)));
    InvalidateInternal(hwnd, nullptr, true, true);
    if (IsWindow(hwnd)) FocusRestoredWindow(hwnd);
  }
}

void SetMaximizedFromDriver(HWND hwnd, bool maximized, const RECT& normal) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign || ((w->Style & WS_MAXIMIZE) != 0) == maximized) return;
  if (maximized) {
    // A minimised window keeps the place it had before it was minimised.
    if ((w->Style & WS_MINIMIZE) == 0) w->RestoreRect = normal.right > normal.left ? normal : w->Rect;
    w->MinimizedFromMaximized = (w->Style & WS_MINIMIZE) != 0;
    w->Style |= WS_MAXIMIZE;
  } else {
    w->Style &= ~WS_MAXIMIZE;
    w->MinimizedFromMaximized = false;
  }
  // The size comes from the window manager; the program hears of the state.
  SetWindowPosInternal(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED, true);
}

}  // namespace hkwin

using namespace hkwin;

namespace {

// Activates the next visible top-level window when the active one goes.
void ActivateNext(HWND leaving) {
  if (ActiveWindow() != leaving) return;
  HWND next = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    for (auto it = TopLevels().rbegin(); it != TopLevels().rend(); ++it) {
      PWindow o = Find(*it);
      if (*it != leaving && o && (o->Style & WS_VISIBLE) && !(o->Style & (WS_MINIMIZE | WS_DISABLED)) &&
          !(o->ExStyle & WS_EX_NOACTIVATE) && o->ThreadId == GetCurrentThreadId()) {
        next = *it;
        break;
      }
    }
  }
  ActivateInternal(next, WA_ACTIVE, false);
}

void ShowPlain(HWND hwnd, const PWindow& w, bool show, bool activate) {
  bool visible = (w->Style & WS_VISIBLE) != 0;
  if (show && !visible) {
    SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
    if (!IsWindow(hwnd)) return;
    // A top-level window comes up on top even when it does not take the
    // keyboard (a card appearing on its timer).
    UINT f = SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    if (!IsTopLevel(*w)) f |= SWP_NOZORDER;
    bool was = gShowActivates;
    gShowActivates = activate && !w->MessageOnly && (w->Style & WS_MINIMIZE) == 0;
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, f);
    gShowActivates = was;
  }
  if (show && activate && IsTopLevel(*w) && !w->MessageOnly && (w->Style & WS_MINIMIZE) == 0)
    ActivateInternal(hwnd, WA_ACTIVE, false);
}

}  // namespace

BOOL ShowWindow(HWND hwnd, int cmd) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  bool wasVisible = (w->Style & WS_VISIBLE) != 0;
  bool topLevel = IsTopLevel(*w);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  switch (cmd) {
    case SW_HIDE: {
      if (!wasVisible) return FALSE;
      SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
      if (!IsWindow(hwnd)) return TRUE;
      HWND focus = FocusWindow();
      SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      if (topLevel) {
        ActivateNext(hwnd);
      } else if (focus == hwnd || IsChild(hwnd, focus)) {
        SetFocus(nullptr);
      }
      return TRUE;
    }
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE: {
      if (!topLevel) {
        ShowPlain(hwnd, w, true, false);
        return wasVisible;
      }
      if ((w->Style & WS_MINIMIZE) == 0) {
        w->MinimizedFromMaximized = (w->Style & WS_MAXIMIZE) != 0;
        if (!w->MinimizedFromMaximized) w->RestoreRect = w->Rect;
        if (!wasVisible) ShowPlain(hwnd, w, true, false);
        if (!IsWindow(hwnd)) return wasVisible;
        w->Style |= WS_MINIMIZE;
        if (!w->MessageOnly) Driver().WindowMinimized(hwnd, true);
        SendMessageA(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
        if (IsWindow(hwnd)) ActivateNext(hwnd);
      }
      return wasVisible;
    }
    case SW_MAXIMIZE: {
      if (!topLevel) {
        ShowPlain(hwnd, w, true, true);
        return wasVisible;
      }
      bool wasMin = (w->Style & WS_MINIMIZE) != 0;
      if (wasMin) {
        w->Style &= ~WS_MINIMIZE;
        if (!w->MessageOnly) Driver().WindowMinimized(hwnd, false);
      }
      if ((w->Style & WS_MAXIMIZE) == 0) {
        if (!wasMin) w->RestoreRect = w->Rect;
        w->Style |= WS_MAXIMIZE;
        if (!w->MessageOnly && Driver().WindowMaximized(hwnd, true)) {
          // A window manager gives it the work area (out of the panels'
          // way) and says where, so the display is not asked for it.
          RECT work{0, 0, sw, sh};
          SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
          SetWindowPosInternal(hwnd, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
                               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED, true);
        } else {
          SetWindowPos(hwnd, nullptr, 0, 0, sw, sh, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        }
      } else if (wasMin) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
      }
      if (IsWindow(hwnd)) ShowPlain(hwnd, w, true, true);
      return wasVisible;
    }
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWNOACTIVATE:
    case SW_SHOWDEFAULT: {
      bool activate = cmd != SW_SHOWNOACTIVATE;
      const bool wasMin = topLevel && (w->Style & WS_MINIMIZE) != 0;
      if (topLevel && (w->Style & (WS_MINIMIZE | WS_MAXIMIZE))) {
        w->Style &= ~WS_MINIMIZE;
        if (wasMin && !w->MessageOnly) Driver().WindowMinimized(hwnd, false);
        if (wasMin && w->MinimizedFromMaximized && cmd == SW_RESTORE) {
          // Restoring a window minimized from maximized brings it back maximized.
          w->MinimizedFromMaximized = false;
          SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        } else {
          const bool wasMax = (w->Style & WS_MAXIMIZE) != 0;
          w->Style &= ~WS_MAXIMIZE;
          w->MinimizedFromMaximized = false;
          if (wasMax && !w->MessageOnly) Driver().WindowMaximized(hwnd, false);
          if (!IsWindow(hwnd)) return wasVisible;
          RECT r = w->RestoreRect;
          SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        }
      }
      if (IsWindow(hwnd)) ShowPlain(hwnd, w, true, activate);
      if (wasMin && activate && IsWindow(hwnd)) FocusRestoredWindow(hwnd);
      return wasVisible;
    }
    case SW_SHOW:
      ShowPlain(hwnd, w, true, true);
      return wasVisible;
    case SW_SHOWNA:
      ShowPlain(hwnd, w, true, false);
      return wasVisible;
    default:
      return wasVisible;
  }
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return SetWindowPosInternal(hwnd, insertAfter, x, y, cx, cy, flags, false);
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL IsWindowVisible(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w) return FALSE;
  if (w->Foreign) return TRUE;
  return IsVisibleChain(*w) ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
  PWindow w = Find(hwnd);
  return w && (w->Style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd) {
  PWindow w = Find(hwnd);
  return w && (w->Style & WS_MAXIMIZE) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  BOOL wasDisabled = (w->Style & WS_DISABLED) ? TRUE : FALSE;
  if (enable && wasDisabled) {
    w->Style &= ~WS_DISABLED;
    SendMessageA(hwnd, WM_ENABLE, TRUE, 0);
  } else if (!enable && !wasDisabled) {
    SendMessageA(hwnd, WM_CANCELMODE, 0, 0);
    w->Style |= WS_DISABLED;
    HWND focus = FocusWindow();
    if (focus == hwnd || IsChild(hwnd, focus)) SetFocus(nullptr);
    ForgetWindowInInput(hwnd);
    SendMessageA(hwnd, WM_ENABLE, FALSE, 0);
  }
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  PWindow w = Find(hwnd);
  return w && (w->Style & WS_DISABLED) == 0 ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  PWindow w = Find(hwnd);
  if (!w || rect == nullptr) return FALSE;
  POINT o = WindowOriginOnScreen(*w);
  *rect = RECT{o.x, o.y, o.x + (w->Rect.right - w->Rect.left), o.y + (w->Rect.bottom - w->Rect.top)};
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  PWindow w = Find(hwnd);
  if (!w || rect == nullptr) return FALSE;
  RECT c = ClientRectInParent(*w);
  *rect = RECT{0, 0, std::max<LONG>(0, c.right - c.left), std::max<LONG>(0, c.bottom - c.top)};
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD exStyle) {
  if (rect == nullptr) return FALSE;
  RECT in = ComputeInsets(style, exStyle, (style & WS_CHILD) == 0);
  rect->left -= in.left;
  rect->top -= in.top;
  rect->right += in.right;
  rect->bottom += in.bottom;
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  PWindow w = Find(hwnd);
  if (!w || point == nullptr) return FALSE;
  POINT o = ClientOriginOnScreen(*w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  PWindow w = Find(hwnd);
  if (!w || point == nullptr) return FALSE;
  POINT o = ClientOriginOnScreen(*w);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a{0, 0}, b{0, 0};
  if (from != nullptr) {
    PWindow w = Find(from);
    if (!w) return 0;
    a = ClientOriginOnScreen(*w);
  }
  if (to != nullptr) {
    PWindow w = Find(to);
    if (!w) return 0;
    b = ClientOriginOnScreen(*w);
  }
  int dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)), static_cast<WORD>(static_cast<SHORT>(dy)));
}

namespace {
bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

HWND DeepestChild(const PWindow& w, POINT screen) {
  std::vector<HWND> children;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    children = w->Children;
  }
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    PWindow c = Find(*it);
    if (!c || (c->Style & WS_VISIBLE) == 0) continue;
    RECT r;
    GetWindowRect(*it, &r);
    if (!Contains(r, screen)) continue;
    if (c->Style & WS_DISABLED) return w->Handle;
    // A point in the frame belongs to the child itself.
    return DeepestChild(c, screen);
  }
  return w->Handle;
}
}  // namespace

HWND WindowFromPoint(POINT point) {
  std::vector<HWND> tops;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    tops = TopLevels();
  }
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    PWindow w = Find(*it);
    if (!w || (w->Style & WS_VISIBLE) == 0 || (w->Style & WS_MINIMIZE)) continue;
    // A click-through layered window lets the pointer reach what is below.
    if ((w->ExStyle & (WS_EX_LAYERED | WS_EX_TRANSPARENT)) == (WS_EX_LAYERED | WS_EX_TRANSPARENT)) continue;
    if (!Contains(w->Rect, point)) continue;
    return DeepestChild(w, point);
  }
  return nullptr;
}

HWND ChildWindowFromPointEx(HWND parent, POINT clientPoint, UINT flags) {
  PWindow w = Find(parent);
  if (!w) return nullptr;
  RECT client;
  GetClientRect(parent, &client);
  if (!Contains(client, clientPoint)) return nullptr;
  POINT screen = clientPoint;
  ClientToScreen(parent, &screen);
  std::vector<HWND> children = w->Children;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    PWindow c = Find(*it);
    if (!c) continue;
    if ((flags & CWP_SKIPINVISIBLE) && (c->Style & WS_VISIBLE) == 0) continue;
    if ((flags & CWP_SKIPDISABLED) && (c->Style & WS_DISABLED)) continue;
    if ((flags & CWP_SKIPTRANSPARENT) && (c->ExStyle & WS_EX_TRANSPARENT)) continue;
    RECT r;
    GetWindowRect(*it, &r);
    if (Contains(r, screen)) return *it;
  }
  return parent;
}
