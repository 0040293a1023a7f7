// TGIFImage: the GIF picture class of the picture framework, with its frames,
// composite bitmap and animation painters.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "classlib/Graphics.h"
#include "classlib/Threads.h"
#include "gif/GIFItems.h"
#include "gif/GIFPainter.h"
#include "gif/GIFSubImage.h"

using TGIFWarning = std::function<void(TObject* sender, int severity, const std::string& message)>;

// Defaults taken by every new image.
extern TGIFPaintOptions GIFDefaultPaintOptions;
extern uint8_t GIFDefaultReductionMethod;
extern int GIFDefaultReductionDepth;
extern uint8_t GIFDefaultDitherKind;
extern uint8_t GIFDefaultCompressionKind;
extern TThreadPriority GIFDefaultThreadPriority;
extern int GIFDefaultAnimationSpeed;

extern UINT GIFClipboardFormat;
extern bool PaletteScreen;
extern bool AutoDitherActive;
extern bool SqueezeOnWrite;

class TGIFImage : public TGraphic, public TGIFImageCore {
 public:
  TGIFImage();
  ~TGIFImage() override;

  void Assign(const TPersistent* source) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Equals(TGraphic* graphic) override { return graphic == this; }
  bool Empty() const override { return FFrames->Count() == 0; }
  int Width() const override { return ScreenWidth(); }
  int Height() const override { return ScreenHeight(); }
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  HPALETTE Palette() override;
  void SetPalette(HPALETTE value) override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
  void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override;

  // Items' view of the picture.
  void ReportProgress(TObject* sender, TGIFProgressStage stage, int percent, bool redrawNow,
                      const std::string& message) override;
  void PaletteChanged() override { SetPalette(nullptr); }
  bool DitherWanted() const override;
  // Frames placed past the screen grew it: the composite no longer fits.
  void ScreenSizeChanged() override { FreeCompositeBitmap(); }
  HPALETTE ImagePalette() override { return Palette(); }
  bool IsPaletteModified() const override { return PaletteModified; }
  void SetPaletteModified(bool value) override { PaletteModified = value; }
  void ImageChanged(TObject* sender) override { Changed(sender); }

  void ResetImage();
  int AddFrame(std::unique_ptr<TGIFSubImage> frame);
  // A bitmap, icon, graphic or picture added as a new frame.
  int AddFrame(const TPersistent* graphic);
  // Trims, masks, tidies and packs the frames (options: the so* bits).
  void Squeeze(int options, int reductionMethod, int reductionDepth, int ditherKind);
  COLORREF ScreenBackgroundColor() { return FHeader->BackgroundColor(); }
  TBitmap* GetCompositeBitmap();
  TBitmap* NewCompositeBitmap();
  void FreeCompositeBitmap();
  TGIFPainter* StartPainter(TGIFPainter** slot, TCanvas* canvas, TGIFPaintOptions options, const TRect& rect);
  void StopOwnPainter();
  void StopAllPainters();

  TGIFPaintOptions PaintOptions;
  uint8_t ReductionMethod;
  int ReductionDepth;
  uint8_t DitherKind;
  uint8_t CompressionKind;
  TThreadPriority PainterPriority;
  int SpeedPercent;
  int StillFrame = -1;
  TColor PaintBackground = clNone;

  TGIFPainterEvent OnAnimationStart;
  TGIFPainterEvent OnFramePaint;
  TGIFPainterEvent OnFramePainted;
  TGIFPainterEvent OnAnimationLoop;
  TGIFPainterEvent OnAnimationEnd;

  TGIFPainter* OwnPainter = nullptr;
  TThreadList<TGIFPainter> PainterList;
  TBitmap* CompositeBitmap() const { return FComposite.get(); }

 protected:
  // A bitmap receives the composite picture; anything else cannot.
  void AssignTo(TPersistent* dest) const override;

 private:
  void DrawComposite(TCanvas& canvas, const TRect& rect);
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  bool FInDraw = false;
  bool FInPaletteQuery = false;
  HPALETTE FSharedPalette = nullptr;
  std::unique_ptr<TBitmap> FComposite;
};

// Registers the picture format "GIF" and the clipboard format "GIF Image";
// counted, so only the first call acts. A static registration calls it once.
void InitializeGIFCodec();
void FinalizeGIFCodec();
// Programs that only name TGIFImage in form resources call this (or
// InitializeGIFCodec) so that the linker keeps the registration.
extern "C" void HkKeepGIFImage();
