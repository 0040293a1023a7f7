#include "classlib/controls/Edits.h"
#include "classlib/controls/ControlClasses.h"
#include "classlib/controls/PaintScope.h"

#include <algorithm>
#include <cstdlib>

#include "classlib/controls/DialogKeys.h"
#include "classlib/controls/TextUnits.h"

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsWordUnit(char16_t c) {
  return !(c == u' ' || c == u'\t' || c == u'.' || c == u',' || c == u';' || c == u':' || c == u'/' ||
           c == u'\\' || c == u'-' || c == u'(' || c == u')' || c == u'"' || c == u'\'' || c == u'\u3000');
}

constexpr int kPadding = 2;

}  // namespace

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner), FCanvas(this) {
  SetTabStop(true);
  SetColor(clWindow);
  SetCursor(crIBeam);
  SetBounds(0, 0, 121, 21);
}

TCustomEdit::~TCustomEdit() {
  // Leave the parent while still a windowed control.
  SetParent(nullptr);
  if (FMeasure) {
    FMeasure->SetHandle(nullptr);
    DeleteDC(FMeasureDC);
  }
}

void TCustomEdit::SetBorderStyle(TBorderStyle style) {
  FBorderStyle = style == bsNone ? bsNone : bsSingle;
  Invalidate();
}

void TCustomEdit::SetText(const std::string& text) {
  if (FSyncing) {
    TWinControl::SetText(text);
    return;
  }
  SetWideText(Utf8ToUtf16(text));
}

void TCustomEdit::SetWideText(const std::u16string& text) {
  std::u16string value = text;
  if (FMaxLength > 0 && static_cast<int>(value.size()) > FMaxLength) value.resize(static_cast<size_t>(FMaxLength));
  bool changed = value != FBuffer;
  FBuffer = value;
  FCaret = FAnchor = 0;
  FScroll = 0;
  if (changed) Change();
  Invalidate();
}

void TCustomEdit::Change() {
  FSyncing = true;
  try {
    TWinControl::SetText(Utf16ToUtf8(FBuffer));
  } catch (...) {
    FSyncing = false;
    throw;
  }
  FSyncing = false;
  Invalidate();
  if (OnChange) OnChange(this);
}

void TCustomEdit::SetSelStart(int start) {
  start = std::clamp(start, 0, static_cast<int>(FBuffer.size()));
  FCaret = FAnchor = start;
  ScrollToCaret();
  Invalidate();
}

void TCustomEdit::SetSelLength(int length) {
  int start = SelStart();
  FAnchor = start;
  FCaret = std::clamp(start + length, 0, static_cast<int>(FBuffer.size()));
  ScrollToCaret();
  Invalidate();
}

std::u16string TCustomEdit::SelText() const {
  return FBuffer.substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength()));
}

void TCustomEdit::SetSelText(const std::u16string& text) { Replace(SelStart(), SelStart() + SelLength(), text); }

void TCustomEdit::SelectAll() {
  FAnchor = 0;
  FCaret = static_cast<int>(FBuffer.size());
  Invalidate();
}

void TCustomEdit::Replace(int from, int to, const std::u16string& text) {
  std::u16string insert = text;
  if (FMaxLength > 0) {
    int room = FMaxLength - (static_cast<int>(FBuffer.size()) - (to - from));
    if (room < static_cast<int>(insert.size())) {
      insert.resize(static_cast<size_t>(std::max(0, room)));
      if (!insert.empty() && IsHigh(insert.back())) insert.pop_back();  // no half pair
      if (insert.empty() && from == to) return;
    }
  }
  if (from == to && insert.empty()) return;
  FBuffer.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), insert);
  FCaret = FAnchor = from + static_cast<int>(insert.size());
  ScrollToCaret();
  Change();
}

int TCustomEdit::Step(int from, int direction) const {
  const int n = static_cast<int>(FBuffer.size());
  if (direction < 0) {
    if (from <= 0) return 0;
    int p = from - 1;
    if (p > 0 && IsLow(FBuffer[static_cast<size_t>(p)]) && IsHigh(FBuffer[static_cast<size_t>(p - 1)])) --p;
    return p;
  }
  if (from >= n) return n;
  int p = from + 1;
  if (p < n && IsHigh(FBuffer[static_cast<size_t>(from)]) && IsLow(FBuffer[static_cast<size_t>(p)])) ++p;
  return p;
}

