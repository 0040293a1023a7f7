#include "png/PngAncillaryChunks.h"

#include <cmath>
#include <cstring>

#include "png/PngErrors.h"
#include "png/PngHeaderChunk.h"
#include "png/PngCodec.h"
#include "png/PngZlib.h"

namespace {

uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16); }

// The displayed value of a grey or colour sample at the image's depth: what
// the decoder puts on screen for it (high byte, grey ramp, gamma).
uint8_t DisplayedSample(const TPNGChunkList& png, uint8_t depth, uint16_t sample) {
  if (depth == 16) return png.GammaCurve[sample >> 8];
  if (depth >= 8) return png.GammaCurve[sample & 0xFF];
  const unsigned max = (1u << depth) - 1;
  const unsigned s = sample > max ? max : sample;
  return png.GammaCurve[(s * 255 + max / 2) / max];
}

// The sample at the image's depth that displays as `value`.
uint16_t SampleForDisplayed(const TPNGChunkList& png, uint8_t depth, uint8_t value) {
  const unsigned v = png.InverseGammaCurve[value];
  if (depth == 16) return static_cast<uint16_t>(v * 257);
  if (depth >= 8) return static_cast<uint16_t>(v);
  const unsigned max = (1u << depth) - 1;
  return static_cast<uint16_t>((v * max + 127) / 255);
}

// The curve for a gAMA value. Files carry a handful of values, so the last
// few curves are kept: their powers are the costly part of a small image.
const uint8_t* GammaCurveFor(uint32_t g) {
  struct Entry {
    uint32_t Gamma = 0;
    uint8_t Curve[256];
  };
  thread_local Entry cache[4];
  thread_local unsigned next = 0;
  for (const Entry& e : cache)
    if (e.Gamma == g) return e.Curve;
  Entry& e = cache[next++ % 4];
  const long double exponent = 1.0L / (static_cast<long double>(g) / 100000.0L * 2.2L);
  for (int i = 0; i < 256; ++i) {
    const long double base = static_cast<long double>(i) / 255.0L;
    const long double p = i == 0 ? 0.0L : std::pow(base, exponent);
    long double v = std::nearbyint(p * 255.0L);
    if (!(v >= 0)) v = 0;  // also NaN
    if (v > 255) v = 255;
    e.Curve[i] = static_cast<uint8_t>(v);
  }
  e.Gamma = g;
  return e.Curve;
}

}  // namespace

// --- PLTE -------------------------------------------------------------------

void TChunkPLTE::Assign(const TChunk& source) {
  const auto* src = dynamic_cast<const TChunkPLTE*>(&source);
  if (!src) RaisePNGError<EPngError>(PngMessages::IncompatibleChunks);
  Count = src->Count;  // the colours travel with the header
}

bool TChunkPLTE::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  TChunk::LoadFromStream(stream, type, size);
  if (DataSize() % 3 != 0 || DataSize() > 768) RaisePNGError<EPNGInvalidPalette>(PngMessages::InvalidPalette);
  Count = DataSize() / 3;
  TChunkIHDR& header = GetHeader();
  const uint8_t* gamma = Owner()->GammaCurve;
  const uint8_t* d = Data();
  for (uint32_t i = 0; i < Count; ++i) {
    TPngRGBQuad& e = header.DIBInfo.bmiColors[i];
    e.rgbRed = gamma[d[i * 3]];
    e.rgbGreen = gamma[d[i * 3 + 1]];
    e.rgbBlue = gamma[d[i * 3 + 2]];
    e.rgbReserved = 0;
  }
  return true;
}

bool TChunkPLTE::SaveToStream(TStream& stream) {
  const uint32_t count = Count > 256 ? 256 : Count;
  ResizeData(count * 3);
  const TChunkIHDR& header = GetHeader();
  const uint8_t* inverse = Owner()->InverseGammaCurve;
  uint8_t* d = Data();
  for (uint32_t i = 0; i < count; ++i) {
    const TPngRGBQuad& e = header.DIBInfo.bmiColors[i];
    d[i * 3] = inverse[e.rgbRed];
    d[i * 3 + 1] = inverse[e.rgbGreen];
    d[i * 3 + 2] = inverse[e.rgbBlue];
  }
  return SaveData(stream);
}

uint32_t TChunkPLTE::Item(unsigned index) const {
  if (index >= Count || index > 255) RaisePNGError<EPngError>(PngMessages::UnknownPalEntry);
  const TPngRGBQuad& e = GetHeader().DIBInfo.bmiColors[index];
  return (uint32_t(e.rgbRed) << 16) | (uint32_t(e.rgbGreen) << 8) | e.rgbBlue;
}

// --- tRNS -------------------------------------------------------------------

