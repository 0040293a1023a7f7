// Invalid areas, WM_PAINT, device contexts on window surfaces and
// presenting finished pixels.
#include <algorithm>
#include <cstring>

#include "platform/Driver.h"
#include "platform/WindowInternals.h"
#include "platform/gdi/Gdi.h"

namespace hkwin {
namespace {

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (Empty(r)) return RECT{0, 0, 0, 0};
  return r;
}

RECT Union(const RECT& a, const RECT& b) {
  if (Empty(a)) return b;
  if (Empty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

RECT Offset(RECT r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

RECT ClientSize(const TWindow& w) {
  RECT c = ClientRectInParent(w);
  return RECT{0, 0, std::max<LONG>(0, c.right - c.left), std::max<LONG>(0, c.bottom - c.top)};
}

// DCs handed out by GetDC, GetWindowDC and BeginPaint.
struct TWindowDC {
  HWND Root = nullptr;
  RECT SurfaceRect{};
  bool Memory = false;
};
std::mutex gDCLock;
std::map<HDC, TWindowDC> gDCs;

void SetPaintHint(const TWindow& w) {
  if (PThreadQueue q = QueueOf(w.ThreadId)) {
    q->PaintHint = true;
    WakeQueue(*q);
  }
}

void InvalidateWindow(const PWindow& w, RECT r, bool erase, bool children) {
  r = Intersect(r, ClientSize(*w));
  if (Empty(r)) return;
  if (!w->LayeredImage) {
    w->Update = w->HasUpdate ? Union(w->Update, r) : r;
    w->HasUpdate = true;
    w->Erase = w->Erase || erase;
    SetPaintHint(*w);
  }
  if (!children) return;
  // A parent that does not clip its children paints over them wherever its
  // merged invalid rectangle reaches: they must all paint again there.
  RECT area = (!(w->Style & WS_CLIPCHILDREN) && w->HasUpdate) ? w->Update : r;
  std::vector<HWND> kids;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    kids = w->Children;
  }
  for (HWND h : kids) {
    PWindow c = Find(h);
    if (!c || (c->Style & WS_VISIBLE) == 0) continue;
    RECT cr = ClientRectInParent(*c);
    RECT part = Intersect(area, c->Rect);
    if (Empty(part)) continue;
    if (c->Insets.left || c->Insets.top || c->Insets.right || c->Insets.bottom) c->NcPaint = true;
    InvalidateWindow(c, Offset(part, -cr.left, -cr.top), erase, true);
  }
}

HDC MakeDC(const PWindow& w, bool client, const RECT* limit) {
  HWND rootHandle = Root(w->Handle);
  PWindow root = Find(rootHandle);
  if (!root || !root->Surface) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc) {
      std::lock_guard<std::mutex> guard(gDCLock);
      gDCs[dc] = TWindowDC{nullptr, RECT{}, true};
    }
    return dc;
  }
  POINT o = SurfaceOffset(*w, client);
  RECT clip = VisibleSurfaceRect(*w, client);
  if (limit) clip = Intersect(clip, Offset(*limit, o.x, o.y));
  // A parent's drawing never covers its visible children.
  std::vector<RECT> children;
  if (w->Style & WS_CLIPCHILDREN) {
    std::vector<HWND> kids;
    {
      std::lock_guard<std::recursive_mutex> guard(TreeLock());
      kids = w->Children;
    }
    for (HWND h : kids) {
      PWindow c = Find(h);
      if (c && (c->Style & WS_VISIBLE)) children.push_back(VisibleSurfaceRect(*c, false));
    }
  }
  HDC dc = CreateSurfaceDC(root->Surface, o.x, o.y, clip, std::move(children));
  if (dc) {
    std::lock_guard<std::mutex> guard(gDCLock);
    gDCs[dc] = TWindowDC{rootHandle, clip, false};
  }
  return dc;
}

bool ReleaseWindowDC(HDC dc) {
  TWindowDC info;
  {
    std::lock_guard<std::mutex> guard(gDCLock);
    auto it = gDCs.find(dc);
    if (it == gDCs.end()) return false;
    info = it->second;
    gDCs.erase(it);
  }
  if (info.Memory) {
    DeleteDC(dc);
    return true;
  }
  ReleaseSurfaceDC(dc);
  if (!Empty(info.SurfaceRect)) MarkDirty(info.Root, info.SurfaceRect);
  return true;
}

HWND FindPaintIn(const PWindow& w, DWORD threadId, HWND filter, bool filterMatched) {
  if ((w->Style & WS_VISIBLE) == 0) return nullptr;
  bool matched = filterMatched || filter == nullptr || filter == w->Handle;
  if (matched && w->HasUpdate && w->ThreadId == threadId) return w->Handle;
  std::vector<HWND> kids;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    kids = w->Children;
  }
  for (HWND h : kids) {
    PWindow c = Find(h);
    if (!c) continue;
    if (HWND found = FindPaintIn(c, threadId, filter, matched)) return found;
  }
  return nullptr;
}

}  // namespace

