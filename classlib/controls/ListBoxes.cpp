#include "classlib/controls/ListBoxes.h"
#include "classlib/controls/ControlClasses.h"
#include "classlib/controls/PaintScope.h"

#include <algorithm>

#include "classlib/controls/DialogKeys.h"

namespace {
constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kRepeatDelay = 300;
constexpr UINT kRepeatRate = 50;
constexpr int kWheelRows = 3;
}  // namespace

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner), FCanvas(this) {
  SetTabStop(true);
  SetColor(clWindow);
  FWidth = 121;  // not SetBounds: Resize would ask the items, not yet made
  FHeight = 97;
}

TCustomListBox::~TCustomListBox() {
  // Leave the parent while still a windowed control.
  SetParent(nullptr);
}

void TCustomListBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass.style |= CS_DBLCLKS;
}

int TCustomListBox::VisibleRows() const { return std::max(1, ClientHeight() / std::max(1, FItemHeight)); }

int TCustomListBox::MaxTop() const { return std::max(0, ItemCount() - VisibleRows()); }

bool TCustomListBox::ScrollBarVisible() const { return ItemCount() > VisibleRows(); }

TRect TCustomListBox::ItemRect(int index) const {
  int width = ClientWidth() - (ScrollBarVisible() ? TInnerScrollBar::DefaultWidth() : 0);
  int top = (index - FTopIndex) * FItemHeight;
  return TRect(0, top, width, top + FItemHeight);
}

int TCustomListBox::ItemAtPos(POINT p, bool existing) const {
  int width = ClientWidth() - (ScrollBarVisible() ? TInnerScrollBar::DefaultWidth() : 0);
  if (p.x < 0 || p.x >= width || p.y < 0 || p.y >= ClientHeight()) return -1;
  int index = FTopIndex + p.y / std::max(1, FItemHeight);
  if (index < ItemCount()) return index;
  return existing ? -1 : ItemCount();
}

void TCustomListBox::SetItemHeight(int height) {
  if (height <= 0 || height == FItemHeight) return;
  FItemHeight = height;
  SetTopIndex(FTopIndex);
  LayoutScrollBar();
  Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle style) {
  FStyle = style;
  Invalidate();
}

void TCustomListBox::SetItemIndex(int index) {
  if (index < -1 || index >= ItemCount()) index = -1;
  if (index == FItemIndex) return;
  InvalidateItem(FItemIndex);
  FItemIndex = index;
  InvalidateItem(FItemIndex);
  ScrollIntoView(index);
}

void TCustomListBox::SetTopIndex(int index) {
  index = std::clamp(index, 0, MaxTop());
  if (index == FTopIndex) return;
  FTopIndex = index;
  LayoutScrollBar();
  Invalidate();
}

void TCustomListBox::ScrollIntoView(int index) {
  if (index < 0) return;
  if (index < FTopIndex)
    SetTopIndex(index);
  else if (index >= FTopIndex + VisibleRows())
    SetTopIndex(index - VisibleRows() + 1);
}

void TCustomListBox::LayoutScrollBar() {
  if (ScrollBarVisible()) {
    int w = TInnerScrollBar::DefaultWidth();
    FScrollBar.SetBounds(TRect(ClientWidth() - w, 0, ClientWidth(), ClientHeight()));
  } else {
    FScrollBar.SetBounds(TRect());
  }
  FScrollBar.SetRange(MaxTop(), VisibleRows(), FTopIndex);
}

void TCustomListBox::InvalidateItem(int index) {
  if (index < FTopIndex || index > FTopIndex + VisibleRows() || !HandleAllocated() || FUpdating) return;
  RECT r = ItemRect(index);
  InvalidateRect(Handle(), &r, FALSE);
}

void TCustomListBox::InvalidateScrollBar() {
  // Adding items one by one asks for this each time: once until painted.
  if (!HandleAllocated() || FUpdating || FScrollBarInvalid) return;
  RECT r = FScrollBar.Bounds();
  InvalidateRect(Handle(), &r, FALSE);
  FScrollBarInvalid = true;
}

