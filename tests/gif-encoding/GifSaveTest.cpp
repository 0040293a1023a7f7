// Whole images saved through the picture class: giflib and ImageMagick read
// back the pixels, delays, disposals and loop counts of what we loaded.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "GifEncodingUtil.h"
#include "gif/GIFEncoder.h"

namespace {

Bytes SaveImage(TGIFImage& image) {
  TMemoryStream s;
  image.SaveToStream(s);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

void LoadImage(TGIFImage& image, const Bytes& data) {
  TMemoryStream s;
  s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  s.SetPosition(0);
  image.LoadFromStream(s);
}

// ImageMagick's view of every frame: size, offset, delay and disposal.
std::string Identify(const Bytes& data) {
  std::string path = TempPath("identify.gif");
  {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  std::string out;
  std::string cmd = "identify -format '%w %h %X %Y %T %D\\n' " + path + " 2>/dev/null";
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  std::remove(path.c_str());
  return out;
}

bool HaveIdentify() { return std::system("identify -version >/dev/null 2>&1") == 0; }

TEST(GifSave, CorpusRoundTripsThroughGiflibAndImageMagick) {
  const bool magick = HaveIdentify();
  for (const std::string& name : CorpusFiles()) {
    if (name.rfind("damaged", 0) == 0) continue;
    SCOPED_TRACE(name);
    Bytes original = ReadFileBytes(DataPath(name));
    TOracleImage before;
    ASSERT_TRUE(OracleLoad(DataPath(name), before));
    for (int kind : {0, 1}) {
      SCOPED_TRACE(kind ? "run-length" : "LZW");
      TGIFImage image;
      image.CompressionKind = static_cast<uint8_t>(kind);
      LoadImage(image, original);
      Bytes saved = SaveImage(image);
      TOracleImage after;
      ASSERT_TRUE(OracleLoadBytes(saved, after));
      ASSERT_EQ(after.Frames.size(), before.Frames.size());
      EXPECT_EQ(after.Loops, before.Loops);
      EXPECT_EQ(after.GlobalMap, before.GlobalMap);
      for (size_t i = 0; i < before.Frames.size(); ++i) {
        const TOracleFrame &a = after.Frames[i], &b = before.Frames[i];
        EXPECT_EQ(a.Interlaced, b.Interlaced) << i;
        EXPECT_TRUE(a.Raster == b.Raster) << "frame " << i;
        EXPECT_EQ(a.LocalMap, b.LocalMap) << i;
        EXPECT_EQ((std::vector<int>{a.Left, a.Top, a.Width, a.Height, a.Delay, a.Disposal, a.Transparent}),
                  (std::vector<int>{b.Left, b.Top, b.Width, b.Height, b.Delay, b.Disposal, b.Transparent}))
            << i;
      }
      if (magick) {
        EXPECT_EQ(Identify(saved), Identify(original));
      }
    }
  }
}

TEST(GifSave, LocalTableKeepsInterlacedRowsInOrder) {
  // An interlaced frame with its own table, 1 to 8 bits deep.
  for (int bits = 1; bits <= 8; ++bits) {
    SCOPED_TRACE(bits);
    TRaster r = NoiseRaster(7, 11, 1 << bits, static_cast<uint32_t>(bits));
    TGifBuilder b;
    b.Header(7, 11).Descriptor(0, 0, 7, 11, 0xC0 | (bits - 1));
    for (int i = 0; i < (1 << bits); ++i) b.Raw({i, 255 - i, i / 2});
    TMemoryStream data;
    TLZWEncoder e(nullptr);
    // Rows in pass order, as the flag says.
    Bytes passes;
    for (int y : {0, 8, 4, 2, 6, 10, 1, 3, 5, 7, 9})
      passes.insert(passes.end(), r.Pixels.begin() + y * 7, r.Pixels.begin() + (y + 1) * 7);
    e.Encode(data, bits, 1 << bits, passes.data(), false, 11, 7);
    const auto* p = static_cast<const uint8_t*>(data.Memory());
    b.Raw(Bytes(p, p + data.Size())).Trailer();

    TGIFImage image;
    LoadImage(image, b.Data);
    ASSERT_TRUE(Bytes(image.Images()[0]->Data(), image.Images()[0]->Data() + 77) == r.Pixels);
    TOracleImage o;
    ASSERT_TRUE(OracleLoadBytes(SaveImage(image), o));
    EXPECT_TRUE(o.Frames[0].Interlaced);
    EXPECT_TRUE(o.Frames[0].Raster == r.Pixels);
    EXPECT_EQ(o.Frames[0].LocalMap.size(), static_cast<size_t>(3) << bits);
  }
}

TEST(GifSave, SmallestImageGivesTheExpectedBytes) {
  TGifBuilder b;
  b.Header(1, 1, 0).Descriptor(0, 0, 1, 1).ImageData(2, Literals(2, {0})).Trailer();
  TGIFImage image;
  LoadImage(image, b.Data);
  Bytes saved = SaveImage(image);
  // Header of a 2-entry table, descriptor, then code size 2, one block of clear 4, 0, end 5.
  Bytes tail(saved.end() - 6, saved.end());
  EXPECT_EQ(tail, (Bytes{2, 2, 0x44, 0x01, 0, 0x3B}));
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF87a");
}

}  // namespace
