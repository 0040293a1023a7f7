#include "gif/GIFImport.h"

#include <cstring>
#include <memory>

#include "gif/GIFColorReduction.h"
#include "gif/GIFDIB.h"
#include "gif/GifCodec.h"
#include "gif/GIFSubImage.h"

namespace {

const char* const ConvertingMessage = "Converting...";

void Progress(TGIFSubImage& frame, TGIFProgressStage stage, int percent, bool redraw) {
  if (TGIFImageCore* image = frame.Image()) image->ReportProgress(&frame, stage, percent, redraw, ConvertingMessage);
}

void RowProgress(TGIFSubImage& frame, int row, int height) {
  if (row % 32 == 0) Progress(frame, gpsRunning, GIFMulDiv(row, 100, height), false);
}

// The colour table of a palette bitmap: its palette when it has one, else
// the colour table of its DIB.
void TakeBitmapColors(TGIFColorMap& map, TBitmap& bitmap) {
  if (bitmap.Palette() && GetPaletteEntries(bitmap.Palette(), 0, 0, nullptr) > 0)
    map.TakePaletteEntries(bitmap.Palette());
  else
    map.TakeDIBColors(bitmap.Canvas().Handle());
}

void Import8(TGIFSubImage& frame, TBitmap& bitmap) {
  TakeBitmapColors(frame.ColorMap(), bitmap);
  const int w = frame.Width(), h = frame.Height();
  for (int y = 0; y < h; ++y) {
    RowProgress(frame, y, h);
    std::memcpy(frame.ScanLine(y), bitmap.ScanLine(y), static_cast<size_t>(w));
  }
}

void Import4(TGIFSubImage& frame, TBitmap& bitmap) {
  TakeBitmapColors(frame.ColorMap(), bitmap);
  const int w = frame.Width(), h = frame.Height();
  for (int y = 0; y < h; ++y) {
    RowProgress(frame, y, h);
    const auto* src = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    uint8_t* dst = frame.ScanLine(y);
    for (int x = 0; x < w; ++x) dst[x] = (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4;
  }
}

void Import1(TGIFSubImage& frame, TBitmap& bitmap) {
  TakeBitmapColors(frame.ColorMap(), bitmap);
  const int w = frame.Width(), h = frame.Height();
  for (int y = 0; y < h; ++y) {
    RowProgress(frame, y, h);
    const auto* src = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    uint8_t* dst = frame.ScanLine(y);
    for (int x = 0; x < w; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
  }
}

// True colour with at most 256 colours; a ring of the 8 colours seen last
// spares most table searches.
void Import24(TGIFSubImage& frame, TBitmap& bitmap) {
  TGIFColorMap& map = frame.ColorMap();
  map.Reset();
  int32_t ringColor[8], ringIndex[8];
  for (int i = 0; i < 8; ++i) ringColor[i] = ringIndex[i] = -1;
  int last = 0;
  const int w = frame.Width(), h = frame.Height();
  for (int y = 0; y < h; ++y) {
    RowProgress(frame, y, h);
    const auto* src = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    uint8_t* dst = frame.ScanLine(y);
    for (int x = 0; x < w; ++x, src += 3) {
      const int32_t color = src[2] | (src[1] << 8) | (src[0] << 16);  // as COLORREF: red low
      int slot = last, found = -1;
      do {
        if (ringColor[slot] < 0) break;
        if (ringColor[slot] == color) {
          found = slot;
          break;
        }
        slot = slot == 0 ? 7 : slot - 1;
      } while (slot != last);
      if (found < 0) {
        found = (last + 1) % 8;
        ringColor[found] = color;
        ringIndex[found] = map.FindOrAppendColor(static_cast<COLORREF>(color));
      }
      last = found;
      dst[x] = static_cast<uint8_t>(ringIndex[found]);
    }
  }
}

// A 24-bit bitmap of the graphic drawn at (0, 0) over a background colour.
std::unique_ptr<TBitmap> DrawGraphic(TGraphic& graphic, TColor background) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(graphic.Width(), graphic.Height());
  bitmap->Canvas().Brush().SetColor(background);
  bitmap->Canvas().FillRect(TRect(0, 0, graphic.Width(), graphic.Height()));
  bitmap->Canvas().Draw(0, 0, &graphic);
  return bitmap;
}

// Pixels equal to the bitmap's transparent colour.
std::vector<uint8_t> ColorMask(TBitmap& bitmap) {
  const COLORREF key = ColorToRGB(bitmap.TransparentColor()) & 0xFFFFFF;
  TBitmap copy;
  copy.Assign(&bitmap);
  copy.SetPixelFormat(pf24bit);
  const int w = copy.Width(), h = copy.Height();
  std::vector<uint8_t> mask(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const auto* p = static_cast<const uint8_t*>(copy.ScanLine(y));
    for (int x = 0; x < w; ++x, p += 3)
      mask[static_cast<size_t>(y) * w + x] = (static_cast<COLORREF>(p[2] | (p[1] << 8) | (p[0] << 16)) == key);
  }
  return mask;
}

// Where the graphic left the background: drawn over white and over black,
// the two differ exactly there.
std::vector<uint8_t> CoverageMask(TGraphic& graphic) {
  auto white = DrawGraphic(graphic, static_cast<TColor>(0xFFFFFF));
  auto black = DrawGraphic(graphic, static_cast<TColor>(0));
  const int w = white->Width(), h = white->Height();
  std::vector<uint8_t> mask(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const auto* a = static_cast<const uint8_t*>(white->ScanLine(y));
    const auto* b = static_cast<const uint8_t*>(black->ScanLine(y));
    for (int x = 0; x < w * 3; ++x)
      if (a[x] != b[x]) mask[static_cast<size_t>(y) * w + x / 3] = 1;
  }
  return mask;
}

// Icon pixels that are more than half see-through.
std::vector<uint8_t> AlphaMask(TIcon& icon) {
  TBitmap& image = icon.Image();
  const int w = image.Width(), h = image.Height();
  std::vector<uint8_t> mask(static_cast<size_t>(w) * static_cast<size_t>(h));
  if (image.PixelFormat() != pf32bit) return mask;
  for (int y = 0; y < h; ++y) {
    const auto* p = static_cast<const uint8_t*>(image.ScanLine(y));
    for (int x = 0; x < w; ++x) mask[static_cast<size_t>(y) * w + x] = p[x * 4 + 3] < 128;
  }
  return mask;
}

}  // namespace

void AddMaskAsTransparency(TGIFSubImage& frame, const std::vector<uint8_t>& mask) {
  if (frame.Empty() || mask.size() < frame.DataSize()) return;
  TGIFColorMap& map = frame.ColorMap();
  map.SortByUse();
  if (map.Count() < 1 || map.Count() > 255) return;
  const int t = map.AppendColor(0);
  bool any = false;
  uint8_t* pixels = frame.Data();
  for (uint64_t i = 0; i < frame.DataSize(); ++i)
    if (mask[i]) {
      pixels[i] = static_cast<uint8_t>(t);
      any = true;
    }
  if (!any) {
    map.RemoveColor(t);
    return;
  }
  auto gce = std::make_unique<TGIFGraphicControlExtension>(&frame);
  TGIFGraphicControlExtension* g = gce.get();
  frame.Extensions().Add(std::move(gce));
  g->SetTransparentColorIndex(t);
  g->SetTransparent(true);
  frame.FreeBitmap();
  frame.FreeMask();
}

void ImportBitmap(TGIFSubImage& frame, TBitmap& bitmap) {
  frame.Reset();
  if (bitmap.Empty() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  auto* image = dynamic_cast<TGIFImage*>(frame.Image());
  // The rendered bitmap is ours until the end: filling the table makes the
  // frame drop its own rendered bitmap, so it cannot be the one being read.
  std::unique_ptr<TBitmap> rendered;
  const TPixelFormat format = bitmap.PixelFormat();
  if (format == pf1bit || format == pf4bit || format == pf8bit) {
    rendered = std::make_unique<TBitmap>();
    rendered->Assign(&bitmap);
    // The copy has the colours in its DIB; the palette says how many there are.
    if (bitmap.Palette() && !rendered->Palette()) rendered->SetPalette(CopyPalette(bitmap.Palette()));
  } else {
    rendered = ReduceToPalette(bitmap, image ? image->ReductionMethod : GIFDefaultReductionMethod,
                               image ? image->DitherKind : GIFDefaultDitherKind,
                               image ? image->ReductionDepth : GIFDefaultReductionDepth, nullptr);
  }
  frame.PlaceFrame(frame.Left(), frame.Top(), bitmap.Width(), bitmap.Height());
  frame.AllocatePixels();
  Progress(frame, gpsStarting, 0, false);
  auto finish = [&](int percent) { Progress(frame, gpsEnding, percent, image && image->IsPaletteModified()); };
  try {
    // A reduction without colours leaves an empty bitmap, whose rows raise
    // "Scan line index out of range" instead of being read past their end.
    switch (rendered->PixelFormat()) {
      case pf8bit: Import8(frame, *rendered); break;
      case pf4bit: Import4(frame, *rendered); break;
      case pf1bit: Import1(frame, *rendered); break;
      default: {
        TDIBReader reader(*rendered, pf24bit);
        Import24(frame, *rendered);
      }
    }
    if (bitmap.Transparent()) AddMaskAsTransparency(frame, ColorMask(bitmap));
    // A transparent frame renders itself, with its mask, from its own pixels.
    if (!frame.Transparent()) {
      frame.NewBitmap();
      frame.FrameBitmap()->Assign(rendered.get());
    }
  } catch (...) {
    finish(0);
    throw;
  }
  finish(100);
}

void ImportGraphic(TGIFSubImage& frame, TGraphic& graphic) {
  frame.Reset();
  if (graphic.Empty() || graphic.Width() <= 0 || graphic.Height() <= 0) return;
  auto* icon = dynamic_cast<TIcon*>(&graphic);
  std::unique_ptr<TBitmap> bitmap;
  auto assign = [&] {
    auto b = std::make_unique<TBitmap>();
    b->Assign(&graphic);
    return b;
  };
  if (icon) {
    try {
      bitmap = DrawGraphic(graphic, static_cast<TColor>(0));
    } catch (const Exception&) {
      bitmap = assign();
    }
  } else {
    try {
      bitmap = assign();
    } catch (const Exception&) {
      bitmap = DrawGraphic(graphic, static_cast<TColor>(0xFFFFFF));
    }
  }
  ImportBitmap(frame, *bitmap);
  // Whatever a graphic leaves of the background is see-through.
  if (icon)
    AddMaskAsTransparency(frame, AlphaMask(*icon));
  else
    AddMaskAsTransparency(frame, CoverageMask(graphic));
}

bool ImportIntoFrame(TGIFSubImage& frame, const TPersistent* source) {
  if (!source) {
    frame.Reset();
    return true;
  }
  if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    ImportBitmap(frame, const_cast<TBitmap&>(*bitmap));
    return true;
  }
  if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    ImportGraphic(frame, const_cast<TGraphic&>(*graphic));
    return true;
  }
  if (auto* picture = dynamic_cast<const TPicture*>(source)) {
    if (picture->Graphic()) return ImportIntoFrame(frame, picture->Graphic());
    frame.Reset();
    return true;
  }
  return false;
}

bool ExportFrame(TGIFSubImage& frame, TPersistent* dest) {
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (!bitmap) return false;
  bitmap->Assign(frame.FrameBitmap());
  return true;
}

bool AssignToImage(TGIFImage& image, const TPersistent* source) {
  if (source == &image) return true;
  image.ResetImage();
  if (!source) return true;
  auto frame = std::make_unique<TGIFSubImage>(&image);
  if (!ImportIntoFrame(*frame, source)) return false;
  image.AddFrame(std::move(frame));
  return true;
}

int AddGraphicFrame(TGIFImage& image, const TPersistent* item) {
  if (auto* frame = dynamic_cast<const TGIFSubImage*>(item)) {
    auto copy = std::make_unique<TGIFSubImage>(&image);
    copy->Assign(frame);
    return image.AddFrame(std::move(copy));
  }
  auto frame = std::make_unique<TGIFSubImage>(&image);
  if (!item || !ImportIntoFrame(*frame, item)) RaiseGIF("Object type not supported for operation");
  return image.AddFrame(std::move(frame));
}

bool ExportImage(TGIFImage& image, TPersistent* dest) {
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (!bitmap) return false;
  bitmap->Assign(image.GetCompositeBitmap());
  return true;
}
