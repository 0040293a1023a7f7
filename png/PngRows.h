// Shared pieces of the row routines: the Adam7 pass tables and the colour
// swizzles between PNG's RGB order and the DIB's BGR order.
#pragma once

#include <cstdint>

inline constexpr uint32_t Adam7RowStart[7] = {0, 0, 4, 0, 2, 0, 1};
inline constexpr uint32_t Adam7ColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
inline constexpr uint32_t Adam7RowStep[7] = {8, 8, 8, 4, 4, 2, 2};
inline constexpr uint32_t Adam7ColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

// count pixels of srcBytes (3 RGB or 4 RGBA) to 3-byte BGR, through gamma
// unless it is nullptr (identity).
void RgbToBgr(const uint8_t* src, uint8_t* dst, uint32_t count, int srcBytes, const uint8_t* gamma);
// The plain loop of the same, the reference for the fast form.
void RgbToBgrPlain(const uint8_t* src, uint8_t* dst, uint32_t count, int srcBytes, const uint8_t* gamma);
