// Text output on a DC: the face of its font, widths of runs and drawing them.
#pragma once

#include <string>

#include "platform/gdi/GdiObjects.h"
#include "platform/text/FontEngine.h"

namespace hkgdi {

std::shared_ptr<TFontFace> FaceOf(const TDC& dc);
// Sum of the advances of a run of UTF-16 units (pairs count once).
int RunWidth(TFontFace& face, const char16_t* s, int n);
// Draws a run with its cell's top-left at logical (x, y) in the DC's text
// colour, inside the target's clip and, when given, the logical rectangle
// `clip`. `opaque` fills the cell with the background colour first. A
// character index `underline` >= 0 gets an underline of its own (prefixes).
void DrawRun(TDC& dc, TTarget& t, TFontFace& face, int x, int y, const char16_t* s, int n, const RECT* clip,
             bool opaque, int underline = -1, const INT* dx = nullptr);
// Windows-1252 bytes to UTF-16.
std::u16string WideOfAnsi(const char* s, int n);

}  // namespace hkgdi
