// The windowed message box: our own modal form with the box's icon, its
// text and its buttons. MessageBoxA shows it on a display (it is installed
// as the platform's presenter when the program starts).
#pragma once

#include "platform/services/MessageBox.h"

namespace hk {
// Shows the box and runs its messages until a button is chosen (Enter: the
// default button; Escape or the close box: Cancel, or OK for a box with one
// button); the owner window is disabled meanwhile.
int ShowMessageBoxWindow(const MessageBoxRecord& box);
// The window a box belongs to: it opens above it and stays with it. The
// caller's window (its form, for a control); for a box of the program as a
// whole (no window, or the hidden application window) the active form,
// else the main form, else a stay-on-top form, whichever is shown; nullptr
// when none is.
HWND MessageBoxOwner(HWND given);
// Ends a box being shown (from any thread) with its default button.
void CancelMessageBoxWindow();
// The window of the box this thread shows (the innermost), nullptr while
// none is: a box of the program as a whole is nobody's while none of the
// program's forms is shown.
HWND MessageBoxWindowShown();
}  // namespace hk
