#include "classlib/controls/ComboBoxes.h"

#include "classlib/controls/ControlClasses.h"
#include "classlib/controls/KeyMatches.h"
#include "classlib/controls/PaintScope.h"
#include "classlib/controls/ModalLoop.h"

#include <algorithm>
#include <atomic>

#include "classlib/controls/DialogKeys.h"

namespace {

// The next item (after the selected one, round) that starts with the letter.
template <typename Items>
TKeyMatch NextItemByLetter(Items& items, int current, char16_t key) {
  if (key < 0x20 || key > 0x7F) return {};
  auto upper = [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); };
  const char wanted = upper(static_cast<char>(key));
  return NextKeyMatch(items.Count(), current, [&](int i) {
    const std::string s = items.Strings(i);
    return !s.empty() && upper(s[0]) == wanted;
  });
}

constexpr int kButtonWidth = 16;
const char* const kDropClass = "HkComboDropDown";

// The list that drops down: a popup window of ours that holds the capture
// (the display's pointer and keyboard with it) while its own loop runs, like
// a menu.
class TDropDownList {
 public:
  TDropDownList(TComboBox& box, int itemHeight) : FBox(box), FItemHeight(itemHeight) {}

  // The chosen index, or -1 when the list was left without a choice.
  int Run();
  void Cancel() {
    FDone = true;
    PostThreadMessageA(FThread, WM_NULL, 0, 0);
  }
  LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  int Rows() const { return std::min(FBox.Items().Count(), std::max(1, FBox.DropDownCount)); }
  int IndexAt(POINT client) const;
  void Highlight(int index);
  void Paint(HDC dc);

  TComboBox& FBox;
  int FItemHeight;
  HWND FWindow = nullptr;
  int FTop = 0;
  int FHighlight = -1;
  int FChosen = -1;
  std::atomic<bool> FDone{false};
  DWORD FThread = GetCurrentThreadId();
};

std::atomic<TDropDownList*> gDropDown{nullptr};

LRESULT DropDownProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (TDropDownList* list = gDropDown) return list->WindowProc(hwnd, msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int TDropDownList::IndexAt(POINT p) const {
  RECT r;
  GetClientRect(FWindow, &r);
  if (p.x < 0 || p.x >= r.right || p.y < 1 || p.y >= r.bottom - 1) return -1;
  int index = FTop + (p.y - 1) / FItemHeight;
  return index < FBox.Items().Count() ? index : -1;
}

void TDropDownList::Highlight(int index) {
  const int count = FBox.Items().Count();
  if (count == 0) return;
  index = std::clamp(index, 0, count - 1);
  FHighlight = index;
  if (index < FTop) FTop = index;
  if (index >= FTop + Rows()) FTop = index - Rows() + 1;
  InvalidateRect(FWindow, nullptr, FALSE);
}

void TDropDownList::Paint(HDC dc) {
  TCanvas canvas;
  canvas.SetHandle(dc);
  RECT client;
  GetClientRect(FWindow, &client);
  canvas.Font().Assign(&FBox.Font());
  canvas.Brush().SetColor(clWindow);
  canvas.FillRect(client);
  for (int row = 0; row < Rows(); ++row) {
    int index = FTop + row;
    if (index >= FBox.Items().Count()) break;
    TRect r(1, 1 + row * FItemHeight, client.right - 1, 1 + (row + 1) * FItemHeight);
    bool lit = index == FHighlight;
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(lit ? clHighlight : clWindow);
    canvas.FillRect(r);
    canvas.Font().SetColor(lit ? clHighlightText : clWindowText);
    canvas.Brush().SetStyle(bsClear);
    canvas.TextRect(r, r.left + 2, r.top + 1, FBox.Items().Strings(index));
  }
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(cl3DDkShadow);
  canvas.FrameRect(client);
  canvas.SetHandle(nullptr);
}

LRESULT TDropDownList::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  POINT p{static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam))),
          static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lParam)))};
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_MOUSEMOVE:
      if (int i = IndexAt(p); i >= 0 && i != FHighlight) Highlight(i);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      RECT r;
      GetClientRect(hwnd, &r);
      if (p.x < 0 || p.y < 0 || p.x >= r.right || p.y >= r.bottom) FDone = true;  // outside: leave it
      return 0;
    }
    case WM_LBUTTONUP:
      if (int i = IndexAt(p); i >= 0) {
        FChosen = i;
        FDone = true;
      }
      return 0;
    case WM_MOUSEWHEEL: {
      int delta = static_cast<SHORT>(HIWORD(wParam));
      FTop = std::clamp(FTop - delta / WHEEL_DELTA, 0, std::max(0, FBox.Items().Count() - Rows()));
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd) FDone = true;
      return 0;
    case WM_CANCELMODE: FDone = true; return 0;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

