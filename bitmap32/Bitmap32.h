// TBitmap32: 32-bit ARGB pixels in a top-down DIB section with its own memory
// DC, the notifying and lockable bases it stands on, and the sampler bases.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "bitmap32/Bitmap32Types.h"
#include "classlib/Graphics.h"
#include "classlib/Streams.h"

class TBitmap32;

class TNotifiablePersistent : public TPersistent {
 public:
  TNotifyEvent OnChange;
  virtual void Changed();
  virtual void BeginUpdate();
  // Unpaired: EAssertionFailed "Unpaired TThreadPersistent.EndUpdate", count kept.
  virtual void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

 protected:
  int FUpdateCount = 0;
};

class TThreadPersistent : public TNotifiablePersistent {
 public:
  void Lock();
  void Unlock();
  int LockCount() const { return FLockCount.load(); }

 private:
  std::recursive_mutex FLock;
  std::atomic<int> FLockCount{0};
};

class TCustomMap : public TThreadPersistent {
 public:
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Negative sides become 0; true when the size changed.
  virtual bool SetSize(int newWidth, int newHeight);
  void SetWidth(int value) { SetSize(value, FHeight); }
  void SetHeight(int value) { SetSize(FWidth, value); }
  virtual void Delete() { SetSize(0, 0); }
  virtual bool Empty() const { return FWidth == 0 || FHeight == 0; }
  virtual void Resized();
  TNotifyEvent OnResize;

 protected:
  virtual void ChangeSize(int& width, int& height, int newWidth, int newHeight);
  int FWidth = 0;
  int FHeight = 0;
};

// ---- Samplers

class TCustomSampler : public TNotifiablePersistent {
 public:
  virtual TColor32 SampleInt(int x, int y);
  virtual TColor32 SampleFixed(TFixed x, TFixed y);
  virtual TColor32 SampleFloat(float x, float y);
  virtual void BeginSampling() {}
  virtual void EndSampling() {}
  virtual bool IsBounded() { return false; }
  virtual TRect SampleBoundsRect();
};

class TCustomResampler : public TCustomSampler {
 public:
  virtual float GetWidth() = 0;
  virtual void ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                            TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) = 0;
};

using TAreaChangedEvent = std::function<void(TObject* sender, const TRect& area, uint32_t info)>;

// The 2x2 interpolator: p1 at two pixels of a row, p2 at the two below;
// wx and wy weigh the left and upper pixels (0..255).
using TMix4Pixels = TColor32 (*)(uint32_t wx, uint32_t wy, const TColor32* p1, const TColor32* p2);
extern TMix4Pixels Mix4Pixels;
TColor32 Mix4PixelsPlain(uint32_t wx, uint32_t wy, const TColor32* p1, const TColor32* p2);
TColor32 Mix4PixelsSSE2(uint32_t wx, uint32_t wy, const TColor32* p1, const TColor32* p2);

extern uint8_t GammaLUT[256];
void BuildGammaLUT(float gamma);

class TBitmap32 : public TCustomMap {
 public:
  TBitmap32();
  ~TBitmap32() override;
  TBitmap32(const TBitmap32&) = delete;
  TBitmap32& operator=(const TBitmap32&) = delete;

  void Assign(const TPersistent* source) override;
  // A TBitmap or TPicture gets a 32-bit copy, alpha included.
  void AssignTo(TPersistent* dest) const override;
  void Changed() override;
  virtual void Changed(const TRect& area, uint32_t info);
  bool Empty() const override { return !FHandle || FWidth == 0 || FHeight == 0; }

  TColor32* Bits() const { return FBits; }
  TColor32* ScanLine(int y) const { return FBits + static_cast<int64_t>(y) * FWidth; }
  TRect BoundsRect() const { return TRect(0, 0, FWidth, FHeight); }
  HBITMAP Handle() const { return FHandle; }
  HDC DC() const { return FDC; }
  const BITMAPINFO& BitmapInfo() const { return FBitmapInfo; }
  // Made on first use; a resize frees it.
  TCanvas& Canvas();
  bool CanvasAllocated() const { return FCanvas != nullptr; }
  TFont& Font() { return *FFont; }

