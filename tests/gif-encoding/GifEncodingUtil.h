// Helpers of the encoding tests: whole GIF streams around our encoder, and
// giflib reading them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../gif/GifTestUtil.h"
#include "gif/GifCodec.h"

// Frame rasters of a test: width x height indices, rows top to bottom.
struct TRaster {
  int Width = 0, Height = 0;
  Bytes Pixels;
};
TRaster NoiseRaster(int width, int height, int colors, uint32_t seed);
TRaster RunsRaster(int width, int height, int colors, int runLength);

// Header with a global table of 2^bits greys, one frame coded by our
// encoder (LZW or run-length), the trailer.
Bytes SingleFrameGIF(const TRaster& raster, int bits, bool interlaced, bool runLength);

// The image as our save writes it: header, every frame through
// SaveSubImage, trailer.
Bytes SaveWithEncoder(TGIFImage& image);

// giflib's reading of the bytes (through a temporary file).
bool OracleLoadBytes(const Bytes& data, TOracleImage& out);
std::string TempPath(const std::string& name);
