#include "classlib/ExtCtrls.h"

#include <algorithm>

// ---- TPaintBox

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  SetParentColor(true);
}

void TPaintBox::Paint() {
  Canvas().Font().Assign(&Font());
  Canvas().Brush().SetColor(Color());
  if (OnPaint) OnPaint(this);
}

// ---- TImage

TImage::TImage(TComponent* owner) : TGraphicControl(owner), FPicture(std::make_unique<TPicture>()) {
  SetBounds(0, 0, 105, 105);
  FPicture->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() { FPicture->OnChange = nullptr; }

void TImage::PictureChanged() {
  if (TGraphic* g = FPicture->Graphic()) {
    if (FTransparent != g->Transparent() && !dynamic_cast<TIcon*>(g)) {
      // The image's Transparent is the graphic's; keep them together.
      auto change = g->OnChange;
      g->OnChange = nullptr;
      g->SetTransparent(FTransparent);
      g->OnChange = change;
    }
    if (FAutoSize && g->Width() > 0 && g->Height() > 0) SetBounds(Left(), Top(), g->Width(), g->Height());
  }
  Invalidate();
}

TRect TImage::DestRect() {
  TGraphic* g = FPicture->Graphic();
  int pw = g ? g->Width() : 0, ph = g ? g->Height() : 0;
  int cw = Width(), ch = Height();
  int w = pw, h = ph;
  if (FStretch || (FProportional && (pw > cw || ph > ch))) {
    if (FProportional && pw > 0 && ph > 0) {
      // The larger side fills, the other keeps the picture's proportions.
      if (static_cast<int64_t>(cw) * ph > static_cast<int64_t>(ch) * pw) {
        h = ch;
        w = static_cast<int>(static_cast<int64_t>(pw) * ch / ph);
      } else {
        w = cw;
        h = static_cast<int>(static_cast<int64_t>(ph) * cw / pw);
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r = Rect(0, 0, w, h);
  if (FCenter) {
    r.left = (cw - w) / 2;
    r.top = (ch - h) / 2;
    r.right = r.left + w;
    r.bottom = r.top + h;
  }
  return r;
}

void TImage::Paint() {
  TGraphic* g = FPicture->Graphic();
  if (!g || g->Empty()) return;
  Canvas().StretchDraw(DestRect(), g);
}

void TImage::SetStretch(bool value) {
  FStretch = value;
  Invalidate();
}

void TImage::SetCenter(bool value) {
  FCenter = value;
  Invalidate();
}

void TImage::SetProportional(bool value) {
  FProportional = value;
  Invalidate();
}

void TImage::SetTransparent(bool value) {
  FTransparent = value;
  PictureChanged();
}

void TImage::SetAutoSize(bool value) {
  FAutoSize = value;
  PictureChanged();
}

// ---- TBevel

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 50, 50); }

void TBevel::SetShape(TBevelShape shape) {
  FShape = shape;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle style) {
  FStyle = style;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas& c = Canvas();
  TColor dark = clBtnShadow, light = clBtnHighlight;
  if (FStyle == bsRaised) std::swap(dark, light);
  int w = Width(), h = Height();
  auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
    c.Pen().SetColor(color);
    c.Pen().SetWidth(1);
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  switch (FShape) {
    case bsBox:
      line(dark, 0, h - 1, 0, 0);
      line(dark, 0, 0, w - 1, 0);
      line(light, w - 1, 0, w - 1, h - 1);
      line(light, w - 1, h - 1, 0, h - 1);
      break;
    case bsFrame:
      c.Brush().SetStyle(bsClear);
      c.Pen().SetColor(dark);
      c.Rectangle(0, 0, w - 1, h - 1);
      c.Pen().SetColor(light);
      c.Rectangle(1, 1, w, h);
      break;
    case bsTopLine:
      line(dark, 0, 0, w, 0);
      line(light, 0, 1, w, 1);
      break;
    case bsBottomLine:
      line(dark, 0, h - 2, w, h - 2);
      line(light, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      line(dark, 0, 0, 0, h);
      line(light, 1, 0, 1, h);
      break;
    case bsRightLine:
      line(dark, w - 2, 0, w - 2, h);
      line(light, w - 1, 0, w - 1, h);
      break;
    case bsSpacer: break;
  }
}
