// Raw input turned into mouse and key messages; key state, capture, mouse
// tracking, double clicks, cursors and caption drags done by us.
#include <array>
#include <atomic>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/Driver.h"
#include "platform/Input.h"
#include "platform/RawInput.h"
#include "platform/SystemInfo.h"
#include "platform/WindowInternals.h"

namespace hkwin {
namespace {

std::mutex gRawLock;
std::deque<TRawInput> gRaw;
std::atomic<size_t> gRawCount{0};
std::atomic<DWORD> gInputThread{0};

std::array<std::atomic<uint8_t>, 256> gAsyncKeys{};
std::atomic<int> gCursorX{0}, gCursorY{0};

// The state as of the input being handled (GetKeyState).
std::array<uint8_t, 256> gKeys{};

HWND gCapture = nullptr;
UINT gDoubleClickTime = 500;

struct TLastClick {
  HWND Hwnd = nullptr;
  int Button = -1;
  uint64_t Time = 0;
  POINT Pt{};
  bool Valid = false;
} gLastClick;

struct TTracking {
  HWND Hwnd = nullptr;
  DWORD Flags = 0;
  DWORD HoverTime = 400;
  uint64_t HoverDue = 0;
  POINT HoverPt{};
  bool Hovering = false;
} gTrack;

struct TMoveDrag {
  bool Active = false;
  HWND Root = nullptr;
  POINT Start{};
  RECT StartRect{};
} gMove;

HWND gOver = nullptr;  // the window under the pointer
bool gOverClient = false;

void SetKey(std::array<uint8_t, 256>& keys, int vk, bool down) {
  vk &= 0xFF;
  uint8_t old = keys[static_cast<size_t>(vk)];
  uint8_t v = static_cast<uint8_t>(down ? (old | 0x80) : (old & ~0x80));
  if (down && !(old & 0x80)) v ^= 1;  // toggled by each press
  keys[static_cast<size_t>(vk)] = v;
}

// Left and right modifiers also count for the generic key.
void SetKeyWithSides(std::array<uint8_t, 256>& keys, int vk, bool down) {
  auto side = [&](int generic, int left, int right) {
    if (vk == generic) SetKey(keys, left, down);
    if (vk == left || vk == right) SetKey(keys, vk, down);
    bool any = (keys[static_cast<size_t>(left)] & 0x80) || (keys[static_cast<size_t>(right)] & 0x80);
    uint8_t g = keys[static_cast<size_t>(generic)];
    if (any && !(g & 0x80)) g = static_cast<uint8_t>((g | 0x80) ^ 1);
    if (!any) g = static_cast<uint8_t>(g & ~0x80);
    keys[static_cast<size_t>(generic)] = g;
  };
  if (vk == VK_SHIFT || vk == VK_LSHIFT || vk == VK_RSHIFT) side(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
  else if (vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL) side(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
  else if (vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU) side(VK_MENU, VK_LMENU, VK_RMENU);
  else SetKey(keys, vk, down);
}

void SetAsyncKeyWithSides(int vk, bool down) {
  std::array<uint8_t, 256> copy;
  for (size_t i = 0; i < 256; ++i) copy[i] = gAsyncKeys[i].load(std::memory_order_relaxed);
  SetKeyWithSides(copy, vk, down);
  for (size_t i = 0; i < 256; ++i) gAsyncKeys[i].store(copy[i], std::memory_order_relaxed);
}

int ButtonVk(int button) { return button == 0 ? VK_LBUTTON : button == 1 ? VK_RBUTTON : VK_MBUTTON; }

WPARAM MouseKeys() {
  WPARAM mk = 0;
  if (gKeys[VK_LBUTTON] & 0x80) mk |= MK_LBUTTON;
  if (gKeys[VK_RBUTTON] & 0x80) mk |= MK_RBUTTON;
  if (gKeys[VK_MBUTTON] & 0x80) mk |= MK_MBUTTON;
  if (gKeys[VK_SHIFT] & 0x80) mk |= MK_SHIFT;
  if (gKeys[VK_CONTROL] & 0x80) mk |= MK_CONTROL;
  return mk;
}

bool Over(HWND hwnd, POINT pt, bool client) {
  RECT r;
  if (client) {
    PWindow w = Find(hwnd);
    if (!w) return false;
    POINT o = ClientOriginOnScreen(*w);
    RECT c = ClientRectInParent(*w);
    r = RECT{o.x, o.y, o.x + (c.right - c.left), o.y + (c.bottom - c.top)};
  } else if (!GetWindowRect(hwnd, &r)) {
    return false;
  }
  return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom;
}

void EndTrackingLeave() {
  if (gTrack.Hwnd == nullptr) return;
  if (gTrack.Flags & TME_LEAVE)
    PostInternal(gTrack.Hwnd, (gTrack.Flags & TME_NONCLIENT) ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
  gTrack = TTracking{};
}

void CheckTracking(HWND target, bool client, POINT pt) {
  if (gTrack.Hwnd == nullptr) return;
  bool nonclient = (gTrack.Flags & TME_NONCLIENT) != 0;
  if (gTrack.Hwnd != target || client == nonclient) {
    EndTrackingLeave();
    return;
  }
  if (gTrack.Flags & TME_HOVER) {
    int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    if (std::abs(pt.x - gTrack.HoverPt.x) > cx || std::abs(pt.y - gTrack.HoverPt.y) > cy) {
      gTrack.HoverPt = pt;
      gTrack.HoverDue = ClockNowMs() + gTrack.HoverTime;
    }
  }
}

void ConvertMouse(const TRawInput& e) {
  POINT pt{e.X, e.Y};
  if (e.Kind == TRawKind::LeaveScreen) {
    EndTrackingLeave();
    gOver = nullptr;
    return;
  }
  if (e.Kind == TRawKind::ButtonDown || e.Kind == TRawKind::ButtonUp)
    SetKey(gKeys, ButtonVk(e.Button), e.Kind == TRawKind::ButtonDown);

  if (gMove.Active) {
    if (!IsWindow(gMove.Root)) {
      gMove.Active = false;
    } else if (e.Kind == TRawKind::ButtonDown && e.Button == 0) {
      // The left button pressed again: its release never came. The drag
      // ended there, and this press is a press of its own.
      gMove.Active = false;
      SendMessageA(gMove.Root, WM_EXITSIZEMOVE, 0, 0);
    } else if (e.Kind == TRawKind::MouseMove) {
      int dx = pt.x - gMove.Start.x, dy = pt.y - gMove.Start.y;
      SetWindowPos(gMove.Root, nullptr, gMove.StartRect.left + dx, gMove.StartRect.top + dy, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return;
    } else if (e.Kind == TRawKind::ButtonUp && e.Button == 0) {
      gMove.Active = false;
      SendMessageA(gMove.Root, WM_EXITSIZEMOVE, 0, 0);
      return;
    } else {
      return;
    }
  }

  if (e.Kind == TRawKind::Wheel) {
    HWND focus = FocusWindow();
    if (focus == nullptr) focus = ActiveWindow();
    if (focus != nullptr)
      PostInternal(focus, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<WORD>(MouseKeys()), static_cast<WORD>(static_cast<SHORT>(e.Delta))),
                   PointToLParam(pt.x, pt.y));
    return;
  }

  HWND target = nullptr;
  LRESULT ht = HTNOWHERE;
  if (gCapture != nullptr && IsWindow(gCapture)) {
    target = gCapture;
    ht = HTCLIENT;
  } else {
    gCapture = nullptr;
    target = WindowFromPoint(pt);
    while (target != nullptr) {
      ht = SendMessageA(target, WM_NCHITTEST, 0, PointToLParam(pt.x, pt.y));
      if (ht != HTTRANSPARENT) break;
      PWindow w = Find(target);
      target = (w && !IsTopLevel(*w)) ? w->Parent : nullptr;
    }
  }
  bool client = ht == HTCLIENT;
  CheckTracking(target, client, pt);
  gOver = target;
  gOverClient = client;
  if (target == nullptr) return;
  PWindow w = Find(target);
  if (!w) return;
  HWND root = Root(target);
  PWindow rw = Find(root);
  if (rw && (rw->Style & WS_DISABLED) && gCapture == nullptr) {
    if (e.Kind == TRawKind::MouseMove) SendMessageA(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(static_cast<WORD>(HTERROR), static_cast<WORD>(WM_MOUSEMOVE)));
    return;
  }

  UINT msg = 0;
  if (e.Kind == TRawKind::MouseMove) {
    msg = client ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
  } else {
    bool down = e.Kind == TRawKind::ButtonDown;
    UINT base = e.Button == 0 ? WM_LBUTTONDOWN : e.Button == 1 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    msg = down ? base : base + 1;
    if (down) {
      uint64_t now = ClockNowMs();
      bool dblStyle = !client || (w->Class && (w->Class->Style & CS_DBLCLKS));
      int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
      if (dblStyle && gLastClick.Valid && gLastClick.Hwnd == target && gLastClick.Button == e.Button &&
          now - gLastClick.Time <= gDoubleClickTime && std::abs(pt.x - gLastClick.Pt.x) <= cx &&
          std::abs(pt.y - gLastClick.Pt.y) <= cy) {
        msg = base + 2;
        gLastClick.Valid = false;  // a third press is a single click again
      } else {
        gLastClick = TLastClick{target, e.Button, now, pt, true};
      }
    }
    if (!client) msg = msg - WM_LBUTTONDOWN + WM_NCLBUTTONDOWN;
  }

  if (e.Kind == TRawKind::ButtonDown && root != ActiveWindow() && rw && !rw->MessageOnly &&
      (rw->ExStyle & WS_EX_NOACTIVATE) == 0) {
    LRESULT r = SendMessageA(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root),
                             MAKELPARAM(static_cast<WORD>(ht), static_cast<WORD>(msg)));
    if (r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT) ActivateInternal(root, WA_CLICKACTIVE, false);
    if (r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT) return;
    if (!IsWindow(target)) return;
  }
  if (e.Kind != TRawKind::ButtonUp && gCapture == nullptr)
    SendMessageA(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                 MAKELPARAM(static_cast<WORD>(ht), static_cast<WORD>(msg)));
  if (!IsWindow(target)) return;

  LPARAM lp;
  WPARAM wp;
  if (client) {
    POINT c = pt;
    ScreenToClient(target, &c);
    lp = PointToLParam(c.x, c.y);
    wp = MouseKeys();
  } else {
    lp = PointToLParam(pt.x, pt.y);
    wp = static_cast<WPARAM>(ht);
  }
  PostInternal(target, msg, wp, lp);
}

// A popup menu or list that holds the capture takes the keys, focus or not.
HWND PopupCapture() {
  if (gCapture == nullptr) return nullptr;
  PWindow w = Find(gCapture);
  return w && w->Popup ? gCapture : nullptr;
}

void ConvertKey(const TRawInput& e) {
  if (e.Kind == TRawKind::Chars) {
    HWND target = PopupCapture();
    if (target == nullptr) target = FocusWindow();
    if (target == nullptr) target = ActiveWindow();
    if (target == nullptr) return;
    for (char16_t unit : e.Text) PostInternal(target, WM_CHAR, static_cast<WPARAM>(unit), 1);
    return;
  }
  bool down = e.Kind == TRawKind::KeyDown;
  bool wasDown = (gKeys[static_cast<size_t>(e.Vk & 0xFF)] & 0x80) != 0;
  SetKeyWithSides(gKeys, e.Vk, down);
  HWND focus = PopupCapture();
  if (focus == nullptr) focus = FocusWindow();
  HWND target = focus != nullptr ? focus : ActiveWindow();
  if (target == nullptr) return;
  bool alt = (gKeys[VK_MENU] & 0x80) != 0;
  bool ctrl = (gKeys[VK_CONTROL] & 0x80) != 0;
  bool sys = (alt && !ctrl) || e.Vk == VK_F10 || focus == nullptr;
  if (!down && (e.Vk == VK_MENU || e.Vk == VK_LMENU || e.Vk == VK_RMENU) && !ctrl) sys = true;
  UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  uint32_t lp = 1u | ((e.Scan & 0xFFu) << 16) | (e.Extended ? (1u << 24) : 0u) | (alt ? (1u << 29) : 0u);
  if (down ? wasDown : true) lp |= 1u << 30;
  if (!down) lp |= 1u << 31;
  DWORD text = 0;
  if (down && !e.Text.empty()) {
    PWindow w = Find(target);
    if (PThreadQueue q = w ? QueueOf(w->ThreadId) : nullptr) text = StoreKeyText(*q, e.Text);
  }
  // Messages name the generic modifier; the state keeps both sides.
  int vk = e.Vk;
  if (vk == VK_LSHIFT || vk == VK_RSHIFT) vk = VK_SHIFT;
  if (vk == VK_LCONTROL || vk == VK_RCONTROL) vk = VK_CONTROL;
  if (vk == VK_LMENU || vk == VK_RMENU) vk = VK_MENU;
  PostInternal(target, msg, static_cast<WPARAM>(vk), static_cast<LPARAM>(lp), text);
}

// Handles for the stock cursors.
struct TCursor {
  int StockId = 0;
};
HandleTable<HCURSOR, TCursor>& Cursors() {
  static HandleTable<HCURSOR, TCursor> table(0x43);
  return table;
}
std::mutex gCursorLock;
std::map<int, HCURSOR> gStockCursors;
HCURSOR gCurrentCursor = nullptr;

}  // namespace

void PushRawInput(TRawInput e) {
  switch (e.Kind) {
    case TRawKind::MouseMove:
    case TRawKind::ButtonDown:
    case TRawKind::ButtonUp:
      gCursorX = e.X;
      gCursorY = e.Y;
      if (e.Kind != TRawKind::MouseMove) SetAsyncKeyWithSides(ButtonVk(e.Button), e.Kind == TRawKind::ButtonDown);
      break;
    case TRawKind::Wheel:
    case TRawKind::LeaveScreen:
      e.X = gCursorX;
      e.Y = gCursorY;
      break;
    case TRawKind::KeyDown:
    case TRawKind::KeyUp:
      SetAsyncKeyWithSides(e.Vk, e.Kind == TRawKind::KeyDown);
      break;
    case TRawKind::Chars:
      break;
  }
  {
    std::lock_guard<std::mutex> guard(gRawLock);
    gRaw.push_back(std::move(e));
    gRawCount = gRaw.size();
  }
  if (PThreadQueue q = QueueOf(InputThread())) WakeQueue(*q);
}

std::u16string UsLayoutText(int vk) {
  bool shift = (gAsyncKeys[VK_SHIFT] & 0x80) != 0;
  bool caps = (gAsyncKeys[VK_CAPITAL] & 1) != 0;
  bool ctrl = (gAsyncKeys[VK_CONTROL] & 0x80) != 0;
  bool alt = (gAsyncKeys[VK_MENU] & 0x80) != 0;
  WCHAR c = MapVirtualKeyToChar(vk, shift, caps);
  if (c == 0) return u"";
  if (ctrl && !alt) {
    // Control characters, as a keyboard types them with Ctrl held.
    if (vk >= 'A' && vk <= 'Z') return std::u16string(1, static_cast<char16_t>(vk - 'A' + 1));
    if (vk == VK_RETURN) return u"\n";
    if (vk == VK_BACK) return u"\x7F";
    if (vk == VK_OEM_4) return u"\x1B";
    return u"";
  }
  if (ctrl && alt) return u"";
  return std::u16string(1, c);
}

void SetCursorPosition(int x, int y) {
  gCursorX = x;
  gCursorY = y;
}

DWORD InputThread() { return gInputThread.load(); }
void SetInputThread(DWORD threadId) { gInputThread = threadId; }

bool RawInputPending() { return gRawCount.load(std::memory_order_relaxed) != 0; }

bool ProcessOneRawInput() {
  TRawInput e;
  {
    std::lock_guard<std::mutex> guard(gRawLock);
    if (gRaw.empty()) return false;
    e = std::move(gRaw.front());
    gRaw.pop_front();
    gRawCount = gRaw.size();
  }
  if (e.Kind == TRawKind::KeyDown || e.Kind == TRawKind::KeyUp || e.Kind == TRawKind::Chars) ConvertKey(e);
  else ConvertMouse(e);
  return true;
}

void ClearInputState() {
  {
    std::lock_guard<std::mutex> guard(gRawLock);
    gRaw.clear();
    gRawCount = 0;
  }
  for (auto& k : gAsyncKeys) k = 0;
  gKeys.fill(0);
  gCapture = nullptr;
  gLastClick = TLastClick{};
  gTrack = TTracking{};
  gMove = TMoveDrag{};
  gOver = nullptr;
  gDoubleClickTime = 500;
  gCursorX = 0;
  gCursorY = 0;
}

void ForgetWindowInInput(HWND hwnd) {
  if (gCapture == hwnd || (gCapture && IsChild(hwnd, gCapture))) {
    HWND old = gCapture;
    gCapture = nullptr;
    Driver().CaptureChanged(nullptr);
    if (IsWindow(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
  }
  if (gTrack.Hwnd == hwnd) gTrack = TTracking{};
  if (gLastClick.Hwnd == hwnd) gLastClick = TLastClick{};
  if (gMove.Root == hwnd) gMove = TMoveDrag{};
  if (gOver == hwnd) gOver = nullptr;
}

void BeginEmulatedMove(HWND root, POINT cursor) {
  PWindow w = Find(root);
  if (!w) return;
  gMove = TMoveDrag{true, root, cursor, w->Rect};
  SendMessageA(root, WM_ENTERSIZEMOVE, 0, 0);
  // A drag that started with the button already up ends at once.
  if ((gKeys[VK_LBUTTON] & 0x80) == 0) {
    gMove.Active = false;
    SendMessageA(root, WM_EXITSIZEMOVE, 0, 0);
  }
}

bool EmulatedMoveActive() { return gMove.Active; }

bool TakeHover(DWORD threadId, MSG* msg, bool remove) {
  if (gTrack.Hwnd == nullptr || !(gTrack.Flags & TME_HOVER) || gTrack.HoverDue == 0) return false;
  PWindow w = Find(gTrack.Hwnd);
  if (!w || w->ThreadId != threadId) return false;
  if (ClockNowMs() < gTrack.HoverDue) return false;
  POINT c{gCursorX, gCursorY};
  bool nonclient = (gTrack.Flags & TME_NONCLIENT) != 0;
  if (!nonclient) ScreenToClient(gTrack.Hwnd, &c);
  *msg = MSG{};
  msg->hwnd = gTrack.Hwnd;
  msg->message = nonclient ? 0x02A0 /* WM_NCMOUSEHOVER */ : WM_MOUSEHOVER;
  msg->wParam = MouseKeys();
  msg->lParam = PointToLParam(c.x, c.y);
  msg->time = NowTick();
  if (!remove) return true;
  gTrack.Flags &= ~TME_HOVER;
  gTrack.HoverDue = 0;
  if ((gTrack.Flags & TME_LEAVE) == 0) gTrack = TTracking{};
  return true;
}

uint64_t HoverDue(DWORD threadId) {
  if (gTrack.Hwnd == nullptr || !(gTrack.Flags & TME_HOVER) || gTrack.HoverDue == 0) return UINT64_MAX;
  PWindow w = Find(gTrack.Hwnd);
  return w && w->ThreadId == threadId ? gTrack.HoverDue : UINT64_MAX;
}

}  // namespace hkwin

using namespace hkwin;

SHORT GetKeyState(int vk) {
  uint8_t v = gKeys[static_cast<size_t>(vk & 0xFF)];
  return static_cast<SHORT>(((v & 0x80) ? 0x8000 : 0) | (v & 1));
}

SHORT GetAsyncKeyState(int vk) {
  uint8_t v = gAsyncKeys[static_cast<size_t>(vk & 0xFF)];
  return static_cast<SHORT>((v & 0x80) ? 0x8000 : 0);
}

BOOL GetKeyboardState(BYTE* state256) {
  if (state256 == nullptr) return FALSE;
  for (size_t i = 0; i < 256; ++i) state256[i] = gKeys[i];
  return TRUE;
}

WCHAR MapVirtualKeyToChar(int vk, bool shift, bool capsLock) {
  if (vk >= 'A' && vk <= 'Z') {
    bool upper = shift != capsLock;
    return static_cast<WCHAR>(upper ? vk : vk - 'A' + 'a');
  }
  if (vk >= '0' && vk <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    return static_cast<WCHAR>(shift ? shifted[vk - '0'] : vk);
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<WCHAR>('0' + vk - VK_NUMPAD0);
  switch (vk) {
    case VK_SPACE: return u' ';
    case VK_RETURN: return u'\r';
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_ESCAPE: return 27;
    case VK_MULTIPLY: return u'*';
    case VK_ADD: return u'+';
    case VK_SUBTRACT: return u'-';
    case VK_DECIMAL: return u'.';
    case VK_DIVIDE: return u'/';
    case VK_OEM_1: return shift ? u':' : u';';
    case VK_OEM_PLUS: return shift ? u'+' : u'=';
    case VK_OEM_COMMA: return shift ? u'<' : u',';
    case VK_OEM_MINUS: return shift ? u'_' : u'-';
    case VK_OEM_PERIOD: return shift ? u'>' : u'.';
    case VK_OEM_2: return shift ? u'?' : u'/';
    case VK_OEM_3: return shift ? u'~' : u'`';
    case VK_OEM_4: return shift ? u'{' : u'[';
    case VK_OEM_5: return shift ? u'|' : u'\\';
    case VK_OEM_6: return shift ? u'}' : u']';
    case VK_OEM_7: return shift ? u'"' : u'\'';
    default: return 0;
  }
}

HWND SetCapture(HWND hwnd) {
  HWND old = gCapture;
  if (!IsWindow(hwnd)) return old;
  if (old == hwnd) return old;
  gCapture = hwnd;
  Driver().CaptureChanged(hwnd);
  if (old != nullptr && IsWindow(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  HWND old = gCapture;
  gCapture = nullptr;
  if (old != nullptr) Driver().CaptureChanged(nullptr);
  if (old != nullptr && IsWindow(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

BOOL SetPopupWindow(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w || !IsTopLevel(*w) || w->MessageOnly) return FALSE;
  if (w->Popup) return TRUE;
  w->Popup = true;
  Driver().WindowPopup(hwnd);
  return TRUE;
}

HWND GetCapture() {
  if (gCapture != nullptr && !IsWindow(gCapture)) gCapture = nullptr;
  return gCapture;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE;
  point->x = gCursorX;
  point->y = gCursorY;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  Driver().WarpPointer(x, y);
  TRawInput e;
  e.Kind = TRawKind::MouseMove;
  e.X = x;
  e.Y = y;
  PushRawInput(e);
  return TRUE;
}

UINT GetDoubleClickTime() { return gDoubleClickTime; }

BOOL SetDoubleClickTime(UINT ms) {
  gDoubleClickTime = ms == 0 ? 500 : ms;
  return TRUE;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* tme) {
  if (tme == nullptr || tme->cbSize < sizeof(TRACKMOUSEEVENT)) return FALSE;
  if (tme->dwFlags & TME_QUERY) {
    tme->dwFlags = gTrack.Flags;
    tme->hwndTrack = gTrack.Hwnd;
    tme->dwHoverTime = gTrack.HoverTime;
    return TRUE;
  }
  if (!IsWindow(tme->hwndTrack)) return FALSE;
  if (tme->dwFlags & TME_CANCEL) {
    if (gTrack.Hwnd == tme->hwndTrack) {
      gTrack.Flags &= ~(tme->dwFlags & (TME_LEAVE | TME_HOVER));
      if ((gTrack.Flags & (TME_LEAVE | TME_HOVER)) == 0) gTrack = TTracking{};
    }
    return TRUE;
  }
  bool nonclient = (tme->dwFlags & TME_NONCLIENT) != 0;
  POINT pt{gCursorX, gCursorY};
  bool over = gOver == tme->hwndTrack && gOverClient == !nonclient && Over(tme->hwndTrack, pt, !nonclient);
  if (!over) {
    // Not under the pointer: the leave comes at once.
    if (tme->dwFlags & TME_LEAVE)
      PostInternal(tme->hwndTrack, nonclient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
    return TRUE;
  }
  if (gTrack.Hwnd != tme->hwndTrack) gTrack = TTracking{};
  gTrack.Hwnd = tme->hwndTrack;
  gTrack.Flags = (gTrack.Flags & (TME_LEAVE | TME_HOVER)) | (tme->dwFlags & (TME_LEAVE | TME_HOVER | TME_NONCLIENT));
  if (tme->dwFlags & TME_HOVER) {
    gTrack.HoverTime = tme->dwHoverTime == HOVER_DEFAULT ? 400 : tme->dwHoverTime;
    gTrack.HoverPt = pt;
    gTrack.HoverDue = ClockNowMs() + gTrack.HoverTime;
  }
  return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
  int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  static const int known[] = {32512, 32513, 32514, 32515, 32642, 32643, 32644, 32645, 32646, 32648, 32649};
  bool ok = false;
  for (int k : known) ok = ok || k == id;
  if (!ok) return nullptr;
  std::lock_guard<std::mutex> guard(gCursorLock);
  auto it = gStockCursors.find(id);
  if (it != gStockCursors.end()) return it->second;
  auto c = std::make_shared<TCursor>();
  c->StockId = id;
  HCURSOR h = Cursors().Add(c);
  gStockCursors[id] = h;
  return h;
}

int CursorStockId(HCURSOR cursor) {
  auto c = Cursors().Get(cursor);
  return c ? c->StockId : 0;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = gCurrentCursor;
  if (cursor == old) return old;
  gCurrentCursor = cursor;
  Driver().CursorChanged(CursorStockId(cursor));
  return old;
}

HCURSOR GetCursor() { return gCurrentCursor; }
