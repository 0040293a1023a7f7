#include "classlib/controls/ScrollBar.h"

#include <algorithm>

#include "platform/Windows.h"

int TInnerScrollBar::DefaultWidth() {
  int w = GetSystemMetrics(SM_CXVSCROLL);
  return w > 0 ? w : 16;
}

void TInnerScrollBar::SetRange(int max, int page, int position) {
  FMax = std::max(0, max);
  FPage = std::max(1, page);
  FPosition = std::clamp(position, 0, FMax);
}

int TInnerScrollBar::ArrowHeight() const { return std::min<int>(FBounds.Width(), FBounds.Height() / 2); }

TRect TInnerScrollBar::ThumbRect() const {
  int arrow = ArrowHeight();
  int track = FBounds.Height() - 2 * arrow;
  if (track <= 0 || FMax <= 0) return TRect();
  // 64-bit: hundreds of thousands of rows times a track height.
  int64_t total = static_cast<int64_t>(FMax) + FPage;
  int thumb = static_cast<int>(std::max<int64_t>(std::min(8, track), track * static_cast<int64_t>(FPage) / total));
  int room = track - thumb;
  int top = FBounds.top + arrow + static_cast<int>(room * static_cast<int64_t>(FPosition) / FMax);
  return TRect(FBounds.left, top, FBounds.right, top + thumb);
}

int TInnerScrollBar::PositionAtThumb(int thumbTop) const {
  int arrow = ArrowHeight();
  TRect thumb = ThumbRect();
  int room = FBounds.Height() - 2 * arrow - thumb.Height();
  if (room <= 0) return FPosition;
  int offset = std::clamp(thumbTop - (FBounds.top + arrow), 0, room);
  return static_cast<int>((static_cast<int64_t>(offset) * FMax + room / 2) / room);
}

TInnerScrollBar::THit TInnerScrollBar::HitTest(POINT p) const {
  if (!FBounds.Contains(p)) return shNone;
  int arrow = ArrowHeight();
  if (p.y < FBounds.top + arrow) return shLineUp;
  if (p.y >= FBounds.bottom - arrow) return shLineDown;
  TRect thumb = ThumbRect();
  if (thumb.IsEmpty()) return shNone;
  if (p.y < thumb.top) return shPageUp;
  if (p.y >= thumb.bottom) return shPageDown;
  return shThumb;
}

namespace {

void Box(TCanvas& canvas, const TRect& r, bool pressed) {
  canvas.Brush().SetColor(pressed ? clBtnShadow : clBtnFace);
  canvas.FillRect(r);
  canvas.Brush().SetColor(clBtnShadow);
  canvas.FrameRect(r);
}

// A small filled triangle pointing up or down, centred in r.
void Arrow(TCanvas& canvas, const TRect& r, bool up) {
  int cx = r.left + r.Width() / 2, cy = r.top + r.Height() / 2;
  canvas.Pen().SetColor(clBtnText);
  for (int k = 0; k < 4; ++k) {
    int y = up ? cy - 2 + k : cy + 1 - k;
    canvas.MoveTo(cx - k, y);
    canvas.LineTo(cx + k + 1, y);
  }
}

}  // namespace

void TInnerScrollBar::Paint(TCanvas& canvas, THit pressed) const {
  if (FBounds.IsEmpty()) return;
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(cl3DLight);
  canvas.FillRect(FBounds);
  int arrow = ArrowHeight();
  TRect up(FBounds.left, FBounds.top, FBounds.right, FBounds.top + arrow);
  TRect down(FBounds.left, FBounds.bottom - arrow, FBounds.right, FBounds.bottom);
  Box(canvas, up, pressed == shLineUp);
  Box(canvas, down, pressed == shLineDown);
  Arrow(canvas, up, true);
  Arrow(canvas, down, false);
  TRect thumb = ThumbRect();
  if (!thumb.IsEmpty()) Box(canvas, thumb, pressed == shThumb);
}
