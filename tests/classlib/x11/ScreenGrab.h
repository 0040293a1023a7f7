// Pixels of the X server's screen, read apart from the class library's
// headers (Xlib has a Screen of its own).
#pragma once

#include <cstdint>
#include <vector>

// 0x00RRGGBB pixels of the rectangle, rows top-down; empty when the display
// cannot be read.
std::vector<uint32_t> GrabScreen(const char* display, int left, int top, int width, int height);
