// Layered windows: a top-level window with WS_EX_LAYERED shows either the
// premultiplied image handed to UpdateLayeredWindow (no WM_PAINT then) or
// its painted content at a constant opacity (SetLayeredWindowAttributes).
// WS_EX_TRANSPARENT makes it let the mouse through. A hidden layered window
// keeps its image and opacity.
#pragma once

#include "platform/Types.h"
#include "platform/gdi/Gdi.h"  // BLENDFUNCTION, AC_SRC_OVER, AC_SRC_ALPHA

constexpr DWORD ULW_COLORKEY = 0x00000001;
constexpr DWORD ULW_ALPHA = 0x00000002;
constexpr DWORD ULW_OPAQUE = 0x00000004;
constexpr DWORD LWA_COLORKEY = 0x00000001;
constexpr DWORD LWA_ALPHA = 0x00000002;

// With a source DC: the window takes the image at `srcPoint` of `size`
// (and that size; at `dstPoint` when given). Without one: only the constant
// opacity of `blend` changes and the image is kept. FALSE for a window
// without WS_EX_LAYERED or a bad argument.
BOOL UpdateLayeredWindow(HWND hwnd, HDC dstDC, POINT* dstPoint, SIZE* size, HDC srcDC, POINT* srcPoint,
                         COLORREF colorKey, BLENDFUNCTION* blend, DWORD flags);
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF colorKey, BYTE alpha, DWORD flags);
BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* colorKey, BYTE* alpha, DWORD* flags);

constexpr DWORD AW_HOR_POSITIVE = 0x00000001;
constexpr DWORD AW_HOR_NEGATIVE = 0x00000002;
constexpr DWORD AW_VER_POSITIVE = 0x00000004;
constexpr DWORD AW_VER_NEGATIVE = 0x00000008;
constexpr DWORD AW_CENTER = 0x00000010;
constexpr DWORD AW_HIDE = 0x00010000;
constexpr DWORD AW_ACTIVATE = 0x00020000;
constexpr DWORD AW_SLIDE = 0x00040000;
constexpr DWORD AW_BLEND = 0x00080000;
// Shows (AW_HIDE: hides) the window; the animation itself is not played.
BOOL AnimateWindow(HWND hwnd, DWORD timeMs, DWORD flags);

using PFN_UpdateLayeredWindow = BOOL (*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
using PFN_SetLayeredWindowAttributes = BOOL (*)(HWND, COLORREF, BYTE, DWORD);
using PFN_AnimateWindow = BOOL (*)(HWND, DWORD, DWORD);