int TCustomEdit::WordLeft(int from) const {
  int p = from;
  while (p > 0 && !IsWordUnit(FBuffer[static_cast<size_t>(p - 1)])) --p;
  while (p > 0 && IsWordUnit(FBuffer[static_cast<size_t>(p - 1)])) --p;
  return p;
}

int TCustomEdit::WordRight(int from) const {
  const int n = static_cast<int>(FBuffer.size());
  int p = from;
  while (p < n && IsWordUnit(FBuffer[static_cast<size_t>(p)])) ++p;
  while (p < n && !IsWordUnit(FBuffer[static_cast<size_t>(p)])) ++p;
  return p;
}

void TCustomEdit::MoveCaret(int position, bool extend) {
  FCaret = std::clamp(position, 0, static_cast<int>(FBuffer.size()));
  if (!extend) FAnchor = FCaret;
  ScrollToCaret();
  Invalidate();
}

void TCustomEdit::CopyToClipboard() {
  if (SelLength() > 0) SetClipboardText(SelText());
}

void TCustomEdit::CutToClipboard() {
  if (FReadOnly || SelLength() == 0) return;
  CopyToClipboard();
  ClearSelection();
}

void TCustomEdit::PasteFromClipboard() {
  if (FReadOnly) return;
  std::u16string text = GetClipboardText();
  // One line: the text up to the first line break.
  size_t end = text.find_first_of(u"\r\n");
  if (end != std::u16string::npos) text.resize(end);
  SetSelText(text);
}

void TCustomEdit::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  bool extend = (shift & ssShift) != 0;
  bool ctrl = (shift & ssCtrl) != 0;
  switch (key) {
    case VK_LEFT:
      if (!extend && SelLength() > 0 && !ctrl) MoveCaret(SelStart(), false);
      else MoveCaret(ctrl ? WordLeft(FCaret) : Step(FCaret, -1), extend);
      break;
    case VK_RIGHT:
      if (!extend && SelLength() > 0 && !ctrl) MoveCaret(SelStart() + SelLength(), false);
      else MoveCaret(ctrl ? WordRight(FCaret) : Step(FCaret, 1), extend);
      break;
    case VK_HOME: MoveCaret(0, extend); break;
    case VK_END: MoveCaret(static_cast<int>(FBuffer.size()), extend); break;
    case VK_DELETE:
      if (FReadOnly) break;
      if (extend) {
        CutToClipboard();
      } else if (SelLength() > 0) {
        ClearSelection();
      } else {
        Replace(FCaret, ctrl ? WordRight(FCaret) : Step(FCaret, 1), u"");
      }
      break;
    case VK_INSERT:
      if (ctrl) CopyToClipboard();
      else if (extend) PasteFromClipboard();
      break;
    case 'A':
      if (ctrl) SelectAll();
      return;
    case 'C':
      if (ctrl) CopyToClipboard();
      return;
    case 'X':
      if (ctrl) CutToClipboard();
      return;
    case 'V':
      if (ctrl) PasteFromClipboard();
      return;
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
      if (HandleDialogKey(this, key, shift)) key = 0;
      return;
    default:
      return;
  }
  key = 0;
}

void TCustomEdit::KeyPress(char16_t& key) {
  TWinControl::KeyPress(key);
  if (key == 0 || FReadOnly) return;
  if (key == u'\b') {
    if (SelLength() > 0) ClearSelection();
    else Replace(Step(FCaret, -1), FCaret, u"");
    return;
  }
  if (key == 0x7F) {  // Ctrl+Backspace
    if (SelLength() > 0) ClearSelection();
    else Replace(WordLeft(FCaret), FCaret, u"");
    return;
  }
  if (key < 0x20) return;  // Enter, Escape, Tab and the Ctrl letters
  // A character beyond the BMP comes as two messages: insert it whole.
  if (IsHigh(key)) {
    FPendingHigh = key;
    return;
  }
  char16_t high = FPendingHigh;
  FPendingHigh = 0;
  if (IsLow(key)) {
    if (high != 0) Insert(std::u16string{high, key});
    return;
  }
  Insert(std::u16string(1, key));
}

