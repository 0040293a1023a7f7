// Pixels, lines, rectangles and focus rectangles.
#include "platform/gdi/GdiObjects.h"

namespace hkgdi {
namespace {

void FillArea(TTarget& t, RECT r, uint32_t raw) {
  r = Intersect(t.Clip, r);
  for (int y = r.top; y < r.bottom; ++y) FillSpan(t.View, y, r.left, r.right, raw);
}

// Pixel-coordinate rectangle of a logical one.
RECT ToPixels(const TTarget& t, const RECT& r) {
  return RECT{SatAdd(r.left, t.OffsetX), SatAdd(r.top, t.OffsetY), SatAdd(r.right, t.OffsetX), SatAdd(r.bottom, t.OffsetY)};
}

void PlotPen(TTarget& t, int x, int y, int width, uint32_t raw) {
  if (width <= 1) {
    if (x >= t.Clip.left && x < t.Clip.right && y >= t.Clip.top && y < t.Clip.bottom) WriteRaw(t.View.Row(y), x, t.View.Bpp, raw);
    return;
  }
  int half = width / 2;
  FillArea(t, RECT{x - half, y - half, x - half + width, y - half + width}, raw);
}

// Dash patterns of cosmetic pens, in pixels on and off.
const std::vector<int>& DashPattern(UINT style) {
  static const std::vector<int> none, dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3};
  switch (style) {
    case PS_DASH: return dash;
    case PS_DOT: return dot;
    case PS_DASHDOT: return dashDot;
    case PS_DASHDOTDOT: return dashDotDot;
    default: return none;
  }
}

// From (x0, y0) towards (x1, y1), leaving out the end point: one pixel per
// step along the longer axis, the other axis rounded. Only the steps that can
// reach the clip are walked, so a line of any length costs at most the
// surface's size.
void DrawLine(TDC& dc, TTarget& t, int x0, int y0, int x1, int y1) {
  auto* pen = static_cast<TPenObj*>(dc.State.Pen.get());
  if (!pen || pen->Log.lopnStyle == PS_NULL) return;
  uint32_t raw = RawOfRgb(t.View, RgbOf(ResolveColor(dc, pen->Log.lopnColor)));
  uint32_t bkRaw = RawOfRgb(t.View, RgbOf(ResolveColor(dc, dc.State.BkColor)));
  int width = pen->Log.lopnWidth.x;
  const std::vector<int>& dashes = width <= 1 ? DashPattern(pen->Log.lopnStyle) : DashPattern(PS_SOLID);
  int period = 0;
  for (int d : dashes) period += d;
  const int64_t X0 = int64_t(x0) + t.OffsetX, Y0 = int64_t(y0) + t.OffsetY;
  const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const int64_t n = xMajor ? std::abs(dx) : std::abs(dy);
  if (n == 0 || t.Empty()) return;
  const int64_t major0 = xMajor ? X0 : Y0, minor0 = xMajor ? Y0 : X0;
  const int64_t step = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const int64_t minorD = xMajor ? dy : dx;
  // A thin solid horizontal line, what gradients are drawn with, is one span.
  if (minorD == 0 && xMajor && period == 0 && width <= 1) {
    if (Y0 < t.Clip.top || Y0 >= t.Clip.bottom) return;
    const int64_t a = std::max<int64_t>(step > 0 ? X0 : X0 - n + 1, t.Clip.left);
    const int64_t b = std::min<int64_t>((step > 0 ? X0 : X0 - n + 1) + n, t.Clip.right);
    if (a < b) FillSpan(t.View, static_cast<int>(Y0), static_cast<int>(a), static_cast<int>(b), raw);
    return;
  }
  const int64_t pad = std::max(1, width);
  const int64_t lo = (xMajor ? t.Clip.left : t.Clip.top) - pad, hi = (xMajor ? t.Clip.right : t.Clip.bottom) + pad;
  // Steps k whose major coordinate major0 + k * step lies in [lo, hi).
  int64_t kFirst = step > 0 ? lo - major0 : major0 - hi + 1;
  int64_t kLast = step > 0 ? hi - 1 - major0 : major0 - lo;
  kFirst = std::max<int64_t>(kFirst, 0);
  kLast = std::min<int64_t>(kLast, n - 1);
  for (int64_t k = kFirst; k <= kLast; ++k) {
    int64_t q = (2 * k * std::abs(minorD) + n) / (2 * n);
    int64_t major = major0 + k * step, minor = minor0 + (minorD < 0 ? -q : q);
    int64_t px = xMajor ? major : minor, py = xMajor ? minor : major;
    if (px < INT32_MIN / 2 || px > INT32_MAX / 2 || py < INT32_MIN / 2 || py > INT32_MAX / 2) continue;
    bool on = true;
    if (period > 0) {
      int64_t p = k % period;
      size_t seg = 0;
      while (p >= dashes[seg]) p -= dashes[seg++];
      on = seg % 2 == 0;
    }
    if (on) PlotPen(t, static_cast<int>(px), static_cast<int>(py), width, raw);
    else if (dc.State.BkMode == OPAQUE) PlotPen(t, static_cast<int>(px), static_cast<int>(py), 1, bkRaw);
  }
}

}  // namespace
}  // namespace hkgdi

