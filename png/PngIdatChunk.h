// The image data chunk: decodes every consecutive IDAT chunk of a stream into
// the header's pixels, and encodes them back as a run of IDAT chunks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "png/PngChunk.h"

struct IdatReadStream;
struct IdatWriteStream;

class TChunkIDAT : public TChunk {
 public:
  explicit TChunkIDAT(TPNGChunkList* owner) : TChunk(owner) { SetNameFrom("IDAT"); }
  std::string GetName() const override { return "IDAT"; }
  std::unique_ptr<TChunk> CreateSame(TPNGChunkList* owner) const override { return std::make_unique<TChunkIDAT>(owner); }
  bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;

 private:
  // Decoding.
  void ReadIdatData(IdatReadStream& zs, uint8_t* buffer, uint64_t count);
  void NextIdatChunk(TStream& stream);
  void FinishReading(IdatReadStream& zs);
  // Encoding.
  uint8_t ChooseFilter();
  void WriteIdatData(IdatWriteStream& zs, const uint8_t* buffer, uint64_t length);
  void FinishIdatData(IdatWriteStream& zs);
  void WriteIdatChunk(TStream& stream, const uint8_t* buffer, uint32_t length);

  uint64_t FLineSize = 0;
  uint32_t FPixelStride = 0;
  uint32_t FCrc = 0;
  int64_t FEndPos = 0;
  std::vector<uint8_t> FRaw;
  std::vector<uint8_t> FFiltered[5];
};
