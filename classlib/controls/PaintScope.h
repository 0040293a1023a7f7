// A control's canvas bound to the DC of a paint.
#pragma once

#include "classlib/Controls.h"

// Binds a control's canvas to the DC of a paint for the scope (dropping a
// DC the canvas asked for itself outside a paint), and unbinds it after.
class TPaintScope {
 public:
  TPaintScope(TControlCanvas& canvas, HDC dc) : FCanvas(canvas) {
    FCanvas.FreeHandle();
    FCanvas.SetHandle(dc);
  }
  ~TPaintScope() { FCanvas.SetHandle(nullptr); }
  TPaintScope(const TPaintScope&) = delete;
  TPaintScope& operator=(const TPaintScope&) = delete;

 private:
  TControlCanvas& FCanvas;
};
