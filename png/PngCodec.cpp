#include "png/PngCodec.h"

#include <cstring>

#include "classlib/Streams.h"
#include "png/PngAncillaryChunks.h"
#include "png/PngErrors.h"
#include "png/PngHeaderChunk.h"
#include "png/PngIdatChunk.h"

namespace {

constexpr uint8_t Signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

bool IsType(const TChunkName& type, const char* name) { return std::memcmp(type.data(), name, 4) == 0; }

template <class T>
std::unique_ptr<TChunk> Make(TPNGChunkList* owner) {
  return std::make_unique<T>(owner);
}

}  // namespace

void RegisterCodecChunkClasses(std::map<std::string, TChunkFactory>& registry) {
  registry["IEND"] = &Make<TChunkIEND>;
  registry["IHDR"] = &Make<TChunkIHDR>;
  registry["IDAT"] = &Make<TChunkIDAT>;
  registry["PLTE"] = &Make<TChunkPLTE>;
  registry["gAMA"] = &Make<TChunkgAMA>;
  registry["tRNS"] = &Make<TChunktRNS>;
  registry["tIME"] = &Make<TChunktIME>;
  registry["tEXt"] = &Make<TChunktEXt>;
  registry["zTXt"] = &Make<TChunkzTXt>;
}

void PngLineSize(uint8_t colorType, uint8_t d, uint32_t w, uint64_t& lineSize, uint32_t& pixelStride) {
  const uint64_t wd = uint64_t(w) * d;
  switch (colorType) {
    case 0:
      lineSize = (wd + 7) / 8;
      pixelStride = d == 16 ? 2 : 1;
      break;
    case 2:
      lineSize = wd * 3 / 8;
      pixelStride = d * 3u / 8;
      break;
    case 3:
      lineSize = (wd + 7) / 8;
      pixelStride = 1;
      break;
    case 4:
      lineSize = wd * 2 / 8;
      pixelStride = d / 4u;
      break;
    case 6:
      lineSize = wd * 4 / 8;
      pixelStride = d / 2u;
      break;
    default:
      lineSize = 0;
      pixelStride = 0;
      break;
  }
}

TPNGChunkList::TPNGChunkList() { ResetGammaCurves(); }

TPNGChunkList::~TPNGChunkList() = default;

void TPNGChunkList::ResetGammaCurves() {
  for (int i = 0; i < 256; ++i) {
    GammaCurve[i] = static_cast<uint8_t>(i);
    InverseGammaCurve[i] = static_cast<uint8_t>(i);
  }
}

void TPNGChunkList::RemoveAllChunks() {
  ResetGammaCurves();
  FChunks.Clear();
}

bool TPNGChunkList::HasHeader() const { return dynamic_cast<TChunkIHDR*>(FChunks.Item(0)) != nullptr; }

TChunkIHDR& TPNGChunkList::Header() const {
  auto* h = dynamic_cast<TChunkIHDR*>(FChunks.Item(0));
  if (!h) RaisePNGError<EPNGHeaderNotPresent>(PngMessages::HeaderNotPresent);
  return *h;
}

void TPNGChunkList::RowAndPixelSize(uint32_t width, uint64_t& lineSize, uint32_t& pixelStride) const {
  if (!HasHeader()) {
    lineSize = 0;
    pixelStride = 0;
    return;
  }
  const TChunkIHDR& h = Header();
  PngLineSize(h.ColorType, h.BitDepth, width, lineSize, pixelStride);
}

void TPNGChunkList::LoadFromStream(TStream& stream) {
  RemoveAllChunks();
  try {
    ReadChunks(stream);
  } catch (...) {
    // Half a picture (a header without its pixels) is worse than none.
    RemoveAllChunks();
    throw;
  }
}

void TPNGChunkList::ReadChunks(TStream& stream) {
  uint8_t signature[8];
  if (stream.Read(signature, 8) != 8 || std::memcmp(signature, Signature, 8) != 0)
    RaisePNGError<EPNGInvalidFileHeader>(PngMessages::InvalidFileHeader);
  bool hasIdat = false;
  for (;;) {
    uint32_t length = 0;
    TChunkName type{};
    if (!ReadChunkHeader(stream, length, type)) RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
    const bool isHeader = IsType(type, "IHDR");
    if (FChunks.Count() == 0 && !isHeader) RaisePNGError<EPNGIHDRNotFirst>(PngMessages::IHDRNotFirst);
    // A second header would re-lay the pixels under the decoder.
    if (FChunks.Count() > 0 && isHeader) RaisePNGError<EPngInvalidIHDR>(PngMessages::InvalidIHDR);
    if (IsType(type, "cHRM") || (IsType(type, "IDAT") && hasIdat)) {
      stream.Seek(int64_t(length) + 4, soCurrent);
      continue;
    }
    bool known = false;
    TChunk* chunk = FChunks.Add(CreateChunkByName(this, type, &known));
    if (!known && type[0] != 0 && (type[0] & 0x20) == 0)
      RaisePNGError<EPNGUnknownCriticalChunk>(PngMessages::UnknownCriticalChunk);
    if (IsType(type, "IDAT")) hasIdat = true;
    if (!chunk->LoadFromStream(stream, type, length)) break;
    if (IsType(type, "IEND")) break;
  }
  if (!hasIdat) RaisePNGError<EPNGNoImageData>(PngMessages::NoImageData);
}

