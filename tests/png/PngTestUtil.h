// Helpers of the PNG codec tests: building PNG files by hand, loading them,
// and libpng as the reference decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/Streams.h"
#include "png/PngCodec.h"

using Bytes = std::vector<uint8_t>;

inline const char* PngSuiteDir() { return "/usr/share/go-1.19/src/image/png/testdata/pngsuite"; }
std::vector<std::string> PngSuiteFiles();
Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& data);

// A PNG file put together chunk by chunk.
struct PngBuilder {
  Bytes Out{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  PngBuilder& Chunk(const char* type, const Bytes& data);
  // A chunk whose stored CRC is wrong.
  PngBuilder& BadCrcChunk(const char* type, const Bytes& data);
  PngBuilder& Header(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace = 0);
  PngBuilder& End() { return Chunk("IEND", {}); }
};
Bytes IhdrData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace = 0);
Bytes Deflate(const Bytes& raw);
// A complete image from filtered rows (each starting with its filter byte),
// optionally cut into IDAT chunks of `split` bytes.
Bytes SimplePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, const Bytes& filteredRows,
                size_t split = 0, const Bytes& plte = {});

// Loads bytes into the picture (the exception passes on).
void LoadBytes(TPNGChunkList& png, const Bytes& data);
Bytes SaveBytes(TPNGChunkList& png);

// What libpng reads: 8-bit samples (16-bit stripped to their high byte,
// sub-byte ones unpacked), no other transformation.
struct LibpngImage {
  uint32_t Width = 0, Height = 0;
  int ColorType = 0, BitDepth = 0, Channels = 0;
  std::vector<Bytes> Rows;
  Bytes Palette;  // RGB triples
  std::string Error;
};
bool LibpngDecode(const Bytes& file, LibpngImage& out);

// A pixel as our codec displays it: 0x00BBGGRR and an alpha byte.
struct Shown {
  uint32_t Color;
  uint8_t Alpha;
  bool operator==(const Shown&) const = default;
};
Shown OursAt(const TPNGChunkList& png, int x, int y);
// The same pixel predicted from libpng's samples and the picture's gamma.
Shown ExpectedAt(const LibpngImage& ref, const TPNGChunkList& png, int x, int y);
