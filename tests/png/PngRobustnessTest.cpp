// Damaged files: every valid test image cut at every length and with each
// byte flipped ends in a codec error or a sound image.
#include <gtest/gtest.h>

#include "PngTestUtil.h"
#include "png/PngCrc.h"
#include "png/PngHeaderChunk.h"

namespace {

// Loads and, when that succeeds, touches every pixel and saves again.
void Exercise(const Bytes& data) {
  TPNGChunkList png;
  try {
    LoadBytes(png, data);
  } catch (const Exception&) {
    EXPECT_EQ(png.Chunks().Count(), 0);
    return;
  }
  const TChunkIHDR& h = png.Header();
  uint32_t sum = 0;
  for (uint32_t y = 0; y < h.Height; ++y)
    for (uint32_t x = 0; x < h.Width; ++x) sum += png.GetPixel(int(x), int(y));
  (void)sum;
  (void)png.TransparentColor();
  try {
    SaveBytes(png);
  } catch (const Exception&) {
  }
}

// Recomputes the CRC of the chunk that holds byte `at`, so a flipped byte
// reaches the decoder instead of stopping at the CRC check.
void RepairCrc(Bytes& file, size_t at) {
  for (size_t pos = 8; pos + 12 <= file.size();) {
    const uint32_t len = ReadBE32(file.data() + pos);
    if (len > file.size() - pos - 12) return;
    if (at >= pos && at < pos + 12 + len) {
      WriteBE32(file.data() + pos + 8 + len, ~UpdateCrc(UpdateCrc(0xFFFFFFFFu, file.data() + pos + 4, 4),
                                                        file.data() + pos + 8, len));
      return;
    }
    pos += 12 + len;
  }
}

std::vector<std::string> Samples() {
  std::vector<std::string> files;
  for (const auto& f : PngSuiteFiles())
    for (const char* pick : {"basn0g01", "basn2c16", "basn3p04-31i", "basn4a08", "basn6a16", "ftbbn3p08", "ftp1n3p08"})
      if (f.find(pick) != std::string::npos) files.push_back(f);
  return files;
}

}  // namespace

TEST(PngRobustness, CutAtEveryLength) {
  for (const auto& f : Samples()) {
    const Bytes file = ReadFileBytes(f);
    for (size_t n = 0; n < file.size(); ++n) Exercise(Bytes(file.begin(), file.begin() + long(n)));
  }
}

TEST(PngRobustness, EveryByteFlipped) {
  for (const auto& f : Samples()) {
    Bytes file = ReadFileBytes(f);
    for (size_t i = 0; i < file.size(); ++i) {
      for (uint8_t mask : {0xFF, 0x01}) {
        file[i] ^= mask;
        Exercise(file);
        file[i] ^= mask;
      }
    }
  }
}

TEST(PngRobustness, EveryByteFlippedBehindAValidCrc) {
  for (const auto& f : Samples()) {
    const Bytes file = ReadFileBytes(f);
    for (size_t i = 8; i < file.size(); ++i) {
      for (uint8_t mask : {0xFF, 0x01, 0x80}) {
        Bytes damaged = file;
        damaged[i] ^= mask;
        RepairCrc(damaged, i);
        Exercise(damaged);
      }
    }
  }
}
