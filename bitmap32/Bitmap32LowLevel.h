// Runs of 32-bit values, and the clamp, wrap and mirror behind TWrapMode.
#pragma once

#include <cstdint>

using TColor32 = uint32_t;

// Writes value into count cells (none when count <= 0); the fast form is
// chosen once at start.
using TFillDwords = void (*)(void* x, int count, TColor32 value);
extern TFillDwords FillDwords;
void FillDwordsPlain(void* x, int count, TColor32 value);
void FillDwordsSSE2(void* x, int count, TColor32 value);

// Overlap-safe; equal addresses copy nothing.
void MoveDwords(const void* src, void* dst, int count);

int Clamp(int value, int min, int max);
// Both need min <= max: an empty range answers min rather than dividing by zero.
int Wrap(int value, int min, int max);
int Mirror(int value, int min, int max);

enum TWrapMode : uint8_t { wmClamp, wmRepeat, wmMirror };
using TWrapProc = int (*)(int value, int min, int max);
extern const TWrapProc WRAP_PROCS[3];

// Truncating quotient; the truncating remainder in remainder.
int DivMod(int dividend, int divisor, int& remainder);
