// Windows: creation, destruction, values, text, properties and relations.
#include <algorithm>
#include "platform/AsciiCase.h"
#include <new>
#include <unistd.h>

#include <cstring>

#include "platform/Clock.h"
#include "platform/Driver.h"
#include "platform/Input.h"
#include "platform/Layered.h"
#include "platform/SystemInfo.h"
#include "platform/Timers.h"
#include "platform/WindowInternals.h"

namespace hkwin {

HandleTable<HWND, TWindow>& Windows() {
  static HandleTable<HWND, TWindow> table(0x57);
  return table;
}

PWindow Find(HWND hwnd) { return hwnd == nullptr ? nullptr : Windows().Get(hwnd); }

std::vector<HWND>& TopLevels() {
  static std::vector<HWND> list;
  return list;
}

std::recursive_mutex& TreeLock() {
  static std::recursive_mutex lock;
  return lock;
}

bool IsTopLevel(const TWindow& w) { return (w.Style & WS_CHILD) == 0 || w.Parent == nullptr; }

std::vector<HICON> WindowIcons(HWND hwnd) {
  std::vector<HICON> icons;
  PWindow w = Find(hwnd);
  if (!w) return icons;
  HICON big = w->IconBig ? w->IconBig : w->Class ? w->Class->Icon : nullptr;
  HICON small = w->IconSmall ? w->IconSmall : w->Class ? w->Class->IconSm : nullptr;
  if (big) icons.push_back(big);
  if (small && small != big) icons.push_back(small);
  return icons;
}

HWND Root(HWND hwnd) {
  PWindow w = Find(hwnd);
  while (w && !IsTopLevel(*w)) {
    PWindow p = Find(w->Parent);
    if (!p) break;
    w = p;
  }
  return w ? w->Handle : nullptr;
}

int ClampSize(int size, bool topLevel) { return std::clamp(size, 0, topLevel ? 8192 : 32767); }

void ResizeSurface(TSurface& surface, int width, int height) {
  try {
    surface.Resize(width, height);
  } catch (const std::bad_alloc&) {
    surface.Resize(0, 0);
  }
}

RECT ComputeInsets(DWORD style, DWORD exStyle, bool topLevel) {
  RECT r{0, 0, 0, 0};
  // The window manager draws the frames of top-level windows with a caption;
  // one without (a hint window) has its thin border drawn by us.
  if (topLevel) {
    if ((style & WS_CAPTION) != WS_CAPTION && (style & WS_BORDER)) r = RECT{1, 1, 1, 1};
    return r;
  }
  int n = 0;
  if (style & WS_BORDER) n += 1;
  if (exStyle & WS_EX_CLIENTEDGE) n += 2;
  if (exStyle & WS_EX_STATICEDGE) n += 1;
  r = RECT{n, n, n, n};
  return r;
}

RECT ClientRectInParent(const TWindow& w) {
  return RECT{w.Rect.left + w.Insets.left, w.Rect.top + w.Insets.top, w.Rect.right - w.Insets.right,
              w.Rect.bottom - w.Insets.bottom};
}

POINT WindowOriginOnScreen(const TWindow& w) {
  if (IsTopLevel(w)) return POINT{w.Rect.left, w.Rect.top};
  PWindow p = Find(w.Parent);
  POINT o = p ? ClientOriginOnScreen(*p) : POINT{0, 0};
  return POINT{o.x + w.Rect.left, o.y + w.Rect.top};
}

POINT ClientOriginOnScreen(const TWindow& w) {
  POINT o = WindowOriginOnScreen(w);
  return POINT{o.x + w.Insets.left, o.y + w.Insets.top};
}

POINT SurfaceOffset(const TWindow& w, bool client) {
  PWindow root = Find(Root(w.Handle));
  POINT origin = client ? ClientOriginOnScreen(w) : WindowOriginOnScreen(w);
  if (!root) return origin;
  return POINT{origin.x - root->Rect.left, origin.y - root->Rect.top};
}

static RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

RECT VisibleSurfaceRect(const TWindow& w, bool client) {
  POINT o = SurfaceOffset(w, client);
  int width = client ? (w.Rect.right - w.Rect.left - w.Insets.left - w.Insets.right) : (w.Rect.right - w.Rect.left);
  int height = client ? (w.Rect.bottom - w.Rect.top - w.Insets.top - w.Insets.bottom) : (w.Rect.bottom - w.Rect.top);
  RECT r{o.x, o.y, o.x + std::max(0, width), o.y + std::max(0, height)};
  // Every ancestor's client area clips.
  PWindow p = IsTopLevel(w) ? nullptr : Find(w.Parent);
  while (p) {
    POINT po = SurfaceOffset(*p, true);
    RECT pc{po.x, po.y, po.x + (p->Rect.right - p->Rect.left - p->Insets.left - p->Insets.right),
            po.y + (p->Rect.bottom - p->Rect.top - p->Insets.top - p->Insets.bottom)};
    r = Intersect(r, pc);
    if (IsTopLevel(*p)) break;
    p = Find(p->Parent);
  }
  PWindow root = Find(Root(w.Handle));
  if (root && root->Surface) r = Intersect(r, RECT{0, 0, root->Surface->Width, root->Surface->Height});
  return r;
}

bool IsVisibleChain(const TWindow& w) {
  const TWindow* cur = &w;
  PWindow hold;
  for (;;) {
    if ((cur->Style & WS_VISIBLE) == 0) return false;
    if (IsTopLevel(*cur)) return !cur->MessageOnly;
    hold = Find(cur->Parent);
    if (!hold) return false;
    cur = hold.get();
  }
}

namespace {

void SendNcCalcSize(const PWindow& w) {
  NCCALCSIZE_PARAMS params{};
  params.rgrc[0] = w->Rect;
  SendMessageA(w->Handle, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&params.rgrc[0]));
  RECT c = params.rgrc[0];
  w->Insets = RECT{std::max<LONG>(0, c.left - w->Rect.left), std::max<LONG>(0, c.top - w->Rect.top),
                   std::max<LONG>(0, w->Rect.right - c.right), std::max<LONG>(0, w->Rect.bottom - c.bottom)};
}

void RemoveFromParentList(const TWindow& w) {
  std::lock_guard<std::recursive_mutex> guard(TreeLock());
  if (IsTopLevel(w)) {
    auto& list = TopLevels();
    list.erase(std::remove(list.begin(), list.end(), w.Handle), list.end());
  } else if (PWindow p = Find(w.Parent)) {
    p->Children.erase(std::remove(p->Children.begin(), p->Children.end(), w.Handle), p->Children.end());
  }
}

void DestroyTree(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w || w->Destroying) return;
  w->Destroying = true;
  // Windows it owns go first.
  std::vector<HWND> owned;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    for (HWND t : TopLevels())
      if (PWindow o = Find(t); o && o->Owner == hwnd) owned.push_back(t);
  }
  for (HWND o : owned) DestroyWindowOnAnyThread(o);
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  std::vector<HWND> children = w->Children;
  for (auto it = children.rbegin(); it != children.rend(); ++it) DestroyTree(*it);
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  KillWindowTimers(hwnd);
  ForgetWindowInInput(hwnd);
  ForgetWindowInFocus(hwnd);
  if (IsTopLevel(*w) && !w->MessageOnly) Driver().WindowDestroyed(hwnd);
  RemoveFromParentList(*w);
  Windows().Remove(hwnd);
}

}  // namespace

