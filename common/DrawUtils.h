// Drawing helpers of both programs: the gradient painter (a rectangle filled
// with a two-colour gradient of one-pixel lines, drawn off screen and copied
// in one piece so repaints of the title area and the selected list item do
// not flicker), the colour arithmetic it stands on, and the premultiplying
// of a 32-bit bitmap's colours by its alpha for layered windows.
#pragma once

#include <cstdint>

#include "classlib/Graphics.h"

// direction 0: vertical lines from the left edge; 1: horizontal lines from
// the top; 2..5: diagonals starting at the top-left, top-right, bottom-left
// and bottom-right corner. style 0: linear; 1: mirrored (colour 1 at both
// ends); 2 and 3: asymmetric variants. An unknown direction or style draws
// no line and copies the blank bitmap.
void DrawGradient(TCanvas& canvas, const TRect& rect, TColor color1, TColor color2, uint8_t direction,
                  uint8_t style);

// The colour a fraction (pos - min) / (max - min) of the way from a to b
// (both plain RGB, $00BBGGRR): a at or below min, b at or above max.
COLORREF ColorBetween(COLORREF a, COLORREF b, long double pos, long double min, long double max);

// One channel a fraction r of the way from a to b, truncated towards a.
uint8_t BlendChannel(uint8_t a, uint8_t b, long double r);

// Multiplies blue, green and red of every pixel of a 32-bit bitmap by its
// alpha, rounded ((c * a + 127) div 255), as layered windows want them.
// Alpha stays. A bitmap of another pixel format is left alone.
void PremultiplyAlpha(TBitmap& bitmap);
