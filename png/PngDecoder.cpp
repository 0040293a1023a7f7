// Decoding of IDAT data into the header's DIB and alpha buffer.
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

constexpr TChunkName IdatName{'I', 'D', 'A', 'T'};

// One row routine for every format: pixel k of the source lands at column
// start + k * step of the DIB row (step 1, start 0 when not interlaced).
void DecodeRow(const TChunkIHDR& h, const uint8_t* src, uint8_t* dib, uint8_t* alpha, uint32_t start, uint32_t step,
               uint32_t count, const uint8_t* gamma, bool identity) {
  const bool plain = start == 0 && step == 1;
  switch (h.ColorType * 100 + h.BitDepth) {
    case 1:    // grey 1
    case 301:  // palette 1
      if (plain) {
        std::memcpy(dib, src, (count + 7) / 8);
        if (count & 7) dib[count / 8] &= static_cast<uint8_t>(0xFF00u >> (count & 7));
      } else {
        for (uint32_t k = 0, c = start; k < count; ++k, c += step)
          dib[c >> 3] |= static_cast<uint8_t>(((src[k >> 3] >> (7 - (k & 7))) & 1) << (7 - (c & 7)));
      }
      break;
    case 2:    // grey 2: spread over the 4-bit ramp (0, 5, 10, 15)
    case 302:  // palette 2: the index as it stands
    {
      const unsigned scale = h.ColorType == 0 ? 5 : 1;
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        const unsigned v = ((src[k >> 2] >> (6 - 2 * (k & 3))) & 3) * scale;
        dib[c >> 1] |= static_cast<uint8_t>(v << ((c & 1) ? 0 : 4));
      }
      break;
    }
    case 4:
    case 304:
      if (plain) {
        std::memcpy(dib, src, (count + 1) / 2);
        if (count & 1) dib[count / 2] &= 0xF0;
      } else {
        for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
          const unsigned v = (src[k >> 1] >> ((k & 1) ? 0 : 4)) & 15;
          dib[c >> 1] |= static_cast<uint8_t>(v << ((c & 1) ? 0 : 4));
        }
      }
      break;
    case 8:
    case 308:
      if (plain)
        std::memcpy(dib, src, count);
      else
        for (uint32_t k = 0, c = start; k < count; ++k, c += step) dib[c] = src[k];
      break;
    case 16:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) dib[c] = src[2 * k];
      break;
    case 208:
      if (plain)
        RgbToBgr(src, dib, count, 3, identity ? nullptr : gamma);
      else
        for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
          dib[3 * c] = gamma[src[3 * k + 2]];
          dib[3 * c + 1] = gamma[src[3 * k + 1]];
          dib[3 * c + 2] = gamma[src[3 * k]];
        }
      break;
    case 216:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        dib[3 * c] = gamma[src[6 * k + 4]];
        dib[3 * c + 1] = gamma[src[6 * k + 2]];
        dib[3 * c + 2] = gamma[src[6 * k]];
      }
      break;
    case 408:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        dib[c] = src[2 * k];
        alpha[c] = src[2 * k + 1];
      }
      break;
    case 416:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        dib[c] = src[4 * k];
        alpha[c] = src[4 * k + 2];
      }
      break;
    case 608:
      if (plain) {
        RgbToBgr(src, dib, count, 4, identity ? nullptr : gamma);
        for (uint32_t k = 0; k < count; ++k) alpha[k] = src[4 * k + 3];
      } else {
        for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
          dib[3 * c] = gamma[src[4 * k + 2]];
          dib[3 * c + 1] = gamma[src[4 * k + 1]];
          dib[3 * c + 2] = gamma[src[4 * k]];
          alpha[c] = src[4 * k + 3];
        }
      }
      break;
    case 616:
      for (uint32_t k = 0, c = start; k < count; ++k, c += step) {
        dib[3 * c] = gamma[src[8 * k + 4]];
        dib[3 * c + 1] = gamma[src[8 * k + 2]];
        dib[3 * c + 2] = gamma[src[8 * k]];
        alpha[c] = src[8 * k + 6];
      }
      break;
    default: break;  // refused before any row is read
  }
}

}  // namespace

void TChunkIDAT::NextIdatChunk(TStream& stream) {
  uint8_t crc[4];
  if (stream.Read(crc, 4) != 4) RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
  if (ReadBE32(crc) != ~FCrc) RaisePNGError<EPngInvalidCRC>(PngMessages::InvalidCRC);
  uint32_t length = 0;
  TChunkName type{};
  if (!ReadChunkHeader(stream, length, type)) RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
  if (type != IdatName) RaisePNGError<EPNGMissingMultipleIDAT>(PngMessages::MissingMultipleIDAT);
  FCrc = UpdateCrc(0xFFFFFFFFu, type.data(), 4);
  FEndPos = length;
}