void TCustomEdit::Insert(const std::u16string& text) {
  if (FRun) FRun->append(text);
  else SetSelText(text);
}

// Text an input method commits arrives as a run of WM_CHAR messages: each
// goes through the form's preview and OnKeyPress, and the run is inserted
// at once, one change and one repaint for a whole phrase.
void TCustomEdit::CharRun(TMessage& first) {
  std::u16string run;
  FRun = &run;
  try {
    TWinControl::Dispatch(first);
    MSG next;
    while (HandleAllocated() && PeekMessageA(&next, Handle(), 0, 0, PM_NOREMOVE) && next.message == WM_CHAR &&
           next.hwnd == Handle() && next.wParam >= 0x20 && next.wParam != 0x7F) {
      PeekMessageA(&next, Handle(), WM_CHAR, WM_CHAR, PM_REMOVE);
      TMessage m{};
      m.Msg = next.message;
      m.WParam = next.wParam;
      m.LParam = next.lParam;
      TWinControl::Dispatch(m);
    }
  } catch (...) {
    FRun = nullptr;
    if (!run.empty()) SetSelText(run);
    throw;
  }
  FRun = nullptr;
  if (!run.empty()) SetSelText(run);
}

int TCustomEdit::TextLeft() const { return (FBorderStyle == bsSingle ? 1 : 0) + kPadding; }

// Measured on a memory DC: valid in and out of a paint.
TCanvas& TCustomEdit::Measure() {
  if (!FMeasure) {
    FMeasure = std::make_unique<TCanvas>();
    FMeasureDC = CreateCompatibleDC(nullptr);
    FMeasure->SetHandle(FMeasureDC);
  }
  FMeasure->Font().Assign(&Font());
  return *FMeasure;
}

int TCustomEdit::UnitsWidth(int from, int to) {
  if (to <= from) return 0;
  return Measure().WideTextWidth(FBuffer.substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
}

int TCustomEdit::LineHeight() { return Measure().WideTextExtent(u"Wg").cy; }

int TCustomEdit::PositionAt(int x) {
  int target = x - TextLeft() + FScroll;
  if (target <= 0) return 0;
  int previous = 0, previousWidth = 0;
  for (int p = Step(0, 1); p <= static_cast<int>(FBuffer.size());) {
    int w = UnitsWidth(0, p);
    if (w >= target) return (target - previousWidth < w - target) ? previous : p;
    previous = p;
    previousWidth = w;
    if (p == static_cast<int>(FBuffer.size())) break;
    p = Step(p, 1);
  }
  return static_cast<int>(FBuffer.size());
}

void TCustomEdit::ScrollToCaret() {
  if (!HandleAllocated()) return;
  int room = std::max(1, ClientWidth() - 2 * TextLeft());
  int x = UnitsWidth(0, FCaret);
  if (x - FScroll > room) FScroll = x - room;
  if (x < FScroll) FScroll = x;
  int whole = UnitsWidth(0, static_cast<int>(FBuffer.size()));
  if (whole - FScroll < room) FScroll = std::max(0, whole - room);
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (CanFocus() && !Focused()) {
    FSelecting = true;  // a click places the caret: no select-all on this focus
    SetFocus();
  }
  TWinControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || (shift & ssDouble)) return;
  FSelecting = true;
  MoveCaret(PositionAt(x), (shift & ssShift) != 0);
}

void TCustomEdit::MouseMove(TShiftState shift, int x, int y) {
  TWinControl::MouseMove(shift, x, y);
  if (FSelecting && (shift & ssLeft)) MoveCaret(PositionAt(x), true);
}

void TCustomEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseUp(button, shift, x, y);
  if (button == mbLeft) FSelecting = false;
}

