// Shrinking a GIF image before it is written: packed colour tables, tidied
// extensions, unchanged pixels masked and transparent borders trimmed.
#pragma once

#include <cstdint>

class TGIFImage;

constexpr int soTrimFrames = 1;
constexpr int soMaskRepeats = 2;
constexpr int soTidy = 4;
constexpr int soPackColorMaps = 8;
constexpr int soReduceColors = 16;
constexpr int soAll = 31;

// The options as above; asking soReduceColors with the caller's-palette
// method (9) raises "Invalid reduction method" before anything changes.
// Colours are not reduced here.
void SqueezeImage(TGIFImage& image, int options, int reductionMethod, int reductionDepth, int ditherKind);

class TStream;
// What the picture class writes into a form's stream: squeezed first (all
// options, no reduction) when SqueezeOnWrite is set, then saved.
void WriteImageData(TGIFImage& image, TStream& stream);