void TChunktRNS::Assign(const TChunk& source) {
  if (const auto* src = dynamic_cast<const TChunktRNS*>(&source)) {
    std::memcpy(Alphas, src->Alphas, sizeof(Alphas));
    MaskTransparency = src->MaskTransparency;
  }
  TChunk::Assign(source);
}

bool TChunktRNS::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  TChunk::LoadFromStream(stream, type, size);
  if (DataSize() > 256) RaisePNGError<EPNGInvalidPalette>(PngMessages::InvalidPalette);
  std::memset(Alphas, 255, sizeof(Alphas));
  if (DataSize() > 0) std::memcpy(Alphas, Data(), DataSize());
  switch (GetHeader().ColorType) {
    // A key shorter than its samples would be padded with 255s and make
    // some other colour see-through: such a chunk keys nothing.
    case 0: MaskTransparency = DataSize() >= 2; break;
    case 2: MaskTransparency = DataSize() >= 6; break;
    case 3: {
      MaskTransparency = false;
      for (uint32_t i = 0; i < DataSize(); ++i)
        if (Alphas[i] != 255) MaskTransparency = true;
      break;
    }
    default: MaskTransparency = false; break;
  }
  return true;
}

bool TChunktRNS::SaveToStream(TStream& stream) {
  if (DataSize() <= 256 && DataSize() > 0) std::memcpy(Data(), Alphas, DataSize());
  return SaveData(stream);
}

uint32_t TChunktRNS::TransparentColor() const {
  const TChunkIHDR& header = GetHeader();
  const TPNGChunkList& png = *Owner();
  switch (header.ColorType) {
    case 0: {
      const uint8_t v = DisplayedSample(png, header.BitDepth, ReadBE16(Alphas));
      return Rgb(v, v, v);
    }
    case 2:
      return Rgb(DisplayedSample(png, header.BitDepth, ReadBE16(Alphas)),
                 DisplayedSample(png, header.BitDepth, ReadBE16(Alphas + 2)),
                 DisplayedSample(png, header.BitDepth, ReadBE16(Alphas + 4)));
    case 3:
      // The entry's colour as the DIB shows it; an entry past the palette's
      // end is black there, like the pixels that use it.
      for (uint32_t i = 0; i < DataSize() && i < 256; ++i) {
        if (Alphas[i] == 0) {
          if (!png.Chunks().ItemFromClass<TChunkPLTE>()) return 0;
          const TPngRGBQuad& e = header.DIBInfo.bmiColors[i];
          return Rgb(e.rgbRed, e.rgbGreen, e.rgbBlue);
        }
      }
      return 0;
    default: return 0;
  }
}

void TChunktRNS::SetTransparentColor(uint32_t color) {
  std::memset(Alphas, 0, sizeof(Alphas));
  MaskTransparency = true;
  const TChunkIHDR& header = GetHeader();
  const TPNGChunkList& png = *Owner();
  const uint8_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  switch (header.ColorType) {
    case 0:
      ResizeData(2);
      WriteBE16(Alphas, SampleForDisplayed(png, header.BitDepth, r));
      break;
    case 2:
      ResizeData(6);
      WriteBE16(Alphas, SampleForDisplayed(png, header.BitDepth, r));
      WriteBE16(Alphas + 2, SampleForDisplayed(png, header.BitDepth, g));
      WriteBE16(Alphas + 4, SampleForDisplayed(png, header.BitDepth, b));
      break;
    case 3: {
      // Only entries that the image's depth can index.
      const int bpp = header.DIBBitsPerPixel();
      const unsigned entries = bpp > 0 && bpp < 8 ? 1u << bpp : 256u;
      unsigned found = 0;
      for (unsigned i = 0; i < entries; ++i) {
        const TPngRGBQuad& e = header.DIBInfo.bmiColors[i];
        if (e.rgbRed == r && e.rgbGreen == g && e.rgbBlue == b) {
          found = i;
          break;
        }
      }
      std::memset(Alphas, 255, found);
      ResizeData(found + 1);
      break;
    }
    default: break;
  }
  if (DataSize() > 0) std::memcpy(Data(), Alphas, DataSize());
}

// --- gAMA -------------------------------------------------------------------

TChunkgAMA::TChunkgAMA(TPNGChunkList* owner) : TChunk(owner) {
  SetNameFrom("gAMA");
  SetGamma(1);
}

uint32_t TChunkgAMA::Gamma() const { return DataSize() == 4 ? ReadBE32(Data()) : 1; }

void TChunkgAMA::SetGamma(uint32_t value) {
  if (DataSize() != 4) ResizeData(4);
  WriteBE32(Data(), value);
}

