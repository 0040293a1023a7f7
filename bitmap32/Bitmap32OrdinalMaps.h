// TIntegerMap: a two-dimensional map of 32-bit integers, row-major.
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap32/Bitmap32.h"

class TIntegerMap : public TCustomMap {
 public:
  bool Empty() const override { return FBits.empty(); }
  int32_t* ValueAddress(int x, int y) { return FBits.data() + x + static_cast<int64_t>(y) * FWidth; }
  int32_t& Value(int x, int y) { return *ValueAddress(x, y); }

 protected:
  // Cells keep their values up to the new length (not re-flowed by rows).
  void ChangeSize(int& width, int& height, int newWidth, int newHeight) override {
    FBits.resize(static_cast<size_t>(static_cast<int64_t>(newWidth) * newHeight));
    width = newWidth;
    height = newHeight;
  }

 private:
  std::vector<int32_t> FBits;
};
