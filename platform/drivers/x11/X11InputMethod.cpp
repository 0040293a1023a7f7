#include "platform/drivers/x11/X11InputMethod.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <clocale>
#include <cstring>
#include <vector>

#include "platform/Input.h"

namespace hkx11 {
namespace {

// Latin-1 (what XLookupString gives) as UTF-8.
std::string Latin1ToUtf8(const char* s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// A keysym that names a Unicode character (a layout beyond Latin-1) as UTF-8.
std::string UnicodeKeysymToUtf8(KeySym sym) {
  if ((sym & 0xFF000000UL) != 0x01000000UL) return "";
  const unsigned long cp = sym & 0x00FFFFFFUL;
  if (cp < 0x20 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return "";
  std::string out;
  if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
  }
  out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  return out;
}

// Some server has its input method on the display: named in XIM_SERVERS,
// its selection held (a killed one leaves its name behind).
bool AnyServerOnDisplay(Display* d) {
  Atom type;
  int format;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  bool any = false;
  if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "XIM_SERVERS", False), 0, 64, False, XA_ATOM, &type,
                         &format, &n, &after, &data) == Success &&
      data != nullptr && format == 32)
    for (unsigned long i = 0; i < n && !any; ++i) any = XGetSelectionOwner(d, reinterpret_cast<Atom*>(data)[i]) != None;
  if (data) XFree(data);
  return any;
}

}  // namespace

TModifierSync SyncModifiers(unsigned state, int vk) {
  TModifierSync sync;
  const std::pair<unsigned, int> modifiers[] = {{ControlMask, VK_LCONTROL}, {ShiftMask, VK_LSHIFT}, {Mod1Mask, VK_LMENU}};
  for (auto [mask, left] : modifiers) {
    const int right = left + 1, generic = left == VK_LCONTROL ? VK_CONTROL : left == VK_LSHIFT ? VK_SHIFT : VK_MENU;
    // The modifier's own press: its state is from before it.
    if (vk == left || vk == right || vk == generic) continue;
    const bool leftDown = (GetAsyncKeyState(left) & 0x8000) != 0, rightDown = (GetAsyncKeyState(right) & 0x8000) != 0;
    if (state & mask) {
      if (!leftDown && !rightDown) sync.Hold.push_back(left);
    } else {
      if (leftDown) sync.Release.push_back(left);
      if (rightDown) sync.Release.push_back(right);
    }
  }
  return sync;
}

std::string TakeCharacterLocale() {
  const char* got = std::setlocale(LC_CTYPE, "");
  const std::string name = got != nullptr ? got : "";
  if (got != nullptr && name != "C" && name != "POSIX" && XSupportsLocale()) return name;
  if (const char* utf8 = std::setlocale(LC_CTYPE, "C.UTF-8"); utf8 != nullptr && XSupportsLocale()) return utf8;
  got = std::setlocale(LC_CTYPE, "C");
  return got != nullptr ? got : "C";
}

TInputMethod::TInputMethod(Display* display) : D(display) {
  TakeCharacterLocale();
  if (!Open(false)) Open(true);
  // Xlib watches the root for servers coming and selects only what it needs
  // there: the root keeps what others of ours watch on it.
  XWindowAttributes root{};
  XGetWindowAttributes(D, DefaultRootWindow(D), &root);
  XSetLocaleModifiers("");
  FRegistered = XRegisterIMInstantiateCallback(D, nullptr, nullptr, nullptr, Instantiated,
                                               reinterpret_cast<XPointer>(this)) != False;
  XWindowAttributes after{};
  XGetWindowAttributes(D, DefaultRootWindow(D), &after);
  XSelectInput(D, DefaultRootWindow(D), root.your_event_mask | after.your_event_mask | PropertyChangeMask);
}

TInputMethod::~TInputMethod() {
  // A dead connection: nothing to free on the server, and Xlib must not try.
  if (FAbandoned) return;
  if (FRegistered)
    XUnregisterIMInstantiateCallback(D, nullptr, nullptr, nullptr, Instantiated, reinterpret_cast<XPointer>(this));
  Close();
  if (FFontSet) XFreeFontSet(D, FFontSet);
}

