// Keys a dialog handles for the control that has the focus: Tab and
// Shift+Tab move the focus in tab order, Enter presses the form's Default
// button and Escape its Cancel button (the focus stays where it is), and a
// mnemonic (Alt+letter, or the letter alone where the focus takes no text)
// presses the button or check box it names; where several share it, each
// press moves the focus to the next of them instead.
#pragma once

#include "classlib/Controls.h"

// The form (the top-level control) of a control.
TWinControl* ParentForm(TControl* control);
// The control that gets the focus after `current` within `root`, in tab
// order (depth first, by TabOrder), wrapping around; nullptr when none can.
TWinControl* FindNextControl(TWinControl* root, TWinControl* current, bool forward);
// True when the key was used (the caller then drops it).
bool HandleDialogKey(TWinControl* focus, WORD key, TShiftState shift);
bool HandleDialogChar(TWinControl* focus, char16_t ch);
// Draws a caption with its mnemonic underlined; returns its extent.
SIZE DrawMnemonicText(TCanvas& canvas, int x, int y, const std::string& caption);
SIZE MnemonicTextExtent(TCanvas& canvas, const std::string& caption);
