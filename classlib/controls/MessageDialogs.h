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
// Ends a box being shown (from any thread) with its default button.
void CancelMessageBoxWindow();
}  // namespace hk