void DestroyAllWindows() {
  std::vector<HWND> all;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    all = TopLevels();
  }
  Windows().ForEach([&](HWND h, const PWindow& w) {
    if (w->MessageOnly || w->Foreign) all.push_back(h);
  });
  for (HWND h : all) {
    PWindow w = Find(h);
    if (w && w->Foreign) {
      if (h != GetDesktopWindow()) Windows().Remove(h);
      continue;
    }
    DestroyWindowOnAnyThread(h);
  }
}

}  // namespace hkwin

using namespace hkwin;

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  if (className == nullptr) return nullptr;
  PWindowClass cls = FindClass(className);
  if (!cls) return nullptr;
  bool messageOnly = parent == HWND_MESSAGE;
  if (messageOnly) parent = nullptr;
  PWindow parentWindow = Find(parent);
  if (parent != nullptr && !parentWindow) return nullptr;
  if ((style & WS_CHILD) && !parentWindow && !messageOnly) return nullptr;

  auto w = std::make_shared<TWindow>();
  w->Class = cls;
  w->Proc = cls->Proc;
  w->Text = windowName ? windowName : "";
  w->Style = style & ~WS_VISIBLE;
  w->ExStyle = exStyle;
  w->MessageOnly = messageOnly;
  w->ThreadId = GetCurrentThreadId();
  w->Instance = instance;
  w->Extra.assign(static_cast<size_t>(cls->WndExtra), 0);
  if (style & WS_CHILD) {
    w->Parent = parentWindow ? parent : nullptr;
    w->Id = reinterpret_cast<LONG_PTR>(menuOrId);
  } else if (parentWindow) {
    w->Owner = Root(parent);
    // A window owned by a stay-on-top window stays on top with it: a box
    // raised from such a window is never hidden behind it.
    if (PWindow o = Find(w->Owner); o && (o->ExStyle & WS_EX_TOPMOST)) w->ExStyle |= WS_EX_TOPMOST;
  }
  bool topLevel = IsTopLevel(*w);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (x == CW_USEDEFAULT) {
    x = topLevel ? sw / 8 : 0;
    y = topLevel ? sh / 8 : 0;
  }
  if (width == CW_USEDEFAULT) {
    width = topLevel ? sw / 2 : 0;
    height = topLevel ? sh / 2 : 0;
  }
  width = ClampSize(width, topLevel);
  height = ClampSize(height, topLevel);
  if (InputThread() == 0 && topLevel && !messageOnly) SetInputThread(w->ThreadId);

  HWND hwnd = Windows().Add(w);
  w->Handle = hwnd;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    if (!topLevel) {
      parentWindow->Children.push_back(hwnd);
    } else if (!messageOnly) {
      auto& list = TopLevels();
      if (exStyle & WS_EX_TOPMOST) {
        list.push_back(hwnd);
      } else {
        // Below every topmost window.
        auto it = list.begin();
        auto pos = list.end();
        for (; it != list.end(); ++it) {
          PWindow o = Find(*it);
          if (o && (o->ExStyle & WS_EX_TOPMOST)) {
            pos = it;
            break;
          }
        }
        list.insert(pos, hwnd);
      }
    }
  }

  try {
    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menuOrId;
    cs.hwndParent = parent;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;

    if (topLevel && !messageOnly) {
      MINMAXINFO mmi{};
      mmi.ptMaxSize = POINT{sw, sh};
      mmi.ptMaxTrackSize = POINT{sw, sh};
      mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)};
      SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    }
    if (!IsWindow(hwnd)) return nullptr;
    w->Rect = RECT{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy};
    w->RestoreRect = w->Rect;
    if (topLevel && !messageOnly) {
      w->Surface = std::make_shared<TSurface>();
      ResizeSurface(*w->Surface, width, height);
    }
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
      DestroyWindow(hwnd);
      return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;
    SendNcCalcSize(w);
    if (topLevel && !messageOnly) Driver().WindowCreated(hwnd);
    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
      DestroyWindow(hwnd);
      return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;
    w->Created = true;
    // Size and position as the window's own handlers expect them after creation.
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(static_cast<WORD>(w->Rect.right - w->Rect.left - w->Insets.left - w->Insets.right),
                            static_cast<WORD>(w->Rect.bottom - w->Rect.top - w->Insets.top - w->Insets.bottom)));
    SendMessageA(hwnd, WM_MOVE, 0, PointToLParam(w->Rect.left + w->Insets.left, w->Rect.top + w->Insets.top));
    if (!IsWindow(hwnd)) return nullptr;
    if (!topLevel && (exStyle & WS_EX_NOPARENTNOTIFY) == 0)
      SendMessageA(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, static_cast<WORD>(w->Id)), reinterpret_cast<LPARAM>(hwnd));
    if (style & WS_MAXIMIZE) ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    else if (style & WS_MINIMIZE) ShowWindow(hwnd, SW_SHOWMINIMIZED);
    else if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
  } catch (...) {
    // A handler that fails during creation leaves no half-made window behind.
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    throw;
  }
}

