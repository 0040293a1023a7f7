// Records of the pattern compiler and of the compiled automaton.
#pragma once

#include <cstdint>
#include <vector>

#include "unicode/UnicodeData.h"

// Symbol types.
enum : uint32_t {
  _URE_ANY_CHAR = 1,
  _URE_CHAR = 2,
  _URE_CCLASS = 3,
  _URE_NCCLASS = 4,
  _URE_BOL_ANCHOR = 5,
  _URE_EOL_ANCHOR = 6,
};

// Expression types.
enum : uint32_t {
  _URE_SYMBOL = 10,
  _URE_PAREN = 11,
  _URE_QUEST = 12,
  _URE_STAR = 13,
  _URE_PLUS = 14,
  _URE_ONE = 15,
  _URE_AND = 16,
  _URE_OR = 17,
};

inline bool IsHighSurrogate(UCS4 c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(UCS4 c) { return c >= 0xDC00 && c <= 0xDFFF; }
inline UCS4 CombineSurrogates(UCS4 high, UCS4 low) { return 0x10000 + (((high & 0x3FF) << 10) | (low & 0x3FF)); }
// A high surrogate at Index with its low one after it, within Length.
inline bool PairAt(const char16_t* Text, int64_t Length, int64_t Index) {
  return Index + 1 < Length && IsHighSurrogate(Text[Index]) && IsLowSurrogate(Text[Index + 1]);
}

// "No expression", "no symbol", "no state".
constexpr uint32_t _URE_NOOP = 0xFFFF;

// Compile and DFA flags.
enum : uint32_t {
  _URE_DFA_CASEFOLD = 1,
  _URE_DFA_BLANKLINE = 2,
};

struct TUcRange {
  UCS4 MinCode;
  UCS4 MaxCode;
  bool operator==(const TUcRange&) const = default;
};

struct TUcCClass {
  // Ordered by descending first code point.
  std::vector<TUcRange> Ranges;
  bool operator==(const TUcCClass&) const = default;
};

struct TUcSymbol {
  UCS4 Chr = 0;
  TUcCClass CCL;
};

// A sorted list of ids without repeats.
using TUcStateList = std::vector<uint32_t>;

struct TUcSymbolTableEntry {
  uint32_t ID = 0;
  uint32_t AType = 0;
  TCharacterCategories Categories;
  TUcSymbol Symbol;
  // Expressions reached through this symbol while states are built.
  TUcStateList States;
};

using TUcSymbolTable = std::vector<TUcSymbolTableEntry>;

struct TUcElement {
  uint32_t AType;
  uint32_t LHS;
  uint32_t RHS;
  bool operator==(const TUcElement&) const = default;
};

using TUcExpressionList = std::vector<TUcElement>;

struct TUcElementTransition {
  uint32_t LHS;  // symbol id
  uint32_t RHS;  // target state
};

struct TUcState {
  uint32_t ID = 0;
  bool Accepting = false;
  TUcStateList StateList;
  std::vector<TUcElementTransition> Transitions;
};

using TUcStateTable = std::vector<TUcState>;

struct TDFAState {
  bool Accepting = false;
  uint32_t NumberTransitions = 0;
  uint32_t StartTransition = 0;
};

using TDFAStates = std::vector<TDFAState>;
using TUcTransitions = std::vector<TUcElementTransition>;

// The compiled automaton. Its symbols may overlap (a literal and a class
// holding it), so the matcher follows every transition that accepts a unit.
struct TDFA {
  uint32_t Flags = 0;
  TUcSymbolTable SymbolTable;
  TDFAStates StateList;
  TUcTransitions TransitionList;
};
