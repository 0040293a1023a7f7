#include "bitmap32/Bitmap32Types.h"

#include <cfenv>
#include <cmath>

#include "platform/SystemInfo.h"

TColor32 Color32(TColor value) {
  uint32_t v = static_cast<uint32_t>(value);
  if (value < 0) v = GetSysColor(static_cast<int>(v & 0xFF));
  return 0xFF000000u | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

TFixed Fixed(float x) {
  // nearbyint follows the default rounding mode: to nearest, ties to even.
  double v = std::nearbyint(static_cast<double>(x) * 65536.0);
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<TFixed>(v);
}

TRect BuildRect(int left, int top, int right, int bottom) { return TRect(left, top, right, bottom); }

namespace {
int ToInt(double v) {
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int>(v);
}
}  // namespace

TRect BuildRect(const TRealRect& r, TRectRoundingRule rule) {
  TRect out;
  switch (rule) {
    case rrClosest:
      out = TRect(ToInt(std::nearbyint(r.Left)), ToInt(std::nearbyint(r.Top)), ToInt(std::nearbyint(r.Right)),
                  ToInt(std::nearbyint(r.Bottom)));
      break;
    case rrOutside:
      out = TRect(ToInt(std::floor(r.Left)), ToInt(std::floor(r.Top)), ToInt(std::ceil(r.Right)),
                  ToInt(std::ceil(r.Bottom)));
      break;
    case rrInside:
      out = TRect(ToInt(std::ceil(r.Left)), ToInt(std::ceil(r.Top)), ToInt(std::ceil(r.Right)),
                  ToInt(std::ceil(r.Bottom)));
      if (out.right < out.left) out.right = out.left;
      if (out.bottom < out.top) out.bottom = out.top;
      break;
  }
  return out;
}

TFixedPointRect BuildFixedRect(const TRect& r) {
  auto s = [](LONG v) { return static_cast<TFixed>(static_cast<uint32_t>(v) << 16); };
  return {s(r.left), s(r.top), s(r.right), s(r.bottom)};
}

TRealRect BuildRealRect(const TRect& r) {
  return {static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
          static_cast<float>(r.bottom)};
}

bool IntersectRect(TRect& dst, const TRect& r1, const TRect& r2) {
  TRect r(std::max(r1.left, r2.left), std::max(r1.top, r2.top), std::min(r1.right, r2.right),
          std::min(r1.bottom, r2.bottom));
  if (r.right < r.left || r.bottom < r.top) {
    dst = TRect();
    return false;
  }
  dst = r;
  return true;
}

bool EqualRect(const TRect& a, const TRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void OffsetRect(TRect& r, int dx, int dy) {
  // Wraps like the 32-bit original instead of overflowing.
  r.left = static_cast<LONG>(static_cast<uint32_t>(r.left) + static_cast<uint32_t>(dx));
  r.right = static_cast<LONG>(static_cast<uint32_t>(r.right) + static_cast<uint32_t>(dx));
  r.top = static_cast<LONG>(static_cast<uint32_t>(r.top) + static_cast<uint32_t>(dy));
  r.bottom = static_cast<LONG>(static_cast<uint32_t>(r.bottom) + static_cast<uint32_t>(dy));
}

bool IsRectEmpty(const TRect& r) { return !(r.left < r.right && r.top < r.bottom); }
