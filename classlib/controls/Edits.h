// Single-line edits, drawn by us: TEdit (UTF-8 Text) and TWideEdit (UTF-16
// Text). Caret and selection by mouse and by Shift with the arrows, Home and
// End, Backspace and Delete (with Ctrl a word at a time), Ctrl+A, Ctrl+C,
// Ctrl+X, Ctrl+V; text from an input method arrives as a run of WM_CHAR
// units, inserted as one change.
#pragma once

#include <memory>
#include <string>

#include "classlib/Controls.h"
#include "classlib/Forms.h"

using TBorderStyle = TFormBorderStyle;  // bsNone or bsSingle

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);
  ~TCustomEdit() override;

  const std::u16string& WideText() const { return FBuffer; }
  void SetWideText(const std::u16string& text);
  void SetText(const std::string& text) override;

  // Positions and lengths count UTF-16 units.
  int SelStart() const { return std::min(FAnchor, FCaret); }
  int SelLength() const { return std::abs(FCaret - FAnchor); }
  void SetSelStart(int start);
  void SetSelLength(int length);
  std::u16string SelText() const;
  void SetSelText(const std::u16string& text);
  void SelectAll();
  void ClearSelection() { SetSelText(u""); }
  int CaretPos() const { return FCaret; }

  int MaxLength() const { return FMaxLength; }  // 0: no limit
  void SetMaxLength(int length) { FMaxLength = std::max(0, length); }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value) { FReadOnly = value; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle style);
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool value) { FAutoSelect = value; }

  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();

  TNotifyEvent OnChange;

 protected:
  void EraseBackground(HDC) override {}
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char16_t& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;
  void Dispatch(TMessage& message) override;
  virtual void Change();

 private:
  void Replace(int from, int to, const std::u16string& text);
  void Insert(const std::u16string& text);
  void CharRun(TMessage& first);
  void MoveCaret(int position, bool extend);
  int PositionAt(int x);
  int TextLeft() const;
  int UnitsWidth(int from, int to);
  int LineHeight();
  TCanvas& Measure();
  void ScrollToCaret();
  int WordLeft(int from) const;
  int WordRight(int from) const;
  int Step(int from, int direction) const;  // keeps surrogate pairs whole

  std::u16string FBuffer;
  char16_t FPendingHigh = 0;
  std::u16string* FRun = nullptr;  // a run of WM_CHAR being gathered
  int FCaret = 0;
  int FAnchor = 0;
  int FMaxLength = 0;
  int FScroll = 0;  // pixels of text scrolled out at the left
  bool FReadOnly = false;
  bool FAutoSelect = true;
  bool FSelecting = false;
  bool FSyncing = false;
  TBorderStyle FBorderStyle = bsSingle;
  TControlCanvas FCanvas;
  std::unique_ptr<TCanvas> FMeasure;
  HDC FMeasureDC = nullptr;
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

class TWideEdit : public TCustomEdit {
 public:
  explicit TWideEdit(TComponent* owner) : TCustomEdit(owner) {}
  const std::u16string& Text() const { return WideText(); }
  void SetText(const std::u16string& text) { SetWideText(text); }
  void SetText(const std::string& text) override { TCustomEdit::SetText(text); }
};