BOOL DestroyWindow(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  // Only the thread that made a window destroys it.
  if (w->ThreadId != GetCurrentThreadId()) return FALSE;
  return DestroyWindowOnAnyThread(hwnd);
}

BOOL hkwin::DestroyWindowOnAnyThread(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  if (w->Destroying) return TRUE;
  if (w->Style & WS_VISIBLE) {
    if (IsTopLevel(*w)) {
      SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
      w->Style &= ~WS_VISIBLE;
      InvalidateParentArea(*w, w->Rect);
    }
  }
  DestroyTree(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) { return Find(hwnd) ? TRUE : FALSE; }

namespace {
const char* HelperClassName() {
  static const char* name = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "HkHelperWindow";
    RegisterClassA(&wc);
    return "HkHelperWindow";
  }();
  return name;
}
}  // namespace

HWND CreateHelperWindow(WNDPROC proc) {
  HWND h = CreateWindowExA(0, HelperClassName(), "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (h != nullptr && proc != nullptr) SetWindowLongPtrA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  return h;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
  PWindow w = Find(hwnd);
  if (!w) return 0;
  if (index >= 0) {
    if (static_cast<size_t>(index) + sizeof(LONG_PTR) > w->Extra.size()) {
      if (static_cast<size_t>(index) + sizeof(LONG) > w->Extra.size()) return 0;
      LONG v;
      std::memcpy(&v, w->Extra.data() + index, sizeof v);
      return v;
    }
    LONG_PTR v;
    std::memcpy(&v, w->Extra.data() + index, sizeof v);
    return v;
  }
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->Proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->Instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(IsTopLevel(*w) ? w->Owner : w->Parent);
    case GWL_ID: return w->Id;
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->Style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->ExStyle));
    case GWL_USERDATA: return w->UserData;
    default: return 0;
  }
}

