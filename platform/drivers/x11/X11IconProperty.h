// A window's icons as _NET_WM_ICON holds them, for taskbars, window lists
// and window managers to pick the size they show.
#pragma once

#include <vector>

#include "platform/Types.h"

namespace hkx11 {

// Each image of each icon (its own and its other sizes) as width, height
// and ARGB rows, one CARDINAL (a long to Xlib) a value; a size given once,
// by the first icon that has it. Empty when there is none.
std::vector<long> NetWmIconData(const std::vector<HICON>& icons);

}  // namespace hkx11
