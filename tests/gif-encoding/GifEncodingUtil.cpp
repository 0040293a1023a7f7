#include "GifEncodingUtil.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "gif/GIFEncoder.h"

TRaster NoiseRaster(int width, int height, int colors, uint32_t seed) {
  TRaster r{width, height, Bytes(static_cast<size_t>(width) * height)};
  std::mt19937 rng(seed);
  for (auto& p : r.Pixels) p = static_cast<uint8_t>(rng() % static_cast<uint32_t>(colors));
  return r;
}

TRaster RunsRaster(int width, int height, int colors, int runLength) {
  TRaster r{width, height, Bytes(static_cast<size_t>(width) * height)};
  for (size_t i = 0; i < r.Pixels.size(); ++i) r.Pixels[i] = static_cast<uint8_t>((i / runLength) % colors);
  return r;
}

Bytes SingleFrameGIF(const TRaster& raster, int bits, bool interlaced, bool runLength) {
  TMemoryStream s;
  const uint8_t head[13] = {'G', 'I', 'F', '8', '9', 'a', static_cast<uint8_t>(raster.Width),
                            static_cast<uint8_t>(raster.Width >> 8), static_cast<uint8_t>(raster.Height),
                            static_cast<uint8_t>(raster.Height >> 8), static_cast<uint8_t>(0xF0 | (bits - 1)), 0, 0};
  s.WriteBuffer(head, 13);
  for (int i = 0; i < (1 << bits); ++i) {
    uint8_t grey = static_cast<uint8_t>(i * 255 / std::max(1, (1 << bits) - 1));
    uint8_t c[3] = {grey, grey, grey};
    s.WriteBuffer(c, 3);
  }
  const uint8_t desc[10] = {0x2C, 0, 0, 0, 0, static_cast<uint8_t>(raster.Width), static_cast<uint8_t>(raster.Width >> 8),
                            static_cast<uint8_t>(raster.Height), static_cast<uint8_t>(raster.Height >> 8),
                            static_cast<uint8_t>(interlaced ? 0x40 : 0)};
  s.WriteBuffer(desc, 10);
  if (runLength) {
    TRLEEncoder e(nullptr);
    e.Encode(s, bits, 1 << bits, raster.Pixels.data(), interlaced, raster.Height, raster.Width);
  } else {
    TLZWEncoder e(nullptr);
    e.Encode(s, bits, 1 << bits, raster.Pixels.data(), interlaced, raster.Height, raster.Width);
  }
  WriteOneByte(s, 0x3B);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

Bytes SaveWithEncoder(TGIFImage& image) {
  TMemoryStream s;
  image.Header().SaveToStream(s);
  for (int i = 0; i < image.Images().Count(); ++i) SaveSubImage(*image.Images().Items(i), s);
  WriteOneByte(s, 0x3B);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

std::string TempPath(const std::string& name) {
  return std::string(HK_BINARY_DIR) + "/gifenc-" + std::to_string(getpid()) + "-" + name;
}

bool OracleLoadBytes(const Bytes& data, TOracleImage& out) {
  std::string path = TempPath("oracle.gif");
  {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  bool ok = OracleLoad(path, out);
  std::remove(path.c_str());
  return ok;
}
