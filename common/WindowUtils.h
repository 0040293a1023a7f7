// Window utilities shared by both programs: the layered-window functions,
// bound by name at start-up so a program still starts where the system's
// user-interface library lacks them. Callers test a pointer before calling.
#pragma once

#include "platform/Layered.h"
#include "platform/Window.h"

extern PFN_UpdateLayeredWindow UpdateLayeredWindowFunc;
extern PFN_AnimateWindow AnimateWindowFunc;
extern PFN_SetLayeredWindowAttributes SetLayeredWindowAttributesFunc;

// Binds the three pointers from the already loaded "User32.dll"; a name the
// module does not export leaves its pointer nil. Tests call it again after
// changing the module's exports.
void BindLayeredWindowFunctions();

// The unit's start-up step: binds the functions the first time it is called.
// Each program calls it before its program block.
void InitializeWindowUtils();

class TBitmap;

// Gives a 32-bit bitmap (straight alpha) to the window as its per-pixel
// image: the window becomes layered and takes the image's size, keeping
// its position. The bitmap's own pixels are not changed. False, and nothing
// visible changes, when UpdateLayeredWindow is not bound, the window is 0,
// the bitmap is not 32-bit or the window cannot be made layered; false too
// when the update is refused.
bool UpdateLayeredWindowFromBitmap(HWND wnd, TBitmap& bitmap);

// The window's constant opacity, clamped to 0..255, at once; its image is
// kept. Does nothing when UpdateLayeredWindow is not bound.
void SetLayeredWindowAlpha(HWND wnd, int alpha);

// Fades the window in (show) or out over `durationMs`, holding the calling
// thread meanwhile. A fade-in shows the window without activating it,
// raises it and ends at one level below `alpha` (clamped to 0..255); a
// fade-out ends hidden. A window that cannot be made layered, or a platform
// without UpdateLayeredWindow, is just shown or hidden.
void FadeLayeredWindow(HWND wnd, int alpha, DWORD durationMs, bool show);
