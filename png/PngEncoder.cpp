// Encoding of the header's DIB and alpha buffer as IDAT chunks.
#include <algorithm>
#include <cstring>

#include "classlib/Streams.h"
#include "png/PngCrc.h"
#include "png/PngErrors.h"
#include "png/PngFilters.h"
#include "png/PngHeaderChunk.h"
#include "png/PngIdatChunk.h"
#include "png/PngCodec.h"
#include "png/PngRows.h"
#include "png/PngZlib.h"

namespace {

// A 16-bit sample from a byte: the byte repeated, so 255 stays full white.
inline void Put16(uint8_t* p, uint8_t v) {
  p[0] = v;
  p[1] = v;
}

// The inverse of the decoder's row routine: pixel k of the PNG row comes
// from column start + k * step of the DIB row.
void EncodeRow(const TChunkIHDR& h, uint8_t depth, const uint8_t* dib, const uint8_t* alpha, uint8_t* raw,
               uint64_t lineSize, uint32_t start, uint32_t step, uint32_t count, const uint8_t* ig) {
  const bool plain = start == 0 && step == 1;
  switch (h.ColorType * 100 + depth) {
    case 1:
    case 301:
    case 4:
    case 304:
    case 8:
    case 308:
      if (plain) {
        std::memcpy(raw, dib, lineSize);
      } else {
        std::memset(raw, 0, lineSize);
        const unsigned d = depth, mask = (1u << d) - 1, perByte = 8 / d;
        for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
          const unsigned v = (dib[c / perByte] >> (8 - d - (c % perByte) * d)) & mask;
          raw[k / perByte] |= static_cast<uint8_t>(v << (8 - d - (k % perByte) * d));
        }
      }
      break;
    case 16:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) Put16(raw + 2 * k, dib[c]);
      break;
    case 208:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        raw[3 * k] = ig[dib[3 * c + 2]];
        raw[3 * k + 1] = ig[dib[3 * c + 1]];
        raw[3 * k + 2] = ig[dib[3 * c]];
      }
      break;
    case 216:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        Put16(raw + 6 * k, ig[dib[3 * c + 2]]);
        Put16(raw + 6 * k + 2, ig[dib[3 * c + 1]]);
        Put16(raw + 6 * k + 4, ig[dib[3 * c]]);
      }
      break;
    case 408:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        raw[2 * k] = dib[c];
        raw[2 * k + 1] = alpha[c];
      }
      break;
    case 416:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        Put16(raw + 4 * k, dib[c]);
        Put16(raw + 4 * k + 2, alpha[c]);
      }
      break;
    case 608:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        raw[4 * k] = ig[dib[3 * c + 2]];
        raw[4 * k + 1] = ig[dib[3 * c + 1]];
        raw[4 * k + 2] = ig[dib[3 * c]];
        raw[4 * k + 3] = alpha[c];
      }
      break;
    case 616:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        Put16(raw + 8 * k, ig[dib[3 * c + 2]]);
        Put16(raw + 8 * k + 2, ig[dib[3 * c + 1]]);
        Put16(raw + 8 * k + 4, ig[dib[3 * c]]);
        Put16(raw + 8 * k + 6, alpha[c]);
      }
      break;
    default: break;  // refused before anything is written
  }
}

}  // namespace

uint8_t TChunkIDAT::ChooseFilter() {
  const TPNGRowFilters set = Owner()->RowFilters & AllRowFilters;
  const uint8_t* x = FRaw.data();
  const size_t n = FLineSize;
  for (uint8_t f = 1; f <= 4; ++f)
    if (set & (1u << f)) FilterRow(f, x, FFiltered[0].data(), FFiltered[f].data(), n, FPixelStride);
  std::memcpy(FFiltered[0].data(), x, n);
  if (set == 0 || set == RowFilterBit(rfNone)) return 0;
  uint8_t choice = 0;
  uint64_t best = 0;
  for (uint8_t f = 0; f <= 4; ++f) {
    if (!(set & (1u << f))) continue;
    if (set == (1u << f)) return f;
    // Bytes that repeat one of the two before them compress well.
    const uint8_t* out = FFiltered[f].data();
    uint64_t score = 0;
    for (size_t j = 2; j < n; ++j) score += (out[j] == out[j - 1] || out[j] == out[j - 2]) ? 1 : 0;
    if (score > best) {
      best = score;
      choice = f;
    }
  }
  return choice;
}

void TChunkIDAT::WriteIdatChunk(TStream& stream, const uint8_t* buffer, uint32_t length) {
  static constexpr uint8_t type[4] = {'I', 'D', 'A', 'T'};
  uint8_t head[8];
  WriteBE32(head, length);
  std::memcpy(head + 4, type, 4);
  stream.WriteBuffer(head, 8);
  if (length > 0) stream.WriteBuffer(buffer, length);
  uint8_t crc[4];
  WriteBE32(crc, ChunkCrc(type, buffer, length));
  stream.WriteBuffer(crc, 4);
}

