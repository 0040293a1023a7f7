// The platform's own palettes.
#pragma once

#include <vector>

#include "platform/gdi/Gdi.h"

namespace hkgdi {
// The 20 static colours: the first ten and the last ten of a system palette.
std::vector<PALETTEENTRY> DefaultPaletteEntries();
// 256 entries: ten static colours, the 6 x 6 x 6 colour cube, twenty greys, ten static colours.
std::vector<PALETTEENTRY> HalftonePaletteEntries();
}  // namespace hkgdi
