#include "png/PngHeaderChunk.h"

#include <cstring>

#include "png/PngErrors.h"
#include "png/PngCodec.h"

bool IsValidPngFormat(uint8_t colorType, uint8_t bitDepth) {
  switch (colorType) {
    case 0: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case 3: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case 2:
    case 4:
    case 6: return bitDepth == 8 || bitDepth == 16;
    default: return false;
  }
}

int TChunkIHDR::DIBBitsPerPixel() const {
  switch (ColorType) {
    case 0:
    case 3:
    case 4:
      switch (BitDepth) {
        case 1: return 1;
        case 2:
        case 4: return 4;
        case 8: return 8;
        case 16: return ColorType == 3 ? 0 : 8;
        default: return 0;
      }
    case 2:
    case 6: return 24;
    default: return 0;
  }
}

void TChunkIHDR::FreeDIB() {
  FPixels.reset();
  FAlpha.reset();
  PixelBits = nullptr;
  AlphaBits = nullptr;
}

void TChunkIHDR::PrepareDIB() {
  DIBInfo = TPngDIBInfo{};
  FreeDIB();
  const int bpp = DIBBitsPerPixel();
  PaletteDIB = ColorType == 0 || ColorType == 3 || ColorType == 4;
  auto& h = DIBInfo.bmiHeader;
  h.biSize = 40;
  h.biWidth = static_cast<int32_t>(Width);
  h.biHeight = static_cast<int32_t>(Height);
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bpp);
  const uint64_t stride = ((uint64_t(bpp) * Width + 31) / 32) * 4;
  const uint64_t pixelBytes = stride * Height;
  const bool hasAlpha = ColorType == 4 || ColorType == 6;
  const uint64_t alphaBytes = hasAlpha ? uint64_t(Width) * Height : 0;
  if (pixelBytes + alphaBytes > MaxImageBytes) RaisePNGError<EPNGOutMemory>(PngMessages::OutMemory);
  RowStride = static_cast<uint32_t>(stride);
  // calloc leaves large blocks to the system's zero pages.
  FPixels.reset(static_cast<uint8_t*>(std::calloc(pixelBytes ? pixelBytes : 1, 1)));
  if (hasAlpha) FAlpha.reset(static_cast<uint8_t*>(std::calloc(alphaBytes ? alphaBytes : 1, 1)));
  if (!FPixels || (hasAlpha && !FAlpha)) {
    FreeDIB();
    RaisePNGError<EPNGOutMemory>(PngMessages::OutMemory);
  }
  PixelBits = FPixels.get();
  AlphaBits = FAlpha.get();
  if (Owner()) Owner()->HeaderPrepared();
}

void TChunkIHDR::Assign(const TChunk& source) {
  const auto* src = dynamic_cast<const TChunkIHDR*>(&source);
  if (!src) RaisePNGError<EPngError>(PngMessages::IncompatibleChunks);
  Width = src->Width;
  Height = src->Height;
  BitDepth = src->BitDepth;
  ColorType = src->ColorType;
  CompressionMethod = src->CompressionMethod;
  FilterMethod = src->FilterMethod;
  InterlaceMethod = src->InterlaceMethod;
  PrepareDIB();
  if (src->PixelBits) std::memcpy(PixelBits, src->PixelBits, size_t(RowStride) * Height);
  if (AlphaBits && src->AlphaBits) std::memcpy(AlphaBits, src->AlphaBits, size_t(Width) * Height);
  std::memcpy(DIBInfo.bmiColors, src->DIBInfo.bmiColors, sizeof(DIBInfo.bmiColors));
}

bool TChunkIHDR::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  TChunk::LoadFromStream(stream, type, size);
  if (DataSize() < 13) RaisePNGError<EPngInvalidIHDR>(PngMessages::InvalidIHDR);
  const uint8_t* d = Data();
  Width = ReadBE32(d);
  Height = ReadBE32(d + 4);
  BitDepth = d[8];
  ColorType = d[9];
  CompressionMethod = d[10];
  FilterMethod = d[11];
  InterlaceMethod = d[12];
  if (Width > 65535 || Height > 65535) RaisePNGError<EPNGSizeExceeds>(PngMessages::SizeExceeds);
  if (CompressionMethod != 0) RaisePNGError<EPNGUnknownCompression>(PngMessages::UnknownCompression);
  if (InterlaceMethod > 1) RaisePNGError<EPNGUnknownInterlace>(PngMessages::UnknownInterlace);
  if (Owner()) Owner()->InterlaceMethod = InterlaceMethod;
  PrepareDIB();
  return true;
}

bool TChunkIHDR::SaveToStream(TStream& stream) {
  // A 2-bit image is held in a 4-bit DIB and goes out as one.
  if (BitDepth == 2) BitDepth = 4;
  ResizeData(13);
  uint8_t* d = Data();
  WriteBE32(d, Width);
  WriteBE32(d + 4, Height);
  d[8] = BitDepth;
  d[9] = ColorType;
  d[10] = CompressionMethod;
  d[11] = FilterMethod;
  // Any value but 0 is written, and encoded, as Adam7: the file never names
  // an interlace method its data does not follow.
  d[12] = (Owner() ? Owner()->InterlaceMethod : InterlaceMethod) != 0 ? 1 : 0;
  return SaveData(stream);
}
