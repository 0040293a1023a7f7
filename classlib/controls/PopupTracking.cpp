// Tracking of a popup menu: one popup window per open level, all drawn by
// us; the first level holds the mouse capture, and with it the display's
// pointer and keyboard, so every press and key comes here while it is open
// and a press outside every level closes the menu.
#include <algorithm>
#include <atomic>
#include <memory>

#include "classlib/Graphics.h"
#include "classlib/controls/KeyMatches.h"
#include "classlib/controls/Menus.h"
#include "classlib/controls/ModalLoop.h"
#include "platform/Windows.h"

namespace {

constexpr int kItemHeight = 22;
constexpr int kSeparatorHeight = 9;
constexpr int kCheckWidth = 24;
constexpr int kArrowWidth = 20;
constexpr int kBorder = 2;
const char* const kMenuClass = "HkPopupMenu";

bool Selectable(const TMenuItem* item) { return !item->IsLine(); }
bool HasSubmenu(const TMenuItem* item) { return item->Count() > 0; }

struct TMenuLevel {
  TMenuItem* Parent = nullptr;
  std::vector<TMenuItem*> Shown;
  std::vector<TRect> Rects;  // client coordinates
  HWND Window = nullptr;
  TRect Screen;
  int Selected = -1;
};

class TMenuTracker {
 public:
  TMenuTracker() {
    FBold.Assign(&FFont);
    FBold.SetStyle(fsBold);
  }
  ~TMenuTracker() { CloseFrom(0); }

  TMenuItem* Run(TMenuItem* root, int x, int y);
  LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // May be called from another thread: the loop wakes and ends.
  void Cancel() {
    FDone = true;
    PostThreadMessageA(FThread, WM_NULL, 0, 0);
  }
  HWND TopWindow() const { return FLevels.empty() ? nullptr : FLevels[0]->Window; }

 private:
  bool Open(TMenuItem* parent, int x, int y, const TRect* beside);
  void CloseFrom(size_t level);
  void Select(size_t level, int index);
  void Choose(TMenuItem* item);
  void Paint(TMenuLevel& level, HDC dc);
  int LevelAt(POINT screen, int* index) const;
  void Mouse(UINT msg, POINT screen);
  void Key(int vk);
  void Char(char16_t c);
  void OpenSelected(size_t level, bool selectFirst);

  std::vector<std::unique_ptr<TMenuLevel>> FLevels;
  TFont FFont;
  TFont FBold;
  TMenuItem* FChosen = nullptr;
  std::atomic<bool> FDone{false};
  DWORD FThread = GetCurrentThreadId();
  bool FArmed = false;  // a release chooses only after a press or a move
  POINT FStart{0, 0};
};

std::atomic<TMenuTracker*> gTracker{nullptr};

LRESULT MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (TMenuTracker* tracker = gTracker) return tracker->WindowProc(hwnd, msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterMenuClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc{};
  wc.style = CS_SAVEBITS | CS_DROPSHADOW;
  wc.lpfnWndProc = &MenuWindowProc;
  wc.lpszClassName = kMenuClass;
  registered = RegisterClassA(&wc) != 0;
}

int ShownHeight(const TMenuItem* item) { return item->IsLine() ? kSeparatorHeight : kItemHeight; }

bool TMenuTracker::Open(TMenuItem* parent, int x, int y, const TRect* beside) {
  auto level = std::make_unique<TMenuLevel>();
  level->Parent = parent;
  for (int i = 0; i < parent->Count(); ++i)
    if (parent->Items(i)->Visible()) level->Shown.push_back(parent->Items(i));
  if (level->Shown.empty()) return false;

  // Measure with a memory DC: the window does not exist yet.
  HDC dc = CreateCompatibleDC(nullptr);
  TCanvas canvas;
  canvas.SetHandle(dc);
  int textWidth = 0;
  int height = kBorder * 2;
  for (TMenuItem* item : level->Shown) {
    canvas.Font().Assign(item->Default() ? &FBold : &FFont);
    if (!item->IsLine()) textWidth = std::max<int>(textWidth, canvas.TextWidth(StripHotkey(item->Caption())));
    height += ShownHeight(item);
  }
  canvas.SetHandle(nullptr);
  DeleteDC(dc);
  int width = kBorder * 2 + kCheckWidth + textWidth + kArrowWidth + 8;

  int top = kBorder;
  for (TMenuItem* item : level->Shown) {
    level->Rects.emplace_back(kBorder, top, width - kBorder, top + ShownHeight(item));
    top += ShownHeight(item);
  }

  // Inside the work area (a panel covers the rest): left of and above the
  // cursor where the menu would not fit beside and below it.
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  if (beside) {
    x = beside->right - 2;
    if (x + width > work.right) x = beside->left - width + 2;
  } else if (x + width > work.right) {
    x -= width;
  }
  if (y + height > work.bottom) y = beside ? work.bottom - height : y - height;
  x = std::clamp<int>(x, work.left, std::max<int>(work.left, work.right - width));
  y = std::clamp<int>(y, work.top, std::max<int>(work.top, work.bottom - height));
  level->Screen = TRect(x, y, x + width, y + height);

  RegisterMenuClass();
  level->Window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kMenuClass, "", WS_POPUP, x,
                                  y, width, height, nullptr, nullptr, nullptr, nullptr);
  if (!level->Window) return false;
  SetPopupWindow(level->Window);
  FLevels.push_back(std::move(level));
  ShowWindow(FLevels.back()->Window, SW_SHOWNOACTIVATE);
  return true;
}

