// The clipboard's text. On X11 it is the CLIPBOARD selection, so text
// copied here pastes in other programs and the other way round; headless
// it stays inside the process.
#pragma once

#include <string>

#include "platform/Types.h"

// Takes the clipboard with this text.
BOOL SetClipboardTextW(const std::u16string& text);
// False when the clipboard holds no text (or its owner does not answer
// within a second).
bool GetClipboardTextW(std::u16string* text);