bool TInputMethod::Open(bool localOnly) {
  XSetLocaleModifiers(localOnly ? "@im=none" : "");
  FIm = XOpenIM(D, nullptr, nullptr, nullptr);
  // The user's modifiers stay the current ones, for the servers to come.
  if (localOnly) XSetLocaleModifiers("");
  if (FIm == nullptr) return false;
  // Without XMODIFIERS Xlib may hand out its local method too.
  FLocal = localOnly || !AnyServerOnDisplay(D);
  XIMCallback destroy{reinterpret_cast<XPointer>(this), Destroyed};
  XSetIMValues(FIm, XNDestroyCallback, &destroy, nullptr);
  FStyle = ChooseStyle();
  for (auto& [window, context] : FWindows) MakeContext(window, context);
  return true;
}

void TInputMethod::Close() {
  for (auto& [window, context] : FWindows) {
    if (context.Ic) XDestroyIC(context.Ic);
    context.Ic = nullptr;
  }
  XIM im = FIm;
  FIm = nullptr;
  FLocal = false;
  if (im) XCloseIM(im);
}

// Over the spot where the input method offers it, so its preedit and
// candidates stand at the caret; else in a window of its own (root style).
XIMStyle TInputMethod::ChooseStyle() {
  XIMStyles* styles = nullptr;
  if (XGetIMValues(FIm, XNQueryInputStyle, &styles, nullptr) != nullptr || styles == nullptr) return 0;
  const XIMStyle wanted[] = {XIMPreeditPosition | XIMStatusNothing, XIMPreeditPosition | XIMStatusNone,
                             XIMPreeditNothing | XIMStatusNothing, XIMPreeditNothing | XIMStatusNone,
                             XIMPreeditNone | XIMStatusNone};
  XIMStyle chosen = 0;
  for (XIMStyle w : wanted) {
    for (unsigned short i = 0; i < styles->count_styles && chosen == 0; ++i)
      if (styles->supported_styles[i] == w) chosen = w;
    if (chosen != 0) break;
  }
  XFree(styles);
  return chosen;
}

void TInputMethod::MakeContext(Window window, TWindowContext& context) {
  if (FIm == nullptr || FStyle == 0 || context.Ic != nullptr) return;
  if (FStyle & XIMPreeditPosition) {
    // The preedit is drawn in a font of the locale's character sets.
    if (FFontSet == nullptr) {
      char** missing = nullptr;
      int count = 0;
      char* fallback = nullptr;
      // Every pattern names a character set, so none is drawn in another's font.
      FFontSet = XCreateFontSet(D,
                                "-*-*-medium-r-normal--16-*-*-*-*-*-*-*,-*-*-medium-r-normal--14-*-*-*-*-*-*-*,"
                                "-*-*-*-*-*--*-*-*-*-*-*-*-*",
                                &missing, &count, &fallback);
      if (missing) XFreeStringList(missing);
    }
    XVaNestedList attrs = FFontSet ? XVaCreateNestedList(0, XNSpotLocation, &context.Spot, XNFontSet, FFontSet, nullptr)
                                   : XVaCreateNestedList(0, XNSpotLocation, &context.Spot, nullptr);
    context.Ic = XCreateIC(FIm, XNInputStyle, FStyle, XNClientWindow, window, XNFocusWindow, window,
                           XNPreeditAttributes, attrs, nullptr);
    XFree(attrs);
    context.Style = FStyle;
  }
  if (context.Ic == nullptr) {
    context.Style = (FStyle & XIMPreeditPosition) ? XIMPreeditNothing | XIMStatusNothing : FStyle;
    context.Ic = XCreateIC(FIm, XNInputStyle, context.Style, XNClientWindow, window, XNFocusWindow, window, nullptr);
  }
  if (context.Ic == nullptr) return;
  long filter = 0;
  XGetICValues(context.Ic, XNFilterEvents, &filter, nullptr);
  XSelectInput(D, window, context.Mask | filter);
  if (context.Focused) XSetICFocus(context.Ic);
}