void TMenuTracker::CloseFrom(size_t level) {
  while (FLevels.size() > level) {
    DestroyWindow(FLevels.back()->Window);
    FLevels.pop_back();
  }
}

void TMenuTracker::Select(size_t level, int index) {
  TMenuLevel& l = *FLevels[level];
  if (l.Selected == index) return;
  l.Selected = index;
  InvalidateRect(l.Window, nullptr, FALSE);
}

void TMenuTracker::OpenSelected(size_t level, bool selectFirst) {
  TMenuLevel& l = *FLevels[level];
  if (l.Selected < 0) return;
  TMenuItem* item = l.Shown[static_cast<size_t>(l.Selected)];
  if (!HasSubmenu(item) || !item->Enabled()) return;
  if (FLevels.size() > level + 1 && FLevels[level + 1]->Parent == item) return;
  CloseFrom(level + 1);
  TRect r = l.Rects[static_cast<size_t>(l.Selected)];
  TRect screen(l.Screen.left + r.left, l.Screen.top + r.top, l.Screen.right, l.Screen.top + r.bottom);
  if (Open(item, screen.left, screen.top - kBorder, &screen) && selectFirst) {
    auto& next = *FLevels.back();
    for (size_t i = 0; i < next.Shown.size(); ++i)
      if (Selectable(next.Shown[i])) {
        Select(FLevels.size() - 1, static_cast<int>(i));
        break;
      }
  }
}

void TMenuTracker::Choose(TMenuItem* item) {
  if (!item->Enabled() || item->IsLine()) return;
  if (HasSubmenu(item)) return;
  FChosen = item;
  FDone = true;
}

int TMenuTracker::LevelAt(POINT screen, int* index) const {
  for (size_t n = FLevels.size(); n-- > 0;) {
    const TMenuLevel& l = *FLevels[n];
    if (!l.Screen.Contains(screen)) continue;
    POINT p{screen.x - l.Screen.left, screen.y - l.Screen.top};
    *index = -1;
    for (size_t i = 0; i < l.Rects.size(); ++i)
      if (l.Rects[i].Contains(p)) *index = static_cast<int>(i);
    return static_cast<int>(n);
  }
  return -1;
}

void TMenuTracker::Mouse(UINT msg, POINT screen) {
  int index = -1;
  int level = LevelAt(screen, &index);
  bool down = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;
  bool up = msg == WM_LBUTTONUP || msg == WM_RBUTTONUP;
  if (msg == WM_MOUSEMOVE && (screen.x != FStart.x || screen.y != FStart.y)) FArmed = true;
  if (level < 0) {
    if (down) FDone = true;  // a press outside dismisses the menu
    return;
  }
  if (down) FArmed = true;
  if (index < 0) return;
  auto lv = static_cast<size_t>(level);
  TMenuItem* item = FLevels[lv]->Shown[static_cast<size_t>(index)];
  if (msg == WM_MOUSEMOVE || down) {
    if (FLevels.size() > lv + 1 && FLevels[lv + 1]->Parent != item) CloseFrom(lv + 1);
    Select(lv, Selectable(item) ? index : -1);
    OpenSelected(lv, false);
  } else if (up && FArmed) {
    Choose(item);
  }
}

