// The 32-bit backing surface of a top-level window, and the DCs that draw on it.
// Pixels are BGRA in memory (0xAARRGGBB as a uint32_t on little-endian), rows
// top-down, stride = width * 4. A child window draws into its top-level
// window's surface at its own offset, clipped to its visible rectangle.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Types.h"

struct TSurface {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Pixels;  // Width * Height, row-major, top-down
  // GDI holds it for each drawing call on the surface; a driver holds it
  // while it copies pixels out. Never call GDI while holding it.
  std::mutex Lock;

  TSurface() = default;
  TSurface(int width, int height, uint32_t fill = 0xFFFFFFFFu) { Resize(width, height, fill); }

  // Resizes and refills; the old content is lost (the window repaints).
  void Resize(int width, int height, uint32_t fill = 0xFFFFFFFFu) {
    Width = width > 0 ? width : 0;
    Height = height > 0 ? height : 0;
    Pixels.assign(static_cast<size_t>(Width) * static_cast<size_t>(Height), fill);
  }
  uint32_t* Row(int y) { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
  const uint32_t* Row(int y) const { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
};

using PSurface = std::shared_ptr<TSurface>;

// Makes a DC that draws onto `surface`: logical (0,0) maps to surface point
// (originX, originY); drawing is limited to `clip`, given in surface
// coordinates (and to the surface's bounds). The DC keeps the surface alive.
// Release it with ReleaseSurfaceDC (or DeleteDC). Returns nullptr when
// surface is null. Drawing leaves the pixels under `excluded` (surface
// rectangles: the visible children of a window that clips them) as they are.
HDC CreateSurfaceDC(const PSurface& surface, int originX, int originY, const RECT& clip,
                    std::vector<RECT> excluded = {});
void ReleaseSurfaceDC(HDC dc);
// The surface a DC draws on (nullptr for memory DCs without a bitmap, or bad handles).
PSurface GetSurfaceOfDC(HDC dc);
