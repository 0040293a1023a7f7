// A 32-bit top-down DIB selected into a memory DC, read back pixel by pixel.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/Gdi.h"

struct TDibCanvas {
  HDC DC = nullptr;
  HBITMAP Bitmap = nullptr;
  HGDIOBJ Old = nullptr;
  uint32_t* Bits = nullptr;
  int Width, Height;

  TDibCanvas(int w, int h, uint32_t fill = 0x00FFFFFF) : Width(w), Height(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    Bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits = static_cast<uint32_t*>(bits);
    DC = CreateCompatibleDC(nullptr);
    Old = SelectObject(DC, Bitmap);
    for (int i = 0; i < w * h; ++i) Bits[i] = fill;
  }
  ~TDibCanvas() {
    SelectObject(DC, Old);
    DeleteObject(Bitmap);
    DeleteDC(DC);
  }
  // 0x00RRGGBB without the alpha byte.
  uint32_t At(int x, int y) const { return Bits[y * Width + x] & 0xFFFFFF; }
  uint32_t Raw(int x, int y) const { return Bits[y * Width + x]; }
  // Bounding box of every pixel that differs from `background`.
  RECT Ink(uint32_t background = 0xFFFFFF) const {
    RECT r{Width, Height, 0, 0};
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x)
        if (At(x, y) != background) {
          r.left = std::min<LONG>(r.left, x);
          r.top = std::min<LONG>(r.top, y);
          r.right = std::max<LONG>(r.right, x + 1);
          r.bottom = std::max<LONG>(r.bottom, y + 1);
        }
    return r;
  }
  int InkCount(uint32_t background = 0xFFFFFF) const {
    int n = 0;
    for (int i = 0; i < Width * Height; ++i) n += (Bits[i] & 0xFFFFFF) != background;
    return n;
  }
};

inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& os, const RECT& r) {
  return os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}
