#include "gif/GIFSubImage.h"

#include "gif/GIFImport.h"

#include <cstring>

#include "gif/GIFDecoder.h"
#include "gif/GIFEncoder.h"

uint64_t GIFMaxFramePixels = uint64_t(1) << 28;

TGIFSubImage::TGIFSubImage(TGIFImageCore* image)
    : TGIFItem(image),
      FLocalColorMap(std::make_unique<TGIFLocalColorMap>(this)),
      FExtensions(std::make_unique<TGIFExtensionList>(this)) {}

TGIFSubImage::~TGIFSubImage() {
  if (FImage) FImage->Images().Remove(this);
  FExtensions->Clear();
  FreeBitmap();
  FreeMask();
  // The table's change step reaches this frame, so it goes while the frame is whole.
  FLocalColorMap.reset();
  if (FPalette) DeleteObject(FPalette);
  FPalette = nullptr;
  FreePixels();
  FGCE = nullptr;
  FTransparent = false;
}

TGIFVersion TGIFSubImage::NeededVersion() const {
  TGIFVersion v = FLocalColorMap->Sorted() ? gv89a : gv87a;
  for (int i = 0; i < FExtensions->Count() && v < gv89a; ++i)
    v = std::max(v, FExtensions->Items(i)->NeededVersion());
  return v;
}

void TGIFSubImage::Reset() {
  FExtensions->Clear();
  FLocalColorMap->Reset();
  FreePixels();
  PlaceFrame(Left(), Top(), Width(), 0);
  PlaceFrame(Left(), Top(), 0, 0);
  FTransparent = false;
  FGCE = nullptr;
  FreeBitmap();
  FreeMask();
}

void TGIFSubImage::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TGIFSubImage*>(source);
  if (!src) {
    // Bitmaps, icons, graphics and pictures are imported as a frame.
    if (!ImportIntoFrame(*this, source)) TPersistent::Assign(source);
    return;
  }
  if (src == this) return;
  Reset();
  FDescriptor = src->FDescriptor;
  FLocalColorMap->Assign(*src->FLocalColorMap);
  if (src->FPixels && src->FPixelSize > 0) {
    FPixels.reset(new uint8_t[src->FPixelSize]);
    std::memcpy(FPixels.get(), src->FPixels.get(), src->FPixelSize);
    FPixelSize = src->FPixelSize;
  }
  // Extensions are copied as they would be saved and read back.
  TMemoryStream stream;
  const_cast<TGIFSubImage*>(src)->FExtensions->SaveToStream(stream);
  WriteOneByte(stream, 0x3B);
  stream.SetPosition(0);
  FExtensions->LoadFromStream(stream, this);
}

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
  if (FLocalColorMap->Count() > 0) return *FLocalColorMap;
  if (FImage && FImage->GlobalColorMap().Count() > 0) return FImage->GlobalColorMap();
  return *FLocalColorMap;
}

void TGIFSubImage::AllocatePixels() {
  FreePixels();
  uint64_t size = static_cast<uint64_t>(Width()) * static_cast<uint64_t>(Height());
  if (size == 0) return;
  if (size > GIFMaxFramePixels) RaiseGIF("Invalid image dimensions");
  FPixels.reset(new uint8_t[size]());
  FPixelSize = size;
}

void TGIFSubImage::FreePixels() {
  FPixels.reset();
  FPixelSize = 0;
}

uint8_t* TGIFSubImage::ScanLine(int row) {
  if (row < 0 || row >= Height()) RaiseGIF("Invalid pixel coordinates");
  if (!FPixels) AllocatePixels();
  if (!FPixels || FPixelSize == 0) RaiseGIF("Image is empty");
  return FPixels.get() + static_cast<uint64_t>(row) * static_cast<uint64_t>(Width());
}

uint8_t TGIFSubImage::PixelAt(int x, int y) {
  if (x < 0 || x >= Width()) RaiseGIF("Invalid pixel coordinates");
  return ScanLine(y)[x];
}

