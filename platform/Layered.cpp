// Layered windows: a per-pixel image or a constant opacity.
#include "platform/Layered.h"

#include <algorithm>

#include "platform/Driver.h"
#include "platform/WindowInternals.h"

using namespace hkwin;

namespace {

PWindow LayeredWindow(HWND hwnd) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign || !IsTopLevel(*w) || (w->ExStyle & WS_EX_LAYERED) == 0) return nullptr;
  return w;
}

// The pixels of the bitmap selected into a memory DC, as 32-bit BGRA rows.
PSurface BitmapPixels(HDC dc) {
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
  BITMAP info{};
  if (bitmap == nullptr || GetObjectA(reinterpret_cast<HGDIOBJ>(bitmap), sizeof info, &info) == 0) return nullptr;
  if (info.bmWidth <= 0 || info.bmHeight <= 0) return nullptr;
  auto s = std::make_shared<TSurface>(info.bmWidth, info.bmHeight, 0);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = info.bmWidth;
  bi.bmiHeader.biHeight = -info.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(info.bmHeight), s->Pixels.data(), &bi, DIB_RGB_COLORS) == 0)
    return nullptr;
  return s;
}

void PresentWhole(const PWindow& w) {
  if (!w->Surface) return;
  w->Dirty = false;
  if (!(w->Style & WS_VISIBLE)) return;
  // A frame presented before the display maps the window just shown would
  // be lost (the first frames of a fade): it waits for the map, once a show.
  if (!(w->Style & WS_MINIMIZE)) Driver().WaitUntilShown(w->Handle, 500);
  if (IsWindow(w->Handle) && w->Surface && (w->Style & WS_VISIBLE))
    Driver().Present(w->Handle, RECT{0, 0, w->Surface->Width, w->Surface->Height});
}

}  // namespace

BOOL UpdateLayeredWindow(HWND hwnd, HDC dstDC, POINT* dstPoint, SIZE* size, HDC srcDC, POINT* srcPoint,
                         COLORREF colorKey, BLENDFUNCTION* blend, DWORD flags) {
  (void)dstDC;
  PWindow w = LayeredWindow(hwnd);
  if (!w) return FALSE;
  if ((flags & ULW_ALPHA) && blend == nullptr) return FALSE;
  if (size != nullptr && (size->cx <= 0 || size->cy <= 0)) return FALSE;
  if (srcDC != nullptr && size == nullptr) return FALSE;
  PSurface source;
  POINT from{0, 0};
  if (srcDC != nullptr) {
    source = GetSurfaceOfDC(srcDC);
    if (!source) source = BitmapPixels(srcDC);
    if (!source) return FALSE;
    POINT org{0, 0};
    GetViewportOrgEx(srcDC, &org);
    if (srcPoint) from = *srcPoint;
    from.x += org.x;
    from.y += org.y;
  }
  // Position and size first: the window takes the image's size.
  RECT r = w->Rect;
  int x = dstPoint ? dstPoint->x : r.left, y = dstPoint ? dstPoint->y : r.top;
  int cx = size ? size->cx : r.right - r.left, cy = size ? size->cy : r.bottom - r.top;
  if (x != r.left || y != r.top || cx != r.right - r.left || cy != r.bottom - r.top) {
    w->LayeredImage = true;  // no WM_PAINT for the resized window
    SetWindowPos(hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!IsWindow(hwnd)) return FALSE;
  }
  if (source) {
    TSurface& dst = *w->Surface;
    std::unique_lock<std::mutex> dstLock(dst.Lock, std::defer_lock);
    std::unique_lock<std::mutex> srcLock(source->Lock, std::defer_lock);
    if (source.get() == &dst) dstLock.lock();
    else std::lock(dstLock, srcLock);
    for (int row = 0; row < dst.Height; ++row) {
      int sy = from.y + row;
      uint32_t* out = dst.Row(row);
      for (int col = 0; col < dst.Width; ++col) {
        int sx = from.x + col;
        out[col] = (sy >= 0 && sy < source->Height && sx >= 0 && sx < source->Width) ? source->Row(sy)[sx] : 0;
      }
    }
    w->LayeredImage = true;
    w->HasUpdate = false;
  }
  if (blend) w->LayeredAlpha = blend->SourceConstantAlpha;
  w->LayeredFlags = flags;
  w->LayeredKey = colorKey;
  PresentWhole(w);
  return TRUE;
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF colorKey, BYTE alpha, DWORD flags) {
  PWindow w = LayeredWindow(hwnd);
  if (!w) return FALSE;
  if (flags & LWA_ALPHA) w->LayeredAlpha = alpha;
  if (flags & LWA_COLORKEY) w->LayeredKey = colorKey;
  w->LayeredFlags = flags;
  if (w->LayeredImage) {
    // The window goes back to painting itself.
    w->LayeredImage = false;
    InvalidateRect(hwnd, nullptr, TRUE);
  }
  PresentWhole(w);
  return TRUE;
}

BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* colorKey, BYTE* alpha, DWORD* flags) {
  PWindow w = LayeredWindow(hwnd);
  if (!w) return FALSE;
  if (colorKey) *colorKey = w->LayeredKey;
  if (alpha) *alpha = w->LayeredAlpha;
  if (flags) *flags = w->LayeredFlags;
  return TRUE;
}

BOOL AnimateWindow(HWND hwnd, DWORD, DWORD flags) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return FALSE;
  bool visible = (w->Style & WS_VISIBLE) != 0;
  if (flags & AW_HIDE) {
    if (!visible) return FALSE;
    ShowWindow(hwnd, SW_HIDE);
    return TRUE;
  }
  if (visible) return FALSE;
  ShowWindow(hwnd, (flags & AW_ACTIVATE) ? SW_SHOW : SW_SHOWNA);
  return TRUE;
}
