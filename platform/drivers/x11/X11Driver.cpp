// The X11 driver: one X window per top-level window, showing the pixels of
// its backing surface; X events become raw input and window changes.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/shape.h>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

#include "platform/Driver.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/RawInput.h"
#include "platform/WindowInternals.h"
#include "platform/drivers/x11/X11Connection.h"
#include "platform/drivers/x11/X11Identity.h"
#include "platform/drivers/x11/X11IconProperty.h"
#include "platform/drivers/x11/X11InputMethod.h"
#include "platform/drivers/x11/X11Keys.h"
#include "platform/drivers/x11/X11Shape.h"
#include "platform/Icons.h"
#include "platform/Session.h"
#include "platform/drivers/x11/X11PointerHold.h"
#include "platform/drivers/x11/X11Popups.h"
#include "platform/drivers/x11/X11Stacking.h"
#include "platform/drivers/x11/X11Tray.h"
#include "platform/drivers/x11/X11WmState.h"

using namespace hkwin;

namespace {

// A request about a window that went away is no reason to end the program.
// A restack that failed (its sibling went) leaves our picture of the
// stacking wrong, though: it is read again.
std::atomic<unsigned> gRestackErrors{0};
constexpr unsigned char kConfigureWindowRequest = 12;  // X_ConfigureWindow
int IgnoreXError(Display*, XErrorEvent* e) {
  if (e->request_code == kConfigureWindowRequest) ++gRestackErrors;
  return 0;
}

std::u16string Utf8ToUtf16(const char* s, size_t n) {
  std::u16string out;
  size_t i = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    size_t len;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
    else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
    else if ((c >> 3) == 30) { cp = c & 0x07; len = 4; }
    else { ++i; continue; }
    if (i + len > n) break;
    bool ok = true;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc >> 6) != 2) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    i += ok ? len : 1;
    if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) continue;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

struct TXWindow {
  HWND Hwnd = nullptr;
  Window Xid = 0;
  bool Argb = false;
  // Override-redirect: no window manager frames, focuses or stacks it.
  bool Unmanaged = false;
  bool Mapped = false;
  bool WantFocus = false;
  bool WeUnmapped = false;
  // Mapped and viewable: the first exposure since the map has come.
  bool Exposed = false;
  bool WaitedForShow = false;
  // Request serial of our last minimise: a MapNotify older than it is no restore.
  unsigned long MinimizeSerial = 0;
  // Request serial of our last map: an UnmapNotify older than it was ours
  // (seen late, after a blocking fade), not a minimise.
  unsigned long MapSerial = 0;
  RECT Last{};
  SIZE MinSize{0, 0}, MaxSize{0, 0};
  // The geometry from the display we last answered with one of our own.
  RECT Corrected{};
  // Geometries we asked for whose ConfigureNotify has not come back yet:
  // their echoes are no news, however late they arrive.
  std::vector<RECT> Requested;
  hkx11::TWindowShapes Shapes;
  // Where the window last was neither maximised nor minimised: the place a
  // window manager's maximise is restored to.
  RECT Normal{};
  // A maximise or minimise (1) or its undoing (0) we asked of the window
  // manager and it has not shown yet; -1 when none is on its way. Until it
  // shows, its older states are no news.
  int PendingMax = -1, PendingMin = -1;
  // The maximise written into the withdrawn window's _NET_WM_STATE for the
  // window manager to read at its map: asked again if it was dropped.
  bool WroteMaximized = false;
  std::chrono::steady_clock::time_point PendingMaxUntil, PendingMinUntil;
  bool WmFullscreen = false;
};

