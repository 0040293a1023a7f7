// Feeds arbitrary bytes to the PNG decoder; a decoded image is read back
// pixel by pixel and saved again.
#include <cstddef>
#include <cstdint>

#include <vector>

#include "classlib/Streams.h"
#include "png/PngCrc.h"
#include "png/PngHeaderChunk.h"
#include "png/PngCodec.h"

namespace {

// Mends every chunk's CRC, so mutations reach the decoder behind the check.
void MendCrcs(std::vector<uint8_t>& file) {
  for (size_t pos = 8; pos + 12 <= file.size();) {
    const uint32_t len = ReadBE32(file.data() + pos);
    if (len > file.size() - pos - 12) return;
    WriteBE32(file.data() + pos + 8 + len,
              ~UpdateCrc(UpdateCrc(0xFFFFFFFFu, file.data() + pos + 4, 4), file.data() + pos + 8, len));
    pos += 12 + len;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  // Inputs of odd length get their CRCs mended; even ones test the checks.
  if (size & 1) MendCrcs(file);
  TMemoryStream in;
  if (size > 0) in.Write(file.data(), static_cast<int64_t>(size));
  in.SetPosition(0);
  TPNGChunkList png;
  try {
    png.LoadFromStream(in);
  } catch (const Exception&) {
    return 0;
  }
  const TChunkIHDR& h = png.Header();
  uint32_t sum = 0;
  for (uint32_t y = 0; y < h.Height; ++y)
    for (uint32_t x = 0; x < h.Width; ++x) sum += png.GetPixel(static_cast<int>(x), static_cast<int>(y));
  sum += png.TransparentColor();
  try {
    TMemoryStream out;
    png.SaveToStream(out);
  } catch (const Exception&) {
  }
  return static_cast<int>(sum & 0);
}
