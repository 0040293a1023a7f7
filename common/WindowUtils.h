// Window utilities shared by both programs: the layered-window functions,
// bound by name at start-up so a program still starts where the system's
// user-interface library lacks them. Callers test a pointer before calling.
#pragma once

#include "platform/Layered.h"

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