class TX11Driver : public TPlatformDriver {
 public:
  explicit TX11Driver(Display* d) : D(d), Connection(d), WmAtoms(d) {
    Screen = DefaultScreen(D);
    Root = RootWindow(D, Screen);
    XSetErrorHandler(IgnoreXError);
    auto atom = [&](const char* n) { return XInternAtom(D, n, False); };
    WmProtocols = atom("WM_PROTOCOLS");
    WmDelete = atom("WM_DELETE_WINDOW");
    MotifHints = atom("_MOTIF_WM_HINTS");
    NetState = atom("_NET_WM_STATE");
    NetAbove = atom("_NET_WM_STATE_ABOVE");
    NetSkipTaskbar = atom("_NET_WM_STATE_SKIP_TASKBAR");
    NetSkipPager = atom("_NET_WM_STATE_SKIP_PAGER");
    NetMoveResize = atom("_NET_WM_MOVERESIZE");
    NetSupported = atom("_NET_SUPPORTED");
    NetActive = atom("_NET_ACTIVE_WINDOW");
    NetCheck = atom("_NET_SUPPORTING_WM_CHECK");
    NetName = atom("_NET_WM_NAME");
    NetWmIcon = atom("_NET_WM_ICON");
    NetUserTime = atom("_NET_WM_USER_TIME");
    Utf8 = atom("UTF8_STRING");
    XVisualInfo info;
    if (XMatchVisualInfo(D, Screen, 32, TrueColor, &info)) {
      ArgbVisual = info.visual;
      ArgbMap = XCreateColormap(D, Root, ArgbVisual, AllocNone);
    }
    Arrow = XCreateFontCursor(D, XC_left_ptr);
    Hand = XCreateFontCursor(D, XC_hand2);
    Beam = XCreateFontCursor(D, XC_xterm);
    Watch = XCreateFontCursor(D, XC_watch);
    Ime = std::make_unique<hkx11::TInputMethod>(D);
    Tray = std::make_unique<TX11Tray>(D, Screen, Connection);
    PopupGrab = std::make_unique<TX11PopupGrab>(D);
    Hold = std::make_unique<TX11PointerHold>(D, Root);
    Compositor = std::make_unique<hkx11::TCompositorWatch>(D, Screen);
    // Other programs' windows mapped or raised over ours; what the window
    // manager supports.
    XWindowAttributes rootAttrs;
    XGetWindowAttributes(D, Root, &rootAttrs);
    XSelectInput(D, Root, rootAttrs.your_event_mask | SubstructureNotifyMask | PropertyChangeMask);
    Stack.Load(D, Root);
    ClipboardAtom = XInternAtom(D, "CLIPBOARD", False);
    TargetsAtom = XInternAtom(D, "TARGETS", False);
    TextAtom = XInternAtom(D, "TEXT", False);
    TransferAtom = XInternAtom(D, "HK_CLIPBOARD", False);
    SelectionWindow = XCreateWindow(D, Root, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
  }

  bool SetClipboardText(const std::u16string& text) override {
    ClipboardText = Utf16ToUtf8(text);
    XSetSelectionOwner(D, ClipboardAtom, SelectionWindow, CurrentTime);
    XFlush(D);
    return XGetSelectionOwner(D, ClipboardAtom) == SelectionWindow;
  }

  bool GetClipboardText(std::u16string* text) override {
    Window owner = XGetSelectionOwner(D, ClipboardAtom);
    if (owner == SelectionWindow) {
      *text = Utf8ToUtf16(ClipboardText.data(), ClipboardText.size());
      return true;
    }
    if (owner == None) return false;
    XDeleteProperty(D, SelectionWindow, TransferAtom);
    XConvertSelection(D, ClipboardAtom, Utf8, TransferAtom, SelectionWindow, CurrentTime);
    XFlush(D);
    // The owner answers with SelectionNotify; give it a second.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    XEvent ev;
    bool answered = false;
    while (std::chrono::steady_clock::now() < end) {
      if (XCheckTypedWindowEvent(D, SelectionWindow, SelectionNotify, &ev)) {
        answered = true;
        break;
      }
      pollfd fd{ConnectionNumber(D), POLLIN, 0};
      ::poll(&fd, 1, 10);
    }
    if (!answered || ev.xselection.property == None) return false;
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool ok = XGetWindowProperty(D, SelectionWindow, TransferAtom, 0, 1 << 24, True, AnyPropertyType, &type, &format,
                                 &n, &after, &data) == Success &&
              data != nullptr && format == 8 && (type == Utf8 || type == XA_STRING);
    if (ok) *text = Utf8ToUtf16(reinterpret_cast<const char*>(data), n);
    if (data) XFree(data);
    return ok;
  }

  ~TX11Driver() override {
    // A dead connection has nothing left to free on the server; Xlib would
    // only report it again.
    if (Connection.Lost()) {
      Ime->Abandon();
      return;
    }
    Tray.reset();
    for (auto& [h, xw] : ByHwnd) DestroyX(xw);
    XDestroyWindow(D, SelectionWindow);
    Ime.reset();
    XCloseDisplay(D);
  }

  const char* Name() const override { return "x11"; }

  void ScreenSize(int* width, int* height) override {
    *width = DisplayWidth(D, Screen);
    *height = DisplayHeight(D, Screen);
  }

  void WindowCreated(HWND h) override {
    PWindow w = Find(h);
    if (!w) return;
    TXWindow xw;
    xw.Hwnd = h;
    xw.Normal = w->Rect;
    CreateX(xw, *w);
    ByWindow[xw.Xid] = h;
    ByHwnd[h] = xw;
  }

  void WindowDestroyed(HWND h) override {
    auto it = ByHwnd.find(h);
    if (it == ByHwnd.end()) return;
    ByWindow.erase(it->second.Xid);
    if (PopupGrab->Holder() == it->second.Xid) PopupGrab->Release();
    BeforeWindowGoes(h);
    DestroyX(it->second);
    ByHwnd.erase(it);
    XFlush(D);
  }

  void WindowShown(HWND h, bool shown) override {
    TXWindow* xw = Get(h);
    if (!xw) return;
    if (shown) {
      // Still withdrawn (a window manager dropped its states when we
      // unmapped it): they go straight into the property.
      ApplyStates(*xw, false);
      ApplyUserTime(*xw);
      xw->MapSerial = NextRequest(D);
      xw->WeUnmapped = false;
      // A layered window is seen in the shape of its image from the map on.
      if (PWindow w = Find(h); w && xw->Argb) ApplyShapes(*xw, *w, nullptr);
      // A window kept in our own order takes its place before it is seen.
      if (KeptInOurOrder(*xw)) {
        KeepTopmostAbove();
        XMapWindow(D, xw->Xid);
      } else {
        XMapRaised(D, xw->Xid);
        KeepTopmostAbove();
      }
      RaisePopups();
    } else {
      xw->WeUnmapped = true;
      BeforeWindowGoes(h);
      XUnmapWindow(D, xw->Xid);
    }
    XFlush(D);
  }

  void WindowMoved(HWND h, const RECT& r) override {
    TXWindow* xw = Get(h);
    if (!xw) return;
    xw->Last = r;
    if (!IsZoomed(h) && !IsIconic(h)) xw->Normal = r;
    RECT shown{r.left, r.top, r.left + std::max<LONG>(1, r.right - r.left), r.top + std::max<LONG>(1, r.bottom - r.top)};
    xw->Requested.push_back(shown);
    if (xw->Requested.size() > 64) xw->Requested.erase(xw->Requested.begin());
    XMoveResizeWindow(D, xw->Xid, r.left, r.top, static_cast<unsigned>(std::max<LONG>(1, r.right - r.left)),
                      static_cast<unsigned>(std::max<LONG>(1, r.bottom - r.top)));
    XFlush(D);
  }

  void WindowMinimized(HWND h, bool minimized) override {
    TXWindow* xw = Get(h);
    if (!xw) return;
    if (WindowManagerRunning()) Expect(xw->PendingMin, xw->PendingMinUntil, minimized);
    if (minimized) {
      // Whoever maps the window again (a taskbar, the window manager, we)
      // restores it, so this is no unmapping of ours.
      xw->MinimizeSerial = NextRequest(D);
      BeforeWindowGoes(h);
      // Without a window manager nobody would iconify it: hide it ourselves.
      if (WindowManagerRunning()) XIconifyWindow(D, xw->Xid, Screen);
      else XUnmapWindow(D, xw->Xid);
    } else {
      xw->WeUnmapped = false;
      xw->MapSerial = NextRequest(D);
      XMapRaised(D, xw->Xid);
    }
    XFlush(D);
  }

  // Under a window manager, maximising is its business: it knows the panels
  // and keeps its own state of the window.
  bool WindowMaximized(HWND h, bool maximized) override {
    TXWindow* xw = Get(h);
    PWindow w = Find(h);
    if (!xw || !w || xw->Unmanaged || !WindowManagerRunning() || !HasWindowManager(WmAtoms.MaxHorz) ||
        !HasWindowManager(WmAtoms.MaxVert))
      return false;
    Expect(xw->PendingMax, xw->PendingMaxUntil, maximized);
    if (xw->Mapped || (!xw->WeUnmapped && (w->Style & WS_VISIBLE))) {
      hkx11::RequestNetState(D, Root, xw->Xid, WmAtoms.NetState, maximized, WmAtoms.MaxHorz, WmAtoms.MaxVert);
      if (!maximized && xw->WmFullscreen) hkx11::RequestNetState(D, Root, xw->Xid, WmAtoms.NetState, false, WmAtoms.Fullscreen);
    } else {
      // Withdrawn: the window manager reads it when the window is shown.
      ApplyStates(*xw, false);
    }
    XFlush(D);
    return true;
  }

  void WindowSizeLimits(HWND h, SIZE minSize, SIZE maxSize) override {
    TXWindow* xw = Get(h);
    if (!xw) return;
    if (xw->MinSize.cx == minSize.cx && xw->MinSize.cy == minSize.cy && xw->MaxSize.cx == maxSize.cx &&
        xw->MaxSize.cy == maxSize.cy)
      return;
    xw->MinSize = minSize;
    xw->MaxSize = maxSize;
    ApplySizeHints(*xw);
    XFlush(D);
  }

  void WindowTextChanged(HWND h) override {
    TXWindow* xw = Get(h);
    PWindow w = Find(h);
    if (!xw || !w) return;
    SetTitle(xw->Xid, w->Text);
    XFlush(D);
  }

  void WindowIconChanged(HWND h) override {
    if (TXWindow* xw = Get(h)) {
      ApplyIcon(*xw);
      XFlush(D);
    }
  }

  void WindowStyleChanged(HWND h) override {
    TXWindow* xw = Get(h);
    PWindow w = Find(h);
    if (!xw || !w) return;
    bool wantArgb = (w->ExStyle & WS_EX_LAYERED) && ArgbVisual != nullptr;
    if (wantArgb != xw->Argb || Unmanaged(*w) != xw->Unmanaged) {
      // The visual of an X window is fixed: make it again.
      bool mapped = (w->Style & WS_VISIBLE) != 0;
      ByWindow.erase(xw->Xid);
      BeforeWindowGoes(h);
      DestroyX(*xw);
      CreateX(*xw, *w);
      ByWindow[xw->Xid] = h;
      if (mapped && KeptInOurOrder(*xw)) {
        KeepTopmostAbove();
        xw->MapSerial = NextRequest(D);
        XMapWindow(D, xw->Xid);
      } else if (mapped) {
        xw->MapSerial = NextRequest(D);
        XMapRaised(D, xw->Xid);
        KeepTopmostAbove();
      }
    } else {
      ApplyDecorations(*xw, *w);
      ApplyStates(*xw, xw->Mapped);
      ApplyShapes(*xw, *w, nullptr);
    }
    XFlush(D);
  }

  void WindowActivated(HWND h) override {
    TXWindow* xw = Get(h);
    if (!xw) return;
    XRaiseWindow(D, xw->Xid);
    KeepTopmostAbove();
    RaisePopups();
    if (HasWindowManager(NetActive)) {
      XEvent e{};
      e.xclient.type = ClientMessage;
      e.xclient.window = xw->Xid;
      e.xclient.message_type = NetActive;
      e.xclient.format = 32;
      e.xclient.data.l[0] = 1;
      e.xclient.data.l[1] = CurrentTime;
      XSendEvent(D, Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else if (xw->Mapped) {
      XSetInputFocus(D, xw->Xid, RevertToParent, CurrentTime);
    } else {
      xw->WantFocus = true;
    }
    XFlush(D);
  }

  void CaretMoved(HWND h, const RECT& caret) override {
    if (TXWindow* xw = Get(h)) {
      Ime->SetSpot(xw->Xid, caret.left, caret.top, caret.bottom - caret.top);
      XFlush(D);
    }
  }

  void WindowPopup(HWND h) override {
    if (TXWindow* xw = Get(h)) {
      MakeOverrideRedirect(D, xw->Xid);
      xw->Unmanaged = true;
    }
  }

  void CaptureChanged(HWND h) override {
    PWindow w = h ? Find(h) : nullptr;
    TXWindow* xw = h ? Get(h) : nullptr;
    if (w && w->Popup && xw && xw->Xid) {
      PopupGrab->Grab(xw->Xid);
      Hold->Forget();
    } else {
      PopupGrab->Release();
    }
  }

  bool WorkArea(RECT* area) override { return ReadWorkArea(D, Root, area); }

  // A compositor that came or went is shown at once, in the middle of a
  // fade that holds the event loop too.
  void TakeUrgentNews() override {
    if (!Connection.Lost() && (Compositor->TakeNews() | Compositor->Settled())) CompositorChanged();
  }

  int NextLookMs() override { return Compositor->SettleLeftMs(); }

  void Present(HWND h, const RECT& rect) override {
    TakeUrgentNews();
    TXWindow* xw = Get(h);
    PWindow w = Find(h);
    if (!xw || !w || !w->Surface || !xw->Mapped) return;
    TSurface& s = *w->Surface;
    std::lock_guard<std::mutex> guard(s.Lock);
    RECT r{std::max<LONG>(0, rect.left), std::max<LONG>(0, rect.top), std::min<LONG>(s.Width, rect.right),
           std::min<LONG>(s.Height, rect.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) return;
    int wd = r.right - r.left, ht = r.bottom - r.top;
    Buffer.resize(static_cast<size_t>(wd) * static_cast<size_t>(ht));
    bool layered = (w->ExStyle & WS_EX_LAYERED) != 0;
    uint32_t alpha = w->LayeredAlpha;
    // Nothing composites the screen: the server would show premultiplied
    // colours over black. The shape cuts the window out instead, and what
    // is left is drawn opaque in its own colours.
    const bool flat = xw->Argb && !Compositor->Composites();
    for (int y = 0; y < ht; ++y) {
      const uint32_t* src = s.Row(r.top + y) + r.left;
      uint32_t* dst = Buffer.data() + static_cast<size_t>(y) * static_cast<size_t>(wd);
      if (!xw->Argb) {
        for (int x = 0; x < wd; ++x) dst[x] = src[x] | 0xFF000000u;
      } else if (flat) {
        // What the shape cuts away is left transparent, so a compositor
        // that starts shows nothing of it before it hears of us.
        if (layered && w->LayeredImage)
          for (int x = 0; x < wd; ++x) dst[x] = (src[x] >> 24) >= hkx11::kOpaqueFrom ? Unpremultiply(src[x]) : 0;
        else for (int x = 0; x < wd; ++x) dst[x] = src[x] | 0xFF000000u;
      } else if (layered && w->LayeredImage) {
        // Premultiplied pixels, scaled by the constant opacity.
        for (int x = 0; x < wd; ++x) dst[x] = Scale(src[x], alpha);
      } else {
        for (int x = 0; x < wd; ++x) dst[x] = Scale(src[x] | 0xFF000000u, layered ? alpha : 255);
      }
    }
    // The image may have changed where it is transparent. Drawing is cut
    // to the shape, so a shape that grows comes before the pixels.
    if (xw->Argb) ApplyShapes(*xw, *w, &s);
    XImage* img = XCreateImage(D, xw->Argb ? ArgbVisual : DefaultVisual(D, Screen), xw->Argb ? 32 : DefaultDepth(D, Screen),
                               ZPixmap, 0, reinterpret_cast<char*>(Buffer.data()), static_cast<unsigned>(wd),
                               static_cast<unsigned>(ht), 32, wd * 4);
    if (img == nullptr) return;
    img->byte_order = LSBFirst;
    GC gc = XCreateGC(D, xw->Xid, 0, nullptr);
    XPutImage(D, xw->Xid, gc, img, 0, 0, r.left, r.top, static_cast<unsigned>(wd), static_cast<unsigned>(ht));
    XFreeGC(D, gc);
    img->data = nullptr;  // the buffer is ours
    XDestroyImage(img);
    XFlush(D);
  }

  void WaitUntilShown(HWND h, int timeoutMs) override {
    TXWindow* xw = Get(h);
    // Once per show: a window that stays covered is no reason to wait again.
    if (!xw || xw->Exposed || xw->WeUnmapped || xw->WaitedForShow) return;
    xw->WaitedForShow = true;
    // Whatever comes meanwhile is taken in as the loop would take it, so a
    // click read with the map does not sit in Xlib's queue while we sleep.
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      Poll();
      xw = Get(h);
      if (!xw || xw->Exposed || Connection.Lost()) return;
      // A window cut to nothing (a layered one at zero opacity) is never
      // exposed: viewable is shown for it.
      if (xw->Mapped && Viewable(xw->Xid)) return;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
      if (left <= 0) return;
      WaitForDisplay(static_cast<int>(left));
    }
  }

  bool BeginMoveDrag(HWND h, POINT cursor) override {
    TXWindow* xw = Get(h);
    if (!xw || xw->Unmanaged || !HasWindowManager(NetMoveResize)) return false;
    XUngrabPointer(D, CurrentTime);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = xw->Xid;
    e.xclient.message_type = NetMoveResize;
    e.xclient.format = 32;
    e.xclient.data.l[0] = cursor.x;
    e.xclient.data.l[1] = cursor.y;
    e.xclient.data.l[2] = 8;  // move
    e.xclient.data.l[3] = Button1;
    e.xclient.data.l[4] = 1;
    XSendEvent(D, Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(D);
    // The window manager now owns the pointer: the button-up never reaches us.
    TRawInput up;
    up.Kind = TRawKind::ButtonUp;
    up.X = cursor.x;
    up.Y = cursor.y;
    PushRawInput(up);
    return true;
  }

  void CursorChanged(int stockId) override {
    Cursor c = stockId == 32649 ? Hand : stockId == 32513 ? Beam : stockId == 32514 ? Watch : Arrow;
    for (auto& [h, xw] : ByHwnd) XDefineCursor(D, xw.Xid, c);
    XFlush(D);
  }

  void WarpPointer(int x, int y) override {
    XWarpPointer(D, None, Root, 0, 0, 0, 0, x, y);
    XFlush(D);
  }

  // A dead connection reads as ready for ever: no loop may wait on it.
  int EventFd() override { return Connection.Lost() ? -1 : ConnectionNumber(D); }

  bool EventsQueued() override { return !Connection.Lost() && XEventsQueued(D, QueuedAlready) > 0; }

  bool DisplayLost() const override { return Connection.Lost(); }

  // One batch of events: a display that floods us (windows restacked
  // thousands of times a second) still leaves the loop its turn for the
  // session's end, timers and posted messages. The rest waits in Xlib's
  // queue, which EventsQueued tells the loop of. Events still queued when
  // the connection is lost are dropped: nothing may be sent on it.
  bool Poll() override {
    constexpr int kBatch = 64;
    constexpr auto kBatchTime = std::chrono::milliseconds(4);
    const auto until = std::chrono::steady_clock::now() + kBatchTime;
    bool any = false;
    bool focusIn = false, focusOut = false;
    for (int n = 0; n < kBatch && !Connection.Lost() && XPending(D) > 0; ++n) {
      if (n > 0 && std::chrono::steady_clock::now() >= until) break;
      XEvent ev;
      XNextEvent(D, &ev);
      any = true;
      if (XFilterEvent(&ev, None)) continue;
      if (Stack.Follow(ev)) {
        RootChildChanged(ev);
        continue;
      }
      // Pointer news from any window of ours, a tray icon's too.
      ReleaseLostButtons(ev, ByWindow.count(ev.xany.window) != 0 || (ev.xany.window == Root && Hold->Holding()));
      if (Tray && Tray->Handle(ev)) {
        Hold->Follow(ev);
        continue;
      }
      if (Compositor->Handle(ev)) {
        CompositorChanged();
        continue;
      }
      Handle(ev, &focusIn, &focusOut);
      Hold->Follow(ev);
    }
    if (Connection.Lost()) return any;
    if (RootRestacked) {
      RootRestacked = false;
      KeepTopmostAbove();
    }
    // Focus moving between two of our windows is no deactivation.
    if (focusOut && !focusIn && !OurFocus()) ActivateInternal(nullptr, WA_INACTIVE, true);
    if (Compositor->Settled()) CompositorChanged();
    FollowLapsedWmStates();
    return any;
  }

  bool ForeignForeground(RECT* client) override {
    Window active = 0;
    if (HasWindowManager(NetActive)) {
      Atom type;
      int format;
      unsigned long n, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(D, Root, NetActive, 0, 1, False, XA_WINDOW, &type, &format, &n, &after, &data) ==
              Success &&
          data != nullptr && n == 1)
        active = *reinterpret_cast<Window*>(data);
      if (data) XFree(data);
    } else {
      int revert;
      XGetInputFocus(D, &active, &revert);
      // The focus may rest on a window inside the program's own.
      if (active != 0 && active != PointerRoot && active != Root) active = FrameOf(active);
    }
    // Nobody in front: the focus on the root or nowhere, or a window that
    // has gone (a property left naming a destroyed window).
    if (active == 0 || active == PointerRoot || active == Root || IsOurs(active)) return false;
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(D, active, &attrs) || attrs.map_state != IsViewable) return false;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(D, active, Root, 0, 0, &x, &y, &child);
    *client = RECT{x, y, x + attrs.width, y + attrs.height};
    return true;
  }

 private:
  // A state asked of the window manager; its answer is awaited a while.
  static void Expect(int& pending, std::chrono::steady_clock::time_point& until, bool on) {
    pending = on ? 1 : 0;
    until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  }

  // Whether nothing asked of the window manager is still on its way: it has
  // shown it (`now`), or it has not in a long while (it refused).
  static bool Settled(int& pending, std::chrono::steady_clock::time_point until, bool now) {
    if (pending >= 0 && ((pending == 1) == now || std::chrono::steady_clock::now() >= until)) pending = -1;
    return pending < 0;
  }

  // The window manager changed what it says of the window (maximised,
  // fullscreen, minimised): the program's window follows, and hears of it
  // as of a change of its own.
  void FollowWmState(HWND h) {
    TXWindow* xw = Get(h);
    PWindow w = Find(h);
    if (!xw || !w || xw->Unmanaged || xw->WeUnmapped || !(w->Style & WS_VISIBLE) || !WindowManagerRunning()) return;
    const hkx11::TWmState state = hkx11::ReadWmState(D, xw->Xid, WmAtoms);
    // Not looked after yet, or let go: the states there are the ones we wrote.
    if (!state.Managed()) return;
    xw->WmFullscreen = state.Fullscreen;
    if (Settled(xw->PendingMax, xw->PendingMaxUntil, state.Maximized()) && state.Maximized() != (IsZoomed(h) != 0)) {
      SetMaximizedFromDriver(h, state.Maximized(), xw->Normal);
      xw = Get(h);
      if (!xw) return;
    }
    if (Settled(xw->PendingMin, xw->PendingMinUntil, state.Iconic()) && state.Iconic() != (IsIconic(h) != 0)) {
      if (state.Iconic()) SetMinimizedFromDriver(h, true);
      else if (xw->Mapped) SetMinimizedFromDriver(h, false);
    }
  }

  // A state asked of the window manager whose answer never came, or came
  // and was changed again before we looked (a taskbar's restore right after
  // our maximise): once the wait lapses, what the window manager says now
  // holds, whether or not another change of it is still to come.
  void FollowLapsedWmStates() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<HWND> lapsed;
    for (auto& [h, xw] : ByHwnd) {
      bool due = false;
      if (xw.PendingMax >= 0 && now >= xw.PendingMaxUntil) {
        xw.PendingMax = -1;
        due = true;
      }
      if (xw.PendingMin >= 0 && now >= xw.PendingMinUntil) {
        xw.PendingMin = -1;
        due = true;
      }
      if (due) lapsed.push_back(h);
    }
    for (HWND h : lapsed) FollowWmState(h);
  }

  // Newly looked after by a window manager that may have dropped the
  // maximise we wrote for it (it let the window go late): asked again.
  // Only that: a maximise or restore the window manager made itself before
  // we read the map (a taskbar's) is the window's own, never undone here.
  void AskMaximizedAgain(TXWindow& xw) {
    const bool wrote = xw.WroteMaximized;
    xw.WroteMaximized = false;
    if (!wrote || !IsZoomed(xw.Hwnd) || xw.PendingMax >= 0 || !HasWindowManager(WmAtoms.MaxHorz)) return;
    const hkx11::TWmState state = hkx11::ReadWmState(D, xw.Xid, WmAtoms);
    if (!state.Managed() || state.Maximized()) return;
    Expect(xw.PendingMax, xw.PendingMaxUntil, true);
    hkx11::RequestNetState(D, Root, xw.Xid, WmAtoms.NetState, true, WmAtoms.MaxHorz, WmAtoms.MaxVert);
  }

  // A window that took a press may go before its release (hidden for a
  // new card mid-drag): the release must still reach us. A popup's own
  // grab is left as it is.
  void BeforeWindowGoes(HWND h) {
    PWindow w = Find(h);
    if (PopupGrab->Holder() == 0 && !(w && w->Popup)) Hold->WindowGoing(PointerButtonHeld());
  }

  // The rectangle covers the whole work area (the screen when none is set).
  bool FillsWorkArea(const RECT& r) {
    RECT area{0, 0, DisplayWidth(D, Screen), DisplayHeight(D, Screen)};
    ReadWorkArea(D, Root, &area);
    return r.left <= area.left && r.top <= area.top && r.right >= area.right && r.bottom >= area.bottom;
  }

  // A premultiplied pixel's own colour, opaque.
  static uint32_t Unpremultiply(uint32_t p) {
    const uint32_t a = p >> 24;
    if (a == 0) return 0xFF000000u;
    auto c = [&](int shift) { return std::min<uint32_t>(255, (((p >> shift) & 0xFF) * 255 + a / 2) / a) << shift; };
    return 0xFF000000u | c(16) | c(8) | c(0);
  }

  static uint32_t Scale(uint32_t p, uint32_t a) {
    uint32_t pa = ((p >> 24) * a + 127) / 255;
    uint32_t r = (((p >> 16) & 0xFF) * a + 127) / 255;
    uint32_t g = (((p >> 8) & 0xFF) * a + 127) / 255;
    uint32_t b = ((p & 0xFF) * a + 127) / 255;
    return (pa << 24) | (r << 16) | (g << 8) | b;
  }

  // A popup menu, or a borderless stay-on-top tool window that never
  // activates (the card, a hint), is none of a window manager's business: no frame to catch the
  // clicks it lets through, no focus, no stacking of its own.
  static bool Unmanaged(const TWindow& w) {
    const DWORD kinds = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    return w.Popup || ((w.ExStyle & kinds) == kinds && (w.Style & WS_CAPTION) != WS_CAPTION);
  }

  // Stacked by KeepTopmostAbove rather than by whoever maps it.
  bool KeptInOurOrder(const TXWindow& xw) {
    PWindow w = Find(xw.Hwnd);
    return w && (w->ExStyle & WS_EX_TOPMOST) && (xw.Unmanaged || !HasWindowManager(NetAbove));
  }

  // The root's child that holds the window: itself, or a window manager's frame.
  Window FrameOf(Window x) {
    for (;;) {
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      if (!XQueryTree(D, x, &root, &parent, &children, &n)) return x;
      if (children) XFree(children);
      if (parent == root || parent == 0) return x;
      x = parent;
    }
  }

  // Stay-on-top windows that no window manager keeps above (none runs, or
  // nobody manages the window) are raised again after any other window is
  // mapped or raised, in our own order, so a menu or a box opened over a
  // stay-on-top card stays above it; never over another client's
  // override-redirect window, nor over one that keeps coming back above
  // them (X11Stacking.h). What such a window owns stays above it: just
  // above it where nobody manages that, else the owner goes just below the
  // frame the window manager gave it.
  void KeepTopmostAbove() {
    if (Connection.Lost()) return;
    if (const unsigned errors = gRestackErrors.load(); errors != RestackErrorsSeen) {
      RestackErrorsSeen = errors;
      Stack.Invalidate();
    }
    if (Stack.Stale()) Stack.Load(D, Root);
    const bool managerKeepsAbove = ManagerKeepsAbove();
    std::vector<HWND> order;
    {
      std::lock_guard<std::recursive_mutex> lock(TreeLock());
      order = TopLevels();
    }
    // Shown counts, not mapped: a menu just shown has no MapNotify yet.
    auto shown = [](const PWindow& w) { return w && (w->Style & WS_VISIBLE); };
    // The root's child that holds the window: itself unless a window manager framed it.
    auto top = [&](const TXWindow& xw) { return Stack.IndexOf(xw.Xid) >= 0 ? xw.Xid : FrameOf(xw.Xid); };
    std::vector<hkx11::TKeptWindow> kept;
    for (HWND h : order) {
      TXWindow* xw = Get(h);
      PWindow w = Find(h);
      if (!xw || !shown(w) || !(w->ExStyle & WS_EX_TOPMOST) || (managerKeepsAbove && !xw->Unmanaged)) continue;
      hkx11::TKeptWindow k;
      k.Xid = top(*xw);
      for (HWND o : order) {
        TXWindow* ox = Get(o);
        PWindow ow = Find(o);
        if (!ox || !shown(ow) || ow->Owner != h) continue;
        if (ox->Unmanaged || !managerKeepsAbove) k.Owned.push_back(top(*ox));
        else if (ox->Mapped && k.UnderFrame == 0) k.UnderFrame = FrameOf(ox->Xid);
      }
      kept.push_back(std::move(k));
    }
    if (kept.empty()) return;
    const auto now = std::chrono::steady_clock::now();
    // Our own windows never fight us: they are always answered.
    auto mayAnswer = [&](Window w) { return ByWindow.count(w) != 0 || Backoff.Answer(w, now); };
    for (const hkx11::TRestack& r : hkx11::PlanRestacks(Stack, kept, mayAnswer)) {
      XWindowChanges c{};
      c.sibling = r.Sibling;
      c.stack_mode = r.GoesAbove ? Above : Below;
      Stack.Restacked(r.Xid, r.Sibling, r.GoesAbove, NextRequest(D));
      XConfigureWindow(D, r.Xid, CWSibling | CWStackMode, &c);
    }
  }

  // Whether the window manager keeps windows above the others itself; read
  // again when it changes what it supports.
  bool ManagerKeepsAbove() {
    if (ManagerAbove < 0) ManagerAbove = HasWindowManager(NetAbove) ? 1 : 0;
    return ManagerAbove == 1;
  }

  // Open popups stay above whatever else was shown or raised.
  void RaisePopups() {
    for (auto& [h, xw] : ByHwnd) {
      PWindow w = Find(h);
      if (w && w->Popup && (w->Style & WS_VISIBLE)) XRaiseWindow(D, xw.Xid);
    }
  }

  // Sleeps until the connection has something to read, at most `ms`; not
  // at all while Xlib's queue already holds events.
  void WaitForDisplay(int ms) {
    XFlush(D);
    if (EventsQueued()) return;
    pollfd fd{ConnectionNumber(D), POLLIN, 0};
    ::poll(&fd, 1, ms);
  }

  bool Viewable(Window x) {
    XWindowAttributes attrs;
    return XGetWindowAttributes(D, x, &attrs) != 0 && attrs.map_state == IsViewable;
  }

  TXWindow* Get(HWND h) {
    auto it = ByHwnd.find(h);
    return it == ByHwnd.end() ? nullptr : &it->second;
  }

  bool IsOurs(Window x) {
    // The window itself, or a frame of the window manager around one of ours.
    if (ByWindow.count(x)) return true;
    for (auto& [h, xw] : ByHwnd) {
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      Window cur = xw.Xid;
      while (cur != 0 && cur != Root && XQueryTree(D, cur, &root, &parent, &children, &n)) {
        if (children) XFree(children);
        children = nullptr;
        if (parent == x) return true;
        cur = parent;
      }
    }
    return false;
  }

  bool OurFocus() {
    Window focus;
    int revert;
    XGetInputFocus(D, &focus, &revert);
    return ByWindow.count(focus) != 0;
  }

  bool HasWindowManager(Atom feature) {
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(D, Root, NetSupported, 0, 4096, False, XA_ATOM, &type, &format, &n, &after, &data) ==
            Success &&
        data != nullptr) {
      Atom* atoms = reinterpret_cast<Atom*>(data);
      for (unsigned long i = 0; i < n; ++i) found = found || atoms[i] == feature;
    }
    if (data) XFree(data);
    return found;
  }

