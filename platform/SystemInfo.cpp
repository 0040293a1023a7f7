// Screen metrics and system colours.
#include "platform/SystemInfo.h"

#include <algorithm>

#include "platform/Driver.h"

int GetSystemMetrics(int index) {
  int w = 0, h = 0;
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXMAXIMIZED:
    case SM_CXVIRTUALSCREEN:
      Driver().ScreenSize(&w, &h);
      return w;
    case SM_CYSCREEN:
    case SM_CYFULLSCREEN:
    case SM_CYMAXIMIZED:
    case SM_CYVIRTUALSCREEN:
      Driver().ScreenSize(&w, &h);
      return h;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
      return 17;
    case SM_CYCAPTION: return 23;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU: return 20;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXSIZE:
    case SM_CYSIZE: return 18;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_CMONITORS: return 1;
    default: return 0;
  }
}

BOOL SystemParametersInfoA(UINT action, UINT, void* value, UINT) {
  if (action == static_cast<UINT>(SPI_GETWORKAREA) && value != nullptr) {
    int w = 0, h = 0;
    Driver().ScreenSize(&w, &h);
    RECT screen{0, 0, w, h}, work{};
    if (Driver().WorkArea(&work)) {
      work.left = std::max(work.left, screen.left);
      work.top = std::max(work.top, screen.top);
      work.right = std::min(work.right, screen.right);
      work.bottom = std::min(work.bottom, screen.bottom);
      if (work.right > work.left && work.bottom > work.top) screen = work;
    }
    *static_cast<RECT*>(value) = screen;
    return TRUE;
  }
  return FALSE;
}

COLORREF GetSysColor(int index) {
  static const COLORREF colors[COLOR_MAX + 1] = {
      RGB(200, 200, 200),  // COLOR_SCROLLBAR
      RGB(0, 0, 0),        // COLOR_BACKGROUND
      RGB(153, 180, 209),  // COLOR_ACTIVECAPTION
      RGB(191, 205, 219),  // COLOR_INACTIVECAPTION
      RGB(240, 240, 240),  // COLOR_MENU
      RGB(255, 255, 255),  // COLOR_WINDOW
      RGB(100, 100, 100),  // COLOR_WINDOWFRAME
      RGB(0, 0, 0),        // COLOR_MENUTEXT
      RGB(0, 0, 0),        // COLOR_WINDOWTEXT
      RGB(0, 0, 0),        // COLOR_CAPTIONTEXT
      RGB(180, 180, 180),  // COLOR_ACTIVEBORDER
      RGB(244, 247, 252),  // COLOR_INACTIVEBORDER
      RGB(171, 171, 171),  // COLOR_APPWORKSPACE
      RGB(51, 153, 255),   // COLOR_HIGHLIGHT
      RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
      RGB(240, 240, 240),  // COLOR_BTNFACE
      RGB(160, 160, 160),  // COLOR_BTNSHADOW
      RGB(109, 109, 109),  // COLOR_GRAYTEXT
      RGB(0, 0, 0),        // COLOR_BTNTEXT
      RGB(67, 78, 84),     // COLOR_INACTIVECAPTIONTEXT
      RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
      RGB(105, 105, 105),  // COLOR_3DDKSHADOW
      RGB(227, 227, 227),  // COLOR_3DLIGHT
      RGB(0, 0, 0),        // COLOR_INFOTEXT
      RGB(255, 255, 225),  // COLOR_INFOBK
      RGB(0, 0, 0),        // 25: unused
      RGB(0, 102, 204),    // COLOR_HOTLIGHT
      RGB(185, 209, 234),  // COLOR_GRADIENTACTIVECAPTION
      RGB(215, 228, 242),  // COLOR_GRADIENTINACTIVECAPTION
      RGB(51, 153, 255),   // COLOR_MENUHILIGHT
      RGB(240, 240, 240),  // COLOR_MENUBAR
  };
  if (index < 0 || index > COLOR_MAX) return 0;
  return colors[index];
}
