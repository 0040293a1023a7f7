// Who a top-level window belongs to, as window managers, taskbars and
// tools such as xprop read it: the program's name as its class, the
// process and the machine it runs on.
#pragma once

#include <X11/Xlib.h>

#include <string>

namespace hkx11 {

// The executable's file name ("HanakumoDict"); a link to it leads to the
// file itself.
std::string ProgramName();

// Sets WM_CLASS (the program's name as instance and class),
// WM_CLIENT_MACHINE and _NET_WM_PID on a window before it is mapped.
void SetWindowIdentity(Display* d, Window w);

}  // namespace hkx11