void TMenuTracker::Key(int vk) {
  size_t lv = FLevels.size() - 1;
  TMenuLevel& l = *FLevels[lv];
  const int n = static_cast<int>(l.Shown.size());
  switch (vk) {
    case VK_UP:
    case VK_DOWN: {
      int step = vk == VK_DOWN ? 1 : -1;
      int i = l.Selected;
      for (int tries = 0; tries < n; ++tries) {
        i = i < 0 ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
        if (Selectable(l.Shown[static_cast<size_t>(i)])) break;
      }
      Select(lv, i);
      break;
    }
    case VK_RIGHT:
      OpenSelected(lv, true);
      break;
    case VK_LEFT:
      if (lv > 0) CloseFrom(lv);
      break;
    case VK_ESCAPE:
      if (lv > 0)
        CloseFrom(lv);
      else
        FDone = true;
      break;
    case VK_RETURN:
      if (l.Selected >= 0) {
        TMenuItem* item = l.Shown[static_cast<size_t>(l.Selected)];
        if (HasSubmenu(item))
          OpenSelected(lv, true);
        else
          Choose(item);
      }
      break;
    default:
      break;
  }
}

void TMenuTracker::Char(char16_t c) {
  if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  if (c > 0x7F) return;
  size_t lv = FLevels.size() - 1;
  TMenuLevel& l = *FLevels[lv];
  const TKeyMatch match = NextKeyMatch(static_cast<int>(l.Shown.size()), l.Selected, [&](int i) {
    const TMenuItem* item = l.Shown[static_cast<size_t>(i)];
    return item->Enabled() && GetHotkey(item->Caption()) == static_cast<char>(c);
  });
  if (match.Index < 0) return;
  Select(lv, match.Index);
  // Items that share the letter are gone through one a press; Enter acts.
  if (!match.Only) return;
  TMenuItem* item = l.Shown[static_cast<size_t>(match.Index)];
  if (HasSubmenu(item))
    OpenSelected(lv, true);
  else
    Choose(item);
}

void TMenuTracker::Paint(TMenuLevel& level, HDC dc) {
  TCanvas canvas;
  canvas.SetHandle(dc);
  RECT client;
  GetClientRect(level.Window, &client);
  canvas.Brush().SetColor(clMenu);
  canvas.FillRect(client);
  canvas.Brush().SetColor(clBtnShadow);
  canvas.FrameRect(client);
  canvas.Brush().SetStyle(bsClear);
  for (size_t i = 0; i < level.Shown.size(); ++i) {
    TMenuItem* item = level.Shown[i];
    TRect r = level.Rects[i];
    if (item->IsLine()) {
      canvas.Pen().SetColor(clBtnShadow);
      canvas.MoveTo(r.left + 4, r.top + kSeparatorHeight / 2);
      canvas.LineTo(r.right - 4, r.top + kSeparatorHeight / 2);
      continue;
    }
    bool selected = static_cast<int>(i) == level.Selected;
    if (selected) {
      canvas.Brush().SetStyle(bsSolid);
      canvas.Brush().SetColor(clHighlight);
      canvas.FillRect(r);
      canvas.Brush().SetStyle(bsClear);
    }
    TColor text = !item->Enabled() ? clGrayText : selected ? clHighlightText : clMenuText;
    canvas.Font().Assign(item->Default() ? &FBold : &FFont);
    canvas.Font().SetColor(text);
    canvas.Pen().SetColor(text);
    std::string caption = StripHotkey(item->Caption());
    SIZE extent = canvas.TextExtent(caption);
    int tx = r.left + kCheckWidth, ty = r.top + (r.Height() - extent.cy) / 2;
    canvas.TextOut(tx, ty, caption);
    // The mnemonic is underlined.
    char hot = GetHotkey(item->Caption());
    if (hot != 0) {
      std::string plain = caption;
      size_t at = 0;
      for (size_t k = 0, seen = 0; k < item->Caption().size(); ++k) {
        if (item->Caption()[k] == '&' && k + 1 < item->Caption().size() && item->Caption()[k + 1] != '&') {
          at = seen;
          break;
        }
        if (item->Caption()[k] == '&') ++k;
        ++seen;
      }
      int x0 = tx + canvas.TextWidth(plain.substr(0, at));
      int x1 = tx + canvas.TextWidth(plain.substr(0, at + 1));
      canvas.MoveTo(x0, ty + extent.cy - 1);
      canvas.LineTo(x1, ty + extent.cy - 1);
    }
    int cy = r.top + r.Height() / 2;
    if (item->Checked()) {
      int cx = r.left + kCheckWidth / 2;
      if (item->RadioItem()) {
        canvas.Brush().SetStyle(bsSolid);
        canvas.Brush().SetColor(text);
        canvas.FillRect(TRect(cx - 2, cy - 3, cx + 3, cy + 4));
        canvas.FillRect(TRect(cx - 3, cy - 2, cx + 4, cy + 3));
        canvas.Brush().SetStyle(bsClear);
      } else {
        for (int d = 0; d < 2; ++d) {  // a two-pixel tick
          canvas.MoveTo(cx - 4, cy + d - 1);
          canvas.LineTo(cx - 1, cy + d + 2);
          canvas.LineTo(cx + 5, cy + d - 4);
        }
      }
    }
    if (HasSubmenu(item)) {
      int ax = r.right - kArrowWidth / 2 - 2;
      for (int k = 0; k < 4; ++k) {
        canvas.MoveTo(ax + k, cy - 3 + k);
        canvas.LineTo(ax + k, cy + 4 - k);
      }
    }
  }
  canvas.SetHandle(nullptr);
}