void TChunkgAMA::Assign(const TChunk& source) {
  const auto* src = dynamic_cast<const TChunkgAMA*>(&source);
  if (!src) RaisePNGError<EPngError>(PngMessages::IncompatibleChunks);
  SetGamma(src->Gamma());
}

bool TChunkgAMA::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  TChunk::LoadFromStream(stream, type, size);
  // A damaged value (wrong size, zero, or past the format's signed range)
  // leaves the tables alone rather than darkening the whole image.
  if (DataSize() != 4) return true;
  const uint32_t g = Gamma();
  if (g == 0 || g > 0x7FFFFFFFu) return true;
  TPNGChunkList& png = *Owner();
  const uint8_t* curve = GammaCurveFor(g);
  for (int i = 0; i < 256; ++i) {
    png.GammaCurve[i] = curve[i];
    png.InverseGammaCurve[curve[i]] = static_cast<uint8_t>(i);
  }
  return true;
}

// --- tIME -------------------------------------------------------------------

void TChunktIME::Assign(const TChunk& source) {
  if (const auto* src = dynamic_cast<const TChunktIME*>(&source)) {
    Year = src->Year;
    Month = src->Month;
    Day = src->Day;
    Hour = src->Hour;
    Minute = src->Minute;
    Second = src->Second;
  }
  TChunk::Assign(source);
}

bool TChunktIME::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  TChunk::LoadFromStream(stream, type, size);
  if (DataSize() == 7) {
    const uint8_t* d = Data();
    Year = ReadBE16(d);
    Month = d[2];
    Day = d[3];
    Hour = d[4];
    Minute = d[5];
    Second = d[6];
  }
  return true;
}

bool TChunktIME::SaveToStream(TStream& stream) {
  ResizeData(7);
  uint8_t* d = Data();
  WriteBE16(d, Year);
  d[2] = Month;
  d[3] = Day;
  d[4] = Hour;
  d[5] = Minute;
  d[6] = Second;
  return SaveData(stream);
}

// --- tEXt and zTXt ----------------------------------------------------------

uint32_t TChunktEXt::SplitKeyword() {
  const uint8_t* d = Data();
  const auto* zero = static_cast<const uint8_t*>(std::memchr(d, 0, DataSize()));
  const uint32_t at = zero ? static_cast<uint32_t>(zero - d) : DataSize();
  Keyword.assign(reinterpret_cast<const char*>(d), at);
  return at;
}

void TChunktEXt::Assign(const TChunk& source) {
  if (const auto* src = dynamic_cast<const TChunktEXt*>(&source)) {
    Keyword = src->Keyword;
    Text = src->Text;
  }
}

bool TChunktEXt::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  TChunk::LoadFromStream(stream, type, size);
  if (DataSize() > 2) {
    const uint32_t zero = SplitKeyword();
    if (zero < DataSize())
      Text.assign(reinterpret_cast<const char*>(Data()) + zero + 1, DataSize() - zero - 1);
    else
      Text.clear();
  }
  return true;
}

bool TChunktEXt::SaveToStream(TStream& stream) {
  ResizeData(static_cast<uint32_t>(Keyword.size() + Text.size() + 1));
  uint8_t* d = Data();
  std::memcpy(d, Keyword.data(), Keyword.size());
  d[Keyword.size()] = 0;
  std::memcpy(d + Keyword.size() + 1, Text.data(), Text.size());
  return SaveData(stream);
}

bool TChunkzTXt::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  TChunk::LoadFromStream(stream, type, size);
  if (DataSize() < 4) return true;
  const uint32_t zero = SplitKeyword();
  Text.clear();
  // Without its separator and method byte the chunk holds no text.
  if (zero + 2 > DataSize()) return true;
  if (Data()[zero + 1] != 0) return true;
  std::vector<uint8_t> out;
  std::string error;
  if (InflateTextBuffer(Data() + zero + 2, DataSize() - zero - 2, out, error))
    Text.assign(reinterpret_cast<const char*>(out.data()), out.size());
  return true;
}

bool TChunkzTXt::SaveToStream(TStream& stream) {
  if (Text.empty()) Text = " ";
  std::vector<uint8_t> out;
  std::string error;
  if (!DeflateTextBuffer(reinterpret_cast<const uint8_t*>(Text.data()), Text.size(), Owner()->CompressionLevel, error,
                         out))
    return false;
  ResizeData(static_cast<uint32_t>(Keyword.size() + 2 + out.size()));
  uint8_t* d = Data();
  std::memcpy(d, Keyword.data(), Keyword.size());
  d[Keyword.size()] = 0;
  d[Keyword.size() + 1] = 0;
  std::memcpy(d + Keyword.size() + 2, out.data(), out.size());
  return SaveData(stream);
}
