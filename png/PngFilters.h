// PNG row filters (None, Sub, Up, Average, Paeth), both directions.
#pragma once

#include <cstddef>
#include <cstdint>

inline uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  int pa = p - a, pb = p - b, pc = p - c;
  pa = pa < 0 ? -pa : pa;
  pb = pb < 0 ? -pb : pb;
  pc = pc < 0 ? -pc : pc;
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  if (pb <= pc) return static_cast<uint8_t>(b);
  return static_cast<uint8_t>(c);
}

// Reverses `filterType` on row[0 .. length) in place, prior being the
// previous row and stride the filter distance. Unknown types leave the row.
void UnfilterRow(uint8_t filterType, uint8_t* row, const uint8_t* prior, size_t length, size_t stride);
// The same in plain loops only: the reference the fast forms are tested against.
void UnfilterRowPlain(uint8_t filterType, uint8_t* row, const uint8_t* prior, size_t length, size_t stride);

// Writes filter `filterType` (1 to 4) of row into out.
void FilterRow(uint8_t filterType, const uint8_t* row, const uint8_t* prior, uint8_t* out, size_t length,
               size_t stride);
