#include "common/DrawUtils.h"

#include <cstddef>
#include <memory>

uint8_t BlendChannel(uint8_t a, uint8_t b, long double r) {
  if (a < b) return static_cast<uint8_t>(a + static_cast<int>((b - a) * r));
  if (a > b) return static_cast<uint8_t>(a - static_cast<int>((a - b) * r));
  return a;
}

COLORREF ColorBetween(COLORREF a, COLORREF b, long double pos, long double min, long double max) {
  if (pos <= min) return a;
  if (pos >= max) return b;
  if (a == b) return a;
  const long double r = (pos - min) / (max - min);
  return RGB(BlendChannel(GetRValue(a), GetRValue(b), r), BlendChannel(GetGValue(a), GetGValue(b), r),
             BlendChannel(GetBValue(a), GetBValue(b), r));
}

namespace {

// The colour of line p of L + 1 lines, n = L div 2.
COLORREF GradientColor(COLORREF c1, COLORREF c2, int p, int L, int n, bool firstHalf, uint8_t style) {
  switch (style) {
    case 0:
      return ColorBetween(c1, c2, p, 0, L);
    case 1:
      return firstHalf ? ColorBetween(c1, c2, p, 0, n) : ColorBetween(c2, c1, p, n + 1, L);
    case 2:
      return firstHalf ? ColorBetween(c1, c2, p, 0, L / 5 + n) : ColorBetween(c2, c1, p, n + 1, 2 * L + L / 4);
    default:
      return firstHalf ? ColorBetween(c1, c2, p, 0, L / 5 + n) : ColorBetween(c1, c2, p, -L, L);
  }
}

}  // namespace

void DrawGradient(TCanvas& canvas, const TRect& rect, TColor color1, TColor color2, uint8_t direction,
                  uint8_t style) {
  const int W = rect.right - rect.left;
  const int H = rect.bottom - rect.top;
  if (W < 1 || H < 1) return;

  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(W, H);
  TCanvas& out = bitmap->Canvas();
  const COLORREF c1 = ColorToRGB(color1);
  const COLORREF c2 = ColorToRGB(color2);

  if (direction <= 5 && style <= 3) {
    const int L = direction == 0 ? W : direction == 1 ? H : W + H;
    const int n = L / 2;
    const bool fromRight = direction == 3 || direction == 5;
    for (int p = 0; p <= L; ++p) {
      const bool firstHalf = fromRight ? p <= L - n : p < n;
      out.Pen().SetColor(static_cast<TColor>(GradientColor(c1, c2, p, L, n, firstHalf, style)));
      switch (direction) {
        case 0:
          out.MoveTo(p, 0);
          out.LineTo(p, H);
          break;
        case 1:
          out.MoveTo(0, p);
          out.LineTo(W, p);
          break;
        case 2:
          out.MoveTo(p, 0);
          out.LineTo(p - H, H);
          break;
        case 3:
          out.MoveTo(W - p, 0);
          out.LineTo(W - p + H, H);
          break;
        // Lines that run upwards end one pixel above the rectangle: a line's
        // end point is not set, and the top row would stay unpainted.
        case 4:
          out.MoveTo(p, H);
          out.LineTo(p - H - 1, -1);
          break;
        default:
          out.MoveTo(W - p, H);
          out.LineTo(W - p + H + 1, -1);
          break;
      }
    }
  }
  canvas.CopyRect(rect, out, TRect(0, 0, W, H));
}

void PremultiplyAlpha(TBitmap& bitmap) {
  if (bitmap.PixelFormat() != pf32bit || bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  // Rows may be stored bottom-up: step from row to row by the pitch the
  // bitmap itself shows.
  auto* row = static_cast<uint8_t*>(bitmap.ScanLine(0));
  const std::ptrdiff_t pitch =
      bitmap.Height() > 1 ? static_cast<uint8_t*>(bitmap.ScanLine(1)) - row : 0;
  const int width = bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y, row += pitch) {
    uint8_t* p = row;
    for (int x = 0; x < width; ++x, p += 4) {
      const unsigned a = p[3];
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * a + 127) / 255);
    }
  }
}
