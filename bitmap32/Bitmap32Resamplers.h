// Resamplers: what colour lies at a fractional position of a bitmap, and how
// a rectangle of it is drawn scaled; the nested and transforming samplers.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "bitmap32/Bitmap32.h"
#include "bitmap32/Bitmap32Containers.h"
#include "bitmap32/Bitmap32Kernels.h"
#include "bitmap32/Bitmap32OrdinalMaps.h"
#include "bitmap32/Bitmap32Transforms.h"

enum TPixelAccessMode { pamUnsafe, pamSafe, pamWrap };
enum TKernelMode { kmDynamic, kmTableNearest, kmTableLinear };

using TResamplerFactory = std::function<std::unique_ptr<TCustomResampler>(TBitmap32*)>;
// The four resamplers in registration order.
TClassList<TResamplerFactory>& ResamplerList();

class TBitmap32Resampler : public TCustomResampler {
 public:
  explicit TBitmap32Resampler(TBitmap32* bitmap = nullptr) : FBitmap(bitmap) {}
  TBitmap32* Bitmap() const { return FBitmap; }
  TPixelAccessMode PixelAccessMode() const { return FPixelAccessMode; }
  void SetPixelAccessMode(TPixelAccessMode value);
  void Changed() override;
  void BeginSampling() override;
  bool IsBounded() override { return true; }
  TRect SampleBoundsRect() override;

 protected:
  void AssignTo(TPersistent* dest) const override;
  // The bitmap sampled; EBitmapException "Source bitmap is nil" without one.
  TBitmap32& Sampled() const;
  TBitmap32* FBitmap;
  TRect FClipRect;
  TPixelAccessMode FPixelAccessMode = pamSafe;
};

class TNearestResampler : public TBitmap32Resampler {
 public:
  explicit TNearestResampler(TBitmap32* bitmap = nullptr);
  TColor32 SampleInt(int x, int y) override;
  TColor32 SampleFixed(TFixed x, TFixed y) override;
  TColor32 SampleFloat(float x, float y) override;
  void BeginSampling() override;
  float GetWidth() override { return 1; }
  void ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect, TDrawMode combineOp,
                    const TPixelCombineEvent& combineCallBack) override;

 private:
  TColor32 (TBitmap32::*FGetSampleInt)(int, int) const = &TBitmap32::GetPixelClipped;
};

class TLinearResampler : public TBitmap32Resampler {
 public:
  explicit TLinearResampler(TBitmap32* bitmap = nullptr);
  TColor32 SampleFixed(TFixed x, TFixed y) override;
  TColor32 SampleFloat(float x, float y) override;
  void BeginSampling() override;
  float GetWidth() override { return 1; }
  void ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect, TDrawMode combineOp,
                    const TPixelCombineEvent& combineCallBack) override;

 protected:
  std::unique_ptr<TLinearKernel> FLinearKernel;

 private:
  TColor32 (TBitmap32::*FGetSampleFixed)(TFixed, TFixed) const = &TBitmap32::GetPixelFixedClipped;
};

class TDraftResampler : public TLinearResampler {
 public:
  using TLinearResampler::TLinearResampler;
  void ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect, TDrawMode combineOp,
                    const TPixelCombineEvent& combineCallBack) override;
};

class TKernelResampler : public TBitmap32Resampler {
 public:
  explicit TKernelResampler(TBitmap32* bitmap = nullptr);
  TColor32 SampleFloat(float x, float y) override;
  void BeginSampling() override;
  void EndSampling() override;
  float GetWidth() override { return FKernel->GetWidth(); }
  void ResampleArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect, TDrawMode combineOp,
                    const TPixelCombineEvent& combineCallBack) override;

  TCustomKernel& Kernel() const { return *FKernel; }
  // Takes the kernel (one owner at a time); nil does nothing.
  void SetKernel(std::unique_ptr<TCustomKernel> kernel);
  std::string KernelClassName() const { return FKernel->ClassName(); }
  void SetKernelClassName(const std::string& name);
  TKernelMode KernelMode() const { return FKernelMode; }
  void SetKernelMode(TKernelMode value);
  int TableSize() const { return FTableSize; }
  void SetTableSize(int value);

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  void BuildWeightTable();
  void WeightsFor(float frac, std::vector<int>& w);
  std::unique_ptr<TCustomKernel> FKernel;
  TKernelMode FKernelMode = kmDynamic;
  int FTableSize = 32;
  std::unique_ptr<TIntegerMap> FWeightTable;
  std::vector<int> FHorzWeights, FVertWeights, FColumnMap;
  TColor32 FOuterColor = 0;
};

// Passes sampling through to another sampler it does not own.
class TNestedSampler : public TCustomSampler {
 public:
  explicit TNestedSampler(TCustomSampler* sampler = nullptr) { SetSampler(sampler); }
  TCustomSampler* Sampler() const { return FSampler; }
  void SetSampler(TCustomSampler* sampler) { FSampler = sampler; }
  // Without a sampler these raise ENestedException "Nested sampler is nil".
  void BeginSampling() override;
  void EndSampling() override;
  bool IsBounded() override;
  TRect SampleBoundsRect() override;
  TColor32 SampleInt(int x, int y) override;
  TColor32 SampleFixed(TFixed x, TFixed y) override;
  TColor32 SampleFloat(float x, float y) override;

 protected:
  TCustomSampler& Nested() const;
  TCustomSampler* FSampler = nullptr;
};

class TTransformer : public TNestedSampler {
 public:
  explicit TTransformer(TCustomSampler* sampler = nullptr, TTransformation* transformation = nullptr)
      : TNestedSampler(sampler), FTransformation(transformation) {}
  TTransformation* Transformation() const { return FTransformation; }
  void SetTransformation(TTransformation* t) { FTransformation = t; }
  TColor32 SampleInt(int x, int y) override;
  TColor32 SampleFixed(TFixed x, TFixed y) override;
  TColor32 SampleFloat(float x, float y) override;
  void BeginSampling() override;
  bool IsBounded() override;
  TRect SampleBoundsRect() override;

 protected:
  // Raises ENestedException "Transformation is nil" without one.
  TTransformation& Transform() const;
  TTransformation* FTransformation;
};

class TNearestTransformer : public TTransformer {
 public:
  using TTransformer::TTransformer;
  TColor32 SampleInt(int x, int y) override;
  TColor32 SampleFixed(TFixed x, TFixed y) override;
  TColor32 SampleFloat(float x, float y) override;
};

// One axis of a scaled transfer: per destination position of the clip, the
// source positions and their weights (in 1/256, summing to 256).
struct TPointRec {
  int Pos;
  int Weight;
  bool operator==(const TPointRec&) const = default;
};
using TMappingTable = std::vector<std::vector<TPointRec>>;
TMappingTable BuildWeightLists(int dstLo, int dstHi, int clipLo, int clipHi, int srcLo, int srcHi,
                               const TCustomKernel& kernel);

void KernelResample(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                    const TCustomKernel& kernel, TDrawMode combineOp, const TPixelCombineEvent& combineCallBack);
void BilinearEnlarge(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect, TDrawMode combineOp,
                     const TPixelCombineEvent& combineCallBack);
void BoxReduce(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
               const TCustomKernel& linearKernel, TDrawMode combineOp, const TPixelCombineEvent& combineCallBack);
