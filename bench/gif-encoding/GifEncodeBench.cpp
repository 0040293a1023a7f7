// Encoding one 8-bit frame: our LZW and run-length coders against giflib's
// EGifSpew on the same raster, each writing a whole GIF file to memory.
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "classlib/Streams.h"
#include "gif/GIFEncoder.h"
#include "gif/GIFTypes.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TRaster {
  int Width, Height;
  Bytes Pixels;
  Bytes Palette;  // 256 rgb triples
};

// A picture-like raster: smooth bands with a little noise and flat areas, so
// that the dictionary fills and clears as it does for real images.
TRaster MakeRaster(int w, int h) {
  TRaster r{w, h, Bytes(static_cast<size_t>(w) * h), Bytes(768)};
  std::mt19937 rng(7);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int v = ((x / 5 + y / 7) & 127) + ((x * y / 97) & 64);
      if ((x / 64 + y / 64) % 5 == 0) v = 200;  // flat blocks
      if (rng() % 8 == 0) v += static_cast<int>(rng() % 5);
      r.Pixels[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(v & 255);
    }
  for (int i = 0; i < 768; ++i) r.Palette[static_cast<size_t>(i)] = static_cast<uint8_t>(i / 3);
  return r;
}

size_t Ours(const TRaster& r, bool runLength) {
  TMemoryStream s;
  uint8_t head[13] = {'G', 'I', 'F', '8', '7', 'a', static_cast<uint8_t>(r.Width), static_cast<uint8_t>(r.Width >> 8),
                      static_cast<uint8_t>(r.Height), static_cast<uint8_t>(r.Height >> 8), 0xF7, 0, 0};
  s.WriteBuffer(head, 13);
  s.WriteBuffer(r.Palette.data(), 768);
  uint8_t desc[10] = {0x2C, 0, 0, 0, 0, head[6], head[7], head[8], head[9], 0};
  s.WriteBuffer(desc, 10);
  if (runLength) {
    TRLEEncoder e(nullptr);
    e.Encode(s, 8, 256, r.Pixels.data(), false, r.Height, r.Width);
  } else {
    TLZWEncoder e(nullptr);
    e.Encode(s, 8, 256, r.Pixels.data(), false, r.Height, r.Width);
  }
  WriteOneByte(s, 0x3B);
  return static_cast<size_t>(s.Size());
}

int WriteMem(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

size_t Giflib(const TRaster& r) {
  Bytes out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, WriteMem, &err);
  if (!gif) return 0;
  gif->SWidth = r.Width;
  gif->SHeight = r.Height;
  gif->SColorResolution = 8;
  gif->SBackGroundColor = 0;
  gif->SColorMap = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i)
    gif->SColorMap->Colors[i] = GifColorType{r.Palette[static_cast<size_t>(i) * 3], r.Palette[static_cast<size_t>(i) * 3 + 1],
                                             r.Palette[static_cast<size_t>(i) * 3 + 2]};
  SavedImage image{};
  image.ImageDesc.Width = r.Width;
  image.ImageDesc.Height = r.Height;
  image.RasterBits = const_cast<GifByteType*>(r.Pixels.data());
  GifMakeSavedImage(gif, &image);
  // The raster is ours: giflib must not free it.
  EGifSpew(gif);
  return out.size();
}

double Time(const std::function<void()>& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  TRaster r = MakeRaster(2048, 1536);
  size_t oursSize = 0, rleSize = 0, peerSize = 0;
  // Rounds take turns, so that a busy machine weighs on both sides alike;
  // each side keeps its best round.
  double ours = 1e300, rle = 1e300, peer = 1e300;
  for (int round = 0; round < 7; ++round) {
    ours = std::min(ours, Time([&] { oursSize = Ours(r, false); }));
    rle = std::min(rle, Time([&] { rleSize = Ours(r, true); }));
    peer = std::min(peer, Time([&] { peerSize = Giflib(r); }));
  }
  std::printf("sizes: ours LZW %zu bytes, ours run-length %zu bytes, giflib %zu bytes\n", oursSize, rleSize, peerSize);
  std::printf("ROW | GIF encode LZW, 2048x1536 8-bit frame (3.1 Mpixel) | ours %.1f ms | giflib EGifSpew %.1f ms | ratio %.2f\n",
              ours, peer, ours / peer);
  std::printf("ROW | GIF encode run-length, 2048x1536 8-bit frame (3.1 Mpixel) | ours %.1f ms | giflib EGifSpew %.1f ms | ratio %.2f\n",
              rle, peer, rle / peer);
  return 0;
}
