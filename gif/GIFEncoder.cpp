#include "gif/GIFEncoder.h"

#include <cstring>

#include "gif/GifCodec.h"
#include "gif/GIFSubImage.h"
#include "gif/GIFTypes.h"

const std::array<uint16_t, 4096> THashTable::PrefixHash = [] {
  std::array<uint16_t, 4096> t{};
  for (uint32_t p = 0; p < 4096; ++p) t[p] = static_cast<uint16_t>((((p << 4) ^ (p << 8)) & ~0xFFu) % Size);
  return t;
}();

void THashTable::EmptyTable() { std::memset(FTable.get(), 0xFF, sizeof(uint32_t) * Size); }

void THashTable::StoreCode(uint32_t key, int code) {
  const int step = ProbeStep(key);
  int h = HashOf(key);
  while (FTable[h] < 0xFFFFF000u) h = NextProbe(h, step);
  FTable[h] = (key << 12) | (static_cast<uint32_t>(code) & 0xFFF);
}

// ---- Common coder ------------------------------------------------------------------

void TGIFEncoder::ColorNotInTable() { RaiseGIF("Color not in color table"); }

void TGIFEncoder::Encode(TStream& stream, int bitsPerPixel, int colorCount, const uint8_t* pixels, bool interlaced,
                         int height, int width) {
  if (bitsPerPixel < 2) bitsPerPixel = 2;
  // Pixels are bytes: a wider code size means nothing and would overflow the codes.
  if (bitsPerPixel > 8) RaiseGIF("Invalid bits per pixel");
  FBitsPerPixel = bitsPerPixel;
  FColorCount = colorCount;
  FPixels = pixels;
  FInterlaced = interlaced;
  FHeight = height;
  FWidth = width;
  WriteOneByte(stream, static_cast<uint8_t>(bitsPerPixel));

  FInitialCodeWidth = bitsPerPixel + 1;
  FCodeWidth = FInitialCodeWidth;
  FMaxCode = (1 << FCodeWidth) - 1;
  FClearCode = 1 << bitsPerPixel;
  FEOICode = FClearCode + 1;
  FFirstFreeCode = FClearCode + 2;
  FBucket = 0;
  FBitCount = 0;
  FCountdown = interlaced ? width : static_cast<int64_t>(width) * height;
  FRow = 0;
  FPass = 0;
  FPixel = pixels;
  FClearFlag = false;

  // On failure the writer goes unflushed: what was written in whole blocks stays.
  FWriter = std::make_unique<TGIFWriter>(stream, FWarning);
  if (pixels && width > 0 && height > 0) EncodePixels();
  PutCode(FEOICode);
  if (FBitCount > 0) FWriter->WriteByte(static_cast<uint8_t>(FBucket & ((1u << FBitCount) - 1)));
  FBucket = 0;
  FBitCount = 0;
  FWriter->FlushBlock();
  FWriter.reset();
  WriteOneByte(stream, 0);
}

void TGIFEncoder::EmitClear() {
  FClearFlag = true;
  PutCode(FClearCode);
}

bool TGIFEncoder::NextRow() {
  static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  FCountdown = FWidth;
  FRow += step[FPass];
  while (FRow >= FHeight) {
    if (++FPass > 3) return false;
    FRow = start[FPass];
  }
  FPixel = FPixels + static_cast<int64_t>(FRow) * FWidth;
  return true;
}

// ---- LZW ---------------------------------------------------------------------------

void TLZWEncoder::PutCode(int code) {
  PutBits(code);
  if (FFreeCode > FMaxCode || FClearFlag) {
    if (FClearFlag) {
      FCodeWidth = FInitialCodeWidth;
      FMaxCode = (1 << FCodeWidth) - 1;
      FClearFlag = false;
    } else {
      ++FCodeWidth;
      FMaxCode = FCodeWidth >= 12 ? 4096 : (1 << FCodeWidth) - 1;
    }
  }
}

void TLZWEncoder::EmitClear() {
  TGIFEncoder::EmitClear();
  FTable->EmptyTable();
  FFreeCode = FClearCode + 2;
}

