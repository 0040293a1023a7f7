// Text typed through an input method (XIM): uim, fcitx or ibus turn keys
// into Japanese and hand the program committed text. The input method may
// come after the program (a login starts both at once) and may go and come
// back (a user restarting it); keys are plain keyboard input meanwhile.
#pragma once

#include <X11/Xlib.h>

#include <map>
#include <string>
#include <vector>

namespace hkx11 {

// The character-type locale from the environment, as every X11 program
// takes it before opening an input method; C.UTF-8 where Xlib does not
// support that one (or it is plain C, which has no Japanese). Only
// LC_CTYPE: number formats and the rest stay "C". Returns the locale taken.
std::string TakeCharacterLocale();

// An input method hands back the key presses it lets through, while the
// releases it does not filter come straight: a release may overtake the
// press of its key. For a key pressed with `state`, the modifiers (virtual
// keys) the platform still holds that the event says were up (a press
// handed back after its release: let go now), and those it has let go that
// the event says were held (held for this key only).
struct TModifierSync {
  std::vector<int> Release, Hold;
};
TModifierSync SyncModifiers(unsigned state, int vk);

class TInputMethod {
 public:
  // Opens the user's input method (XMODIFIERS), the local one (compose
  // keys) when it is not there, and waits for it to come.
  explicit TInputMethod(Display* display);
  ~TInputMethod();
  TInputMethod(const TInputMethod&) = delete;
  TInputMethod& operator=(const TInputMethod&) = delete;

  // A top-level window of ours with its own event mask: it has an input
  // context while an input method is there, from now or from its coming.
  void Attach(Window window, long eventMask);
  void Detach(Window window);
  // The window got or lost the keyboard focus.
  void Focus(Window window, bool in);
  // The caret's place in the window: the input method shows its preedit
  // and candidates there, where it draws them at a spot.
  void SetSpot(Window window, int x, int y, int height);

  // What a key press types: committed text of any length from the input
  // method, or the key's own text. Returns XLookupNone, XLookupChars,
  // XLookupKeySym or XLookupBoth.
  int Lookup(XKeyEvent& event, std::string* text, KeySym* keysym);

  // A server's input method is open (not the local one).
  bool Connected() const { return FIm != nullptr && !FLocal; }
  // The display's connection is gone: nothing more may be sent on it.
  void Abandon() { FAbandoned = true; }

 private:
  struct TWindowContext {
    long Mask = 0;
    XIC Ic = nullptr;
    XIMStyle Style = 0;
    bool Focused = false;
    bool HasSpot = false;
    XPoint Spot{0, 0};
  };

  static void Instantiated(Display* display, XPointer self, XPointer);
  static void Destroyed(XIM im, XPointer self, XPointer);
  bool Open(bool localOnly);
  void Close();
  void MakeContext(Window window, TWindowContext& context);
  void SendSpot(TWindowContext& context);
  XIMStyle ChooseStyle();

  Display* D;
  XIM FIm = nullptr;
  bool FLocal = false;
  bool FAbandoned = false;
  bool FRegistered = false;
  XIMStyle FStyle = 0;
  XFontSet FFontSet = nullptr;
  std::map<Window, TWindowContext> FWindows;
};

}  // namespace hkx11
