// The codec side of a PNG picture: the chunk list, the encoding settings and
// the gamma tables, with the loops that read and write the chunk sequence.
// TPNGObject puts the picture class on top of it.
#pragma once

#include <cstdint>

#include "png/PngChunk.h"

class TStream;
class TChunkIHDR;

enum TPNGTransparency { ptOpaque = 0, ptColorKey = 1, ptAlphaChannel = 2 };

enum TPNGRowFilter { rfNone = 0, rfSub = 1, rfUp = 2, rfAverage = 3, rfPaeth = 4 };
// A set of row filters, bit i for filter type i.
using TPNGRowFilters = uint8_t;
constexpr TPNGRowFilters RowFilterBit(TPNGRowFilter f) { return static_cast<TPNGRowFilters>(1u << f); }
constexpr TPNGRowFilters AllRowFilters = 0x1F;

// Bytes of a filtered row of `width` pixels (without its filter byte) and
// the filter distance for a colour type and bit depth; 0 for other types.
void PngLineSize(uint8_t colorType, uint8_t bitDepth, uint32_t width, uint64_t& lineSize, uint32_t& pixelStride);

class TPNGChunkList {
 public:
  TPNGChunkList();
  virtual ~TPNGChunkList();
  TPNGChunkList(const TPNGChunkList&) = delete;
  TPNGChunkList& operator=(const TPNGChunkList&) = delete;

  // Replaces the chunk list with the image in the stream. A failed load
  // leaves the picture empty.
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);

  void RemoveAllChunks();
  void ResetGammaCurves();
  // Copies settings and chunks of another picture.
  void CopyFromPNG(const TPNGChunkList& source);

  TPNGList& Chunks() { return FChunks; }
  const TPNGList& Chunks() const { return FChunks; }
  bool HasHeader() const;
  // Raises EPNGHeaderNotPresent on a picture without one.
  TChunkIHDR& Header() const;

  // Bytes of a filtered row of `width` pixels (without its filter byte) and
  // the filter distance, for the header's format; both 0 without a header.
  void RowAndPixelSize(uint32_t width, uint64_t& lineSize, uint32_t& pixelStride) const;

  TPNGTransparency TransparencyKind() const;
  // 0x00BBGGRR; 0 without a tRNS chunk.
  uint32_t TransparentColor() const;

  uint8_t* RowPointer(int row) const;
  // Alpha bytes of image row y for colour types 4 and 6, nullptr otherwise.
  uint8_t* AlphaRow(int y) const;

  // Colour 0x00BBGGRR of a pixel, 0 outside the image.
  uint32_t GetPixel(int x, int y) const;
  // Writes a pixel (nearest palette entry for indexed DIBs); no gamma.
  void SetPixel(int x, int y, uint32_t color);

  uint32_t IdatSplitSize() const { return FIdatSplitSize; }
  // Anything below 65535 stores 65535.
  void SetIdatSplitSize(uint32_t value) { FIdatSplitSize = value > 65534 ? value : 65535; }

  // Called whenever the header lays out new pixel memory.
  virtual void HeaderPrepared() {}

  uint8_t GammaCurve[256];         // file sample -> displayed value
  uint8_t InverseGammaCurve[256];  // displayed value -> file sample
  TPNGRowFilters RowFilters = RowFilterBit(rfSub);
  uint8_t CompressionLevel = 7;
  uint8_t InterlaceMethod = 0;

 private:
  void ReadChunks(TStream& stream);

  uint32_t FIdatSplitSize = 65535;
  TPNGList FChunks;
};
