#include "gif/GIFColorLookup.h"

TSlowColorLookup::TSlowColorLookup(HPALETTE palette) : TColorLookup(palette) {
  UINT n = palette ? GetPaletteEntries(palette, 0, 0, nullptr) : 0;
  if (n > 256) n = 256;
  FEntries.resize(n);
  if (n > 0) n = GetPaletteEntries(palette, 0, n, FEntries.data());
  FEntries.resize(n);
  EntryCount = static_cast<int>(n);
  FCacheKey.assign(CacheSize, 0xFFFFFFFFu);
  FCacheIndex.assign(CacheSize, 0);
}

int TSlowColorLookup::Nearest(uint8_t red, uint8_t green, uint8_t blue) const {
  int best = 0;
  int bestDistance = 0x7FFFFFFF;
  for (size_t i = 0; i < FEntries.size(); ++i) {
    int dr = FEntries[i].peRed - red, dg = FEntries[i].peGreen - green, db = FEntries[i].peBlue - blue;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}

uint8_t TSlowColorLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  // Without entries there is no colour to give back.
  if (FEntries.empty()) return 0;
  uint32_t key = (uint32_t(red) << 16) | (uint32_t(green) << 8) | blue;
  size_t slot = ((key * 2654435761u) >> 20) & (CacheSize - 1);
  int index;
  if (FCacheKey[slot] == key) {
    index = FCacheIndex[slot];
  } else {
    index = Nearest(red, green, blue);
    FCacheKey[slot] = key;
    FCacheIndex[slot] = static_cast<uint8_t>(index);
  }
  const PALETTEENTRY& e = FEntries[static_cast<size_t>(index)];
  r = e.peRed;
  g = e.peGreen;
  b = e.peBlue;
  return static_cast<uint8_t>(index);
}

uint8_t TNetscapeColorLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                         uint8_t& b) {
  int qr = (red + 3) / 51, qg = (green + 3) / 51, qb = (blue + 3) / 51;
  r = static_cast<uint8_t>(51 * qr);
  g = static_cast<uint8_t>(51 * qg);
  b = static_cast<uint8_t>(51 * qb);
  return static_cast<uint8_t>(qb + 6 * qg + 36 * qr);
}

uint8_t TGrayScaleLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  int y = (77 * red + 150 * green + 29 * blue) >> 8;
  r = g = b = static_cast<uint8_t>(y);
  return static_cast<uint8_t>(y);
}

uint8_t TMonochromeLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  int s = 77 * red + 150 * green + 29 * blue;
  uint8_t v = s > 0x7F00 ? 255 : 0;
  r = g = b = v;
  return s > 0x7F00 ? 1 : 0;
}
