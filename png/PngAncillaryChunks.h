// The palette, transparency, gamma, time, text and end chunks.
#pragma once

#include <cstdint>
#include <string>

#include "png/PngChunk.h"

#define HK_PNG_CHUNK_CLASS_BODY(CLASS, NAME)                                                              \
 public:                                                                                                  \
  explicit CLASS(TPNGChunkList* owner) : TChunk(owner) { SetNameFrom(NAME); }                                 \
  std::string GetName() const override { return NAME; }                                                  \
  std::unique_ptr<TChunk> CreateSame(TPNGChunkList* owner) const override { return std::make_unique<CLASS>(owner); }

class TChunkIEND : public TChunk {
  HK_PNG_CHUNK_CLASS_BODY(TChunkIEND, "IEND")
};

class TChunkPLTE : public TChunk {
  HK_PNG_CHUNK_CLASS_BODY(TChunkPLTE, "PLTE")
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  // Entry `index` as 0x00RRGGBB.
  uint32_t Item(unsigned index) const;

  uint32_t Count = 0;
};

class TChunktRNS : public TChunk {
  HK_PNG_CHUNK_CLASS_BODY(TChunktRNS, "tRNS")
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  // The colour that stands for transparent, 0x00BBGGRR, as it is displayed.
  uint32_t TransparentColor() const;
  void SetTransparentColor(uint32_t color);

  bool MaskTransparency = false;
  // Palette images: alpha per entry; grey and RGB: the key samples, big-endian.
  uint8_t Alphas[256]{};
};

class TChunkgAMA : public TChunk {
 public:
  explicit TChunkgAMA(TPNGChunkList* owner);
  std::string GetName() const override { return "gAMA"; }
  std::unique_ptr<TChunk> CreateSame(TPNGChunkList* owner) const override { return std::make_unique<TChunkgAMA>(owner); }
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) override;
  // The PNG value times 100,000; 1 when the data does not hold one.
  uint32_t Gamma() const;
  void SetGamma(uint32_t value);
};

class TChunktIME : public TChunk {
  HK_PNG_CHUNK_CLASS_BODY(TChunktIME, "tIME")
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;

  uint16_t Year = 0;
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

class TChunktEXt : public TChunk {
  HK_PNG_CHUNK_CLASS_BODY(TChunktEXt, "tEXt")
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;

  std::string Keyword;
  std::string Text;

 protected:
  // Keyword up to the first zero byte; returns where the zero byte is, or
  // DataSize() when there is none.
  uint32_t SplitKeyword();
};

class TChunkzTXt : public TChunktEXt {
 public:
  explicit TChunkzTXt(TPNGChunkList* owner) : TChunktEXt(owner) { SetNameFrom("zTXt"); }
  std::string GetName() const override { return "zTXt"; }
  std::unique_ptr<TChunk> CreateSame(TPNGChunkList* owner) const override { return std::make_unique<TChunkzTXt>(owner); }
  bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
};

#undef HK_PNG_CHUNK_CLASS_BODY
