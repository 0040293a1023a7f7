#include "platform/drivers/x11/X11PointerHold.h"

#include "platform/Input.h"
#include "platform/RawInput.h"

namespace {
constexpr unsigned kButtons = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;

unsigned ButtonMask(unsigned button) {
  return button >= Button1 && button <= Button5 ? Button1Mask << (button - Button1) : 0;
}
}  // namespace

unsigned ButtonsAfter(const XEvent& ev) {
  switch (ev.type) {
    case ButtonPress: return (ev.xbutton.state & kButtons) | ButtonMask(ev.xbutton.button);
    case ButtonRelease: return ev.xbutton.state & kButtons & ~ButtonMask(ev.xbutton.button);
    case MotionNotify: return ev.xmotion.state & kButtons;
    case EnterNotify:
    case LeaveNotify: return ev.xcrossing.state & kButtons;
    default: return 0;
  }
}

void TX11PointerHold::WindowGoing(bool buttonHeld) {
  if (FHeld || !buttonHeld) return;
  // Events over our other windows still go to them. Another client's grab
  // (a press on its window) is refused us, and rightly left alone.
  constexpr unsigned kEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
  FSince = NextRequest(D);
  FHeld = XGrabPointer(D, Root, True, kEvents, GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
}

void TX11PointerHold::Follow(const XEvent& ev) {
  // A button up before the hold (a press and drag that came while a fade
  // held the program) is no release of it.
  if (!FHeld || ev.xany.serial < FSince) return;
  if (ev.type != ButtonPress && ev.type != ButtonRelease && ev.type != MotionNotify && ev.type != EnterNotify &&
      ev.type != LeaveNotify)
    return;
  if (ButtonsAfter(ev) != 0) return;
  XUngrabPointer(D, CurrentTime);
  XFlush(D);
  FHeld = false;
}

void ReleaseLostButtons(const XEvent& ev, bool ownRelease) {
  int x, y;
  unsigned state;
  switch (ev.type) {
    case ButtonPress:
    case ButtonRelease:
      x = ev.xbutton.x_root;
      y = ev.xbutton.y_root;
      state = ev.xbutton.state;
      break;
    case MotionNotify:
      x = ev.xmotion.x_root;
      y = ev.xmotion.y_root;
      state = ev.xmotion.state;
      break;
    case EnterNotify:
    case LeaveNotify:
      x = ev.xcrossing.x_root;
      y = ev.xcrossing.y_root;
      state = ev.xcrossing.state;
      break;
    default:
      return;
  }
  // The platform's buttons: left, right, middle.
  static constexpr struct {
    unsigned XButton;
    int Vk;
  } kPlatformButtons[] = {{Button1, VK_LBUTTON}, {Button3, VK_RBUTTON}, {Button2, VK_MBUTTON}};
  for (int b = 0; b < 3; ++b) {
    const unsigned button = kPlatformButtons[b].XButton;
    if ((GetAsyncKeyState(kPlatformButtons[b].Vk) & 0x8000) == 0) continue;
    const bool thisButton = (ev.type == ButtonPress || ev.type == ButtonRelease) && ev.xbutton.button == button;
    // Down before a press of its own: its last release never came.
    const bool lost = ev.type == ButtonPress && thisButton ? true
                      : thisButton                        ? !ownRelease
                                                          : (state & ButtonMask(button)) == 0;
    if (!lost) continue;
    hkwin::TRawInput move;
    move.Kind = hkwin::TRawKind::MouseMove;
    move.X = x;
    move.Y = y;
    hkwin::PushRawInput(move);
    hkwin::TRawInput up = move;
    up.Kind = hkwin::TRawKind::ButtonUp;
    up.Button = b;
    hkwin::PushRawInput(up);
  }
}
