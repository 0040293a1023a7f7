#include "classlib/Hints.h"

#include "classlib/SysUtils.h"

std::string GetShortHint(const std::string& hint) {
  size_t bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(0, bar);
}

THintWindow::THintWindow(TComponent* owner) : TWinControl(owner) {
  TControl::SetVisible(false);
  SetColor(clInfoBk);
  Font().SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = WS_POPUP | WS_BORDER;
  params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  params.WndParent = nullptr;
  params.WindowClass.style |= CS_SAVEBITS;
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint) {
  HDC dc = CreateCompatibleDC(nullptr);
  TRect r = Rect(0, 0, maxWidth, 0);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(Font().Handle()));
    std::u16string w = UTF8Decode(hint);
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  // Room for the border and a little air around the text.
  r.right += 6;
  r.bottom += 2;
  return r;
}

void THintWindow::ActivateHint(const TRect& rect, const std::string& hint) {
  SetText(hint);
  TRect r = rect;
  // Kept on the screen.
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (r.right > sw) {
    r.left -= r.right - sw;
    r.right = sw;
  }
  if (r.bottom > sh) {
    r.top -= r.bottom - sh;
    r.bottom = sh;
  }
  if (r.left < 0) {
    r.right -= r.left;
    r.left = 0;
  }
  if (r.top < 0) {
    r.bottom -= r.top;
    r.top = 0;
  }
  SetBounds(r.left, r.top, r.Width(), r.Height());
  HWND h = Handle();
  SetWindowPos(h, HWND_TOPMOST, r.left, r.top, r.Width(), r.Height(), SWP_NOACTIVATE);
  ShowWindow(h, SW_SHOWNOACTIVATE);
  InvalidateRect(h, nullptr, TRUE);
  UpdateWindow(h);
  TControl::SetVisible(true);
  FShowing = true;
}

void THintWindow::ReleaseHint() {
  if (!FShowing) return;
  FShowing = false;
  TControl::SetVisible(false);
  if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

void THintWindow::PaintWindow(HDC dc) {
  TRect r = ClientRect();
  r.left += 2;
  r.top += 1;
  std::u16string w = UTF8Decode(Text());
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(Font().Handle()));
  SetTextColor(dc, ColorToRGB(Font().Color()));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
}