using namespace hkgdi;

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
  auto dc = GetDC(handle);
  TTarget t;
  if (!dc || !MakeTarget(*dc, t)) return CLR_INVALID;
  int px = x + t.OffsetX, py = y + t.OffsetY;
  if (px < t.Clip.left || px >= t.Clip.right || py < t.Clip.top || py >= t.Clip.bottom) return CLR_INVALID;
  uint32_t raw = RawOfRgb(t.View, RgbOf(ResolveColor(*dc, color)));
  WriteRaw(t.View.Row(py), px, t.View.Bpp, raw);
  return ColorRefOf(RgbOfRaw(t.View, raw));
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) { return SetPixel(dc, x, y, color) != CLR_INVALID; }

COLORREF GetPixel(HDC handle, int x, int y) {
  auto dc = GetDC(handle);
  TTarget t;
  if (!dc || !MakeTarget(*dc, t, true, false)) return CLR_INVALID;
  int px = x + t.OffsetX, py = y + t.OffsetY;
  if (px < t.Clip.left || px >= t.Clip.right || py < t.Clip.top || py >= t.Clip.bottom) return CLR_INVALID;
  return ColorRefOf(RgbOfRaw(t.View, ReadRaw(t.View.Row(py), px, t.View.Bpp)));
}

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous) {
  auto dc = GetDC(handle);
  if (!dc) return FALSE;
  if (previous) *previous = dc->State.Pos;
  dc->State.Pos = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC handle, int x, int y) {
  auto dc = GetDC(handle);
  if (!dc) return FALSE;
  TTarget t;
  if (MakeTarget(*dc, t)) DrawLine(*dc, t, dc->State.Pos.x, dc->State.Pos.y, x, y);
  dc->State.Pos = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC handle, const POINT* points, int count) {
  auto dc = GetDC(handle);
  if (!dc || !points || count < 2) return FALSE;
  TTarget t;
  if (!MakeTarget(*dc, t)) return TRUE;
  for (int i = 1; i < count; ++i) DrawLine(*dc, t, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
  return TRUE;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
  auto dc = GetDC(handle);
  if (!dc) return FALSE;
  TTarget t;
  if (!MakeTarget(*dc, t)) return TRUE;
  RECT r = Normalized(RECT{left, top, right, bottom});
  if (int64_t(r.right) - r.left < 2 || int64_t(r.bottom) - r.top < 2) return TRUE;  // the platform draws nothing this small
  auto* pen = static_cast<TPenObj*>(dc->State.Pen.get());
  auto* brush = static_cast<TBrushObj*>(dc->State.Brush.get());
  bool hasPen = pen && pen->Log.lopnStyle != PS_NULL;
  int penWidth = hasPen ? std::max(1, static_cast<int>(pen->Log.lopnWidth.x)) : 0;
  int inset = penWidth <= 1 ? penWidth : (penWidth + 1) / 2;
  if (brush && brush->Log.lbStyle != BS_NULL) {
    // Without a pen the fill covers the whole rectangle less its right and bottom edge.
    RECT inner = hasPen ? RECT{SatAdd(r.left, inset), SatAdd(r.top, inset), SatAdd(r.right, -inset), SatAdd(r.bottom, -inset)}
                        : RECT{r.left, r.top, r.right - 1, r.bottom - 1};
    FillArea(t, ToPixels(t, inner), RawOfRgb(t.View, RgbOf(ResolveColor(*dc, brush->Log.lbColor))));
  }
  if (hasPen) {
    int l = r.left, tp = r.top, rr = r.right - 1, b = r.bottom - 1;
    DrawLine(*dc, t, l, tp, rr, tp);
    DrawLine(*dc, t, rr, tp, rr, b);
    DrawLine(*dc, t, rr, b, l, b);
    DrawLine(*dc, t, l, b, l, tp);
  }
  return TRUE;
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
  auto dc = GetDC(handle);
  if (!dc || !rect) return 0;
  std::shared_ptr<TBrushObj> brush = GetObj<TBrushObj>(reinterpret_cast<HGDIOBJ>(brushHandle), TObjKind::Brush);
  if (!brush) return 0;
  TTarget t;
  if (!MakeTarget(*dc, t)) return 0;
  if (brush->Log.lbStyle == BS_NULL) return 1;
  FillArea(t, ToPixels(t, *rect), RawOfRgb(t.View, RgbOf(ResolveColor(*dc, brush->Log.lbColor))));
  return 1;
}

int FrameRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
  auto dc = GetDC(handle);
  if (!dc || !rect) return 0;
  auto brush = GetObj<TBrushObj>(reinterpret_cast<HGDIOBJ>(brushHandle), TObjKind::Brush);
  if (!brush) return 0;
  TTarget t;
  if (!MakeTarget(*dc, t)) return 0;
  RECT r = ToPixels(t, *rect);
  if (RectEmpty(r) || brush->Log.lbStyle == BS_NULL) return 1;
  uint32_t raw = RawOfRgb(t.View, RgbOf(ResolveColor(*dc, brush->Log.lbColor)));
  // The drawable part only: the sums below stay in range whatever the rectangle.
  r = RECT{std::max(r.left, t.Clip.left - 1), std::max(r.top, t.Clip.top - 1), std::min(r.right, t.Clip.right + 1),
           std::min(r.bottom, t.Clip.bottom + 1)};
  if (RectEmpty(r)) return 1;
  FillArea(t, RECT{r.left, r.top, r.right, r.top + 1}, raw);
  FillArea(t, RECT{r.left, r.bottom - 1, r.right, r.bottom}, raw);
  FillArea(t, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, raw);
  FillArea(t, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, raw);
  return 1;
}

