// Feeds arbitrary bytes to the GIF picture class and renders what loads:
// any outcome but a GIFException, warnings or an image is a fault.
#include <cstddef>
#include <cstdint>

#include "gif/GifCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Keep frames small so that huge claimed sizes do not exhaust the fuzzer's memory.
  GIFMaxFramePixels = uint64_t(1) << 20;
  TGIFImage image;
  image.PaintOptions = gpTransparent;
  TMemoryStream stream;
  if (size) stream.WriteBuffer(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
  try {
    image.LoadFromStream(stream);
    for (int i = 0; i < image.Images().Count() && i < 8; ++i) {
      TGIFSubImage* f = image.Images()[i];
      if (f->Empty()) continue;
      (void)f->PixelAt(f->Width() - 1, f->Height() - 1);
      f->FrameBitmap();
      f->HasMask();
    }
    if (!image.Empty() && image.Width() <= 1024 && image.Height() <= 1024) {
      TBitmap target;
      target.SetSize(32, 32);
      image.Draw(target.Canvas(), TRect(0, 0, 32, 32));
    }
  } catch (const GIFException&) {
  } catch (const EInvalidGraphic&) {
  } catch (const EOutOfResources&) {
  }
  return 0;
}
