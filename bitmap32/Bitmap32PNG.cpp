#include "bitmap32/Bitmap32PNG.h"

#include "bitmap32/Bitmap32Transfers.h"
#include "classlib/Streams.h"
#include "platform/Modules.h"
#include "png/PngHeaderChunk.h"
#include "png/PngObject.h"

void LoadPngStreamToBitmap32(TBitmap32* dst, TStream& stream, bool& alphaUsed) {
  if (!dst) throw EBitmapException("Destination bitmap is nil");
  TPNGObject png;
  png.LoadFromStream(stream);
  dst->Assign(&png);
  dst->ResetAlpha();
  const int w = dst->Width(), h = dst->Height();
  if (dst->Empty()) {
    alphaUsed = false;
    return;
  }
  switch (png.TransparencyKind()) {
    case ptOpaque:
      alphaUsed = false;
      break;
    case ptColorKey: {
      // Keyed by the image's own pixels: drawn with its key left out, the
      // bitmap shows whatever was under it there, black or not.
      const uint32_t key = png.TransparentColor();
      const TColor32 keyColour = Color32(static_cast<TColor>(key & 0x00FFFFFF)) & 0x00FFFFFF;
      for (int y = 0; y < h; ++y) {
        TColor32* row = dst->ScanLine(y);
        for (int x = 0; x < w; ++x)
          if (png.GetPixel(x, y) == key) row[x] = keyColour;
      }
      alphaUsed = true;
      break;
    }
    case ptAlphaChannel: {
      const uint8_t colorType = png.Header().ColorType;
      if (colorType == 4 || colorType == 6) {
        for (int y = 0; y < h; ++y) {
          const uint8_t* alpha = png.AlphaRow(y);
          if (!alpha) break;
          TColor32* row = dst->ScanLine(y);
          // Straight colours with their alpha: drawn over the zeroed bitmap
          // they would arrive multiplied by it.
          for (int x = 0; x < w; ++x)
            row[x] = (static_cast<TColor32>(alpha[x]) << 24) |
                     (Color32(static_cast<TColor>(png.GetPixel(x, y) & 0x00FFFFFF)) & 0x00FFFFFF);
        }
        alphaUsed = true;
      } else {
        // A palette with partial transparency carries no alpha buffer.
        alphaUsed = false;
      }
      break;
    }
  }
}

void LoadPngResourceToBitmap32(TBitmap32* dst, const std::string& resName, const char* resType, bool& alphaUsed) {
  TResourceStream stream(GetModuleHandleA(nullptr), resName, resType);
  LoadPngStreamToBitmap32(dst, stream, alphaUsed);
}
