// Ditherers: map an image's pixels, row by row in serpentine order, to
// palette indices through a colour lookup, carrying each pixel's error to
// pixels not yet mapped (all but the plain engine).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gif/GIFColorLookup.h"

class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup* lookup) : FLookup(lookup), FWidth(width) {}
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  // The index for the pixel at Column; r, g, b receive the palette colour.
  virtual uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b);
  // Ends the row and turns round.
  virtual void EndRow();

  int Direction() const { return FDirection; }
  int Column() const { return FColumn; }
  int Width() const { return FWidth; }

 protected:
  void StepColumn() { FColumn += FDirection; }
  TColorLookup* FLookup;  // not owned
  int FWidth;
  int FDirection = 1;
  int FColumn = 0;
};

// Error rows per channel, each with margins, recycled by rotation; a pixel
// reads its error from row 0 and spreads its own through a fixed matrix.
class TRowErrorDitherer : public TDitherEngine {
 public:
  uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
  void EndRow() override;

 protected:
  // A weight at (row, offset): offset counts in the direction of travel.
  struct TWeight {
    int Row, Offset, Numerator;
  };
  TRowErrorDitherer(int width, TColorLookup* lookup, int rows, int margin, int divisor);
  // Adds the weighted error of one channel around the pointer.
  virtual void SpreadError(int channel, int error) = 0;
  void SpreadWeights(int channel, int error, const TWeight* weights, int count);
  int* Row(int channel, int row) { return FRows[static_cast<size_t>(channel * FRowCount + row)].data(); }

  int FRowCount, FMargin, FDivisor;
  int FPointer;  // entry of the current pixel in every row
  std::vector<std::vector<int>> FRows;  // channel-major: red rows, green rows, blue rows
};

// The three-row family with five-wide rows.
class T5by3Ditherer : public TRowErrorDitherer {
 protected:
  T5by3Ditherer(int width, TColorLookup* lookup, int divisor) : TRowErrorDitherer(width, lookup, 3, 2, divisor) {}
};

class TStuckiDitherer : public T5by3Ditherer {
 public:
  TStuckiDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 42) {}

 protected:
  void SpreadError(int channel, int error) override;
};

class TSierraDitherer : public T5by3Ditherer {
 public:
  TSierraDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 32) {}

 protected:
  void SpreadError(int channel, int error) override;
};

class TJaJuNiDitherer : public T5by3Ditherer {
 public:
  TJaJuNiDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 48) {}

 protected:
  void SpreadError(int channel, int error) override;
};

class TSteveArcheDitherer : public TRowErrorDitherer {
 public:
  TSteveArcheDitherer(int width, TColorLookup* lookup) : TRowErrorDitherer(width, lookup, 4, 3, 200) {}

 protected:
  void SpreadError(int channel, int error) override;
};

class TBurkesDitherer : public TRowErrorDitherer {
 public:
  TBurkesDitherer(int width, TColorLookup* lookup) : TRowErrorDitherer(width, lookup, 2, 2, 32) {}

 protected:
  void SpreadError(int channel, int error) override;
};

// One error row per channel and running terms in sixteenths. Column c of
// the next row lives at entry c when it is walked left to right and at
// entry c + 1 when walked right to left, so each pixel reads the error its
// own upper neighbours left.
class TFloydSteinbergDitherer : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int width, TColorLookup* lookup);
  uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
  void EndRow() override;

 private:
  std::vector<int> FErrors[3];
  int FPointer = 0;
  int FCurrent[3] = {}, FBelow[3] = {}, FBelowPrev[3] = {};
};

// The engine of a dither kind (0 nearest .. 6 Burkes), or nullptr past 6.
std::unique_ptr<TDitherEngine> CreateDitherer(int kind, int width, TColorLookup* lookup);