  void Draw(int dstX, int dstY, TBitmap32* src);
  void Draw(const TRect& dstRect, const TRect& srcRect, TBitmap32* src);
  void DrawTo(HDC dc, int x, int y);
  void ResetAlpha() { SetAlpha(255); }
  void SetAlpha(uint8_t alpha);
  void Clear(TColor32 fillColor);
  // Not clipped: the caller passes a rectangle inside the bitmap.
  void FillRect(int x1, int y1, int x2, int y2, TColor32 value);

  virtual void CopySizeTo(TBitmap32* dst) const;
  virtual void CopySettingsTo(TBitmap32* dst) const;

  const TRect& ClipRect() const { return FClipRect; }
  const TFixedPointRect& FixedClipRect() const { return FFixedClipRect; }
  const TRect& ClipRect256() const { return FClipRect256; }
  bool Clipping() const { return FClipping; }
  void SetClipRect(const TRect& value);
  void ResetClipRect() { SetClipRect(BoundsRect()); }

  TDrawMode DrawMode() const { return FDrawMode; }
  void SetDrawMode(TDrawMode value);
  TCombineMode CombineMode() const { return FCombineMode; }
  void SetCombineMode(TCombineMode value);
  TWrapMode WrapMode() const { return FWrapMode; }
  void SetWrapMode(TWrapMode value);
  uint32_t MasterAlpha() const { return FMasterAlpha; }
  void SetMasterAlpha(uint32_t value);
  TColor32 OuterColor = 0;
  bool MeasureOnly = false;

  TCustomResampler* Resampler() const { return FResampler.get(); }
  // Takes the resampler; nil or the current one does nothing.
  void SetResampler(std::unique_ptr<TCustomResampler> resampler);
  template <typename T>
  T& UseResampler() {
    auto r = std::make_unique<T>(this);
    T& ref = *r;
    SetResampler(std::move(r));
    return ref;
  }
  std::string ResamplerClassName() const;
  // An unknown name changes nothing.
  void SetResamplerClassName(const std::string& name);

  // False for nil; two empty bitmaps are equal.
  bool Equal(const TBitmap32* other) const;
  virtual void ReadData(TStream& stream);
  virtual void WriteData(TStream& stream) const;

  // ---- Pixel reads (none checks unless named so)
  TColor32 GetPixel(int x, int y) const { return FBits[x + static_cast<int64_t>(y) * FWidth]; }
  void SetPixel(int x, int y, TColor32 c) { FBits[x + static_cast<int64_t>(y) * FWidth] = c; }
  TColor32* PixelAddress(int x, int y) const { return FBits + x + static_cast<int64_t>(y) * FWidth; }
  TColor32 GetPixelClipped(int x, int y) const;
  TColor32 GetPixelWrapped(int x, int y) const;
  TColor32 GetPixel256(int x, int y) const;
  TColor32 GetPixel256Clipped(int x, int y) const;
  TColor32 GetPixelFixed(TFixed x, TFixed y) const;
  TColor32 GetPixelFixedClipped(TFixed x, TFixed y) const;
  TColor32 GetPixelFixedWrapped(TFixed x, TFixed y) const;

  TNotifyEvent OnHandleChanged;
  TPixelCombineEvent OnPixelCombine;
  TAreaChangedEvent OnAreaChanged;

 protected:
  void ChangeSize(int& width, int& height, int newWidth, int newHeight) override;
  virtual void HandleChanged();

 private:
  void ReleaseFont();
  void FreeCanvas();
  void AssignFromBitmap(TBitmap* src);
  void AssignToBitmap(TBitmap* bmp) const;
  void DrawGraphic(TGraphic* graphic);

  TColor32* FBits = nullptr;
  std::unique_ptr<TCanvas> FCanvas;
  TRect FClipRect;
  TFixedPointRect FFixedClipRect{};
  TRect FClipRect256;
  bool FClipping = false;
  TDrawMode FDrawMode = dmOpaque;
  TCombineMode FCombineMode = cmBlend;
  TWrapMode FWrapMode = wmClamp;
  uint32_t FMasterAlpha = 255;
  std::unique_ptr<TFont> FFont;
  HBITMAP FHandle = nullptr;
  HDC FDC = nullptr;
  BITMAPINFO FBitmapInfo{};
  std::unique_ptr<TCustomResampler> FResampler;
  HFONT FSelectedFontHandle = nullptr;
};
