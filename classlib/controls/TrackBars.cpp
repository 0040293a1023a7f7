#include "classlib/controls/TrackBars.h"
#include "classlib/controls/ControlClasses.h"
#include "classlib/controls/PaintScope.h"

#include <algorithm>

#include "classlib/controls/DialogKeys.h"

namespace {
constexpr int kThumbWidth = 11;
constexpr int kThumbTop = 4;
constexpr int kThumbHeight = 20;
constexpr int kChannelTop = 10;
}  // namespace

TTrackBar::TTrackBar(TComponent* owner) : TWinControl(owner), FCanvas(this) {
  SetTabStop(true);
  FWidth = 150;
  FHeight = 45;
}

TTrackBar::~TTrackBar() { SetParent(nullptr); }

void TTrackBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= TBS_ENABLESELRANGE;
}

bool TTrackBar::SelectionRangeEnabled() {
  return (GetWindowLongA(Handle(), GWL_STYLE) & TBS_ENABLESELRANGE) != 0;
}

void TTrackBar::SetRange(int min, int max) {
  if (max < min) max = min;
  if (min == FMin && max == FMax) return;
  FMin = min;
  FMax = max;
  int clamped = std::clamp(FPosition, FMin, FMax);
  if (clamped != FPosition) {
    FPosition = clamped;
    Changed();
  }
  Invalidate();
}

void TTrackBar::Loaded() {
  TWinControl::Loaded();
  if (FHavePosition) SetPosition(FLoadedPosition);
  FHavePosition = false;
}

void TTrackBar::SetPosition(int value) {
  if (IsLoading()) {
    FHavePosition = true;
    FLoadedPosition = value;
  }
  value = std::clamp(value, FMin, FMax);
  if (value == FPosition) return;
  FPosition = value;
  Changed();
}

void TTrackBar::SetFrequency(int value) {
  FFrequency = std::max(1, value);
  Invalidate();
}

void TTrackBar::SetSelection(int start, int end) {
  FSelStart = start;
  FSelEnd = end;
  Invalidate();
}

void TTrackBar::Changed() {
  Invalidate();
  if (OnChange) OnChange(this);
}

int TTrackBar::ChannelLeft() const { return 8 + kThumbWidth / 2; }
int TTrackBar::ChannelRight() const { return std::max(ChannelLeft() + 1, Width() - 8 - kThumbWidth / 2); }

int TTrackBar::PositionToX(int position) const {
  if (FMax == FMin) return ChannelLeft();
  int64_t span = static_cast<int64_t>(FMax) - FMin;
  return ChannelLeft() + static_cast<int>((static_cast<int64_t>(position) - FMin) * (ChannelRight() - ChannelLeft()) / span);
}

int TTrackBar::XToPosition(int x) const {
  int width = ChannelRight() - ChannelLeft();
  int64_t span = static_cast<int64_t>(FMax) - FMin;
  int64_t offset = std::clamp(x - ChannelLeft(), 0, width);
  return FMin + static_cast<int>((offset * span + width / 2) / width);
}

TRect TTrackBar::ThumbRect() const {
  int x = PositionToX(FPosition);
  return TRect(x - kThumbWidth / 2, kThumbTop, x - kThumbWidth / 2 + kThumbWidth, kThumbTop + kThumbHeight);
}

void TTrackBar::PaintWindow(HDC dc) {
  TPaintScope scope(FCanvas, dc);
  TCanvas& c = FCanvas;
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(ClientRect());
  bool selRange = SelectionRangeEnabled();
  int channelHeight = selRange ? 8 : 4;
  TRect channel(ChannelLeft() - 4, kChannelTop, ChannelRight() + 4, kChannelTop + channelHeight);
  c.Brush().SetColor(clWindow);
  c.FillRect(channel);
  if (selRange && FSelEnd > FSelStart) {
    c.Brush().SetColor(clHighlight);
    c.FillRect(TRect(PositionToX(std::max(FSelStart, FMin)), kChannelTop + 1, PositionToX(std::min(FSelEnd, FMax)),
                     kChannelTop + channelHeight - 1));
  }
  c.Brush().SetColor(clBtnShadow);
  c.FrameRect(channel);
  // Ticks: every Frequency steps from Min, and one at Max.
  c.Pen().SetColor(clBtnText);
  int tickTop = kThumbTop + kThumbHeight + 2;
  for (int64_t p = FMin; p <= FMax; p += FFrequency) {
    int x = PositionToX(static_cast<int>(p));
    c.MoveTo(x, tickTop);
    c.LineTo(x, tickTop + 4);
  }
  int last = PositionToX(FMax);
  c.MoveTo(last, tickTop);
  c.LineTo(last, tickTop + 4);
  TRect thumb = ThumbRect();
  c.Brush().SetColor(FDragging ? clBtnShadow : clBtnFace);
  c.FillRect(thumb);
  c.Brush().SetColor(cl3DDkShadow);
  c.FrameRect(thumb);
  if (Focused()) c.DrawFocusRect(ClientRect());
}

void TTrackBar::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  switch (key) {
    case VK_LEFT:
    case VK_UP: SetPosition(FPosition - LineSize); break;
    case VK_RIGHT:
    case VK_DOWN: SetPosition(FPosition + LineSize); break;
    case VK_PRIOR: SetPosition(FPosition - PageSize); break;
    case VK_NEXT: SetPosition(FPosition + PageSize); break;
    case VK_HOME: SetPosition(FMin); break;
    case VK_END: SetPosition(FMax); break;
    default:
      if (key && HandleDialogKey(this, key, shift)) key = 0;
      return;
  }
  key = 0;
}

void TTrackBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (CanFocus() && !Focused()) SetFocus();
  TWinControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  TRect thumb = ThumbRect();
  if (thumb.Contains(POINT{x, y})) {
    FDragging = true;
    FGrab = x - PositionToX(FPosition);
    Invalidate();
    return;
  }
  // A click on the channel moves a page toward it.
  SetPosition(x < thumb.left ? FPosition - PageSize : FPosition + PageSize);
}

void TTrackBar::MouseMove(TShiftState shift, int x, int y) {
  TWinControl::MouseMove(shift, x, y);
  if (FDragging) SetPosition(XToPosition(x - FGrab));
}

void TTrackBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && FDragging) {
    FDragging = false;
    Invalidate();
  }
}

void TTrackBar::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_STYLECHANGED:
      Invalidate();
      break;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS;
      return;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

namespace {
// Form resources may name the controls as soon as the program runs.
const bool kRegistered = (RegisterStandardControls(), true);
}  // namespace
