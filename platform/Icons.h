// Icons: 32-bit images with straight alpha, made from a colour bitmap and
// a mask or taken from the stock set; drawn with DrawIconEx and shown by
// the drivers (the notification area).
#pragma once

#include <vector>

#include "platform/Types.h"

struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HBITMAP hbmMask;
  HBITMAP hbmColor;
};

// The colour bitmap's alpha is kept when it has any; otherwise the mask
// (1 = transparent) decides. 0 for a missing colour bitmap.
HICON CreateIconIndirect(ICONINFO* info);
HICON CopyIcon(HICON icon);
BOOL DestroyIcon(HICON icon);

inline const char* IDI_APPLICATION_() { return reinterpret_cast<const char*>(32512); }
inline const char* IDI_WINLOGO_() { return reinterpret_cast<const char*>(32517); }
#define IDI_APPLICATION (IDI_APPLICATION_())
#define IDI_WINLOGO (IDI_WINLOGO_())
// Stock icons only (instance 0); 0 for anything else.
HICON LoadIconA(HINSTANCE instance, const char* name);

constexpr UINT DI_MASK = 0x0001;
constexpr UINT DI_IMAGE = 0x0002;
constexpr UINT DI_NORMAL = 0x0003;
// Blends the icon onto the DC at (x, y), stretched to cx x cy (0: its size).
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flicker, UINT flags);
inline BOOL DrawIcon(HDC dc, int x, int y, HICON icon) { return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL); }

// The icon's pixels (BGRA, straight alpha, rows top-down); false on a bad handle.
bool GetIconPixels(HICON icon, int* width, int* height, std::vector<uint32_t>* pixels);

// Other sizes of the icon's picture, as an icon file holds several: the
// icon keeps copies of their pixels beside its own image, which stays what
// it draws and what GetIconPixels gives. Replaces the sizes set before; an
// image of the icon's own size, or of a size already given, is passed over.
// FALSE on a bad handle or a stock icon.
BOOL SetIconSizes(HICON icon, const HICON* sizes, int count);
struct TIconImage {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Pixels;  // as GetIconPixels gives them
};
// The icon's own image, then its other sizes: what a driver that shows an
// icon at any size (X11's _NET_WM_ICON) is given. Empty on a bad handle.
std::vector<TIconImage> GetIconImages(HICON icon);
