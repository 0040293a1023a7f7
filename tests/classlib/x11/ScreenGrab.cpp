#include "ScreenGrab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

std::vector<uint32_t> GrabScreen(const char* display, int left, int top, int width, int height) {
  std::vector<uint32_t> out;
  Display* d = XOpenDisplay(display);
  if (!d) return out;
  XImage* img = XGetImage(d, DefaultRootWindow(d), left, top, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (img) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) out.push_back(static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFFu);
    XDestroyImage(img);
  }
  XCloseDisplay(d);
  return out;
}