void TChunkIDAT::WriteIdatData(IdatWriteStream& zs, const uint8_t* buffer, uint64_t length) {
  z_stream& z = zs.ZLib;
  z.next_in = const_cast<Bytef*>(buffer);
  z.avail_in = static_cast<uInt>(length);
  while (z.avail_in > 0) {
    if (z.avail_out == 0) {
      WriteIdatChunk(*zs.Target, zs.Buffer.get(), zs.BufferSize);
      z.next_out = zs.Buffer.get();
      z.avail_out = zs.BufferSize;
    }
    const int r = deflate(&z, Z_NO_FLUSH);
    if (r != Z_OK) RaisePNGError<EPNGZLIBError>(std::string(PngMessages::ZLIBError) + ZlibResultText(r));
  }
}

void TChunkIDAT::FinishIdatData(IdatWriteStream& zs) {
  z_stream& z = zs.ZLib;
  z.avail_in = 0;
  for (;;) {
    if (z.avail_out == 0) {
      WriteIdatChunk(*zs.Target, zs.Buffer.get(), zs.BufferSize);
      z.next_out = zs.Buffer.get();
      z.avail_out = zs.BufferSize;
    }
    const int r = deflate(&z, Z_FINISH);
    if (r == Z_STREAM_END) break;
    if (r != Z_OK) RaisePNGError<EPNGZLIBError>(std::string(PngMessages::ZLIBError) + ZlibResultText(r));
  }
  WriteIdatChunk(*zs.Target, zs.Buffer.get(), zs.BufferSize - z.avail_out);
}

bool TChunkIDAT::SaveToStream(TStream& stream) {
  TChunkIHDR& h = GetHeader();
  if (!IsValidPngFormat(h.ColorType, h.BitDepth) || h.Width == 0 || h.Height == 0 || !h.PixelBits)
    RaisePNGError<EPngInvalidIHDR>(PngMessages::InvalidIHDR);
  TPNGChunkList& png = *Owner();
  // The DIB of a 2-bit image holds 4-bit pixels, and the header says so.
  const uint8_t depth = h.BitDepth == 2 ? 4 : h.BitDepth;
  PngLineSize(h.ColorType, depth, h.Width, FLineSize, FPixelStride);
  FRaw.assign(FLineSize, 0);
  FFiltered[0].assign(FLineSize, 0);
  for (int f = 1; f <= 4; ++f) {
    if (png.RowFilters & (1u << f))
      FFiltered[f].assign(FLineSize, 0);
    else
      FFiltered[f].clear();
  }
  const uint8_t* ig = png.InverseGammaCurve;
  {
    IdatWriteStream zs(stream, png.CompressionLevel, png.IdatSplitSize());
    auto encodeRow = [&](uint64_t lineSize, uint32_t y, uint32_t start, uint32_t step, uint32_t count) {
      const uint8_t* dib = h.PixelBits + uint64_t(h.RowStride) * (h.Height - 1 - y);
      const uint8_t* alpha = h.AlphaBits ? h.AlphaBits + uint64_t(h.Width) * y : nullptr;
      FLineSize = lineSize;
      EncodeRow(h, depth, dib, alpha, FRaw.data(), lineSize, start, step, count, ig);
      const uint8_t t = ChooseFilter();
      WriteIdatData(zs, &t, 1);
      WriteIdatData(zs, FFiltered[t].data(), lineSize);
    };
    if (png.InterlaceMethod == 0) {
      const uint64_t lineSize = FLineSize;
      for (uint32_t y = 0; y < h.Height; ++y) encodeRow(lineSize, y, 0, 1, h.Width);
    } else {
      for (int pass = 0; pass < 7; ++pass) {
        const uint32_t cstart = Adam7ColumnStart[pass], cstep = Adam7ColumnStep[pass];
        const uint32_t pixels = (h.Width + cstep - cstart - 1) / cstep;
        uint64_t passLine = 0;
        uint32_t ignored = 0;
        PngLineSize(h.ColorType, depth, pixels, passLine, ignored);
        std::fill(FFiltered[0].begin(), FFiltered[0].end(), 0);
        if (passLine == 0) continue;
        for (uint32_t y = Adam7RowStart[pass]; y < h.Height; y += Adam7RowStep[pass])
          encodeRow(passLine, y, cstart, cstep, pixels);
      }
    }
    FinishIdatData(zs);
  }
  FRaw.clear();
  for (auto& f : FFiltered) f.clear();
  return true;
}