void TLZWEncoder::EncodePixels() {
  THashTable table;
  FTable = &table;
  struct TForget {
    THashTable*& Table;
    ~TForget() { Table = nullptr; }
  } forget{FTable};
  EmitClear();

  // The whole coder state lives in locals while the pixels are walked: the
  // byte stores of the writer could otherwise alias every member the loop
  // reads. Codes gather 32 bits at a time into a local run of bytes that goes
  // to the writer in pieces; the writer cuts the same sub-blocks from it.
  constexpr int OutSize = 4096;
  uint8_t out[OutSize + 8];
  int outCount = 0;
  uint64_t bucket = FBucket;
  int bitCount = FBitCount;
  int width = FCodeWidth, maxCode = FMaxCode, freeCode = FFreeCode;
  const int initialWidth = FInitialCodeWidth, clearCode = FClearCode;
  auto put = [&](int code) {
    bucket |= static_cast<uint64_t>(code) << bitCount;
    bitCount += width;
    if (bitCount >= 32) {
      const uint32_t word = static_cast<uint32_t>(bucket);
      for (int k = 0; k < 4; ++k) out[outCount + k] = static_cast<uint8_t>(word >> (8 * k));
      outCount += 4;
      bucket >>= 32;
      bitCount -= 32;
      if (outCount >= OutSize) {
        FWriter->Write(out, outCount);
        outCount = 0;
      }
    }
  };
  // Hands back what the locals hold, whole bytes to the writer, so that the
  // members and the writer stand as if every code had gone through PutCode.
  auto sync = [&] {
    while (bitCount >= 8) {
      out[outCount++] = static_cast<uint8_t>(bucket);
      bucket >>= 8;
      bitCount -= 8;
    }
    if (outCount > 0) FWriter->Write(out, outCount);
    outCount = 0;
    FBucket = static_cast<uint32_t>(bucket);
    FBitCount = bitCount;
    FCodeWidth = width;
    FMaxCode = maxCode;
    FFreeCode = freeCode;
  };

  const uint8_t* p = FPixel;
  const uint8_t* end = p + FCountdown;
  const int colors = FColorCount;
  // Bytes are below 256: a full table needs no check per pixel.
  const bool checkColors = colors < 256;
  int prefix = *p++;
  bool badColor = prefix >= colors;
  while (!badColor) {
    while (p < end) {
      const int pixel = *p++;
      if (checkColors && pixel >= colors) {
        badColor = true;
        break;
      }
      int slot;
      const int code = table.FindCode(prefix, pixel, slot);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(pixel);
      put(prefix);
      // A code one past the largest of this width widens the codes after it.
      if (freeCode > maxCode) {
        ++width;
        maxCode = width >= 12 ? 4096 : (1 << width) - 1;
      }
      prefix = pixel;
      if (freeCode >= 4095) {
        put(clearCode);
        width = initialWidth;
        maxCode = (1 << width) - 1;
        table.EmptyTable();
        freeCode = clearCode + 2;
      } else {
        table.StoreAt(slot, key, freeCode);
        ++freeCode;
      }
    }
    if (badColor || !FInterlaced) break;
    sync();
    if (!NextRow()) break;
    p = FPixel;
    end = p + FCountdown;
  }
  sync();
  if (badColor) ColorNotInTable();
  FPrefix = prefix;
  TLZWEncoder::PutCode(prefix);
}

// ---- Run-length --------------------------------------------------------------------

int64_t TRLEEncoder::IntSqrt(int64_t x) {
  if (x < 2) return x;
  int64_t r = 1;
  for (int64_t y = x; y >= 4; y /= 4) r *= 2;
  for (;;) {
    int64_t next = (r + x / r) / 2;
    if (next == r || next == r + 1) return r;
    r = next;
  }
}

int64_t TRLEEncoder::RunCodeCount(int64_t n, int64_t m) {
  if (n <= 0 || m <= 0) return 0;
  int64_t t = m * (m + 1) / 2;
  int64_t codes = (n / t) * m;
  int64_t c = n % t;
  if (c > 0) {
    int64_t r = IntSqrt(2 * c);
    while (r * (r + 1) / 2 < c) ++r;
    while (r > 1 && (r - 1) * r / 2 >= c) --r;
    codes += r;
  }
  return codes;
}

void TRLEEncoder::EmitClear() {
  FGrowthCount = FGrowthInit;
  FForcedClear = FForcedClearInit;
  FCodesSinceClear = 0;
  FLongestRun = 0;
  TGIFEncoder::EmitClear();
  FCodeWidth = FInitialCodeWidth;
  FMaxCode = (1 << FCodeWidth) - 1;
}

void TRLEEncoder::PutRunCode(int code) {
  FClearFlag = false;
  PutCode(code);
  ++FCodesSinceClear;
  // The decoder widens its codes when its next free code passes the width.
  if (FCodesSinceClear == FGrowthCount && FCodeWidth < 12) {
    FGrowthCount += int64_t(1) << FCodeWidth;
    ++FCodeWidth;
    FMaxCode = (1 << FCodeWidth) - 1;
  }
  if (FCodesSinceClear >= FForcedClear) EmitClear();
}

void TRLEEncoder::RestoreForcedClear() {
  FForcedClear = FForcedClearInit;
  if (FCodesSinceClear >= FForcedClear) EmitClear();
}

void TRLEEncoder::EncodePixels() {
  FGrowthInit = FClearCode - 1;
  FForcedClearInit = FBitsPerPixel <= 3 ? 9 : FClearCode - 2;
  FCapacity = 4095 - FFirstFreeCode;
  EmitClear();
  FCurrent = -1;
  int64_t run = 0;
  do {
    int p = CurrentPixel();
    if (p == FCurrent) {
      ++run;
      continue;
    }
    if (run > 0) EmitRun(run);
    FCurrent = p;
    run = 1;
  } while (NextPixel());
  if (run > 0) EmitRun(run);
}