void TPNGChunkList::SaveToStream(TStream& stream) {
  stream.WriteBuffer(Signature, 8);
  for (int i = 0; i < FChunks.Count(); ++i) FChunks.Item(i)->SaveToStream(stream);
}

void TPNGChunkList::CopyFromPNG(const TPNGChunkList& source) {
  InterlaceMethod = source.InterlaceMethod;
  SetIdatSplitSize(source.IdatSplitSize());
  CompressionLevel = source.CompressionLevel;
  RowFilters = source.RowFilters;
  RemoveAllChunks();
  // The copied palette and pixels hold displayed values: the copy needs the
  // source's curves to write them back as the file had them.
  std::memcpy(GammaCurve, source.GammaCurve, sizeof GammaCurve);
  std::memcpy(InverseGammaCurve, source.InverseGammaCurve, sizeof InverseGammaCurve);
  try {
    for (int i = 0; i < source.FChunks.Count(); ++i) {
      const TChunk* src = source.FChunks.Item(i);
      TChunk* copy = FChunks.Add(src->CreateSame(this));
      copy->Assign(*src);
    }
  } catch (...) {
    RemoveAllChunks();
    throw;
  }
}

TPNGTransparency TPNGChunkList::TransparencyKind() const {
  const TChunkIHDR& h = Header();
  const auto* trns = FChunks.ItemFromClass<TChunktRNS>();
  switch (h.ColorType) {
    case 0:
    case 2: return trns && trns->MaskTransparency ? ptColorKey : ptOpaque;
    case 3:
      if (!trns) return ptOpaque;
      return trns->MaskTransparency ? ptColorKey : ptAlphaChannel;
    case 4:
    case 6: return ptAlphaChannel;
    default: return ptOpaque;
  }
}

uint32_t TPNGChunkList::TransparentColor() const {
  const auto* trns = FChunks.ItemFromClass<TChunktRNS>();
  return trns && HasHeader() ? trns->TransparentColor() : 0;
}

uint8_t* TPNGChunkList::RowPointer(int row) const {
  const TChunkIHDR& h = Header();
  return h.PixelBits + int64_t(h.RowStride) * (int64_t(h.Height) - 1 - row);
}

uint8_t* TPNGChunkList::AlphaRow(int y) const {
  const TChunkIHDR& h = Header();
  if ((h.ColorType != 4 && h.ColorType != 6) || !h.AlphaBits) return nullptr;
  return h.AlphaBits + int64_t(h.Width) * y;
}

uint32_t TPNGChunkList::GetPixel(int x, int y) const {
  if (!HasHeader()) return 0;
  const TChunkIHDR& h = Header();
  if (x < 0 || y < 0 || uint32_t(x) >= h.Width || uint32_t(y) >= h.Height || !h.PixelBits) return 0;
  const uint8_t* row = RowPointer(y);
  if (h.ColorType == 0 || h.ColorType == 3) {
    const int bpp = h.DIBBitsPerPixel();
    const unsigned v = DIBIndexAt(row, x, bpp);
    // Both come from the colour table: PLTE's colours or the grey ramp.
    const TPngRGBQuad& e = h.DIBInfo.bmiColors[v];
    return uint32_t(e.rgbRed) | (uint32_t(e.rgbGreen) << 8) | (uint32_t(e.rgbBlue) << 16);
  }
  if (h.ColorType == 4) {
    const TPngRGBQuad& e = h.DIBInfo.bmiColors[row[x]];
    return uint32_t(e.rgbRed) | (uint32_t(e.rgbGreen) << 8) | (uint32_t(e.rgbBlue) << 16);
  }
  const uint8_t* p = row + int64_t(x) * 3;
  return uint32_t(p[2]) | (uint32_t(p[1]) << 8) | (uint32_t(p[0]) << 16);
}

void TPNGChunkList::SetPixel(int x, int y, uint32_t color) {
  if (!HasHeader()) return;
  const TChunkIHDR& h = Header();
  if (x < 0 || y < 0 || uint32_t(x) >= h.Width || uint32_t(y) >= h.Height || !h.PixelBits) return;
  uint8_t* row = RowPointer(y);
  const int r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  if (h.ColorType == 0 || h.ColorType == 3 || h.ColorType == 4) {
    const int bpp = h.DIBBitsPerPixel();
    // Only the entries this depth can index.
    const unsigned entries = bpp < 8 ? 1u << bpp : 256u;
    unsigned best = 0;
    long bestDistance = -1;
    for (unsigned i = 0; i < entries; ++i) {
      const TPngRGBQuad& e = h.DIBInfo.bmiColors[i];
      const long d = long(e.rgbRed - r) * (e.rgbRed - r) + long(e.rgbGreen - g) * (e.rgbGreen - g) +
                     long(e.rgbBlue - b) * (e.rgbBlue - b);
      if (bestDistance < 0 || d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    switch (bpp) {
      case 1: {
        const int shift = 7 - (x & 7);
        row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(1u << shift)) | (best << shift));
        break;
      }
      case 4: {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(15u << shift)) | (best << shift));
        break;
      }
      default: row[x] = static_cast<uint8_t>(best); break;
    }
    return;
  }
  uint8_t* p = row + int64_t(x) * 3;
  p[0] = static_cast<uint8_t>(b);
  p[1] = static_cast<uint8_t>(g);
  p[2] = static_cast<uint8_t>(r);
}
