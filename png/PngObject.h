// TPNGObject: the PNG picture class of the class library, registered as
// picture format "PNG". Drawing, bitmaps, the clipboard and pixel access on
// top of the codec's TPNGChunkList.
#pragma once

#include "classlib/Graphics.h"
#include "png/PngCodec.h"

class TPNGObject : public TGraphic, public TPNGChunkList {
 public:
  TPNGObject();
  ~TPNGObject() override;

  void Assign(const TPersistent* source) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Empty() const override { return Chunks().Count() == 0; }
  int Width() const override;
  int Height() const override;
  // A PNG is resized by assigning a bitmap, not by these.
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
  void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override;
  // Palette of grey and palette images from the header's colours (kept).
  HPALETTE Palette() override;
  bool Transparent() const override { return TransparencyKind() != ptOpaque; }

  TColor Pixels(int x, int y) const { return static_cast<TColor>(GetPixel(x, y)); }
  void SetPixels(int x, int y, TColor color) { SetPixel(x, y, ColorToRGB(color)); }

  // Takes the pixels of a bitmap: palette bitmaps become palette images,
  // deeper ones 8-bit RGB; with transparent, color becomes the colour key.
  void AssignFromBitmapHandle(HBITMAP handle, bool transparent, COLORREF color);

  void HeaderPrepared() override;

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  void DrawMaskTransparent(HDC dc, COLORREF color, const TRect& rect) const;
  void DrawAlphaBlended(HDC dc, const TRect& rect) const;
  void FreePalette();

  HPALETTE FPaletteHandle = nullptr;
};

// Registers the class with the picture framework (its unit initialisation
// does this too; a program that finds pictures only by name calls it so the
// linker keeps the class).
void RegisterPNGPicture();