void TRLEEncoder::EmitRun(int64_t n) {
  if (n == 1)
    PutRunCode(FCurrent);
  else if (FClearFlag)
    EmitRunFresh(n);
  else if (FTabledPixel == FCurrent && FLongestRun > 1)
    EmitRunRepeat(n);
  else
    EmitRunPlain(n);
}

void TRLEEncoder::EmitRunFresh(int64_t n) {
  FForcedClear = FCapacity;
  FTabledPixel = FCurrent;
  int64_t k = 1, remaining = n;
  while (remaining > 0) {
    if (k == 1) {
      PutRunCode(FCurrent);
      FLongestRun = 1;
      remaining -= 1;
    } else if (k <= remaining) {
      PutRunCode(static_cast<int>(FFirstFreeCode + k - 2));
      FLongestRun = k;
      remaining -= k;
    } else {
      // This code also defines the run one longer than the last.
      ++FLongestRun;
      PutRunCode(remaining == 1 ? FCurrent : static_cast<int>(FFirstFreeCode + remaining - 2));
      remaining = 0;
    }
    if (FClearFlag) {
      // The table was full: start over, still lifted for the rest of this run.
      k = 1;
      FForcedClear = FCapacity;
    } else {
      ++k;
    }
  }
  RestoreForcedClear();
}

void TRLEEncoder::EmitRunPlain(int64_t n) {
  if (RunCodeCount(n, FCapacity) + 1 < n) {
    EmitClear();
    EmitRunFresh(n);
    return;
  }
  for (int64_t i = 0; i < n; ++i) PutRunCode(FCurrent);
}

void TRLEEncoder::EmitRunRepeat(int64_t n) {
  const int64_t l = FLongestRun;
  int64_t q = n / l, r = n % l;
  int64_t leftover = r > 0 ? 1 : 0;
  if (FCodesSinceClear + q + leftover > FCapacity) {
    q = FCapacity - FCodesSinceClear;
    r = n - l * q;
    leftover = RunCodeCount(r, FCapacity) + 1;
  }
  if (RunCodeCount(n, FCapacity) + 1 < q + leftover) {
    EmitClear();
    EmitRunFresh(n);
    return;
  }
  FForcedClear = FCapacity;
  for (int64_t i = 0; i < q; ++i) PutRunCode(static_cast<int>(FFirstFreeCode + l - 2));
  if (r > 0) {
    if (FClearFlag)
      EmitRunFresh(r);
    else
      PutRunCode(r == 1 ? FCurrent : static_cast<int>(FFirstFreeCode + r - 2));
  }
  RestoreForcedClear();
}

// ---- Frames ------------------------------------------------------------------------

void EncodePixelData(TGIFSubImage& frame, TStream& stream) {
  TGIFImageCore* core = frame.Image();
  int bits, colors;
  if (frame.ColorMap().Count() > 0) {
    colors = frame.ColorMap().Count();
    bits = frame.ColorMap().IndexBits();
  } else {
    bits = core ? core->MaxBitsPerPixel() : 8;
    if (bits <= 0) bits = 8;
    colors = 1 << bits;
  }
  auto* image = dynamic_cast<TGIFImage*>(core);
  TGIFWarningHandler warning = [&frame](int severity, const std::string& m) { frame.ReportWarning(severity, m); };
  std::unique_ptr<TGIFEncoder> encoder;
  if (image && image->CompressionKind == 1)
    encoder = std::make_unique<TRLEEncoder>(warning);
  else
    encoder = std::make_unique<TLZWEncoder>(warning);
  encoder->Encode(stream, bits, colors, frame.Empty() ? nullptr : frame.Data(), frame.Interlaced(), frame.Height(),
                  frame.Width());
}

void SaveSubImage(TGIFSubImage& frame, TStream& stream) {
  frame.Extensions().SaveToStream(stream);
  if (frame.Empty()) return;
  const TGIFImageDescriptor& d = frame.Descriptor();
  TGIFLocalColorMap& map = frame.ColorMap();
  // The interlace bit comes from the descriptor itself: it says how the rows
  // below are ordered, whatever the table adds.
  uint8_t packed = static_cast<uint8_t>(d.Packed & 0x40);
  if (map.Count() > 0) {
    packed |= 0x80;
    if (map.Sorted()) packed |= 0x20;
    packed |= static_cast<uint8_t>((map.IndexBits() - 1) & 7);
  }
  uint8_t raw[10] = {0x2C,
                     static_cast<uint8_t>(d.Left),
                     static_cast<uint8_t>(d.Left >> 8),
                     static_cast<uint8_t>(d.Top),
                     static_cast<uint8_t>(d.Top >> 8),
                     static_cast<uint8_t>(d.Width),
                     static_cast<uint8_t>(d.Width >> 8),
                     static_cast<uint8_t>(d.Height),
                     static_cast<uint8_t>(d.Height >> 8),
                     packed};
  stream.WriteBuffer(raw, sizeof raw);
  if (map.Count() > 0) map.WriteTable(stream);
  EncodePixelData(frame, stream);
}