// Delivers exactly count inflated bytes, crossing into following IDAT chunks
// as needed; anything less is an error. FEndPos counts the bytes of the
// current chunk not yet read.
void TChunkIDAT::ReadIdatData(IdatReadStream& zs, uint8_t* buffer, uint64_t count) {
  z_stream& z = zs.ZLib;
  z.next_out = buffer;
  z.avail_out = static_cast<uInt>(count);
  while (z.avail_out > 0) {
    if (z.avail_in == 0) {
      if (FEndPos == 0) {
        NextIdatChunk(*zs.Source);
        continue;
      }
      const auto n = static_cast<uint32_t>(std::min<int64_t>(FEndPos, IdatReadStream::BufferSize));
      if (zs.Source->Read(zs.Buffer.get(), n) != n) RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
      FEndPos -= n;
      FCrc = UpdateCrc(FCrc, zs.Buffer.get(), n);
      z.next_in = zs.Buffer.get();
      z.avail_in = n;
    }
    const int r = inflate(&z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) {
      // The compressed data ended with rows still missing.
      if (z.avail_out > 0) RaisePNGError<EPNGMissingMultipleIDAT>(PngMessages::MissingMultipleIDAT);
      break;
    }
    if (r < 0 || r == Z_NEED_DICT)
      RaisePNGError<EPNGZLIBError>(std::string(PngMessages::ZLIBError) + ZlibResultText(r));
  }
}

// The rows may end before the chunk does: what is left of it still counts
// for its CRC.
void TChunkIDAT::FinishReading(IdatReadStream& zs) {
  while (FEndPos > 0) {
    const auto n = static_cast<uint32_t>(std::min<int64_t>(FEndPos, IdatReadStream::BufferSize));
    if (zs.Source->Read(zs.Buffer.get(), n) != n) RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
    FEndPos -= n;
    FCrc = UpdateCrc(FCrc, zs.Buffer.get(), n);
  }
  uint8_t crc[4];
  if (zs.Source->Read(crc, 4) != 4) RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
  if (ReadBE32(crc) != ~FCrc) RaisePNGError<EPngInvalidCRC>(PngMessages::InvalidCRC);
}

bool TChunkIDAT::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  TChunkIHDR& h = GetHeader();
  if (!IsValidPngFormat(h.ColorType, h.BitDepth) || h.Width == 0 || h.Height == 0 || h.FilterMethod != 0 ||
      !h.PixelBits)
    RaisePNGError<EPngInvalidIHDR>(PngMessages::InvalidIHDR);
  TPNGChunkList& png = *Owner();
  const uint8_t* gamma = png.GammaCurve;
  bool identity = true;
  for (int i = 0; i < 256; ++i) identity = identity && gamma[i] == i;
  if (h.PaletteDIB && (h.ColorType == 0 || h.ColorType == 4)) {
    const unsigned n = 1u << h.DIBBitsPerPixel();
    for (unsigned i = 0; i < n; ++i) {
      const uint8_t v = gamma[i * 255 / (n - 1)];
      h.DIBInfo.bmiColors[i] = TPngRGBQuad{v, v, v, 0};
    }
  }
  FCrc = UpdateCrc(0xFFFFFFFFu, type.data(), 4);
  uint64_t lineSize = 0;
  png.RowAndPixelSize(h.Width, lineSize, FPixelStride);
  FEndPos = size;
  IdatReadStream zs(stream);
  std::vector<uint8_t> rows[2] = {std::vector<uint8_t>(lineSize + 1, 0), std::vector<uint8_t>(lineSize + 1, 0)};
  int current = 1;
  auto decodeRow = [&](uint64_t rowBytes, uint32_t y, uint32_t start, uint32_t step, uint32_t count) {
    uint8_t* cur = rows[current].data();
    const uint8_t* prev = rows[current ^ 1].data();
    ReadIdatData(zs, cur, rowBytes + 1);
    UnfilterRow(cur[0], cur + 1, prev + 1, rowBytes, FPixelStride);
    uint8_t* dib = h.PixelBits + uint64_t(h.RowStride) * (h.Height - 1 - y);
    uint8_t* alpha = h.AlphaBits ? h.AlphaBits + uint64_t(h.Width) * y : nullptr;
    DecodeRow(h, cur + 1, dib, alpha, start, step, count, gamma, identity);
    current ^= 1;
  };
  if (png.InterlaceMethod == 0) {
    for (uint32_t y = 0; y < h.Height; ++y) decodeRow(lineSize, y, 0, 1, h.Width);
  } else {
    for (int pass = 0; pass < 7; ++pass) {
      const uint32_t cstart = Adam7ColumnStart[pass], cstep = Adam7ColumnStep[pass];
      const uint32_t pixels = (h.Width + cstep - cstart - 1) / cstep;
      uint64_t passLine = 0;
      uint32_t ignored = 0;
      png.RowAndPixelSize(pixels, passLine, ignored);
      std::fill(rows[current ^ 1].begin(), rows[current ^ 1].end(), 0);
      if (passLine == 0) continue;
      for (uint32_t y = Adam7RowStart[pass]; y < h.Height; y += Adam7RowStep[pass])
        decodeRow(passLine, y, cstart, cstep, pixels);
    }
  }
  FinishReading(zs);
  return true;
}
