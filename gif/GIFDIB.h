// Device-independent bitmaps as the codec builds and reads them, the web
// palette and the check of GDI handles.
#pragma once

#include <cstdint>
#include <vector>

#include "classlib/Graphics.h"
#include "gif/GIFTypes.h"

// Bytes of a row of pixels, aligned to alignmentBits (32: DWORD-aligned DIB rows).
int64_t RowBytes(int64_t pixels, int bitsPerPixel, int alignmentBits);

// MulDiv of the platform: 64-bit product, rounded to the nearest, -1 for a zero divisor.
int GIFMulDiv(int number, int numerator, int denominator);

// Answers value; 0 raises EOutOfResources.
template <class H>
H CheckGDIHandle(H value);
[[noreturn]] void RaiseOutOfResources();
template <class H>
H CheckGDIHandle(H value) {
  if (!value) RaiseOutOfResources();
  return value;
}

// 216 entries, R x 36 + G x 6 + B for R, G, B in 0..5 (steps of 51); the caller owns it.
HPALETTE MakeWebPalette();

TPixelFormat GetPixelFormat(TBitmap& bitmap);
void SetPixelFormat(TBitmap& bitmap, TPixelFormat format);

class TDIB {
 public:
  TDIB(TBitmap& bitmap, TPixelFormat format) : FBitmap(bitmap), FPixelFormat(format) {}
  virtual ~TDIB() = default;
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;
  virtual uint8_t* ScanLine(int row) = 0;

 protected:
  TBitmap& FBitmap;
  TPixelFormat FPixelFormat;
};

class TDIBReader : public TDIB {
 public:
  TDIBReader(TBitmap& bitmap, TPixelFormat format);
  uint8_t* ScanLine(int row) override;
};

// Builds a bottom-up DIB in memory and hands it to the bitmap when destroyed.
class TDIBWriter : public TDIB {
 public:
  TDIBWriter(TBitmap& bitmap, TPixelFormat format, int width, int height, HPALETTE palette);
  ~TDIBWriter() override;
  uint8_t* ScanLine(int row) override;

 private:
  void MakeDIB();
  HPALETTE FPalette;
  int FWidth, FHeight;
  std::vector<uint8_t> FHeader;
  std::vector<uint8_t> FBits;
};