int TDropDownList::Run() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.style = CS_SAVEBITS | CS_DROPSHADOW;
    wc.lpfnWndProc = &DropDownProc;
    wc.lpszClassName = kDropClass;
    registered = RegisterClassA(&wc) != 0;
  }
  POINT corner = FBox.ClientToScreen(POINT{0, FBox.Height()});
  int height = Rows() * FItemHeight + 2;
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  if (corner.y + height > work.bottom) corner.y -= FBox.Height() + height;  // room above
  corner.x = std::clamp<int>(corner.x, work.left, std::max<int>(work.left, work.right - FBox.Width()));
  FWindow = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kDropClass, "", WS_POPUP, corner.x,
                            corner.y, FBox.Width(), height, nullptr, nullptr, nullptr, nullptr);
  if (!FWindow) return -1;
  SetPopupWindow(FWindow);
  Highlight(std::max(0, FBox.ItemIndex()));
  ShowWindow(FWindow, SW_SHOWNOACTIVATE);
  SetCapture(FWindow);
  RunModalLoop(FDone, [&](MSG& msg) {
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
      switch (msg.wParam) {
        case VK_UP: Highlight(FHighlight - 1); break;
        case VK_DOWN: Highlight(FHighlight + 1); break;
        case VK_PRIOR: Highlight(FHighlight - (Rows() - 1)); break;
        case VK_NEXT: Highlight(FHighlight + (Rows() - 1)); break;
        case VK_HOME: Highlight(0); break;
        case VK_END: Highlight(FBox.Items().Count() - 1); break;
        case VK_RETURN:
        case VK_F4:
          FChosen = FHighlight;
          FDone = true;
          break;
        case VK_ESCAPE:
        case VK_TAB: FDone = true; break;
        default: TranslateMessage(&msg); break;  // a letter's WM_CHAR
      }
      return true;
    }
    if (msg.message == WM_CHAR) {
      // A letter goes to the next item that starts with it; Enter takes it.
      const TKeyMatch match = NextItemByLetter(FBox.Items(), FHighlight, static_cast<char16_t>(msg.wParam));
      if (match.Index >= 0) Highlight(match.Index);
      return true;
    }
    if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP || msg.message == WM_SYSCHAR) return true;
    if (msg.message >= WM_NCLBUTTONDOWN && msg.message <= WM_NCMBUTTONDBLCLK) {
      FDone = true;
      return true;
    }
    return false;
  });
  if (GetCapture() == FWindow) ReleaseCapture();
  DestroyWindow(FWindow);
  return FChosen;
}

}  // namespace

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner), FItems(*this), FCanvas(this) {
  SetTabStop(true);
  SetColor(clWindow);
  FWidth = 145;
  FHeight = 21;
}

TComboBox::~TComboBox() { SetParent(nullptr); }

int TComboBox::ItemHeight() const { return std::max(13, FHeight - 6); }

void TComboBox::SyncText() {
  TWinControl::SetText(FItemIndex >= 0 ? FItems.Strings(FItemIndex) : std::string());
}

void TComboBox::Loaded() {
  TWinControl::Loaded();
  if (FLoadedIndex >= 0) SetItemIndex(FLoadedIndex);
  FLoadedIndex = -1;
}

void TComboBox::SetItemIndex(int index) {
  if (IsLoading()) FLoadedIndex = index;
  if (index < -1 || index >= FItems.Count()) index = -1;
  if (index == FItemIndex) return;
  FItemIndex = index;
  SyncText();
  Invalidate();
}

void TComboBox::ChooseByUser(int index) {
  if (index < 0 || index >= FItems.Count() || index == FItemIndex) return;
  SetItemIndex(index);
  if (OnSelect) OnSelect(this);
  if (OnChange) OnChange(this);
}

void TComboBox::ItemsInserted(int index) {
  if (FItemIndex >= index) ++FItemIndex;
  Invalidate();
}

void TComboBox::ItemsDeleted(int index) {
  if (FItemIndex == index) {
    FItemIndex = -1;
    SyncText();
  } else if (FItemIndex > index) {
    --FItemIndex;
  }
  Invalidate();
}

void TComboBox::ItemsCleared() {
  FItemIndex = -1;
  SyncText();
  Invalidate();
}

void TComboBox::ItemChanged(int index) {
  if (index == FItemIndex) SyncText();
  Invalidate();
}

