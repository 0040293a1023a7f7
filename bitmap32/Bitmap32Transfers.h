// Block and stretch transfers between TBitmap32s, the nearest-neighbour
// stretch, and the block average and 2x2 mix the resamplers use.
#pragma once

#include "bitmap32/Bitmap32.h"
#include "bitmap32/Bitmap32Blend.h"

// How destination positions map to source ones in every stretch: true takes
// pixel areas (centre to centre), false puts the corner pixels on each other.
extern bool PixelAreaMapping;

void RequireBitmaps(TBitmap32* dst, TBitmap32* src);
// False for an empty rectangle; ESrcInvalidException when it leaves the source.
bool ValidateSourceRect(TBitmap32* src, const TRect& srcRect);

void CopyBlockArea(TBitmap32* dst, int dstX, int dstY, TRect dstClip, TBitmap32* src, TRect srcRect,
                   TDrawMode combineOp, const TPixelCombineEvent& combineCallBack);
void CopyStretchedArea(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect,
                       TCustomResampler* resampler, TDrawMode combineOp, const TPixelCombineEvent& combineCallBack);
// dstRect is already clipped; the source block of its size starts at (srcX, srcY).
void CombineBlockRows(TBitmap32* dst, const TRect& dstRect, TBitmap32* src, int srcX, int srcY, TDrawMode combineOp,
                      const TPixelCombineEvent& combineCallBack);
void NearestStretch(TBitmap32* dst, TRect dstRect, TRect dstClip, TBitmap32* src, TRect srcRect, TDrawMode combineOp,
                    const TPixelCombineEvent& combineCallBack);

// Stores one computed pixel by the draw mode (shared by the resamplers).
struct TPixelStore {
  TPixelStore(TBitmap32* src, TDrawMode mode, const TPixelCombineEvent& callback);
  void operator()(TColor32 c, TColor32& d) const {
    switch (Mode) {
      case dmOpaque:
        d = c;
        break;
      case dmBlend:
        Blend(c, d, Master);
        break;
      case dmTransparent:
        if (c != Outer) d = c;
        break;
      default:
        (*Callback)(c, d, Master);
        break;
    }
  }
  TDrawMode Mode;
  TBlendMemEx Blend;
  TColor32 Master;
  TColor32 Outer;
  const TPixelCombineEvent* Callback;
};

// out[i] := row[columns[i]] for count pixels; every column lies in
// 0..rowLength - 1. The nearest stretch gathers its rows with it.
using TGatherColumns = void (*)(const TColor32* row, int rowLength, const int* columns, int count, TColor32* out);
extern TGatherColumns GatherColumns;
void GatherColumnsPlain(const TColor32* row, int rowLength, const int* columns, int count, TColor32* out);
void GatherColumnsAVX2(const TColor32* row, int rowLength, const int* columns, int count, TColor32* out);
// Points AverageBlock, LinearMix2x2 and GatherColumns at the forms the processor runs best;
// start-up does it once.
void SelectProcessorRoutines();

// Per channel the block's sum times $1000000 div (dlx * dly), shifted right 24.
using TAverageBlock = TColor32 (*)(int dlx, int dly, const TColor32* rowSrc, int64_t offSrc);
extern TAverageBlock AverageBlock;
TColor32 AverageBlockPlain(int dlx, int dly, const TColor32* rowSrc, int64_t offSrc);
TColor32 AverageBlockSSE2(int dlx, int dly, const TColor32* rowSrc, int64_t offSrc);

// Weights come as w + w * 65536, w (0..256) the weight of the left/upper pixel.
using TLinearMix2x2 = TColor32 (*)(uint32_t pwx, uint32_t pwy, const TColor32* c11, const TColor32* c21);
extern TLinearMix2x2 LinearMix2x2;
TColor32 LinearMix2x2Plain(uint32_t pwx, uint32_t pwy, const TColor32* c11, const TColor32* c21);
TColor32 LinearMix2x2SSE2(uint32_t pwx, uint32_t pwy, const TColor32* c11, const TColor32* c21);