void TInputMethod::Attach(Window window, long eventMask) {
  TWindowContext& context = FWindows[window];
  context = TWindowContext{};
  context.Mask = eventMask;
  MakeContext(window, context);
}

void TInputMethod::Detach(Window window) {
  auto it = FWindows.find(window);
  if (it == FWindows.end()) return;
  if (it->second.Ic && !FAbandoned) XDestroyIC(it->second.Ic);
  FWindows.erase(it);
}

void TInputMethod::Focus(Window window, bool in) {
  auto it = FWindows.find(window);
  if (it == FWindows.end()) return;
  it->second.Focused = in;
  if (it->second.Ic == nullptr || FAbandoned) return;
  if (!in) {
    XUnsetICFocus(it->second.Ic);
    return;
  }
  XSetICFocus(it->second.Ic);
  // Some input methods (fcitx) take the spot of a focused context only.
  SendSpot(it->second);
}

void TInputMethod::SetSpot(Window window, int x, int y, int height) {
  auto it = FWindows.find(window);
  if (it == FWindows.end()) return;
  TWindowContext& context = it->second;
  // The spot is where the preedit's baseline starts: the caret's foot.
  const XPoint spot{static_cast<short>(x), static_cast<short>(y + height)};
  if (context.HasSpot && context.Spot.x == spot.x && context.Spot.y == spot.y) return;
  context.Spot = spot;
  context.HasSpot = true;
  SendSpot(context);
}

void TInputMethod::SendSpot(TWindowContext& context) {
  if (context.Ic == nullptr || !context.HasSpot || FAbandoned || !(context.Style & XIMPreeditPosition)) return;
  XVaNestedList attrs = XVaCreateNestedList(0, XNSpotLocation, &context.Spot, nullptr);
  XSetICValues(context.Ic, XNPreeditAttributes, attrs, nullptr);
  XFree(attrs);
}

int TInputMethod::Lookup(XKeyEvent& event, std::string* text, KeySym* keysym) {
  text->clear();
  *keysym = NoSymbol;
  auto it = FWindows.find(event.window);
  XIC ic = it != FWindows.end() ? it->second.Ic : nullptr;
  if (ic != nullptr) {
    char buffer[256];
    Status status = XLookupNone;
    int n = Xutf8LookupString(ic, &event, buffer, sizeof buffer, keysym, &status);
    if (status == XBufferOverflow) {
      // A whole phrase: asked again with room for it.
      std::vector<char> big(static_cast<size_t>(n) + 1);
      n = Xutf8LookupString(ic, &event, big.data(), static_cast<int>(big.size()), keysym, &status);
      if (n > 0) text->assign(big.data(), static_cast<size_t>(n));
    } else if (n > 0) {
      text->assign(buffer, static_cast<size_t>(n));
    }
    return status;
  }
  char buffer[64];
  const int n = XLookupString(&event, buffer, sizeof buffer, keysym, nullptr);
  if (n > 0) *text = Latin1ToUtf8(buffer, n);
  else *text = UnicodeKeysymToUtf8(*keysym);
  if (!text->empty()) return XLookupBoth;
  return *keysym != NoSymbol ? XLookupKeySym : XLookupNone;
}

void TInputMethod::Instantiated(Display*, XPointer self, XPointer) {
  auto* me = reinterpret_cast<TInputMethod*>(self);
  if (me->FAbandoned || me->Connected()) return;
  // The server's method takes over from the local one.
  if (me->FIm != nullptr) me->Close();
  if (!me->Open(false)) me->Open(true);
}

// The server went (ended, restarted): its method and every context of it
// are gone with it, and must not be freed. Keys are plain input until one
// comes again.
void TInputMethod::Destroyed(XIM, XPointer self, XPointer) {
  auto* me = reinterpret_cast<TInputMethod*>(self);
  me->FIm = nullptr;
  me->FLocal = false;
  for (auto& [window, context] : me->FWindows) context.Ic = nullptr;
}

}  // namespace hkx11