namespace {
struct TStyleStruct {
  DWORD styleOld;
  DWORD styleNew;
};
}  // namespace

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return 0;
  LONG_PTR old = GetWindowLongPtrA(hwnd, index);
  if (index >= 0) {
    if (static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->Extra.size()) {
      std::memcpy(w->Extra.data() + index, &value, sizeof value);
    } else if (static_cast<size_t>(index) + sizeof(LONG) <= w->Extra.size()) {
      LONG v = static_cast<LONG>(value);
      std::memcpy(w->Extra.data() + index, &v, sizeof v);
    } else {
      return 0;
    }
    return old;
  }
  switch (index) {
    case GWL_WNDPROC:
      if (value == 0) return 0;
      w->Proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_HINSTANCE: w->Instance = reinterpret_cast<HINSTANCE>(value); break;
    case GWLP_HWNDPARENT:
      if (IsTopLevel(*w)) w->Owner = reinterpret_cast<HWND>(value);
      break;
    case GWL_ID: w->Id = value; break;
    case GWL_USERDATA: w->UserData = value; break;
    case GWL_STYLE:
    case GWL_EXSTYLE: {
      TStyleStruct ss{static_cast<DWORD>(old), static_cast<DWORD>(value)};
      WPARAM which = static_cast<WPARAM>(static_cast<intptr_t>(index));
      SendMessageA(hwnd, WM_STYLECHANGING, which, reinterpret_cast<LPARAM>(&ss));
      if (!IsWindow(hwnd)) return 0;
      if (index == GWL_STYLE) {
        // Visibility, minimized and maximized states change only through ShowWindow.
        const DWORD kept = WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE | WS_CHILD;
        w->Style = (ss.styleNew & ~kept) | (w->Style & kept);
        if ((ss.styleNew & WS_DISABLED) != (static_cast<DWORD>(old) & WS_DISABLED)) {
          if (ss.styleNew & WS_DISABLED) ForgetWindowInInput(hwnd);
        }
      } else {
        w->ExStyle = ss.styleNew;
        if ((ss.styleNew & WS_EX_LAYERED) == 0) w->LayeredImage = false;
        if ((ss.styleNew ^ static_cast<DWORD>(old)) & WS_EX_TOPMOST) {
          SetWindowPos(hwnd, (ss.styleNew & WS_EX_TOPMOST) ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
      }
      SendMessageA(hwnd, WM_STYLECHANGED, which, reinterpret_cast<LPARAM>(&ss));
      if (IsWindow(hwnd) && IsTopLevel(*w) && !w->MessageOnly) Driver().WindowStyleChanged(hwnd);
      break;
    }
    default: return 0;
  }
  return old;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
  if (!IsWindow(hwnd)) return FALSE;
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, char* buffer, int size) {
  if (!IsWindow(hwnd) || buffer == nullptr || size <= 0) return 0;
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) {
  if (!IsWindow(hwnd)) return 0;
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetPropA(HWND hwnd, const char* name, HANDLE data) {
  PWindow w = Find(hwnd);
  if (!w || name == nullptr) return FALSE;
  w->Props[name] = data;
  return TRUE;
}

HANDLE GetPropA(HWND hwnd, const char* name) {
  PWindow w = Find(hwnd);
  if (!w || name == nullptr) return nullptr;
  auto it = w->Props.find(name);
  return it == w->Props.end() ? nullptr : it->second;
}

HANDLE RemovePropA(HWND hwnd, const char* name) {
  PWindow w = Find(hwnd);
  if (!w || name == nullptr) return nullptr;
  auto it = w->Props.find(name);
  if (it == w->Props.end()) return nullptr;
  HANDLE h = it->second;
  w->Props.erase(it);
  return h;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  PWindow w = Find(hwnd);
  if (!w) return 0;
  if (processId) *processId = static_cast<DWORD>(::getpid());
  return w->ThreadId;
}

HWND GetParent(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w) return nullptr;
  return IsTopLevel(*w) ? w->Owner : w->Parent;
}

HWND SetParent(HWND child, HWND newParent) {
  PWindow w = Find(child);
  if (!w || w->Foreign) return nullptr;
  PWindow p = Find(newParent);
  if (newParent != nullptr && !p) return nullptr;
  // A window cannot become its own descendant.
  for (HWND h = newParent; h != nullptr; h = GetParent(h))
    if (h == child) return nullptr;
  HWND old = IsTopLevel(*w) ? nullptr : w->Parent;
  bool visible = (w->Style & WS_VISIBLE) != 0;
  if (visible) ShowWindow(child, SW_HIDE);
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    bool wasTop = IsTopLevel(*w);
    if (wasTop && w->Surface) Driver().WindowDestroyed(child);
    RemoveFromParentList(*w);
    if (p) {
      w->Parent = newParent;
      w->Style |= WS_CHILD;
      p->Children.push_back(child);
      w->Surface.reset();
    } else {
      w->Parent = nullptr;
      w->Style &= ~WS_CHILD;
      TopLevels().push_back(child);
      w->Surface = std::make_shared<TSurface>();
      ResizeSurface(*w->Surface, ClampSize(w->Rect.right - w->Rect.left, true), ClampSize(w->Rect.bottom - w->Rect.top, true));
      Driver().WindowCreated(child);
    }
    w->Insets = ComputeInsets(w->Style, w->ExStyle, IsTopLevel(*w));
  }
  if (visible) ShowWindow(child, SW_SHOWNA);
  return old != nullptr ? old : GetDesktopWindow();
}

