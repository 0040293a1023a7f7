// Compiles a pattern over UTF-16 text into a TDFA.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "unicode/search/URETypes.h"

// Error codes of the compiler.
enum : int32_t {
  _URE_OK = 0,
  _URE_UNEXPECTED_EOS = -1,
  _URE_CCLASS_OPEN = -2,
  _URE_UNBALANCED_GROUP = -3,
  _URE_INVALID_PROPERTY = -4,
  _URE_INVALID_RANGE = -5,
  _URE_RANGE_OPEN = -6,
  // Ours: a pattern whose automaton would grow past the compiler's limits.
  _URE_TOO_COMPLEX = -7,
  // Ours: an operator without an operand, or an empty group.
  _URE_EMPTY = -8,
};

// The message of an error code (without the prefix).
const char* UREErrorMessage(int32_t Code);

// The parse buffer: everything the compiler builds on its way to the DFA.
class TUREBuffer {
 public:
  // Compiles Length units; raises EUnicodeError when the pattern does not
  // compile. Length must be above 0.
  TDFA CompilePattern(const char16_t* Pattern, int64_t Length, bool CaseFold);

  int32_t Error = _URE_OK;
  uint32_t Flags = 0;
  bool Reducing = false;
  TUcSymbolTable SymbolTable;
  TUcExpressionList ExpressionList;
  TUcStateTable States;

 private:
  uint32_t ParseExpression();
  uint32_t ParseRepetition(uint32_t Operand);
  uint32_t ParseAtom();
  void ParseClass(TUcSymbolTableEntry& Symbol);
  void ParseCategoryList(TCharacterCategories& Categories);
  bool ParsePosixName(TUcSymbolTableEntry& Symbol);
  UCS4 ParseHex();
  bool HexFollows() const;
  void AddRange(TUcCClass& CClass, UCS4 First, UCS4 Last);
  UCS4 Fold(UCS4 Code) const;
  uint32_t AddSymbol(TUcSymbolTableEntry&& Symbol);
  uint32_t MakeExpression(uint32_t AType, uint32_t LHS, uint32_t RHS);
  void BuildStates(uint32_t Root);
  uint32_t MakeState(TUcStateList&& List);
  void MergeStates(TDFA& DFA);
  void Fail(int32_t Code) {
    if (Error == _URE_OK) Error = Code;
  }
  char16_t At(size_t Index) const { return Index < FLength ? FPattern[Index] : 0; }

  const char16_t* FPattern = nullptr;
  size_t FLength = 0;
  size_t FPos = 0;
  std::unordered_map<uint64_t, uint32_t> FExpressionIndex;
  std::map<TUcStateList, uint32_t> FStateIndex;
};