void TComboBox::DropDown() {
  if (FDropped || gDropDown || FItems.Count() == 0) return;
  if (OnDropDown) OnDropDown(this);
  FDropped = true;
  Invalidate();
  int chosen = -1;
  {
    TDropDownList list(*this, ItemHeight());
    gDropDown = &list;
    try {
      chosen = list.Run();
    } catch (...) {
      gDropDown = nullptr;
      FDropped = false;
      throw;
    }
    gDropDown = nullptr;
  }
  FDropped = false;
  Invalidate();
  if (OnCloseUp) OnCloseUp(this);
  if (chosen >= 0) ChooseByUser(chosen);
}

void TComboBox::CloseDropDown() {
  if (TDropDownList* list = gDropDown) list->Cancel();
}

void TComboBox::PaintWindow(HDC dc) {
  TPaintScope scope(FCanvas, dc);
  TCanvas& c = FCanvas;
  TRect r = ClientRect();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Enabled() ? Color() : clBtnFace);
  c.FillRect(r);
  c.Brush().SetColor(clBtnShadow);
  c.FrameRect(r);
  TRect button(r.right - kButtonWidth - 1, r.top + 1, r.right - 1, r.bottom - 1);
  c.Brush().SetColor(FDropped ? clBtnShadow : clBtnFace);
  c.FillRect(button);
  c.Pen().SetColor(Enabled() ? clBtnText : clGrayText);
  int cx = button.left + button.Width() / 2, cy = button.top + button.Height() / 2;
  for (int k = 0; k < 4; ++k) {
    c.MoveTo(cx - 3 + k, cy - 1 + k);
    c.LineTo(cx + 4 - k, cy - 1 + k);
  }
  TRect text(r.left + 2, r.top + 2, button.left - 1, r.bottom - 2);
  c.Font().Assign(&Font());
  if (!Enabled()) c.Font().SetColor(clGrayText);
  if (Focused() && !FDropped) {
    c.Brush().SetColor(clHighlight);
    c.FillRect(text);
    c.Font().SetColor(clHighlightText);
  }
  if (FItemIndex >= 0) {
    c.Brush().SetStyle(bsClear);
    std::string s = FItems.Strings(FItemIndex);
    c.TextRect(text, text.left + 1, text.top + (text.Height() - c.TextHeight(s)) / 2, s);
  }
  if (Focused()) c.DrawFocusRect(text);
}

void TComboBox::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  const int count = FItems.Count();
  int page = std::max(1, DropDownCount - 1);
  switch (key) {
    case VK_UP:
    case VK_LEFT:
      if (key == VK_UP && (shift & ssAlt)) {
        DropDown();
        break;
      }
      if (count) ChooseByUser(FItemIndex < 0 ? 0 : std::max(0, FItemIndex - 1));
      break;
    case VK_DOWN:
    case VK_RIGHT:
      if (key == VK_DOWN && (shift & ssAlt)) {
        DropDown();
        break;
      }
      if (count) ChooseByUser(std::min(count - 1, FItemIndex + 1));
      break;
    case VK_PRIOR: if (count) ChooseByUser(std::max(0, FItemIndex - page)); break;
    case VK_NEXT: if (count) ChooseByUser(std::min(count - 1, std::max(0, FItemIndex) + page)); break;
    case VK_HOME: if (count) ChooseByUser(0); break;
    case VK_END: if (count) ChooseByUser(count - 1); break;
    case VK_F4: DropDown(); break;
    default:
      if (key && HandleDialogKey(this, key, shift)) key = 0;
      return;
  }
  key = 0;
}

void TComboBox::KeyPress(char16_t& key) {
  TWinControl::KeyPress(key);
  if (key < 0x20 || key > 0x7F) return;
  const TKeyMatch match = NextItemByLetter(FItems, FItemIndex, key);
  if (match.Index >= 0) ChooseByUser(match.Index);
  key = 0;
}

void TComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (CanFocus() && !Focused()) SetFocus();
  TWinControl::MouseDown(button, shift, x, y);
  if (button == mbLeft) {
    // The list's own loop takes over the mouse from here.
    if (GetCapture() == Handle()) ReleaseCapture();
    DropDown();
  }
}

void TComboBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Invalidate(); break;
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_SYSCHAR:
      if (HandleDialogChar(this, static_cast<char16_t>(m.WParam))) return;
      break;
    default: break;
  }
  TWinControl::Dispatch(m);
}

namespace {
// Form resources may name the controls as soon as the program runs.
const bool kRegistered = (RegisterStandardControls(), true);
}  // namespace