BOOL IsChild(HWND parent, HWND hwnd) {
  if (parent == nullptr) return FALSE;
  PWindow w = Find(hwnd);
  while (w && !IsTopLevel(*w)) {
    if (w->Parent == parent) return TRUE;
    w = Find(w->Parent);
  }
  return FALSE;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  PWindow w = Find(hwnd);
  if (!w) return nullptr;
  switch (flags) {
    case GA_PARENT: return IsTopLevel(*w) ? GetDesktopWindow() : w->Parent;
    case GA_ROOT: return Root(hwnd);
    case GA_ROOTOWNER: {
      HWND r = Root(hwnd);
      for (PWindow o = Find(r); o && o->Owner != nullptr; o = Find(o->Owner)) r = o->Owner;
      return r;
    }
    default: return nullptr;
  }
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  PWindow w = Find(hwnd);
  if (!w) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(TreeLock());
  if (cmd == GW_OWNER) return IsTopLevel(*w) ? w->Owner : nullptr;
  if (cmd == GW_CHILD) return w->Children.empty() ? nullptr : w->Children.back();
  const std::vector<HWND>* list = nullptr;
  PWindow p;
  if (IsTopLevel(*w)) {
    list = &TopLevels();
  } else {
    p = Find(w->Parent);
    if (!p) return nullptr;
    list = &p->Children;
  }
  if (list->empty()) return nullptr;
  auto it = std::find(list->begin(), list->end(), hwnd);
  switch (cmd) {
    case GW_HWNDFIRST: return list->back();
    case GW_HWNDLAST: return list->front();
    case GW_HWNDNEXT: return (it == list->end() || it == list->begin()) ? nullptr : *(it - 1);
    case GW_HWNDPREV: return (it == list->end() || it + 1 == list->end()) ? nullptr : *(it + 1);
    default: return nullptr;
  }
}

