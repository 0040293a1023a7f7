// Basic types of the platform interface the system's code is written against.
// Handles are opaque pointer types whose value is a small integer id looked up
// in a table of live objects; they are never dereferenced.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using WCHAR = char16_t;
using CHAR = char;
using LCID = uint32_t;
using LANGID = uint16_t;
using COLORREF = uint32_t;  // $00BBGGRR
using UINT_PTR = uintptr_t;
using ULONG_PTR = uintptr_t;
using INT_PTR = intptr_t;
using LONG_PTR = intptr_t;
using DWORD_PTR = uintptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using ATOM = uint16_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define HK_DECLARE_HANDLE(name) \
  struct name##__;              \
  using name = name##__*
HK_DECLARE_HANDLE(HWND);
HK_DECLARE_HANDLE(HDC);
HK_DECLARE_HANDLE(HGDIOBJ);
HK_DECLARE_HANDLE(HBITMAP);
HK_DECLARE_HANDLE(HPALETTE);
HK_DECLARE_HANDLE(HPEN);
HK_DECLARE_HANDLE(HBRUSH);
HK_DECLARE_HANDLE(HFONT);
HK_DECLARE_HANDLE(HRGN);
HK_DECLARE_HANDLE(HICON);
HK_DECLARE_HANDLE(HCURSOR);
HK_DECLARE_HANDLE(HMENU);
HK_DECLARE_HANDLE(HINSTANCE);
HK_DECLARE_HANDLE(HKEY);
HK_DECLARE_HANDLE(HRSRC);
HK_DECLARE_HANDLE(HGLOBAL);
#undef HK_DECLARE_HANDLE
using HMODULE = HINSTANCE;
using HANDLE = void*;
using FARPROC = void (*)();
using LPVOID = void*;
using LPCSTR = const char*;
using LPSTR = char*;

// Procedures the platform calls back. The calling convention is the
// platform's own; nothing here needs a special one.
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINTS {
  SHORT x;
  SHORT y;
};

// One queued message, as GetMessage and PeekMessage hand it out.
// lPrivate carries the platform's own data (the text of a key press for
// TranslateMessage); callers leave it alone.
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
  DWORD lPrivate;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;  // a brush, or (HBRUSH)(COLOR_xxx + 1)
  const char* lpszMenuName;
  const char* lpszClassName;
};

struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
  HICON hIconSm;
};

struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  const char* lpszName;
  const char* lpszClass;
  DWORD dwExStyle;
};

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
};

struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  WINDOWPOS* lppos;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

struct TRACKMOUSEEVENT {
  DWORD cbSize;
  DWORD dwFlags;
  HWND hwndTrack;
  DWORD dwHoverTime;
};


// Integer resource names, as the platform passes them through a name pointer.
inline const char* MAKEINTRESOURCEA(uintptr_t id) { return reinterpret_cast<const char*>(id); }
inline bool IS_INTRESOURCE(const void* p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }

inline WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline BYTE LOBYTE(uintptr_t v) { return static_cast<BYTE>(v & 0xFF); }
inline BYTE HIBYTE(uintptr_t v) { return static_cast<BYTE>((v >> 8) & 0xFF); }
constexpr LONG MAKELONG(WORD lo, WORD hi) {
  return static_cast<LONG>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(MAKELONG(lo, hi)); }
constexpr LRESULT MAKELRESULT(WORD lo, WORD hi) { return static_cast<LRESULT>(MAKELONG(lo, hi)); }
// Signed coordinates packed into an LPARAM (negative on multi-monitor layouts
// and for points left of or above a window).
inline int GET_X_LPARAM(LPARAM lp) { return static_cast<int>(static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lp)))); }
inline int GET_Y_LPARAM(LPARAM lp) { return static_cast<int>(static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lp)))); }
inline LPARAM PointToLParam(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}
inline BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
inline BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
inline BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
