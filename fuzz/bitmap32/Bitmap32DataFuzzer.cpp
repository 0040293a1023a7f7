// Feeds arbitrary bytes to the bitmap's "Data" stream reader; what it reads
// must write back as the same bytes it took from the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bitmap32/Bitmap32.h"
#include "classlib/Streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("HANAKUMO_DRIVER", "headless", 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  TMemoryStream in;
  if (size) in.Write(data, static_cast<int64_t>(size));
  in.SetPosition(0);
  TBitmap32 bitmap;
  try {
    bitmap.ReadData(in);
  } catch (const Exception&) {
    return 0;
  }
  const int64_t used = in.Position();
  uint32_t sum = 0;
  // A width of 0 keeps any height and holds no pixels.
  if (bitmap.Width() > 0)
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x) sum += bitmap.GetPixel(x, y);
  TMemoryStream out;
  bitmap.WriteData(out);
  // A size of positive width and height writes back byte for byte.
  int32_t w = 0, h = 0;
  std::memcpy(&w, data, 4);
  std::memcpy(&h, data + 4, 4);
  if (w > 0 && h > 0 &&
      (out.Size() != used || std::memcmp(out.Memory(), data, static_cast<size_t>(used)) != 0))
    __builtin_trap();
  // What was written reads again into the same picture.
  out.SetPosition(0);
  TBitmap32 again;
  again.ReadData(out);
  if (!again.Equal(&bitmap)) __builtin_trap();
  return static_cast<int>(sum & 0);
}
