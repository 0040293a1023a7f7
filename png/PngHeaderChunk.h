// The header chunk: the PNG header values and the decoded pixels they
// describe (a bottom-up DIB with its colour table, and an alpha buffer).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "png/PngChunk.h"

struct TPngRGBQuad {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

// Laid out as the platform's BITMAPINFOHEADER, so the pair below can be
// handed to the DIB calls as a BITMAPINFO.
struct TPngBitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(TPngBitmapInfoHeader) == 40);

struct TPngDIBInfo {
  TPngBitmapInfoHeader bmiHeader;
  TPngRGBQuad bmiColors[256];
};

// Colour type and bit depth pairs that have a pixel layout.
bool IsValidPngFormat(uint8_t colorType, uint8_t bitDepth);

// The index (or grey value) of pixel x in a DIB row of 1, 4 or 8 bits per pixel.
inline unsigned DIBIndexAt(const uint8_t* row, int x, int bpp) {
  switch (bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    default: return row[x];
  }
}

// Most bytes of pixels and alpha one image may take.
constexpr uint64_t MaxImageBytes = uint64_t(1) << 30;

class TChunkIHDR : public TChunk {
 public:
  explicit TChunkIHDR(TPNGChunkList* owner) : TChunk(owner) { SetNameFrom("IHDR"); }
  std::string GetName() const override { return "IHDR"; }
  std::unique_ptr<TChunk> CreateSame(TPNGChunkList* owner) const override { return std::make_unique<TChunkIHDR>(owner); }
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;

  // Lays out and clears the pixel memory for the current header values.
  void PrepareDIB();
  void FreeDIB();
  // Bits per DIB pixel for the header's format, 0 when it has none.
  int DIBBitsPerPixel() const;

  bool PaletteDIB = false;
  TPngDIBInfo DIBInfo{};
  uint32_t RowStride = 0;
  uint8_t* PixelBits = nullptr;  // bottom-up rows of RowStride bytes
  uint8_t* AlphaBits = nullptr;  // Width bytes a row, top-down; types 4 and 6
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint8_t BitDepth = 0;
  uint8_t ColorType = 0;
  uint8_t CompressionMethod = 0;
  uint8_t FilterMethod = 0;
  uint8_t InterlaceMethod = 0;

 private:
  struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, FreeDeleter> FPixels;
  std::unique_ptr<uint8_t, FreeDeleter> FAlpha;
};
