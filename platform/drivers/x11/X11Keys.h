// Key symbols of the X server as the platform's virtual keys.
#pragma once

#include <X11/Xlib.h>

// 0 for a key the platform has no virtual key for.
int KeysymToVirtualKey(KeySym keysym);