BOOL InvertRect(HDC handle, const RECT* rect) {
  auto dc = GetDC(handle);
  if (!dc || !rect) return FALSE;
  TTarget t;
  if (!MakeTarget(*dc, t)) return FALSE;
  RECT r = Intersect(t.Clip, ToPixels(t, *rect));
  uint32_t all = t.View.Bpp == 32 ? 0x00FFFFFFu : RawMask(t.View.Bpp);
  for (int y = r.top; y < r.bottom; ++y) XorSpan(t.View, y, r.left, r.right, all);
  return TRUE;
}

BOOL DrawFocusRect(HDC handle, const RECT* rect) {
  auto dc = GetDC(handle);
  if (!dc || !rect) return FALSE;
  TTarget t;
  if (!MakeTarget(*dc, t)) return FALSE;
  RECT r = ToPixels(t, *rect);
  if (RectEmpty(r)) return TRUE;
  // Borders beyond the clip are not drawn: walk only what can show.
  r = RECT{std::max(r.left, t.Clip.left - 1), std::max(r.top, t.Clip.top - 1), std::min(r.right, t.Clip.right + 1),
           std::min(r.bottom, t.Clip.bottom + 1)};
  if (RectEmpty(r)) return TRUE;
  uint32_t all = t.View.Bpp == 32 ? 0x00FFFFFFu : RawMask(t.View.Bpp);
  // Every other pixel of the border, XORed, so a second call removes it.
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) != 0) return;
    if (x < t.Clip.left || x >= t.Clip.right || y < t.Clip.top || y >= t.Clip.bottom) return;
    uint8_t* row = t.View.Row(y);
    WriteRaw(row, x, t.View.Bpp, ReadRaw(row, x, t.View.Bpp) ^ all);
  };
  for (int x = r.left; x < r.right; ++x) {
    dot(x, r.top);
    if (r.bottom - 1 != r.top) dot(x, r.bottom - 1);
  }
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    dot(r.left, y);
    if (r.right - 1 != r.left) dot(r.right - 1, y);
  }
  return TRUE;
}