void InvalidateInternal(HWND hwnd, const RECT* clientRect, bool erase, bool children) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return;
  RECT r = clientRect ? *clientRect : ClientSize(*w);
  InvalidateWindow(w, r, erase, children);
  // Siblings above a child share the pixels it is about to paint.
  if (!IsTopLevel(*w)) {
    PWindow p = Find(w->Parent);
    if (!p) return;
    RECT cr = ClientRectInParent(*w);
    RECT inParent = Intersect(Offset(r, cr.left, cr.top), w->Rect);
    std::vector<HWND> siblings;
    {
      std::lock_guard<std::recursive_mutex> guard(TreeLock());
      siblings = p->Children;
    }
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    if (it == siblings.end()) return;
    for (++it; it != siblings.end(); ++it) {
      PWindow s = Find(*it);
      if (!s || (s->Style & WS_VISIBLE) == 0) continue;
      RECT part = Intersect(inParent, s->Rect);
      if (Empty(part)) continue;
      RECT sc = ClientRectInParent(*s);
      InvalidateWindow(s, Offset(part, -sc.left, -sc.top), erase, true);
    }
  }
}

void InvalidateParentArea(const TWindow& w, const RECT& rectInParent) {
  if (IsTopLevel(w)) return;
  PWindow p = Find(w.Parent);
  if (!p) return;
  RECT pc = ClientRectInParent(*p);
  (void)pc;
  InvalidateWindow(p, rectInParent, true, true);
}

void MarkDirty(HWND rootHandle, const RECT& surfaceRect) {
  PWindow root = Find(rootHandle);
  if (!root || !root->Surface) return;
  root->DirtyRect = root->Dirty ? Union(root->DirtyRect, surfaceRect) : surfaceRect;
  root->Dirty = true;
}

void PresentDirty() {
  std::vector<HWND> tops;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    tops = TopLevels();
  }
  for (HWND h : tops) {
    PWindow w = Find(h);
    if (!w || !w->Dirty) continue;
    w->Dirty = false;
    if (w->Style & WS_VISIBLE) Driver().Present(h, w->DirtyRect);
  }
}

HWND FindPaintWindow(DWORD threadId, HWND filter) {
  std::vector<HWND> tops;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    tops = TopLevels();
  }
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    PWindow w = Find(*it);
    if (!w) continue;
    if (HWND found = FindPaintIn(w, threadId, filter, false)) return found;
  }
  return nullptr;
}

}  // namespace hkwin

using namespace hkwin;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (hwnd == nullptr) {
    std::vector<HWND> tops;
    {
      std::lock_guard<std::recursive_mutex> guard(TreeLock());
      tops = TopLevels();
    }
    for (HWND h : tops) InvalidateInternal(h, nullptr, erase != FALSE, true);
    return TRUE;
  }
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  InvalidateInternal(hwnd, rect, erase != FALSE, true);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  if (rect == nullptr) {
    w->HasUpdate = false;
    w->Erase = false;
    return TRUE;
  }
  if (!w->HasUpdate) return TRUE;
  // Only a rectangle that covers a whole side can shrink the invalid rectangle.
  RECT u = w->Update, v = *rect;
  if (v.left <= u.left && v.right >= u.right) {
    if (v.top <= u.top && v.bottom >= u.bottom) {
      w->HasUpdate = false;
      w->Erase = false;
    } else if (v.top <= u.top && v.bottom > u.top) {
      u.top = v.bottom;
    } else if (v.bottom >= u.bottom && v.top < u.bottom) {
      u.bottom = v.top;
    }
  } else if (v.top <= u.top && v.bottom >= u.bottom) {
    if (v.left <= u.left && v.right > u.left) u.left = v.right;
    else if (v.right >= u.right && v.left < u.right) u.right = v.left;
  }
  if (w->HasUpdate) {
    w->Update = u;
    if (Empty(u)) w->HasUpdate = false;
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase) {
  PWindow w = Find(hwnd);
  if (!w) return FALSE;
  if (rect) *rect = w->HasUpdate ? w->Update : RECT{0, 0, 0, 0};
  if (erase && w->HasUpdate && w->Erase) {
    HDC dc = GetDC(hwnd);
    w->Erase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    ReleaseDC(hwnd, dc);
  }
  return w->HasUpdate ? TRUE : FALSE;
}

