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

// Integer resource names, as the platform passes them through a name pointer.
inline const char* MAKEINTRESOURCEA(uintptr_t id) { return reinterpret_cast<const char*>(id); }
inline bool IS_INTRESOURCE(const void* p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }

inline WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
inline BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
inline BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
