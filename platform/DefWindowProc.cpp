// The default handling of window messages.
#include <algorithm>
#include <cstring>

#include "platform/Driver.h"
#include "platform/Input.h"
#include "platform/SystemInfo.h"
#include "platform/WindowInternals.h"
#include "platform/gdi/Gdi.h"

using namespace hkwin;

namespace {

// Fills with a class background: a brush or (HBRUSH)(COLOR_xxx + 1).
void FillWithBackground(HDC dc, const RECT& r, HBRUSH brush) {
  uintptr_t v = reinterpret_cast<uintptr_t>(brush);
  if (v >= 1 && v <= static_cast<uintptr_t>(COLOR_MAX + 1)) {
    HBRUSH solid = CreateSolidBrush(GetSysColor(static_cast<int>(v - 1)));
    FillRect(dc, &r, solid);
    DeleteObject(solid);
  } else {
    FillRect(dc, &r, brush);
  }
}

void PaintFrame(HWND hwnd, const TWindow& w) {
  HDC dc = GetWindowDC(hwnd);
  if (dc == nullptr) return;
  int width = w.Rect.right - w.Rect.left, height = w.Rect.bottom - w.Rect.top;
  int x = 0;
  auto frame = [&](COLORREF topLeft, COLORREF bottomRight) {
    HBRUSH a = CreateSolidBrush(topLeft), b = CreateSolidBrush(bottomRight);
    RECT t{x, x, width - x, x + 1}, l{x, x, x + 1, height - x};
    RECT bo{x, height - x - 1, width - x, height - x}, ri{width - x - 1, x, width - x, height - x};
    FillRect(dc, &t, a);
    FillRect(dc, &l, a);
    FillRect(dc, &bo, b);
    FillRect(dc, &ri, b);
    DeleteObject(a);
    DeleteObject(b);
    ++x;
  };
  if (w.Style & WS_BORDER) frame(GetSysColor(COLOR_WINDOWFRAME), GetSysColor(COLOR_WINDOWFRAME));
  if (w.ExStyle & WS_EX_CLIENTEDGE) {
    frame(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    frame(GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
  }
  if (w.ExStyle & WS_EX_STATICEDGE) frame(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
  ReleaseDC(hwnd, dc);
}

LRESULT HitTest(HWND hwnd, const TWindow& w, POINT pt) {
  RECT r;
  GetWindowRect(hwnd, &r);
  if (pt.x < r.left || pt.x >= r.right || pt.y < r.top || pt.y >= r.bottom) return HTNOWHERE;
  POINT o = ClientOriginOnScreen(w);
  RECT c = ClientRectInParent(w);
  RECT client{o.x, o.y, o.x + (c.right - c.left), o.y + (c.bottom - c.top)};
  if (pt.x >= client.left && pt.x < client.right && pt.y >= client.top && pt.y < client.bottom) return HTCLIENT;
  return HTBORDER;
}

}  // namespace

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName) w->Text = cs->lpszName;
      return TRUE;
    }
    case WM_NCCALCSIZE: {
      RECT* r = reinterpret_cast<RECT*>(lParam);  // rgrc[0] comes first in NCCALCSIZE_PARAMS
      if (r) {
        RECT in = ComputeInsets(w->Style, w->ExStyle, IsTopLevel(*w));
        r->left += in.left;
        r->top += in.top;
        r->right -= in.right;
        r->bottom -= in.bottom;
        if (r->right < r->left) r->right = r->left;
        if (r->bottom < r->top) r->bottom = r->top;
      }
      return 0;
    }
    case WM_NCHITTEST:
      return HitTest(hwnd, *w, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCPAINT:
      PaintFrame(hwnd, *w);
      return 0;
    case WM_NCACTIVATE:
      return TRUE;
    case WM_ERASEBKGND: {
      HBRUSH brush = w->Class ? w->Class->Background : nullptr;
      if (brush == nullptr) return 0;
      RECT r;
      GetClientRect(hwnd, &r);
      FillWithBackground(reinterpret_cast<HDC>(wParam), r, brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      w->Text = text ? text : "";
      if (IsTopLevel(*w) && !w->MessageOnly) Driver().WindowTextChanged(hwnd);
      return TRUE;
    }
    case WM_SETICON: {
      HICON icon = reinterpret_cast<HICON>(lParam);
      HICON& slot = wParam == ICON_BIG ? w->IconBig : w->IconSmall;
      if (wParam != ICON_BIG && wParam != ICON_SMALL) return 0;
      HICON old = slot;
      slot = icon;
      if (IsTopLevel(*w) && !w->MessageOnly && old != icon) Driver().WindowIconChanged(hwnd);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
      if (wParam == ICON_BIG) return reinterpret_cast<LRESULT>(w->IconBig);
      if (wParam == ICON_SMALL) return reinterpret_cast<LRESULT>(w->IconSmall);
      if (wParam == ICON_SMALL2) return reinterpret_cast<LRESULT>(w->IconSmall ? w->IconSmall : w->IconBig);
      return 0;
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      size_t n = std::min<size_t>(w->Text.size(), wParam - 1);
      std::memcpy(buffer, w->Text.data(), n);
      buffer[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->Text.size());
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_SYSCOMMAND: {
      WPARAM cmd = wParam & 0xFFF0;
      HWND root = Root(hwnd);
      switch (cmd) {
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); return 0;
        case SC_MINIMIZE: ShowWindow(root, SW_MINIMIZE); return 0;
        case SC_MAXIMIZE: ShowWindow(root, SW_MAXIMIZE); return 0;
        case SC_RESTORE: ShowWindow(root, SW_RESTORE); return 0;
        case SC_MOVE: {
          if (IsZoomed(root)) return 0;
          POINT cursor{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
          if (lParam == 0) GetCursorPos(&cursor);
          if (!Driver().BeginMoveDrag(root, cursor)) BeginEmulatedMove(root, cursor);
          return 0;
        }
        default: return 0;
      }
    }
    case WM_NCLBUTTONDOWN:
      if (wParam == static_cast<WPARAM>(HTCAPTION)) {
        HWND root = Root(hwnd);
        if (root != GetActiveWindow()) SetActiveWindow(root);
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOVE | static_cast<WPARAM>(HTCAPTION), lParam);
      }
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == static_cast<WPARAM>(HTCAPTION)) {
        HWND root = Root(hwnd);
        PWindow rw = Find(root);
        if (rw && (rw->Style & WS_MAXIMIZEBOX))
          SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(root) ? SC_RESTORE : SC_MAXIMIZE, lParam);
      }
      return 0;
    case WM_RBUTTONUP: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &pt);
      SendMessageA(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), PointToLParam(pt.x, pt.y));
      return 0;
    }
    case WM_CONTEXTMENU:
      if (!IsTopLevel(*w)) SendMessageA(w->Parent, WM_CONTEXTMENU, wParam, lParam);
      return 0;
    case WM_MOUSEWHEEL:
      if (!IsTopLevel(*w)) return SendMessageA(w->Parent, msg, wParam, lParam);
      return 0;
    case WM_MOUSEACTIVATE:
      if (!IsTopLevel(*w)) {
        LRESULT r = SendMessageA(w->Parent, WM_MOUSEACTIVATE, wParam, lParam);
        if (r != 0) return r;
      }
      return MA_ACTIVATE;
    case WM_SETCURSOR: {
      if (!IsTopLevel(*w) && SendMessageA(w->Parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      LRESULT ht = static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam)));
      if (ht == HTCLIENT) {
        HCURSOR c = w->Class ? w->Class->Cursor : nullptr;
        if (c != nullptr) SetCursor(c);
        return c != nullptr ? TRUE : FALSE;
      }
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return FALSE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) SetFocus(hwnd);
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      if (pos == nullptr) return 0;
      RECT c = ClientRectInParent(*w);
      if ((pos->flags & SWP_NOMOVE) == 0) SendMessageA(hwnd, WM_MOVE, 0, PointToLParam(c.left, c.top));
      if ((pos->flags & SWP_NOSIZE) == 0 || (pos->flags & SWP_FRAMECHANGED)) {
        WPARAM kind = (w->Style & WS_MINIMIZE) ? SIZE_MINIMIZED : (w->Style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        if (kind != SIZE_MINIMIZED)
          SendMessageA(hwnd, WM_SIZE, kind,
                       MAKELPARAM(static_cast<WORD>(c.right - c.left), static_cast<WORD>(c.bottom - c.top)));
      }
      return 0;
    }
    case WM_GETMINMAXINFO:
    case WM_WINDOWPOSCHANGING:
    case WM_SHOWWINDOW:
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == static_cast<WPARAM>(VK_F4) && (lParam & (1 << 29)))
        SendMessageA(Root(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_GETDLGCODE:
      return 0;
    default:
      return 0;
  }
}