  static bool EqualRects(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }

  bool PointerButtonHeld() {
    Window root, child;
    int rx, ry, wx, wy;
    unsigned mask = 0;
    if (!XQueryPointer(D, Root, &root, &child, &rx, &ry, &wx, &wy, &mask)) return false;
    return (mask & (Button1Mask | Button2Mask | Button3Mask)) != 0;
  }

  // A window manager keeps a window of its own named on the root.
  bool WindowManagerRunning() {
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    Window check = 0;
    if (XGetWindowProperty(D, Root, NetCheck, 0, 1, False, XA_WINDOW, &type, &format, &n, &after, &data) == Success &&
        data != nullptr && n == 1)
      check = *reinterpret_cast<Window*>(data);
    if (data) XFree(data);
    XWindowAttributes attrs;
    // A property left behind by a window manager that has gone names a dead window.
    return check != 0 && XGetWindowAttributes(D, check, &attrs) != 0;
  }

  void SetTitle(Window x, const std::string& text) {
    XStoreName(D, x, text.c_str());
    XChangeProperty(D, x, NetName, Utf8, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
  }

  void CreateX(TXWindow& xw, const TWindow& w) {
    xw.Argb = (w.ExStyle & WS_EX_LAYERED) && ArgbVisual != nullptr;
    XSetWindowAttributes a{};
    a.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                   PointerMotionMask | EnterWindowMask | LeaveWindowMask | StructureNotifyMask | FocusChangeMask |
                   PropertyChangeMask;
    a.background_pixmap = None;
    a.border_pixel = 0;
    unsigned long mask = CWEventMask | CWBackPixmap | CWBorderPixel;
    if (xw.Argb) {
      a.colormap = ArgbMap;
      mask |= CWColormap;
    }
    xw.Unmanaged = Unmanaged(w);
    if (xw.Unmanaged) {
      a.override_redirect = True;
      mask |= CWOverrideRedirect;
    }
    int width = std::max<LONG>(1, w.Rect.right - w.Rect.left), height = std::max<LONG>(1, w.Rect.bottom - w.Rect.top);
    const unsigned long created = NextRequest(D);
    xw.Xid = XCreateWindow(D, Root, w.Rect.left, w.Rect.top, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                           xw.Argb ? 32 : CopyFromParent, InputOutput, xw.Argb ? ArgbVisual : CopyFromParent, mask, &a);
    Stack.Created(xw.Xid, xw.Unmanaged, created);
    // A window kept above the others starts at the bottom, unseen, and its
    // show raises it as far as it may go: made on top, it would be mapped
    // over a screen locker or another program's menu.
    if (w.ExStyle & WS_EX_TOPMOST) {
      Stack.Restacked(xw.Xid, None, false, NextRequest(D));
      XLowerWindow(D, xw.Xid);
    }
    xw.Last = w.Rect;
    xw.Mapped = false;
    xw.Exposed = false;
    ApplyBackground(xw);
    XSetWMProtocols(D, xw.Xid, &WmDelete, 1);
    hkx11::SetWindowIdentity(D, xw.Xid);
    ApplySizeHints(xw);
    XWMHints wm{};
    wm.flags = InputHint;
    // A window that never activates is never given the keyboard either.
    wm.input = (w.ExStyle & WS_EX_NOACTIVATE) ? False : True;
    XSetWMHints(D, xw.Xid, &wm);
    SetTitle(xw.Xid, w.Text);
    ApplyDecorations(xw, w);
    ApplyStates(xw, false);
    ApplyShapes(xw, w, nullptr);
    ApplyIcon(xw);
    ApplyTransientFor(xw, w);
    Ime->Attach(xw.Xid, a.event_mask);
  }

  void ApplySizeHints(TXWindow& xw) {
    XSizeHints hints{};
    hints.flags = USPosition | PPosition;
    hints.x = xw.Last.left;
    hints.y = xw.Last.top;
    if (xw.MinSize.cx > 0 || xw.MinSize.cy > 0) {
      hints.flags |= PMinSize;
      hints.min_width = static_cast<int>(xw.MinSize.cx);
      hints.min_height = static_cast<int>(xw.MinSize.cy);
    }
    if (xw.MaxSize.cx > 0 || xw.MaxSize.cy > 0) {
      hints.flags |= PMaxSize;
      hints.max_width = xw.MaxSize.cx > 0 ? static_cast<int>(xw.MaxSize.cx) : 32767;
      hints.max_height = xw.MaxSize.cy > 0 ? static_cast<int>(xw.MaxSize.cy) : 32767;
    }
    XSetWMNormalHints(D, xw.Xid, &hints);
  }

  void DestroyX(TXWindow& xw) {
    if (Connection.Lost()) Ime->Abandon();
    Ime->Detach(xw.Xid);
    if (xw.Xid) XDestroyWindow(D, xw.Xid);
    xw.Xid = 0;
    xw.Shapes.Forget();
    xw.Mapped = false;
    xw.Exposed = false;
  }

  // The Motif hints: a window with a caption has the frame and the window
  // manager's functions its styles give it (moved and closed always, resized
  // with a sizing border, minimised and maximised with their boxes); one
  // without a caption has no decorations and leaves the functions to the
  // window manager, as it draws its own caption and buttons.
  void ApplyDecorations(TXWindow& xw, const TWindow& w) {
    enum : unsigned long { kFunctionsHint = 1, kDecorationsHint = 2 };
    enum : unsigned long { kFuncResize = 2, kFuncMove = 4, kFuncMinimize = 8, kFuncMaximize = 16, kFuncClose = 32 };
    enum : unsigned long {
      kDecorBorder = 2,
      kDecorResizeHandle = 4,
      kDecorTitle = 8,
      kDecorMenu = 16,
      kDecorMinimize = 32,
      kDecorMaximize = 64
    };
    struct {
      unsigned long flags, functions, decorations;
      long input_mode;
      unsigned long status;
    } hints{kDecorationsHint, 0, 0, 0, 0};
    if ((w.Style & WS_CAPTION) == WS_CAPTION) {
      hints.flags |= kFunctionsHint;
      hints.functions = kFuncMove | kFuncClose;
      hints.decorations = kDecorBorder | kDecorTitle;
      if (w.Style & WS_THICKFRAME) {
        hints.functions |= kFuncResize;
        hints.decorations |= kDecorResizeHandle;
      }
      if (w.Style & WS_SYSMENU) hints.decorations |= kDecorMenu;
      if (w.Style & WS_MINIMIZEBOX) {
        hints.functions |= kFuncMinimize;
        hints.decorations |= kDecorMinimize;
      }
      if (w.Style & WS_MAXIMIZEBOX) {
        hints.functions |= kFuncMaximize;
        hints.decorations |= kDecorMaximize;
      }
    }
    XChangeProperty(D, xw.Xid, MotifHints, MotifHints, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&hints), 5);
  }

