// The caret: one a thread, owned by a window of it. Our edits draw their own
// caret line; the platform keeps where it stands, so the display's input
// method can put its preedit and candidates at it.
#pragma once

#include "platform/Types.h"

// Makes the thread's caret for the window (the old one goes); hidden, at 0, 0.
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
// Ends the thread's caret.
BOOL DestroyCaret();
// Moves the caret, in its window's client coordinates.
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* point);
