// A vertical scroll bar drawn inside a control's client area: arrows, track
// and a thumb sized to the visible part. The owner feeds it the mouse and
// asks it where a position lies; it owns no window.
#pragma once

#include "classlib/Graphics.h"

class TInnerScrollBar {
 public:
  enum THit { shNone, shLineUp, shLineDown, shPageUp, shPageDown, shThumb };

  static int DefaultWidth();

  // The bar's rectangle in the owner's client coordinates.
  void SetBounds(const TRect& r) { FBounds = r; }
  const TRect& Bounds() const { return FBounds; }
  // Positions run from 0 to `max` (the last top position); `page` is the
  // number of positions visible at once.
  void SetRange(int max, int page, int position);
  int Position() const { return FPosition; }

  THit HitTest(POINT p) const;
  // Position for a thumb dragged so that its top is `thumbTop` (client y).
  int PositionAtThumb(int thumbTop) const;
  TRect ThumbRect() const;
  void Paint(TCanvas& canvas, THit pressed) const;

 private:
  int ArrowHeight() const;
  TRect FBounds;
  int FMax = 0;
  int FPage = 1;
  int FPosition = 0;
};