  void ApplyStates(TXWindow& xw, bool mapped) {
    PWindow w = Find(xw.Hwnd);
    if (!w) return;
    // A window owned by a stay-on-top window stays on top with it.
    PWindow owner = w->Owner ? Find(w->Owner) : nullptr;
    bool above = (w->ExStyle & WS_EX_TOPMOST) || (owner && (owner->ExStyle & WS_EX_TOPMOST));
    bool skip = (w->ExStyle & WS_EX_TOOLWINDOW) || (w->Owner != nullptr && !(w->ExStyle & WS_EX_APPWINDOW));
    // A withdrawn window, or one that no window manager looks after, has
    // its states set directly.
    if (!mapped || xw.Unmanaged || !WindowManagerRunning()) {
      std::vector<Atom> states;
      if (above) states.push_back(NetAbove);
      // Out of the taskbar is out of the pager too, as a tool window is.
      if (skip) states.push_back(NetSkipTaskbar);
      if (skip) states.push_back(NetSkipPager);
      xw.WroteMaximized = !mapped && IsZoomed(xw.Hwnd);
      if (IsZoomed(xw.Hwnd)) {
        states.push_back(WmAtoms.MaxHorz);
        states.push_back(WmAtoms.MaxVert);
      }
      XChangeProperty(D, xw.Xid, NetState, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(states.data()), static_cast<int>(states.size()));
      return;
    }
    auto send = [&](Atom state, bool on) { hkx11::RequestNetState(D, Root, xw.Xid, NetState, on, state); };
    send(NetAbove, above);
    send(NetSkipTaskbar, skip);
    send(NetSkipPager, skip);
  }

