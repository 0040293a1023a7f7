#include "classlib/controls/Buttons.h"
#include "classlib/controls/ControlClasses.h"
#include "classlib/controls/PaintScope.h"

#include "classlib/controls/DialogKeys.h"

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner), FCanvas(this) { SetTabStop(true); }

TButtonControl::~TButtonControl() { SetParent(nullptr); }

void TButtonControl::SetDown(bool down) {
  if (FDown == down) return;
  FDown = down;
  Invalidate();
}

void TButtonControl::PaintWindow(HDC dc) {
  TPaintScope scope(FCanvas, dc);
  FCanvas.Font().Assign(&Font());
  if (!Enabled()) FCanvas.Font().SetColor(clGrayText);
  Paint();
}

void TButtonControl::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (key == VK_SPACE) {
    FSpaceDown = true;
    SetDown(true);
    key = 0;
  } else if (key && HandleDialogKey(this, key, shift)) {
    key = 0;
  }
}

void TButtonControl::KeyUp(WORD& key, TShiftState shift) {
  TWinControl::KeyUp(key, shift);
  if (key == VK_SPACE && FSpaceDown) {
    FSpaceDown = false;
    SetDown(false);
    Click();
    key = 0;
  }
}

void TButtonControl::KeyPress(char16_t& key) {
  TWinControl::KeyPress(key);
  // A button takes no text: a letter is a mnemonic.
  if (key != 0 && key != u' ' && HandleDialogChar(this, key)) key = 0;
}

void TButtonControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    FMouseDown = true;
    SetDown(true);
  }
  TWinControl::MouseDown(button, shift, x, y);
}

void TButtonControl::MouseMove(TShiftState shift, int x, int y) {
  TWinControl::MouseMove(shift, x, y);
  if (FMouseDown) SetDown(ClientRect().Contains(POINT{x, y}));
}

void TButtonControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    FMouseDown = false;
    SetDown(false);
  }
  TWinControl::MouseUp(button, shift, x, y);
}

void TButtonControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      FSpaceDown = false;
      if (!FMouseDown) SetDown(false);
      Invalidate();
      break;
    case WM_SYSCHAR:
      if (HandleDialogChar(this, static_cast<char16_t>(m.WParam))) {
        m.Result = 0;
        return;
      }
      break;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

// ---- TButton

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
  FWidth = 75;
  FHeight = 25;
}

void TButton::SetDefault(bool value) {
  FDefault = value;
  Invalidate();
}

void TButton::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(FDown ? clBtnShadow : Color());
  c.FillRect(r);
  // Flat: a one-pixel frame, two for the Default button.
  c.Brush().SetColor(FDefault || Focused() ? cl3DDkShadow : clBtnShadow);
  c.FrameRect(r);
  if (FDefault) c.FrameRect(TRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1));
  c.Brush().SetStyle(bsClear);
  SIZE text = MnemonicTextExtent(c, Caption());
  int x = (r.Width() - text.cx) / 2 + (FDown ? 1 : 0);
  int y = (r.Height() - text.cy) / 2 + (FDown ? 1 : 0);
  DrawMnemonicText(c, x, y, Caption());
  if (Focused()) c.DrawFocusRect(TRect(r.left + 3, r.top + 3, r.right - 3, r.bottom - 3));
}

// ---- TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TButtonControl(owner) {
  FWidth = 97;
  FHeight = 17;
}

void TCheckBox::SetState(TCheckBoxState state) {
  if (state == FState) return;
  FState = state;
  Invalidate();
  TControl::Click();
}

void TCheckBox::Click() {
  switch (FState) {
    case cbUnchecked: SetState(cbChecked); break;
    case cbChecked: SetState(AllowGrayed ? cbGrayed : cbUnchecked); break;
    case cbGrayed: SetState(cbUnchecked); break;
  }
}

void TCheckBox::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(r);
  const int box = 13;
  int top = (r.Height() - box) / 2;
  TRect b(0, top, box, top + box);
  c.Brush().SetColor(FDown ? clBtnFace : clWindow);
  c.FillRect(b);
  c.Brush().SetColor(clBtnShadow);
  c.FrameRect(b);
  if (FState != cbUnchecked) {
    TColor mark = FState == cbGrayed ? clGrayText : Enabled() ? clWindowText : clGrayText;
    c.Pen().SetColor(mark);
    for (int d = 0; d < 3; ++d) {  // a three-pixel tick
      c.MoveTo(3, top + 5 + d);
      c.LineTo(5, top + 7 + d);
      c.LineTo(10, top + 2 + d);
    }
  }
  c.Brush().SetStyle(bsClear);
  SIZE text = MnemonicTextExtent(c, Caption());
  int x = box + 4, y = (r.Height() - text.cy) / 2;
  DrawMnemonicText(c, x, y, Caption());
  if (Focused()) c.DrawFocusRect(TRect(x - 1, y, x + text.cx + 1, y + text.cy));
}

namespace {
// Form resources may name the controls as soon as the program runs.
const bool kRegistered = (RegisterStandardControls(), true);
}  // namespace