void TGIFSubImage::PlaceFrame(int left, int top, int width, int height) {
  bool resized = width != Width() || height != Height();
  if (resized) {
    FreeBitmap();
    FreeMask();
  }
  FDescriptor.Left = static_cast<uint16_t>(left);
  FDescriptor.Top = static_cast<uint16_t>(top);
  FDescriptor.Width = static_cast<uint16_t>(width);
  FDescriptor.Height = static_cast<uint16_t>(height);
  if (resized) AllocatePixels();
  if (!FImage) return;
  bool warned = false;
  int w = FImage->ScreenWidth(), h = FImage->ScreenHeight();
  int right = FDescriptor.Left + FDescriptor.Width, bottom = FDescriptor.Top + FDescriptor.Height;
  if (w < right) {
    if (w > 0) {
      ReportWarning(GIFWarningSeverity, "Image width too small for contained frames");
      warned = true;
    }
    w = right;
  }
  if (h < bottom) {
    if (h > 0) {
      ReportWarning(GIFWarningSeverity, "Image height too small for contained frames");
      warned = true;
    }
    h = bottom;
  }
  if (w != FImage->ScreenWidth() || h != FImage->ScreenHeight()) FImage->SetScreenSize(w, h);
  if (warned) ReportWarning(GIFWarningSeverity, "Image exceeds Logical Screen size");
}

void TGIFSubImage::LoadFromStream(TStream& stream) {
  Reset();
  FExtensions->LoadFromStream(stream, this);
  uint8_t b = 0;
  if (!ReadByteChecked(stream, b)) return;
  stream.Seek(-1, soCurrent);
  if (b == 0x3B || b == 0) return;

  uint8_t raw[10];
  ReadExact(stream, raw, 10);
  auto word = [&](int at) { return static_cast<int>(raw[at] | (raw[at + 1] << 8)); };
  int left = word(1), top = word(3), width = word(5), height = word(7);
  FDescriptor.Separator = raw[0];
  FDescriptor.Packed = raw[9];
  if (width == 0 || height == 0) {
    width = FImage ? FImage->ScreenWidth() : 0;
    height = FImage ? FImage->ScreenHeight() : 0;
    ReportWarning(GIFWarningSeverity, "Image exceeds Logical Screen size");
  }
  // Not checked against the logical screen: drawing maps the frame into it.
  FDescriptor.Left = static_cast<uint16_t>(left);
  FDescriptor.Top = static_cast<uint16_t>(top);
  FDescriptor.Width = static_cast<uint16_t>(width);
  FDescriptor.Height = static_cast<uint16_t>(height);
  if (FDescriptor.Packed & 0x80) FLocalColorMap->ReadTable(stream, 2 << (FDescriptor.Packed & 7));
  DecodeImageData(stream);
}

void TGIFSubImage::DecodeImageData(TStream& stream) {
  AllocatePixels();
  uint8_t fill = 0;
  if (FTransparent && FGCE) fill = static_cast<uint8_t>(FGCE->TransparentColorIndex());
  if (FPixels && fill != 0) std::memset(FPixels.get(), fill, FPixelSize);

  uint8_t minCodeSize = 0;
  if (!ReadByteChecked(stream, minCodeSize)) return;
  // The tables hold 4096 codes of at most 12 bits.
  if (minCodeSize >= 12) RaiseGIF("Invalid LZW code size");

  auto decoder = std::make_unique<TGIFDecoder>(
      stream, minCodeSize, [this](const std::string& m) { ReportWarning(GIFWarningSeverity, m); });
  if (FPixels) {
    if (!Interlaced()) {
      decoder->Decode(FPixels.get(), FPixelSize);
    } else {
      // Rows arrive in four passes; decode in stream order, then place them.
      std::unique_ptr<uint8_t[]> linear(new uint8_t[FPixelSize]);
      std::memset(linear.get(), fill, FPixelSize);
      decoder->Decode(linear.get(), FPixelSize);
      const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      const size_t w = Width();
      const uint8_t* src = linear.get();
      for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < Height(); y += step[pass], src += w)
          std::memcpy(FPixels.get() + static_cast<size_t>(y) * w, src, w);
    }
  }
  // Whatever follows the last pixel up to the terminator belongs to this frame.
  decoder->SkipRest();
}

// The frame's save is written by the encoder's unit: descriptor, table and data.
void TGIFSubImage::SaveToStream(TStream& stream) { SaveSubImage(*this, stream); }

void TGIFSubImage::AssignTo(TPersistent* dest) const {
  if (!ExportFrame(const_cast<TGIFSubImage&>(*this), dest)) TPersistent::AssignTo(dest);
}
