// Mouse, keyboard and cursor.
//
// Input from the driver (or injected by a test, see
// platform/drivers/headless/Headless.h) is turned into messages when a
// thread takes it from its queue, so a capture or focus change made while
// handling one message already applies to the next.
#pragma once

#include "platform/Types.h"

// ---- Virtual keys ---------------------------------------------------------------
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_CANCEL = 0x03;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_CLEAR = 0x0C;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_KANA = 0x15;
constexpr int VK_KANJI = 0x19;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_CONVERT = 0x1C;
constexpr int VK_NONCONVERT = 0x1D;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_SNAPSHOT = 0x2C;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_HELP = 0x2F;
// '0'..'9' and 'A'..'Z' are their ASCII codes.
constexpr int VK_LWIN = 0x5B;
constexpr int VK_RWIN = 0x5C;
constexpr int VK_APPS = 0x5D;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_NUMPAD9 = 0x69;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SEPARATOR = 0x6C;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DECIMAL = 0x6E;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F1 = 0x70;
constexpr int VK_F2 = 0x71;
constexpr int VK_F3 = 0x72;
constexpr int VK_F4 = 0x73;
constexpr int VK_F5 = 0x74;
constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;
constexpr int VK_F8 = 0x77;
constexpr int VK_F9 = 0x78;
constexpr int VK_F10 = 0x79;
constexpr int VK_F11 = 0x7A;
constexpr int VK_F12 = 0x7B;
constexpr int VK_F24 = 0x87;
constexpr int VK_NUMLOCK = 0x90;
constexpr int VK_SCROLL = 0x91;
constexpr int VK_LSHIFT = 0xA0;
constexpr int VK_RSHIFT = 0xA1;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;
constexpr int VK_LMENU = 0xA4;
constexpr int VK_RMENU = 0xA5;
constexpr int VK_OEM_1 = 0xBA;       // ;:
constexpr int VK_OEM_PLUS = 0xBB;    // =+
constexpr int VK_OEM_COMMA = 0xBC;   // ,<
constexpr int VK_OEM_MINUS = 0xBD;   // -_
constexpr int VK_OEM_PERIOD = 0xBE;  // .>
constexpr int VK_OEM_2 = 0xBF;       // /?
constexpr int VK_OEM_3 = 0xC0;       // `~
constexpr int VK_OEM_4 = 0xDB;       // [{
constexpr int VK_OEM_5 = 0xDC;       // \|
constexpr int VK_OEM_6 = 0xDD;       // ]}
constexpr int VK_OEM_7 = 0xDE;       // '"
constexpr int VK_PROCESSKEY = 0xE5;

// The state as of the message being handled: bit 15 set while down, bit 0
// toggled by each press (Caps Lock on). Left and right Shift, Ctrl and Alt
// also count for VK_SHIFT, VK_CONTROL and VK_MENU; mouse buttons too.
SHORT GetKeyState(int vk);
// The state now, whatever the thread has taken from its queue.
SHORT GetAsyncKeyState(int vk);
BOOL GetKeyboardState(BYTE* state256);
// The US layout's character of a key (0 when none), as TranslateMessage uses.
WCHAR MapVirtualKeyToChar(int vk, bool shift, bool capsLock);

// ---- Mouse -------------------------------------------------------------------------
HWND SetCapture(HWND hwnd);  // returns the previous capture window
BOOL ReleaseCapture();       // sends WM_CAPTURECHANGED to the window that had it
HWND GetCapture();
// Marks a top-level window, before it is first shown, as a popup menu or a
// drop-down list. The display keeps it above every other window and out of
// a window manager's hands, and while it holds the capture it has the
// pointer and the keyboard of the whole display: a press anywhere comes to
// it (and to nothing else), and keys come to it although it has no focus.
BOOL SetPopupWindow(HWND hwnd);
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
// Two presses of a button within this time (on the platform clock) and a few
// pixels of each other make a double click for a CS_DBLCLKS class.
UINT GetDoubleClickTime();
BOOL SetDoubleClickTime(UINT ms);

constexpr DWORD TME_HOVER = 0x00000001;
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_NONCLIENT = 0x00000010;
constexpr DWORD TME_QUERY = 0x40000000;
constexpr DWORD TME_CANCEL = 0x80000000;
constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;
// TME_LEAVE posts one WM_MOUSELEAVE (WM_NCMOUSELEAVE with TME_NONCLIENT)
// when the pointer leaves the window's client area, or at once when it is
// not over it; then the tracking ends. TME_HOVER posts WM_MOUSEHOVER after
// the pointer has rested there for the hover time.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* tme);

// ---- Cursors -------------------------------------------------------------------------
// Integer names of the stock cursors for LoadCursorA(0, IDC_xxx).
inline const char* IDC_ARROW_() { return reinterpret_cast<const char*>(32512); }
inline const char* IDC_IBEAM_() { return reinterpret_cast<const char*>(32513); }
inline const char* IDC_WAIT_() { return reinterpret_cast<const char*>(32514); }
inline const char* IDC_CROSS_() { return reinterpret_cast<const char*>(32515); }
inline const char* IDC_SIZEALL_() { return reinterpret_cast<const char*>(32646); }
inline const char* IDC_SIZENWSE_() { return reinterpret_cast<const char*>(32642); }
inline const char* IDC_SIZENESW_() { return reinterpret_cast<const char*>(32643); }
inline const char* IDC_SIZEWE_() { return reinterpret_cast<const char*>(32644); }
inline const char* IDC_SIZENS_() { return reinterpret_cast<const char*>(32645); }
inline const char* IDC_NO_() { return reinterpret_cast<const char*>(32648); }
inline const char* IDC_HAND_() { return reinterpret_cast<const char*>(32649); }
#define IDC_ARROW (IDC_ARROW_())
#define IDC_IBEAM (IDC_IBEAM_())
#define IDC_WAIT (IDC_WAIT_())
#define IDC_CROSS (IDC_CROSS_())
#define IDC_SIZEALL (IDC_SIZEALL_())
#define IDC_SIZENWSE (IDC_SIZENWSE_())
#define IDC_SIZENESW (IDC_SIZENESW_())
#define IDC_SIZEWE (IDC_SIZEWE_())
#define IDC_SIZENS (IDC_SIZENS_())
#define IDC_NO (IDC_NO_())
#define IDC_HAND (IDC_HAND_())
// Stock cursors only (instance 0); 0 for anything else.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
// Shows the cursor over our windows; returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Which stock cursor a handle stands for (its IDC_ number), 0 for none.
int CursorStockId(HCURSOR cursor);
