// One frame of a GIF image: descriptor, local table, extensions, index pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Graphics.h"
#include "gif/GIFColorMap.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFItems.h"

// The largest frame the codec allocates (Width x Height bytes); larger frames are
// refused before any memory is taken. Writable so that tools can lower it.
extern uint64_t GIFMaxFramePixels;

struct TGIFImageDescriptor {
  uint8_t Separator = 0x2C;
  uint16_t Left = 0;
  uint16_t Top = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t Packed = 0;
};

struct TGIFRect {
  int Left, Top, Right, Bottom;
};

class TGIFSubImage : public TGIFItem {
 public:
  explicit TGIFSubImage(TGIFImageCore* image);
  // Takes the frame out of its image's frame list.
  ~TGIFSubImage() override;

  TGIFVersion NeededVersion() const override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void Reset();
  // Copies another frame: descriptor, local table, pixels and extensions.
  void Assign(const TPersistent* source) override;
  void AssignTo(TPersistent* dest) const override;

  int Left() const { return FDescriptor.Left; }
  int Top() const { return FDescriptor.Top; }
  int Width() const { return FDescriptor.Width; }
  int Height() const { return FDescriptor.Height; }
  void SetLeft(int value) { PlaceFrame(value, Top(), Width(), Height()); }
  void SetTop(int value) { PlaceFrame(Left(), value, Width(), Height()); }
  void SetWidth(int value) { PlaceFrame(Left(), Top(), value, Height()); }
  void SetHeight(int value) { PlaceFrame(Left(), Top(), Width(), value); }
  void PlaceFrame(int left, int top, int width, int height);
  TGIFRect BoundsRect() const { return {Left(), Top(), Left() + Width(), Top() + Height()}; }

  bool Empty() const { return !FPixels || FPixelSize == 0 || Width() == 0 || Height() == 0; }
  bool Interlaced() const { return (FDescriptor.Packed & 0x40) != 0; }
  void SetInterlaced(bool value) {
    FDescriptor.Packed = static_cast<uint8_t>(value ? FDescriptor.Packed | 0x40 : FDescriptor.Packed & ~0x40);
  }
  const TGIFImageDescriptor& Descriptor() const { return FDescriptor; }

  uint8_t* ScanLine(int row);
  uint8_t PixelAt(int x, int y);
  void AllocatePixels();
  void FreePixels();
  uint8_t* Data() { return FPixels.get(); }
  uint64_t DataSize() const { return FPixelSize; }

  TGIFLocalColorMap& ColorMap() { return *FLocalColorMap; }
  TGIFColorMap& ActiveColorMap();
  int BitsPerPixel() const { return FLocalColorMap->IndexBits(); }
  int ColorResolution() const { return BitsPerPixel() - 1; }
  TGIFExtensionList& Extensions() { return *FExtensions; }

  bool Transparent() const { return FTransparent; }
  TGIFGraphicControlExtension* GraphicControlExtension() const { return FGCE; }
  // Maintained by the graphic control extensions of this frame.
  void SetTransparentFlag(bool value) { FTransparent = value; }
  void SetGraphicControlExtension(TGIFGraphicControlExtension* gce) { FGCE = gce; }

  // Rendering: an 8-bit bitmap with the frame's palette and, for a
  // transparent frame, a monochrome mask (bit 1 = transparent), made on demand.
  TBitmap* FrameBitmap();
  bool HasMask();
  HBITMAP FrameMask() const { return FMask; }
  bool HasBitmap() const { return FBitmap != nullptr; }
  void NewBitmap();
  void FreeBitmap();
  void FreeMask();
  HPALETTE FramePalette();
  void SetFramePalette(HPALETTE palette);

  // Drawing: ARect stands for the whole logical screen.
  void DrawInScreenRect(TCanvas& canvas, const TRect& rect, bool doTransparent, bool doTile);
  void DrawInRect(TCanvas& canvas, const TRect& rect, bool doTransparent, bool doTile);
  TRect MapToScreenRect(const TRect& rect) const;
  void TrimTransparentBorder();
  void MaskUnchangedPixels(TGIFSubImage* previous);

 protected:
  void DecodeImageData(TStream& stream);
  std::unique_ptr<TBitmap> PlainRender();
  std::unique_ptr<TBitmap> DitheredRender();
  void StoreMask(const std::vector<uint8_t>& bits, bool any);
  void Progress(TGIFProgressStage stage, int percent, bool redraw);

  TGIFImageDescriptor FDescriptor;
  std::unique_ptr<TGIFLocalColorMap> FLocalColorMap;
  std::unique_ptr<TGIFExtensionList> FExtensions;
  std::unique_ptr<uint8_t[]> FPixels;
  uint64_t FPixelSize = 0;
  bool FTransparent = false;
  TGIFGraphicControlExtension* FGCE = nullptr;
  std::unique_ptr<TBitmap> FBitmap;
  HBITMAP FMask = nullptr;
  bool FNeedMask = true;
  HPALETTE FPalette = nullptr;
};