namespace {
void UpdateTree(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w || !IsVisibleChain(*w)) return;
  if (w->HasUpdate) SendMessageA(hwnd, WM_PAINT, 0, 0);
  std::vector<HWND> kids;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    kids = w->Children;
  }
  for (HWND h : kids) UpdateTree(h);
}
}  // namespace

BOOL UpdateWindow(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  UpdateTree(hwnd);
  // The loop may not run for a while (a long load): show the pixels now,
  // on a window just shown once the display has it.
  PWindow root = Find(Root(hwnd));
  if (root && !root->MessageOnly && (root->Style & WS_VISIBLE) && !(root->Style & WS_MINIMIZE))
    Driver().WaitUntilShown(root->Handle, 500);
  PresentDirty();
  return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags) {
  if (hwnd == nullptr) hwnd = nullptr;
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  RECT r = rect ? *rect : RECT{0, 0, 0, 0};
  if (!rect && region != nullptr) {
    GetRgnBox(region, &r);
    rect = &r;
  }
  bool children = (flags & RDW_ALLCHILDREN) != 0 || (flags & RDW_NOCHILDREN) == 0;
  if (flags & RDW_INVALIDATE) {
    InvalidateInternal(hwnd, rect, (flags & RDW_ERASE) != 0, children);
    if (flags & RDW_FRAME) w->NcPaint = true;
  }
  if (flags & RDW_VALIDATE) ValidateRect(hwnd, rect);
  if (flags & RDW_UPDATENOW) {
    if (children) UpdateTree(hwnd);
    else if (w->HasUpdate) SendMessageA(hwnd, WM_PAINT, 0, 0);
    PresentDirty();
  } else if (flags & RDW_ERASENOW) {
    GetUpdateRect(hwnd, nullptr, TRUE);
  }
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign || ps == nullptr) return nullptr;
  if (w->NcPaint) {
    w->NcPaint = false;
    if (w->Insets.left || w->Insets.top || w->Insets.right || w->Insets.bottom) SendMessageA(hwnd, WM_NCPAINT, 1, 0);
  }
  RECT rc = w->HasUpdate ? w->Update : RECT{0, 0, 0, 0};
  bool erase = w->HasUpdate && w->Erase;
  w->HasUpdate = false;
  w->Erase = false;
  HDC dc = MakeDC(w, true, &rc);
  std::memset(ps, 0, sizeof *ps);
  ps->hdc = dc;
  ps->rcPaint = rc;
  ps->fErase = TRUE;
  if (erase && dc) ps->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  else ps->fErase = FALSE;
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (ps == nullptr || ps->hdc == nullptr) return FALSE;
  (void)hwnd;
  return ReleaseWindowDC(ps->hdc) ? TRUE : FALSE;
}

HDC GetDC(HWND hwnd) {
  if (hwnd == nullptr) return CreateScreenDC();
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return nullptr;
  return MakeDC(w, true, nullptr);
}

HDC GetWindowDC(HWND hwnd) {
  if (hwnd == nullptr) return CreateScreenDC();
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return nullptr;
  return MakeDC(w, false, nullptr);
}

int ReleaseDC(HWND hwnd, HDC dc) {
  if (dc == nullptr) return 0;
  if (ReleaseWindowDC(dc)) return 1;
  if (hwnd == nullptr) return DeleteDC(dc) ? 1 : 0;
  return 0;
}

bool ReadWindowPixels(HWND hwnd, bool clientOnly, int* width, int* height, std::vector<uint32_t>* pixels) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign || pixels == nullptr) return false;
  PWindow root = Find(Root(hwnd));
  if (!root || !root->Surface) return false;
  POINT o = SurfaceOffset(*w, clientOnly);
  int wd = clientOnly ? ClientSize(*w).right : (w->Rect.right - w->Rect.left);
  int ht = clientOnly ? ClientSize(*w).bottom : (w->Rect.bottom - w->Rect.top);
  pixels->assign(static_cast<size_t>(wd) * static_cast<size_t>(ht), 0);
  TSurface& s = *root->Surface;
  std::lock_guard<std::mutex> guard(s.Lock);
  for (int y = 0; y < ht; ++y) {
    int sy = o.y + y;
    if (sy < 0 || sy >= s.Height) continue;
    for (int x = 0; x < wd; ++x) {
      int sx = o.x + x;
      if (sx < 0 || sx >= s.Width) continue;
      (*pixels)[static_cast<size_t>(y) * static_cast<size_t>(wd) + static_cast<size_t>(x)] = s.Row(sy)[sx];
    }
  }
  if (width) *width = wd;
  if (height) *height = ht;
  return true;
}
