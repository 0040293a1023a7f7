// The hint window: a small yellow box with a control's hint, shown when the
// mouse rests on a control whose ShowHint is set.
#pragma once

#include <string>

#include "classlib/Controls.h"

class THintWindow : public TWinControl {
 public:
  explicit THintWindow(TComponent* owner);
  // The size the text needs, at most maxWidth wide.
  TRect CalcHintRect(int maxWidth, const std::string& hint);
  // Shows the hint at rect (screen coordinates) without taking the focus.
  void ActivateHint(const TRect& rect, const std::string& hint);
  void ReleaseHint();
  bool IsShowing() const { return FShowing; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void PaintWindow(HDC dc) override;

 private:
  bool FShowing = false;
};

// The text before the first '|' of a hint.
std::string GetShortHint(const std::string& hint);