LRESULT TMenuTracker::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      for (auto& level : FLevels)
        if (level->Window == hwnd) Paint(*level, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_CAPTURECHANGED:
      if (!FLevels.empty() && hwnd == FLevels[0]->Window && reinterpret_cast<HWND>(lParam) != hwnd) FDone = true;
      return 0;
    case WM_CANCELMODE:
      FDone = true;
      return 0;
    default:
      break;
  }
  if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEWHEEL) {
    POINT p{static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam))),
            static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lParam)))};
    ClientToScreen(hwnd, &p);
    Mouse(msg, p);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TMenuItem* TMenuTracker::Run(TMenuItem* root, int x, int y) {
  GetCursorPos(&FStart);
  if (!Open(root, x, y, nullptr)) return nullptr;
  SetCapture(FLevels[0]->Window);
  RunModalLoop(FDone, [&](MSG& msg) {
    switch (msg.message) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (msg.wParam == VK_MENU || msg.wParam == VK_F10) {
          FDone = true;
        } else {
          TranslateMessage(&msg);  // makes the WM_CHAR of a mnemonic
          Key(static_cast<int>(msg.wParam));
        }
        return true;
      case WM_CHAR:
      case WM_SYSCHAR:
        Char(static_cast<char16_t>(msg.wParam));
        return true;
      case WM_KEYUP:
      case WM_SYSKEYUP:
        return true;
      default:
        break;
    }
    // Mouse messages aimed elsewhere (no capture on that display) count too.
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
      bool ours = false;
      for (auto& level : FLevels) ours |= level->Window == msg.hwnd;
      if (!ours) {
        Mouse(msg.message, msg.pt);
        return true;
      }
    }
    if (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK) {
      if (msg.message == WM_NCLBUTTONDOWN || msg.message == WM_NCRBUTTONDOWN) FDone = true;
      return true;
    }
    return false;
  });
  if (GetCapture() == FLevels[0]->Window) ReleaseCapture();
  CloseFrom(0);
  return FChosen;
}

}  // namespace

void TPopupMenu::Popup(int x, int y) {
  if (gTracker) return;  // one menu at a time
  if (OnPopup) OnPopup(this);
  TMenuItem* chosen = nullptr;
  {
    TMenuTracker tracker;
    gTracker = &tracker;
    try {
      chosen = tracker.Run(FItems, x, y);
    } catch (...) {
      gTracker = nullptr;
      throw;
    }
    gTracker = nullptr;
  }
  if (chosen) chosen->Click();
}

bool TPopupMenu::Tracking() { return gTracker != nullptr; }
HWND TPopupMenu::TrackingWindow() {
  TMenuTracker* tracker = gTracker;
  return tracker ? tracker->TopWindow() : nullptr;
}
void TPopupMenu::CancelTracking() {
  if (TMenuTracker* tracker = gTracker) tracker->Cancel();
}
