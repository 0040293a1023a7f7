// Compressors of GIF pixel data: a true LZW coder with a hash table and a
// run-length coder whose codes any LZW decoder reads.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "classlib/Streams.h"
#include "gif/GIFWriter.h"

class TGIFSubImage;

// Open-addressing dictionary of the LZW coder: 20-bit key (prefix shl 8 or
// pixel) above a 12-bit code in each 32-bit entry; all ones above is empty.
class THashTable {
 public:
  static constexpr int Size = 8009;  // prime
  THashTable() : FTable(new uint32_t[Size]) { EmptyTable(); }
  void EmptyTable();
  void StoreCode(uint32_t key, int code);
  // The code stored for key, or -1.
  int FindCode(uint32_t key) const {
    int slot;
    return FindCode(key, slot);
  }
  // FindCode that also gives the free slot where the key would go.
  int FindCode(uint32_t key, int& freeSlot) const { return FindFrom(HashOf(key), key, freeSlot); }
  // The same for the key of prefix and pixel, hashed the quick way.
  int FindCode(int prefix, int pixel, int& freeSlot) const {
    return FindFrom(HashOf(prefix, pixel), (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(pixel),
                    freeSlot);
  }
  void StoreAt(int slot, uint32_t key, int code) { FTable[slot] = (key << 12) | (static_cast<uint32_t>(code) & 0xFFF); }
  static int HashOf(uint32_t key) { return static_cast<int>(((key >> 4) ^ key) % Size); }
  // HashOf(prefix shl 8 or pixel) without the division: of (key shr 4) xor
  // key, the prefix alone makes every bit above the low byte, whose
  // remainder a table holds, and the low byte adds less than one more Size.
  static int HashOf(int prefix, int pixel) {
    const int h = PrefixHash[prefix] + (((prefix & 15) << 4) ^ (pixel >> 4) ^ pixel);
    return h >= Size ? h - Size : h;
  }
  // Probes step down by the prefix code plus one: keys that meet at one slot
  // part at once unless they share the prefix. The step lies in 1..4096 and
  // the size is prime, so every slot is reached and a probe always ends at a
  // free one (the table never holds more than 4096 of its 8009 entries).
  static int ProbeStep(uint32_t key) { return static_cast<int>(key >> 8) + 1; }
  static int NextProbe(int h, int step) {
    h -= step;
    return h < 0 ? h + Size : h;
  }

 private:
  int FindFrom(int h, uint32_t key, int& freeSlot) const {
    const int step = ProbeStep(key);
    for (;; h = NextProbe(h, step)) {
      uint32_t e = FTable[h];
      // Keys stay below $FFFFF (codes stop at 4094), so a match is never empty.
      if ((e >> 12) == key) return static_cast<int>(e & 0xFFF);
      if (e >= 0xFFFFF000u) {
        freeSlot = h;
        return -1;
      }
    }
  }
  static const std::array<uint16_t, 4096> PrefixHash;

  std::unique_ptr<uint32_t[]> FTable;
};

class TGIFEncoder {
 public:
  explicit TGIFEncoder(TGIFWarningHandler warning) : FWarning(std::move(warning)) {}
  virtual ~TGIFEncoder() = default;
  TGIFEncoder(const TGIFEncoder&) = delete;
  TGIFEncoder& operator=(const TGIFEncoder&) = delete;

  // Writes the code size byte, the sub-blocks of codes and the terminator.
  // Pixels are width x height bytes, rows top to bottom; each must be below
  // colorCount ("Color not in color table").
  void Encode(TStream& stream, int bitsPerPixel, int colorCount, const uint8_t* pixels, bool interlaced, int height,
              int width);

 protected:
  virtual void PutCode(int code) { PutBits(code); }
  virtual void EmitClear();
  virtual void EncodePixels() = 0;

  void PutBits(int code) {
    FBucket |= static_cast<uint32_t>(code) << FBitCount;
    FBitCount += FCodeWidth;
    while (FBitCount >= 8) {
      FWriter->WriteByte(static_cast<uint8_t>(FBucket));
      FBucket >>= 8;
      FBitCount -= 8;
    }
  }
  // Steps the cursor; false when the frame is finished.
  bool NextPixel() {
    if (--FCountdown > 0) {
      ++FPixel;
      return true;
    }
    return FInterlaced && NextRow();
  }
  int CurrentPixel() const {
    int p = *FPixel;
    if (p >= FColorCount) ColorNotInTable();
    return p;
  }
  [[noreturn]] static void ColorNotInTable();

  int FColorCount = 0;
  int FBitsPerPixel = 0;
  int FWidth = 0, FHeight = 0;
  bool FInterlaced = false;
  const uint8_t* FPixels = nullptr;
  int FInitialCodeWidth = 0, FCodeWidth = 0, FMaxCode = 0;
  int FClearCode = 0, FEOICode = 0, FFirstFreeCode = 0;
  uint32_t FBucket = 0;
  int FBitCount = 0;
  int64_t FCountdown = 0;
  int FRow = 0, FPass = 0;
  const uint8_t* FPixel = nullptr;
  bool FClearFlag = false;
  std::unique_ptr<TGIFWriter> FWriter;
  TGIFWarningHandler FWarning;

  // Starts the next row of an interlaced frame; false after the last pass.
  bool NextRow();
};

class TLZWEncoder : public TGIFEncoder {
 public:
  using TGIFEncoder::TGIFEncoder;

 protected:
  void PutCode(int code) override;
  void EmitClear() override;
  void EncodePixels() override;

 private:
  int FPrefix = 0;
  int FFreeCode = 0;
  THashTable* FTable = nullptr;
};

// Codes only runs of one colour, keeping a model of the decoder's table so
// that every code for a run of k pixels is one the decoder has defined.
class TRLEEncoder : public TGIFEncoder {
 public:
  using TGIFEncoder::TGIFEncoder;
  // Codes needed for a run of n when each code is one pixel longer than the
  // last and m codes fit between clears.
  static int64_t RunCodeCount(int64_t n, int64_t m);
  static int64_t IntSqrt(int64_t x);

 protected:
  void EmitClear() override;
  void EncodePixels() override;

 private:
  void PutRunCode(int code);
  void EmitRun(int64_t n);
  void EmitRunFresh(int64_t n);
  void EmitRunPlain(int64_t n);
  void EmitRunRepeat(int64_t n);
  void RestoreForcedClear();

  int FCurrent = -1;
  int64_t FCodesSinceClear = 0;
  int64_t FGrowthCount = 0, FGrowthInit = 0;
  int64_t FForcedClear = 0, FForcedClearInit = 0;
  int64_t FCapacity = 0;
  int FTabledPixel = -1;
  int64_t FLongestRun = 0;
};

// Writes a frame's code size byte, pixel data and terminator: the local
// table's count and depth when it has entries, else 2^MaxBitsPerPixel of the
// image; run-length coding when the image's CompressionKind is 1.
void EncodePixelData(TGIFSubImage& frame, TStream& stream);
// Writes the whole frame: its extensions, image descriptor (the interlace
// flag as the rows are written), local table and pixel data.
void SaveSubImage(TGIFSubImage& frame, TStream& stream);
