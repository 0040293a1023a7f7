// A horizontal track bar drawn by us: Min, Max, Position, tick Frequency,
// LineSize for the arrow keys and PageSize for the page keys and for clicks
// on the channel. OnChange fires on every change of Position, also one made
// in code. With the TBS_ENABLESELRANGE window style (on by default) the
// channel is drawn wide enough to show SelStart..SelEnd.
#pragma once

#include "classlib/Controls.h"

constexpr DWORD TBS_ENABLESELRANGE = 0x0020;

class TTrackBar : public TWinControl {
 public:
  explicit TTrackBar(TComponent* owner);
  ~TTrackBar() override;

  int Min() const { return FMin; }
  void SetMin(int value) { SetRange(value, std::max(value, FMax)); }
  int Max() const { return FMax; }
  void SetMax(int value) { SetRange(std::min(value, FMin), value); }
  void SetRange(int min, int max);
  // Kept within Min..Max.
  int Position() const { return FPosition; }
  void SetPosition(int value);
  int Frequency() const { return FFrequency; }
  void SetFrequency(int value);
  int LineSize = 1;
  int PageSize = 2;
  int SelStart() const { return FSelStart; }
  int SelEnd() const { return FSelEnd; }
  void SetSelection(int start, int end);
  bool SelectionRangeEnabled();
  TNotifyEvent OnChange;
  void Loaded() override;

  // The thumb's rectangle and the x of a position (client coordinates).
  TRect ThumbRect() const;
  int PositionToX(int position) const;

 protected:
  void CreateParams(TCreateParams& params) override;
  void EraseBackground(HDC) override {}
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Dispatch(TMessage& message) override;
  virtual void Changed();

 private:
  int XToPosition(int x) const;
  int ChannelLeft() const;
  int ChannelRight() const;

  TControlCanvas FCanvas;
  int FMin = 0;
  int FMax = 10;
  int FPosition = 0;
  int FFrequency = 1;
  int FSelStart = 0;
  int FSelEnd = 0;
  bool FDragging = false;
  bool FHavePosition = false;  // Position read before Min and Max
  int FLoadedPosition = 0;
  int FGrab = 0;
};