void TCustomEdit::DblClick() {
  TWinControl::DblClick();
  int from = FCaret, to = FCaret;
  const int n = static_cast<int>(FBuffer.size());
  while (from > 0 && IsWordUnit(FBuffer[static_cast<size_t>(from - 1)])) --from;
  while (to < n && IsWordUnit(FBuffer[static_cast<size_t>(to)])) ++to;
  FAnchor = from;
  FCaret = to;
  FSelecting = false;
  Invalidate();
}

void TCustomEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
      if (FAutoSelect && !FSelecting) SelectAll();
      // The caret is drawn by the paint; the platform's is where an input
      // method shows what is being typed.
      CreateCaret(Handle(), nullptr, 1, LineHeight());
      Invalidate();
      break;
    case WM_KILLFOCUS:
      FSelecting = false;
      DestroyCaret();
      Invalidate();
      break;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_SYSCHAR:
      if (HandleDialogChar(this, static_cast<char16_t>(m.WParam))) return;
      break;
    case WM_CHAR:
      if (m.WParam >= 0x20 && m.WParam != 0x7F && !FRun) {
        CharRun(m);
        return;
      }
      break;
    case WM_CUT: CutToClipboard(); return;
    case WM_COPY: CopyToClipboard(); return;
    case WM_PASTE: PasteFromClipboard(); return;
    case WM_CLEAR: ClearSelection(); return;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

void TCustomEdit::PaintWindow(HDC dc) {
  TPaintScope scope(FCanvas, dc);
  TRect client = ClientRect();
  FCanvas.Brush().SetStyle(bsSolid);
  FCanvas.Brush().SetColor(Color());
  FCanvas.FillRect(client);
  if (FBorderStyle == bsSingle) {
    FCanvas.Brush().SetColor(clBtnShadow);
    FCanvas.FrameRect(client);
  }
  FCanvas.Font().Assign(&Font());
  if (!Enabled()) FCanvas.Font().SetColor(clGrayText);
  const int inset = FBorderStyle == bsSingle ? 1 : 0;
  TRect textBox(client.left + inset, client.top + inset, client.right - inset, client.bottom - inset);
  int height = FCanvas.WideTextExtent(u"Wg").cy;
  int y = std::max<int>(textBox.top, (client.Height() - height) / 2);
  int x = TextLeft() - FScroll;
  bool focused = Focused();
  int selFrom = SelStart(), selTo = SelStart() + SelLength();
  std::u16string before = FBuffer.substr(0, static_cast<size_t>(selFrom));
  std::u16string selected = FBuffer.substr(static_cast<size_t>(selFrom), static_cast<size_t>(selTo - selFrom));
  std::u16string after = FBuffer.substr(static_cast<size_t>(selTo));
  FCanvas.Brush().SetStyle(bsClear);
  FCanvas.WideTextRect(textBox, x, y, before);
  int xs = x + FCanvas.WideTextWidth(before);
  int xe = xs + FCanvas.WideTextWidth(selected);
  if (!selected.empty()) {
    // The selection shows highlighted while the edit has the focus.
    TRect band(std::max<int>(xs, textBox.left), y, std::min<int>(xe, textBox.right), y + height);
    if (focused) {
      FCanvas.Brush().SetStyle(bsSolid);
      FCanvas.Brush().SetColor(clHighlight);
      FCanvas.FillRect(band);
      FCanvas.Brush().SetStyle(bsClear);
      FCanvas.Font().SetColor(clHighlightText);
    }
    FCanvas.WideTextRect(textBox, xs, y, selected);
    FCanvas.Font().Assign(&Font());
    if (!Enabled()) FCanvas.Font().SetColor(clGrayText);
  }
  FCanvas.WideTextRect(textBox, xe, y, after);
  if (focused) {
    int cx = x + UnitsWidth(0, FCaret);
    SetCaretPos(std::clamp<int>(cx, textBox.left, std::max<int>(textBox.left, textBox.right - 1)), y);
    if (cx >= textBox.left && cx < textBox.right) {
      FCanvas.Pen().SetColor(Font().Color());
      FCanvas.MoveTo(cx, y);
      FCanvas.LineTo(cx, y + height);
    }
  }
}

namespace {
// Form resources may name the controls as soon as the program runs.
const bool kRegistered = (RegisterStandardControls(), true);
}  // namespace
