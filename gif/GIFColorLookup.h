// Colour lookups: an RGB colour to the index of a palette entry, and that
// entry's own colour.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/Gdi.h"

class TColorLookup {
 public:
  explicit TColorLookup(HPALETTE palette) : FPalette(palette) {}
  virtual ~TColorLookup() = default;
  TColorLookup(const TColorLookup&) = delete;
  TColorLookup& operator=(const TColorLookup&) = delete;
  virtual uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) = 0;
  int EntryCount = 0;

 protected:
  HPALETTE FPalette;  // not owned
};

// Nearest entry of any palette, from a copy of its entries taken at creation.
class TSlowColorLookup : public TColorLookup {
 public:
  explicit TSlowColorLookup(HPALETTE palette);
  uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;

 private:
  int Nearest(uint8_t red, uint8_t green, uint8_t blue) const;
  std::vector<PALETTEENTRY> FEntries;
  // Last answers by colour: images repeat their colours a lot.
  static constexpr int CacheSize = 4096;
  std::vector<uint32_t> FCacheKey;
  std::vector<uint8_t> FCacheIndex;
};

// The 216-colour cube, index 36r + 6g + b.
class TNetscapeColorLookup : public TColorLookup {
 public:
  explicit TNetscapeColorLookup(HPALETTE palette) : TColorLookup(palette) { EntryCount = 216; }
  uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

class TGrayScaleLookup : public TColorLookup {
 public:
  explicit TGrayScaleLookup(HPALETTE palette) : TColorLookup(palette) { EntryCount = 256; }
  uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

class TMonochromeLookup : public TColorLookup {
 public:
  explicit TMonochromeLookup(HPALETTE palette) : TColorLookup(palette) { EntryCount = 2; }
  uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};
