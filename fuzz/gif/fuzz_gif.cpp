// Feeds arbitrary bytes to the GIF reader: any outcome but a GIFException,
// warnings or an image is a fault.
#include <cstddef>
#include <cstdint>

#include "gif/GIFItems.h"
#include "gif/GIFSubImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Keep frames small so that huge claimed sizes do not exhaust the fuzzer's memory.
  GIFMaxFramePixels = uint64_t(1) << 22;
  TGIFImageCore image;
  TMemoryStream stream;
  if (size) stream.WriteBuffer(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
  try {
    image.ReadImage(stream);
    for (int i = 0; i < image.Images().Count(); ++i) {
      TGIFSubImage* f = image.Images()[i];
      if (!f->Empty()) (void)f->PixelAt(f->Width() - 1, f->Height() - 1);
    }
  } catch (const GIFException&) {
  }
  return 0;
}
