// Colour values, draw and combine modes, and the rectangle helpers of the
// Bitmap32 library.
#pragma once

#include <cstdint>
#include <functional>

#include "bitmap32/Bitmap32LowLevel.h"
#include "bitmap32/Bitmap32Math.h"
#include "classlib/GraphicsTypes.h"
#include "classlib/SysTypes.h"

// $AARRGGBB, straight alpha; in memory blue, green, red, alpha.
using TColor32 = uint32_t;
using PColor32 = TColor32*;

enum TDrawMode : uint8_t { dmOpaque, dmBlend, dmCustom, dmTransparent };
enum TCombineMode : uint8_t { cmBlend, cmMerge };

// F the source pixel, B the destination (updated in place), M the master alpha.
using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;

constexpr uint32_t AREA_FLAG_RECT = 0x80000000u;

struct TRealRect {
  float Left, Top, Right, Bottom;
};
struct TFixedPointRect {
  TFixed Left, Top, Right, Bottom;
};
enum TRectRoundingRule { rrClosest, rrOutside, rrInside };

// The plain exception class of the library, with fixed messages.
HK_DECLARE_EXCEPTION(EBitmapException, Exception);
HK_DECLARE_EXCEPTION(ESrcInvalidException, Exception);
HK_DECLARE_EXCEPTION(ENestedException, Exception);
HK_DECLARE_EXCEPTION(EAssertionFailed, Exception);

// A system colour (negative) is looked up first; $00BBGGRR becomes $FFRRGGBB.
TColor32 Color32(TColor value);
inline TColor32 Color32(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return (static_cast<TColor32>(a) << 24) | (static_cast<TColor32>(r) << 16) | (static_cast<TColor32>(g) << 8) | b;
}
inline uint8_t AlphaComponent(TColor32 c) { return static_cast<uint8_t>(c >> 24); }

// Round(x * 65536), ties to even.
TFixed Fixed(float x);

TRect BuildRect(int left, int top, int right, int bottom);
TRect BuildRect(const TRealRect& r, TRectRoundingRule rule);
TFixedPointRect BuildFixedRect(const TRect& r);
TRealRect BuildRealRect(const TRect& r);

// False, and dst (0, 0, 0, 0), when they do not meet; a zero-width overlap counts.
bool IntersectRect(TRect& dst, const TRect& r1, const TRect& r2);
bool EqualRect(const TRect& r1, const TRect& r2);
void OffsetRect(TRect& r, int dx, int dy);
bool IsRectEmpty(const TRect& r);