  // An owned window (a message box, a dialog) is transient for its owner,
  // so a window manager keeps it above and with it.
  void ApplyTransientFor(TXWindow& xw, const TWindow& w) {
    TXWindow* owner = w.Owner ? Get(w.Owner) : nullptr;
    if (owner && owner->Xid) XSetTransientForHint(D, xw.Xid, owner->Xid);
  }

  // A window shown without activation says it comes from no user action
  // (_NET_WM_USER_TIME 0), so the window manager leaves the keyboard where
  // it is; any other show leaves the decision to the window manager.
  void ApplyUserTime(TXWindow& xw) {
    PWindow w = Find(xw.Hwnd);
    if (w && w->QuietShow) {
      long zero = 0;
      XChangeProperty(D, xw.Xid, NetUserTime, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&zero), 1);
      xw.WantFocus = false;
    } else {
      XDeleteProperty(D, xw.Xid, NetUserTime);
    }
  }

  // _NET_WM_ICON: every size of the window's icons.
  void ApplyIcon(TXWindow& xw) {
    std::vector<long> data = hkx11::NetWmIconData(WindowIcons(xw.Hwnd));
    if (data.empty()) XDeleteProperty(D, xw.Xid, NetWmIcon);
    else
      XChangeProperty(D, xw.Xid, NetWmIcon, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
  }

  // A click-through layered window takes no input at all; one of per-pixel
  // alpha takes it where its pixels are not fully transparent, and is cut
  // to its mostly opaque pixels while nothing composites it.
  void ApplyShapes(TXWindow& xw, const TWindow& w, const TSurface* locked) {
    const bool layered = (w.ExStyle & WS_EX_LAYERED) != 0;
    const bool perPixel = layered && w.LayeredImage && xw.Argb;
    const bool invisible = layered && w.LayeredAlpha == 0;
    hkx11::TShapePlan plan;
    if ((layered && (w.ExStyle & WS_EX_TRANSPARENT)) || invisible) plan.Input = hkx11::TShapePlan::Empty;
    else if (perPixel) plan.Input = hkx11::TShapePlan::Alpha;
    // A compositor shows nothing of a fully transparent pixel either; cut
    // away, it stays unseen in the moment the compositor stops, where the
    // server would show it black until the opaque picture comes.
    if (xw.Argb)
      plan.Bounding = invisible ? hkx11::TShapePlan::Empty : perPixel ? hkx11::TShapePlan::Alpha : hkx11::TShapePlan::Whole;
    if (Compositor->Composites()) plan.BoundingFrom = 1;
    const bool needPixels = plan.Input == hkx11::TShapePlan::Alpha || plan.Bounding == hkx11::TShapePlan::Alpha;
    if (locked != nullptr || !needPixels || !w.Surface) {
      xw.Shapes.Apply(D, xw.Xid, plan, needPixels ? locked : nullptr);
      return;
    }
    std::lock_guard<std::mutex> guard(w.Surface->Lock);
    xw.Shapes.Apply(D, xw.Xid, plan, w.Surface.get());
  }

  // What a 32-bit window shows where its pixels are not put yet (just
  // mapped, or its shape grown). A compositor is given transparent pixels:
  // with no background the server would fill the window with what lies
  // beneath it made opaque, a box over the desktop. Shown without one, a
  // transparent pixel is black, and that copy of the desktop is the
  // window's best likeness until its image comes.
  void ApplyBackground(TXWindow& xw) {
    if (!xw.Argb) return;
    if (Compositor->Composites()) XSetWindowBackground(D, xw.Xid, 0);
    else XSetWindowBackgroundPixmap(D, xw.Xid, None);
  }

  // A compositing manager came or went: layered windows are shown the other way.
  void CompositorChanged() {
    for (auto& [h, xw] : ByHwnd) {
      PWindow w = Find(h);
      if (!w || !xw.Argb) continue;
      ApplyBackground(xw);
      ApplyShapes(xw, *w, nullptr);
      if (w->Surface) Present(h, RECT{0, 0, w->Surface->Width, w->Surface->Height});
    }
  }

  // The pointer held for a press whose window went reports on the root.
  bool HeldToUs(const XEvent& ev) { return ev.xany.window == Root && Hold->Holding(); }

  HWND HwndOf(Window x) {
    auto it = ByWindow.find(x);
    return it == ByWindow.end() ? nullptr : it->second;
  }

  // A child of the root changed: a window mapped or restacked may cover
  // ours (our own too, seen once the server has shown or raised it). Looked
  // at once the batch of events is in.
  void RootChildChanged(const XEvent& ev) {
    const Window x = hkx11::RootChildOf(ev);
    if (ev.type == DestroyNotify) Backoff.Forget(x);
    if (ev.type != UnmapNotify && ev.type != DestroyNotify) RootRestacked = true;
  }

  void Handle(XEvent& ev, bool* focusIn, bool* focusOut) {
    if (ev.type == PropertyNotify && ev.xany.window == Root && ev.xproperty.atom == NetSupported) ManagerAbove = -1;
    HWND h = HwndOf(ev.xany.window);
    switch (ev.type) {
      case Expose:
        if (TXWindow* xw = Get(h)) xw->Exposed = xw->Mapped;
        if (h) Present(h, RECT{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height});
        break;
      case MapNotify:
        if (TXWindow* xw = Get(h)) {
          xw->Mapped = true;
          // A window manager that let the window go may drop the states we
          // wrote for its next map once it gets to that unmap: asked again
          // now that it looks after the window, it keeps them.
          if (WindowManagerRunning()) {
            ApplyStates(*xw, true);
            AskMaximizedAgain(*xw);
          }
          if (IsIconic(h) && !xw->WeUnmapped && ev.xany.serial >= xw->MinimizeSerial) {
            SetMinimizedFromDriver(h, false);
            // Nobody else hands out the focus then; a window that never
            // activates keeps it where it is.
            PWindow w = Find(h);
            if (!WindowManagerRunning() && w && !(w->ExStyle & WS_EX_NOACTIVATE) && !w->QuietShow)
              ActivateInternal(h, WA_ACTIVE, true);
          }
          if (xw->WantFocus || GetActiveWindow() == h) {
            xw->WantFocus = false;
            XSetInputFocus(D, xw->Xid, RevertToParent, CurrentTime);
          }
          PWindow w = Find(h);
          if (w && w->Surface) Present(h, RECT{0, 0, w->Surface->Width, w->Surface->Height});
        }
        break;
      case UnmapNotify:
        if (TXWindow* xw = Get(h)) {
          xw->Mapped = false;
          xw->Exposed = false;
          xw->WaitedForShow = false;
          // Unmapped by the window manager while we show it: minimized.
          if (!xw->WeUnmapped && ev.xany.serial >= xw->MapSerial && IsWindowVisible(h) && !IsIconic(h))
            SetMinimizedFromDriver(h, true);
        }
        break;
      case ConfigureNotify:
        if (TXWindow* xw = Get(h)) {
          int x = ev.xconfigure.x, y = ev.xconfigure.y;
          if (!ev.xconfigure.send_event) {
            Window child;
            XTranslateCoordinates(D, xw->Xid, Root, 0, 0, &x, &y, &child);
          }
          RECT r{x, y, x + ev.xconfigure.width, y + ev.xconfigure.height};
          PWindow w = Find(h);
          if (!w) break;
          auto echo = std::find_if(xw->Requested.begin(), xw->Requested.end(), [&](const RECT& q) {
            return q.left == r.left && q.top == r.top && q.right == r.right && q.bottom == r.bottom;
          });
          if (echo != xw->Requested.end()) {
            xw->Requested.erase(xw->Requested.begin(), echo + 1);
            break;
          }
          RECT cur = w->Rect;
          bool sameSize = (r.right - r.left == cur.right - cur.left) && (r.bottom - r.top == cur.bottom - cur.top);
          // A zero-sized window is shown as 1 x 1; that is no resize.
          if (cur.right - cur.left == 0 || cur.bottom - cur.top == 0) sameSize = true;
          if (r.left == cur.left && r.top == cur.top && sameSize) break;
          UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (sameSize || w->LayeredImage ? SWP_NOSIZE : 0);
          // While the window manager moves the window with the pointer it
          // follows the pointer; its edge snapping waits for the move's end.
          // A correction the window manager has turned down once is taken.
          bool refusedAgain = EqualRects(r, xw->Corrected);
          if ((sameSize && PointerButtonHeld()) || refusedAgain) flags |= SWP_NOSENDCHANGING;
          xw->Last = r;
          SetWindowPosInternal(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags, true);
          // A place or size the window changed (snapped to an edge, kept at
          // its minimum) goes back to the display.
          w = Find(h);
          xw = Get(h);
          if (!w || !xw) break;
          xw->Corrected = RECT{};
          // A window manager's maximise may come before its state says so:
          // a place filling the work area is none to restore to.
          if (!IsZoomed(h) && !IsIconic(h) && !FillsWorkArea(w->Rect)) xw->Normal = w->Rect;
          if (!refusedAgain && !EqualRects(w->Rect, r)) {
            xw->Corrected = r;
            WindowMoved(h, w->Rect);
          }
        }
        break;
      case PropertyNotify:
        if (h && (ev.xproperty.atom == WmAtoms.NetState || ev.xproperty.atom == WmAtoms.WmState)) FollowWmState(h);
        break;
      case FocusIn:
        if (h && ev.xfocus.mode != NotifyGrab && ev.xfocus.detail != NotifyPointer) {
          *focusIn = true;
          if (TXWindow* xw = Get(h)) Ime->Focus(xw->Xid, true);
          if (GetActiveWindow() != h) ActivateInternal(h, WA_ACTIVE, true);
        }
        break;
      case FocusOut:
        if (h && ev.xfocus.mode != NotifyGrab && ev.xfocus.detail != NotifyInferior && ev.xfocus.detail != NotifyPointer) {
          *focusOut = true;
          if (TXWindow* xw = Get(h)) Ime->Focus(xw->Xid, false);
        }
        break;
      case ButtonPress:
      case ButtonRelease: {
        if (!h && !HeldToUs(ev)) break;
        unsigned b = ev.xbutton.button;
        TRawInput e;
        e.X = ev.xbutton.x_root;
        e.Y = ev.xbutton.y_root;
        if (b == Button4 || b == Button5) {
          if (ev.type == ButtonPress) {
            TRawInput move;
            move.Kind = TRawKind::MouseMove;
            move.X = e.X;
            move.Y = e.Y;
            PushRawInput(move);
            e.Kind = TRawKind::Wheel;
            e.Delta = b == Button4 ? WHEEL_DELTA : -WHEEL_DELTA;
            PushRawInput(e);
          }
          break;
        }
        if (b != Button1 && b != Button2 && b != Button3) break;
        e.Kind = ev.type == ButtonPress ? TRawKind::ButtonDown : TRawKind::ButtonUp;
        e.Button = b == Button1 ? 0 : b == Button3 ? 1 : 2;
        TRawInput move;
        move.Kind = TRawKind::MouseMove;
        move.X = e.X;
        move.Y = e.Y;
        PushRawInput(move);
        PushRawInput(e);
        break;
      }
      case MotionNotify: {
        if (!h && !HeldToUs(ev)) break;
        // Only the latest of a run of motions matters; one with other
        // buttons held is news of its own.
        while (XPending(D) > 0) {
          XEvent next;
          XPeekEvent(D, &next);
          if (next.type != MotionNotify || next.xmotion.window != ev.xmotion.window ||
              next.xmotion.state != ev.xmotion.state)
            break;
          XNextEvent(D, &ev);
        }
        TRawInput e;
        e.Kind = TRawKind::MouseMove;
        e.X = ev.xmotion.x_root;
        e.Y = ev.xmotion.y_root;
        PushRawInput(e);
        break;
      }
      case EnterNotify:
        if (h) {
          TRawInput e;
          e.Kind = TRawKind::MouseMove;
          e.X = ev.xcrossing.x_root;
          e.Y = ev.xcrossing.y_root;
          PushRawInput(e);
        }
        break;
      case LeaveNotify:
        if (h && ev.xcrossing.mode == NotifyNormal && ev.xcrossing.detail != NotifyInferior) {
          TRawInput e;
          e.Kind = TRawKind::LeaveScreen;
          PushRawInput(e);
        }
        break;
      // The server sends keys only to windows of ours; one that has gone
      // since (the dictionary's splash, freed once the load is done) still
      // had them typed for the program, which takes them at its focus.
      case KeyPress:
        KeyPressed(ev);
        break;
      case KeyRelease: {
        // An auto-repeat sends a release and a press with the same time.
        if (XEventsQueued(D, QueuedAfterReading) > 0) {
          XEvent next;
          XPeekEvent(D, &next);
          if (next.type == KeyPress && next.xkey.time == ev.xkey.time && next.xkey.keycode == ev.xkey.keycode) break;
        }
        int vk = KeysymToVirtualKey(XLookupKeysym(&ev.xkey, 0));
        if (vk != 0) {
          TRawInput e;
          e.Kind = TRawKind::KeyUp;
          e.Vk = vk;
          e.Scan = ev.xkey.keycode >= 8 ? ev.xkey.keycode - 8 : 0;
          PushRawInput(e);
        }
        break;
      }
      case ClientMessage:
        if (h && ev.xclient.message_type == WmProtocols && static_cast<Atom>(ev.xclient.data.l[0]) == WmDelete)
          PostInternal(h, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
      case MappingNotify:
        XRefreshKeyboardMapping(&ev.xmapping);
        break;
      case SelectionRequest:
        AnswerSelection(ev.xselectionrequest);
        break;
      case SelectionClear:
        if (ev.xselectionclear.selection == ClipboardAtom) ClipboardText.clear();
        break;
      default:
        break;
    }
  }

  // Another program asks for the text we hold.
  void AnswerSelection(const XSelectionRequestEvent& req) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = req.requestor;
    reply.xselection.selection = req.selection;
    reply.xselection.target = req.target;
    reply.xselection.time = req.time;
    reply.xselection.property = None;
    Atom property = req.property != None ? req.property : req.target;
    if (req.selection == ClipboardAtom) {
      if (req.target == TargetsAtom) {
        Atom targets[] = {TargetsAtom, Utf8, XA_STRING, TextAtom};
        XChangeProperty(D, req.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(targets), 4);
        reply.xselection.property = property;
      } else if (req.target == Utf8 || req.target == XA_STRING || req.target == TextAtom) {
        XChangeProperty(D, req.requestor, property, req.target == XA_STRING ? XA_STRING : Utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(ClipboardText.data()),
                        static_cast<int>(ClipboardText.size()));
        reply.xselection.property = property;
      }
    }
    XSendEvent(D, req.requestor, False, NoEventMask, &reply);
    XFlush(D);
  }

  void KeyPressed(XEvent& ev) {
    KeySym sym = 0;
    std::string text;
    const int status = Ime->Lookup(ev.xkey, &text, &sym);
    bool hasChars = (status == XLookupChars || status == XLookupBoth) && !text.empty();
    int vk = KeysymToVirtualKey(XLookupKeysym(&ev.xkey, 0));
    std::u16string units = hasChars ? Utf8ToUtf16(text.data(), text.size()) : std::u16string();
    // Delete types nothing on the platform.
    if (vk == VK_DELETE) units.clear();
    if (vk == 0 || status == XLookupChars) {
      // Text from an input method without a key of its own.
      if (!units.empty()) {
        TRawInput e;
        e.Kind = TRawKind::Chars;
        e.Text = units;
        PushRawInput(e);
      }
      return;
    }
    // An input method hands back the keys it lets through after the
    // releases it never sees: the modifiers are as the event's own state
    // says, a Ctrl let go meanwhile still held for this key.
    const hkx11::TModifierSync sync = hkx11::SyncModifiers(ev.xkey.state, vk);
    for (int m : sync.Release) PushRawInput(TRawInput{TRawKind::KeyUp, 0, 0, 0, 0, m, 0, false, {}});
    const std::vector<int>& held = sync.Hold;
    for (int m : held) PushRawInput(TRawInput{TRawKind::KeyDown, 0, 0, 0, 0, m, 0, false, {}});
    TRawInput e;
    e.Kind = TRawKind::KeyDown;
    e.Vk = vk;
    e.Scan = ev.xkey.keycode >= 8 ? ev.xkey.keycode - 8 : 0;
    e.Text = units;
    PushRawInput(e);
    for (int m : held) PushRawInput(TRawInput{TRawKind::KeyUp, 0, 0, 0, 0, m, 0, false, {}});
  }

  Display* D;
  hkx11::TConnectionWatch Connection;
  hkx11::TWmStateAtoms WmAtoms;
  int Screen;
  Window Root;
  Visual* ArgbVisual = nullptr;
  Colormap ArgbMap = 0;
  std::unique_ptr<hkx11::TInputMethod> Ime;
  Cursor Arrow, Hand, Beam, Watch;
  Atom WmProtocols, WmDelete, MotifHints, NetState, NetAbove, NetSkipTaskbar, NetMoveResize, NetSupported, NetActive,
      NetCheck, NetName, Utf8, NetWmIcon, NetUserTime, NetSkipPager;
  std::map<HWND, TXWindow> ByHwnd;
  std::map<Window, HWND> ByWindow;
  std::vector<uint32_t> Buffer;
  std::unique_ptr<TX11Tray> Tray;
  std::unique_ptr<TX11PopupGrab> PopupGrab;
  std::unique_ptr<TX11PointerHold> Hold;
  std::unique_ptr<hkx11::TCompositorWatch> Compositor;
  // The root's children as their events tell them, and the other clients'
  // windows that keep coming back over ours.
  hkx11::TRootStack Stack;
  hkx11::TCoverBackoff Backoff;
  unsigned RestackErrorsSeen = 0;
  // A child of the root was mapped or restacked in the batch being read.
  bool RootRestacked = false;
  // _NET_WM_STATE_ABOVE supported: 1 or 0; -1 until read.
  int ManagerAbove = -1;
  Atom ClipboardAtom, TargetsAtom, TextAtom, TransferAtom;
  Window SelectionWindow = 0;
  std::string ClipboardText;
};

}  // namespace

std::unique_ptr<TPlatformDriver> MakeX11Driver(const std::string& display) {
  static bool threads = XInitThreads() != 0;
  (void)threads;
  Display* d = XOpenDisplay(display.empty() ? nullptr : display.c_str());
  if (d == nullptr) return nullptr;
  return std::make_unique<TX11Driver>(d);
}