void TCustomListBox::ItemsInserted(int index) {
  if (FItemIndex >= index) ++FItemIndex;
  if (FUpdating) {
    FPendingLayout = true;
    return;
  }
  bool hadBar = !FScrollBar.Bounds().IsEmpty();
  LayoutScrollBar();
  if (hadBar != ScrollBarVisible()) {
    Invalidate();  // the item width changed
  } else {
    InvalidateScrollBar();
    if (index <= FTopIndex + VisibleRows() && HandleAllocated()) {
      // The rows from the new one down move.
      RECT r = ItemRect(std::max(index, FTopIndex));
      r.bottom = ClientHeight();
      InvalidateRect(Handle(), &r, FALSE);
    }
  }
}

void TCustomListBox::ItemsDeleted(int index) {
  if (FItemIndex == index)
    FItemIndex = -1;
  else if (FItemIndex > index)
    --FItemIndex;
  FTopIndex = std::min(FTopIndex, MaxTop());
  if (FUpdating) {
    FPendingLayout = true;
    return;
  }
  LayoutScrollBar();
  Invalidate();
}

void TCustomListBox::ItemsCleared() {
  FItemIndex = -1;
  FTopIndex = 0;
  if (FUpdating) {
    FPendingLayout = true;
    return;
  }
  LayoutScrollBar();
  Invalidate();
}

void TCustomListBox::ItemChanged(int index) { InvalidateItem(index); }

void TCustomListBox::EndItemsUpdate() {
  if (!FPendingLayout) return;
  FPendingLayout = false;
  FTopIndex = std::min(FTopIndex, MaxTop());
  LayoutScrollBar();
  Invalidate();
}

void TCustomListBox::Resize() {
  FTopIndex = std::min(FTopIndex, MaxTop());
  LayoutScrollBar();
  Invalidate();
  TWinControl::Resize();
}

void TCustomListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (state & odSelected) {
    FCanvas.Brush().SetColor(clHighlight);
    FCanvas.Font().SetColor(clHighlightText);
  } else {
    FCanvas.Brush().SetColor(Color());
    FCanvas.Font().SetColor(Font().Color());
  }
  FCanvas.Brush().SetStyle(bsSolid);
  // An owner-drawing handler paints the whole item, its focus mark included.
  if (FStyle != lbStandard && OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  FCanvas.FillRect(rect);
  DrawItemText(index, rect);
  if (state & odFocused) FCanvas.DrawFocusRect(rect);
}

void TCustomListBox::PaintWindow(HDC dc) {
  TPaintScope scope(FCanvas, dc);
  FScrollBarInvalid = false;
  FCanvas.Font().Assign(&Font());
  RECT clip{};
  GetClipBox(dc, &clip);
  const int count = ItemCount();
  const int width = ClientWidth() - (ScrollBarVisible() ? TInnerScrollBar::DefaultWidth() : 0);
  // Only the rows the paint touches: independent of the item count.
  int first = FTopIndex + std::max<int>(0, clip.top) / FItemHeight;
  int last = std::min<int>(count - 1, FTopIndex + (std::max<int>(0, clip.bottom) - 1) / FItemHeight);
  bool focused = Focused();
  int saved = SaveDC(dc);
  IntersectClipRect(dc, 0, 0, width, ClientHeight());
  for (int i = first; i <= last; ++i) {
    TOwnerDrawState state = 0;
    if (i == FItemIndex) state |= odSelected;
    if (focused && i == FItemIndex) state |= odFocused;
    if (!Enabled()) state |= odDisabled | odGrayed;
    DrawItem(i, ItemRect(i), state);
  }
  int below = (std::max(first, last + 1) - FTopIndex) * FItemHeight;
  if (count == 0) below = 0;
  if (below < ClientHeight()) {
    FCanvas.Brush().SetStyle(bsSolid);
    FCanvas.Brush().SetColor(Color());
    FCanvas.FillRect(TRect(0, below, width, ClientHeight()));
    // An empty focused list shows its focus on the first row.
    if (focused && count == 0) FCanvas.DrawFocusRect(TRect(0, 0, width, FItemHeight));
  }
  RestoreDC(dc, saved);
  if (ScrollBarVisible()) FScrollBar.Paint(FCanvas, FPressed);
}

void TCustomListBox::SelectByUser(int index) {
  if (index < 0 || index >= ItemCount()) return;
  if (index == FItemIndex) {
    ScrollIntoView(index);
    return;
  }
  SetItemIndex(index);
  TControl::Click();
}

