#include "classlib/StdCtrls.h"

#include "classlib/SysUtils.h"

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

UINT TLabel::DrawFlags() const {
  UINT f = DT_EXPANDTABS;
  if (FAlignment == taCenter) f |= DT_CENTER;
  else if (FAlignment == taRightJustify) f |= DT_RIGHT;
  if (FWordWrap) f |= DT_WORDBREAK;
  if (!FShowAccelChar) f |= DT_NOPREFIX;
  return f;
}

void TLabel::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  if (!FTransparent) {
    c.Brush().SetColor(Color());
    c.FillRect(r);
  }
  c.Brush().SetStyle(bsClear);
  c.Font().Assign(&Font());
  if (!Enabled()) c.Font().SetColor(clGrayText);
  std::u16string text = UTF8Decode(Caption());
  if (text.empty()) return;
  UINT flags = DrawFlags();
  if (FLayout != tlTop) {
    TRect calc = r;
    DrawTextW(c.Handle(), text.c_str(), static_cast<int>(text.size()), &calc, flags | DT_CALCRECT);
    int dy = r.Height() - calc.Height();
    r.top += FLayout == tlCenter ? dy / 2 : dy;
  }
  SetTextColor(c.Handle(), ColorToRGB(c.Font().Color()));
  SetBkMode(c.Handle(), TRANSPARENT);
  DrawTextW(c.Handle(), text.c_str(), static_cast<int>(text.size()), &r, flags);
}

void TLabel::AdjustBounds() {
  if (!FAutoSize || IsLoading()) return;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(Font().Handle()));
  std::u16string text = UTF8Decode(Caption().empty() ? std::string(" ") : Caption());
  TRect r = Rect(0, 0, FWordWrap ? Width() : 0, 0);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DrawFlags() | DT_CALCRECT);
  SelectObject(dc, old);
  DeleteDC(dc);
  // A right-aligned label keeps its right edge.
  int left = FAlignment == taRightJustify && !FWordWrap ? Left() + Width() - r.Width() : Left();
  SetBounds(left, Top(), r.Width(), r.Height());
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::TextChanged() {
  AdjustBounds();
  Invalidate();
}

void TLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

void TLabel::SetAlignment(TAlignment a) {
  if (a == FAlignment) return;
  FAlignment = a;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout l) {
  if (l == FLayout) return;
  FLayout = l;
  Invalidate();
}

void TLabel::SetAutoSize(bool value) {
  if (value == FAutoSize) return;
  FAutoSize = value;
  AdjustBounds();
}

void TLabel::SetTransparent(bool value) {
  if (value == FTransparent) return;
  FTransparent = value;
  Invalidate();
}

void TLabel::SetWordWrap(bool value) {
  if (value == FWordWrap) return;
  FWordWrap = value;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetShowAccelChar(bool value) {
  if (value == FShowAccelChar) return;
  FShowAccelChar = value;
  AdjustBounds();
  Invalidate();
}
