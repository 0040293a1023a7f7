// Per-pixel colour mixing: combine, blend and merge in register, memory and
// line forms, and per-channel colour arithmetic. Every routine is reached
// through a variable that start-up points at the plain or the SSE2 form.
#pragma once

#include <cstdint>

#include "bitmap32/Bitmap32Types.h"

using TCombineReg = TColor32 (*)(TColor32 x, TColor32 y, TColor32 w);
using TCombineMem = void (*)(TColor32 f, TColor32& b, TColor32 w);
using TBlendReg = TColor32 (*)(TColor32 f, TColor32 b);
using TBlendMem = void (*)(TColor32 f, TColor32& b);
using TBlendRegEx = TColor32 (*)(TColor32 f, TColor32 b, TColor32 m);
using TBlendMemEx = void (*)(TColor32 f, TColor32& b, TColor32 m);
using TBlendLine = void (*)(const TColor32* src, TColor32* dst, int count);
using TBlendLineEx = void (*)(const TColor32* src, TColor32* dst, int count, TColor32 m);
using TCombineLine = void (*)(const TColor32* src, TColor32* dst, int count, TColor32 w);
using TColorOp = TColor32 (*)(TColor32 c1, TColor32 c2);
using TScaleOp = TColor32 (*)(TColor32 c, TColor32 w);

// The one table of routines; Blend32 holds what start-up chose.
struct TBlendRoutines {
  TCombineReg CombinePixel;
  TCombineMem CombinePixelInto;
  TBlendReg BlendPixel;
  TBlendMem BlendPixelInto;
  TBlendRegEx BlendPixelMaster;
  TBlendMemEx BlendPixelIntoMaster;
  TBlendLine BlendPixelRun;
  TBlendLineEx BlendPixelRunMaster;
  TCombineLine CombinePixelRun;
  TBlendReg MergePixel;
  TBlendMem MergePixelInto;
  TBlendRegEx MergePixelMaster;
  TBlendMemEx MergePixelIntoMaster;
  TBlendLine MergePixelRun;
  TBlendLineEx MergePixelRunMaster;
  TColorOp AddColor32, SubtractColor32, DivideColor32, ModulateColor32, MaxColor32, MinColor32, DifferenceColor32,
      AverageColor32, ExclusionColor32;
  TScaleOp ScaleColor32;
};

// The plain forms define the results; the fast forms give the same values.
extern const TBlendRoutines PlainBlendRoutines;
extern const TBlendRoutines SSE2BlendRoutines;
// The SSE2 table with the line forms (and the merge lines) done eight pixels
// at a time; only for processors with AVX2.
extern const TBlendRoutines AVX2BlendRoutines;
// The merge lines sixteen pixels at a time; only for processors with AVX-512
// F, BW and VBMI.
extern const TBlendRoutines AVX512BlendRoutines;

// Fills the variables below from a table (start-up does it once; tests use it
// to compare the forms).
void SetBlendRoutines(const TBlendRoutines& routines);
// base with every routine top has put in its place.
TBlendRoutines OverlayBlendRoutines(const TBlendRoutines& base, const TBlendRoutines& top);
bool BlendFastFormsUsed();

extern TCombineReg CombinePixel;
extern TCombineMem CombinePixelInto;
extern TBlendReg BlendPixel;
extern TBlendMem BlendPixelInto;
extern TBlendRegEx BlendPixelMaster;
extern TBlendMemEx BlendPixelIntoMaster;
extern TBlendLine BlendPixelRun;
extern TBlendLineEx BlendPixelRunMaster;
extern TCombineLine CombinePixelRun;
extern TBlendReg MergePixel;
extern TBlendMem MergePixelInto;
extern TBlendRegEx MergePixelMaster;
extern TBlendMemEx MergePixelIntoMaster;
extern TBlendLine MergePixelRun;
extern TBlendLineEx MergePixelRunMaster;
extern TBlendReg BlendPixelByMode[2];
extern TBlendMem BlendPixelIntoByMode[2];
extern TBlendRegEx BlendPixelMasterByMode[2];
extern TBlendMemEx BlendPixelIntoMasterByMode[2];
extern TBlendLine BlendPixelRunByMode[2];
extern TBlendLineEx BlendPixelRunMasterByMode[2];
extern TColorOp AddColor32, SubtractColor32, DivideColor32, ModulateColor32, MaxColor32, MinColor32,
    DifferenceColor32, AverageColor32, ExclusionColor32;
extern TScaleOp ScaleColor32;

// [a * 256 + b]: Round(a * b / 255) and Round(b * 255 / a) (low byte; 0 for a = 0).
extern uint8_t MultiplyTable[256 * 256];
// DivideTable has 4 bytes more, so that a 32-bit load at any entry stays inside.
extern uint8_t DivideTable[256 * 256 + 4];

// Leaves the vector state for floating-point code; nothing to do for SSE2,
// kept so callers mark where a vector block ends.
void EndMMXBlock();