void TCustomListBox::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if ((key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE) && HandleDialogKey(this, key, shift)) {
    key = 0;
    return;
  }
  const int count = ItemCount();
  if (count == 0) return;
  int current = FItemIndex;
  int page = std::max(1, VisibleRows() - 1);
  int target;
  switch (key) {
    case VK_UP: target = current < 0 ? 0 : current - 1; break;
    case VK_DOWN: target = current + 1; break;
    case VK_PRIOR: target = current < 0 ? 0 : current - page; break;
    case VK_NEXT: target = current < 0 ? page : current + page; break;
    case VK_HOME: target = 0; break;
    case VK_END: target = count - 1; break;
    default: return;
  }
  SelectByUser(std::clamp(target, 0, count - 1));
  key = 0;
}

void TCustomListBox::ScrollBarAction(TInnerScrollBar::THit hit) {
  int page = std::max(1, VisibleRows() - 1);
  switch (hit) {
    case TInnerScrollBar::shLineUp: SetTopIndex(FTopIndex - 1); break;
    case TInnerScrollBar::shLineDown: SetTopIndex(FTopIndex + 1); break;
    case TInnerScrollBar::shPageUp: SetTopIndex(FTopIndex - page); break;
    case TInnerScrollBar::shPageDown: SetTopIndex(FTopIndex + page); break;
    default: break;
  }
}

void TCustomListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (CanFocus() && !Focused()) SetFocus();
  TWinControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  POINT p{x, y};
  if (ScrollBarVisible()) {
    TInnerScrollBar::THit hit = FScrollBar.HitTest(p);
    if (hit != TInnerScrollBar::shNone) {
      FPressed = hit;
      if (hit == TInnerScrollBar::shThumb) {
        FThumbGrab = y - FScrollBar.ThumbRect().top;
      } else {
        ScrollBarAction(hit);
        SetTimer(Handle(), kRepeatTimer, kRepeatDelay, nullptr);
      }
      InvalidateScrollBar();
      return;
    }
  }
  int index = ItemAtPos(p, true);
  if (index >= 0) {
    FSelecting = true;
    SelectByUser(index);
  }
}

void TCustomListBox::MouseMove(TShiftState shift, int x, int y) {
  TWinControl::MouseMove(shift, x, y);
  if (FPressed == TInnerScrollBar::shThumb) {
    SetTopIndex(FScrollBar.PositionAtThumb(y - FThumbGrab));
  } else if (FSelecting && (shift & ssLeft)) {
    // Dragging past the edges scrolls on.
    int index = y < 0 ? FTopIndex - 1 : y >= ClientHeight() ? FTopIndex + VisibleRows() : ItemAtPos({0, y}, true);
    if (index >= 0) SelectByUser(std::min(index, ItemCount() - 1));
  }
}

void TCustomListBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseUp(button, shift, x, y);
  if (button != mbLeft) return;
  if (FPressed != TInnerScrollBar::shNone) {
    KillTimer(Handle(), kRepeatTimer);
    FPressed = TInnerScrollBar::shNone;
    InvalidateScrollBar();
  }
  FSelecting = false;
}

void TCustomListBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_TIMER:
      if (m.WParam == kRepeatTimer) {
        POINT p{};
        GetCursorPos(&p);
        p = ScreenToClient(p);
        if (FPressed != TInnerScrollBar::shNone && FScrollBar.HitTest(p) == FPressed) ScrollBarAction(FPressed);
        SetTimer(Handle(), kRepeatTimer, kRepeatRate, nullptr);
        return;
      }
      break;
    case WM_MOUSEWHEEL: {
      int delta = static_cast<SHORT>(HIWORD(m.WParam));
      SetTopIndex(FTopIndex - delta / WHEEL_DELTA * kWheelRows);
      m.Result = 0;
      return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateItem(FItemIndex);
      if (ItemCount() == 0) Invalidate();
      break;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS;
      return;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

void TListBox::DrawItemText(int index, const TRect& rect) {
  Canvas().Brush().SetStyle(bsClear);
  Canvas().TextRect(rect, rect.left + 2, rect.top, Items().Strings(index));
}

void TWideListBox::DrawItemText(int index, const TRect& rect) {
  Canvas().Brush().SetStyle(bsClear);
  Canvas().WideTextRect(rect, rect.left + 2, rect.top, Items().Strings(index));
}

namespace {
// Form resources may name the controls as soon as the program runs.
const bool kRegistered = (RegisterStandardControls(), true);
}  // namespace
