// Feeds arbitrary bytes to the bitmap file reader; a bitmap read is walked
// row by row and must save and read back at the same size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "classlib/Graphics.h"
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
  TBitmap bitmap;
  try {
    bitmap.LoadFromStream(in);
  } catch (const Exception&) {
    return 0;
  }
  uint32_t sum = 0;
  const int64_t rowBytes = bitmap.RowBytes();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    for (int64_t i = 0; i < rowBytes; ++i) sum += row[i];
  }
  TMemoryStream out;
  bitmap.SaveToStream(out);
  out.SetPosition(0);
  TBitmap again;
  again.LoadFromStream(out);
  if (again.Width() != bitmap.Width() || again.Height() != bitmap.Height()) __builtin_trap();
  return static_cast<int>(sum & 0);
}