HWND GetTopWindow(HWND hwnd) {
  if (hwnd == nullptr) {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    return TopLevels().empty() ? nullptr : TopLevels().back();
  }
  return GetWindow(hwnd, GW_CHILD);
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
  if (proc == nullptr) return FALSE;
  std::vector<HWND> list;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    list.assign(TopLevels().rbegin(), TopLevels().rend());
  }
  for (HWND h : list)
    if (IsWindow(h) && !proc(h, lParam)) break;
  return TRUE;
}

namespace {
bool EnumChildren(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  PWindow p = Find(parent);
  if (!p) return true;
  std::vector<HWND> list(p->Children.rbegin(), p->Children.rend());
  for (HWND h : list) {
    if (!IsWindow(h)) continue;
    if (!proc(h, lParam)) return false;
    if (!EnumChildren(h, proc, lParam)) return false;
  }
  return true;
}
}  // namespace

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (proc == nullptr) return FALSE;
  if (parent == nullptr) return EnumWindows(proc, lParam);
  EnumChildren(parent, proc, lParam);
  return TRUE;
}

HWND FindWindowA(const char* className, const char* windowName) {
  std::vector<HWND> list;
  {
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    list.assign(TopLevels().rbegin(), TopLevels().rend());
  }
  for (HWND h : list) {
    PWindow w = Find(h);
    if (!w) continue;
    if (className && !AsciiSameText(w->Class->Name.c_str(), className)) continue;
    if (windowName && w->Text != windowName) continue;
    return h;
  }
  return nullptr;
}

HWND GetDesktopWindow() {
  static HWND desktop = [] {
    auto w = std::make_shared<TWindow>();
    w->Foreign = true;
    w->Style = WS_VISIBLE | WS_POPUP;
    w->Text = "";
    auto c = std::make_shared<TWindowClass>();
    c->Name = "#32769";
    w->Class = c;
    HWND h = Windows().Add(w);
    w->Handle = h;
    return h;
  }();
  PWindow w = Find(desktop);
  if (w) w->Rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return desktop;
}
