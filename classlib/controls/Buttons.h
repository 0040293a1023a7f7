// Push buttons and check boxes, drawn by us. A caption's "&" marks its
// mnemonic. Space presses the focused one; a Default button is pressed by
// Enter anywhere in its form, a Cancel button by Escape.
#pragma once

#include "classlib/Controls.h"

class TButtonControl : public TWinControl {
 public:
  explicit TButtonControl(TComponent* owner);
  ~TButtonControl() override;
  TCanvas& Canvas() { return FCanvas; }

 protected:
  void EraseBackground(HDC) override {}
  void PaintWindow(HDC dc) override;
  virtual void Paint() = 0;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void KeyPress(char16_t& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Dispatch(TMessage& message) override;
  void SetDown(bool down);
  bool FDown = false;  // drawn pressed

 private:
  TControlCanvas FCanvas;
  bool FSpaceDown = false;
  bool FMouseDown = false;
};

class TButton : public TButtonControl {
 public:
  explicit TButton(TComponent* owner);
  ~TButton() override { SetParent(nullptr); }
  bool Default() const { return FDefault; }
  void SetDefault(bool value);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool value) { FCancel = value; }
  int ModalResult = 0;

 protected:
  void Paint() override;

 private:
  bool FDefault = false;
  bool FCancel = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TButtonControl {
 public:
  explicit TCheckBox(TComponent* owner);
  ~TCheckBox() override { SetParent(nullptr); }
  bool Checked() const { return FState == cbChecked; }
  // A change, by the user or in code, fires OnClick.
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return FState; }
  void SetState(TCheckBoxState state);
  bool AllowGrayed = false;
  // The user's click: the next state, then OnClick.
  void Click() override;

 protected:
  void Paint() override;

 private:
  TCheckBoxState FState = cbUnchecked;
};
