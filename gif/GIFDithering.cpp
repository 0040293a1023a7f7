#include "gif/GIFDithering.h"

#include <algorithm>

namespace {
uint8_t Clamp255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
}  // namespace

uint8_t TDitherEngine::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  uint8_t index = FLookup->MatchColor(red, green, blue, r, g, b);
  StepColumn();
  return index;
}

void TDitherEngine::EndRow() {
  FDirection = -FDirection;
  FColumn = FDirection > 0 ? 0 : FWidth - 1;
}

// ---- Row-based error diffusion -----------------------------------------------------

TRowErrorDitherer::TRowErrorDitherer(int width, TColorLookup* lookup, int rows, int margin, int divisor)
    : TDitherEngine(width, lookup), FRowCount(rows), FMargin(margin), FDivisor(divisor), FPointer(margin) {
  FRows.assign(static_cast<size_t>(3 * rows), std::vector<int>(static_cast<size_t>(width + 2 * margin), 0));
}

uint8_t TRowErrorDitherer::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  const uint8_t value[3] = {red, green, blue};
  int wanted[3];
  for (int c = 0; c < 3; ++c) {
    int e = Row(c, 0)[FPointer];
    wanted[c] = Clamp255(value[c] + (e + FDivisor / 2) / FDivisor);
  }
  uint8_t index = FLookup->MatchColor(static_cast<uint8_t>(wanted[0]), static_cast<uint8_t>(wanted[1]),
                                      static_cast<uint8_t>(wanted[2]), r, g, b);
  StepColumn();
  const int got[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    int error = wanted[c] - got[c];
    if (error != 0) SpreadError(c, error);
  }
  FPointer += FDirection;
  return index;
}

void TRowErrorDitherer::SpreadWeights(int channel, int error, const TWeight* weights, int count) {
  for (int i = 0; i < count; ++i) {
    const TWeight& w = weights[i];
    Row(channel, w.Row)[FPointer + w.Offset * FDirection] += w.Numerator * error;
  }
}

void TRowErrorDitherer::EndRow() {
  for (int c = 0; c < 3; ++c) {
    auto first = FRows.begin() + c * FRowCount;
    std::fill(first->begin(), first->end(), 0);
    std::rotate(first, first + 1, first + FRowCount);
  }
  TDitherEngine::EndRow();
  FPointer = FDirection > 0 ? FMargin : FWidth - 1 + FMargin;
}

void TStuckiDitherer::SpreadError(int channel, int error) {
  static const TWeight w[] = {{0, 1, 8},  {0, 2, 4},  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4},
                              {1, 2, 2},  {2, -2, 1}, {2, -1, 2}, {2, 0, 4},  {2, 1, 2}, {2, 2, 1}};
  SpreadWeights(channel, error, w, 12);
}

void TSierraDitherer::SpreadError(int channel, int error) {
  static const TWeight w[] = {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5},
                              {1, 1, 4}, {1, 2, 2}, {2, -1, 2}, {2, 0, 3},  {2, 1, 2}};
  SpreadWeights(channel, error, w, 10);
}

void TJaJuNiDitherer::SpreadError(int channel, int error) {
  static const TWeight w[] = {{0, 1, 7},  {0, 2, 5},  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5},
                              {1, 2, 3},  {2, -2, 1}, {2, -1, 3}, {2, 0, 5},  {2, 1, 3}, {2, 2, 1}};
  SpreadWeights(channel, error, w, 12);
}

void TSteveArcheDitherer::SpreadError(int channel, int error) {
  static const TWeight w[] = {{0, 2, 32},  {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16}, {2, -2, 12},
                              {2, 0, 26},  {2, 2, 12},  {3, -3, 5},  {3, -1, 12}, {3, 1, 12}, {3, 3, 5}};
  SpreadWeights(channel, error, w, 12);
}

void TBurkesDitherer::SpreadError(int channel, int error) {
  static const TWeight w[] = {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}};
  SpreadWeights(channel, error, w, 7);
}

// ---- Floyd-Steinberg ---------------------------------------------------------------

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup* lookup) : TDitherEngine(width, lookup) {
  for (auto& e : FErrors) e.assign(static_cast<size_t>(width + 2), 0);
}

uint8_t TFloydSteinbergDitherer::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                          uint8_t& b) {
  const uint8_t value[3] = {red, green, blue};
  int wanted[3];
  const size_t at = static_cast<size_t>(FPointer);
  for (int c = 0; c < 3; ++c) wanted[c] = Clamp255(value[c] + (FErrors[c][at] + FCurrent[c] + 8) / 16);
  uint8_t index = FLookup->MatchColor(static_cast<uint8_t>(wanted[0]), static_cast<uint8_t>(wanted[1]),
                                      static_cast<uint8_t>(wanted[2]), r, g, b);
  StepColumn();
  const int got[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    // The terms shift even for no error: the entry read here now belongs to
    // the next row, and the carried error has been used.
    int e = wanted[c] - got[c];
    FErrors[c][at] = FBelowPrev[c] + 3 * e;
    FBelowPrev[c] = FBelow[c] + 5 * e;
    FBelow[c] = e;
    FCurrent[c] = 7 * e;
  }
  FPointer += FDirection;
  return index;
}

void TFloydSteinbergDitherer::EndRow() {
  for (int c = 0; c < 3; ++c) {
    FErrors[c][static_cast<size_t>(FPointer)] = FBelowPrev[c];
    FCurrent[c] = FBelow[c] = FBelowPrev[c] = 0;
  }
  TDitherEngine::EndRow();
  FPointer = FDirection > 0 ? 0 : FWidth;
}

std::unique_ptr<TDitherEngine> CreateDitherer(int kind, int width, TColorLookup* lookup) {
  switch (kind) {
    case 0: return std::make_unique<TDitherEngine>(width, lookup);
    case 1: return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case 2: return std::make_unique<TStuckiDitherer>(width, lookup);
    case 3: return std::make_unique<TSierraDitherer>(width, lookup);
    case 4: return std::make_unique<TJaJuNiDitherer>(width, lookup);
    case 5: return std::make_unique<TSteveArcheDitherer>(width, lookup);
    case 6: return std::make_unique<TBurkesDitherer>(width, lookup);
    default: return nullptr;
  }
}
