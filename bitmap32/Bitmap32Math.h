// Fixed-point helpers (16.16).
#pragma once

#include <cstdint>

using TFixed = int32_t;

constexpr TFixed FixedOne = 0x10000;

// A half rounds down: (x + $7FFF) sar 16.
inline int RoundFixed(TFixed x) { return static_cast<int>((static_cast<int64_t>(x) + 0x7FFF) >> 16); }
