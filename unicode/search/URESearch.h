// The regular-expression search engine over UTF-16 text.
#pragma once

#include <cstdint>
#include <memory>

#include "unicode/search/LiteralScanner.h"
#include "unicode/search/SearchEngine.h"
#include "unicode/search/URETypes.h"
#include "unicode/search/UnicodeError.h"

// A compiled pattern. Scans hold their own reference, so a match handler that
// recompiles or clears the engine cannot free it under them.
struct TCompiledPattern {
  TDFA DFA;
  // Set when the pattern is a plain word the fast scan can take.
  std::unique_ptr<TLiteralScanner> Literal;
};

class TURESearch : public TSearchEngine {
 public:
  explicit TURESearch(void* Owner = nullptr);
  ~TURESearch() override;

  void ClearMatches() override;

  // An empty pattern keeps the compiled one; a pattern that does not compile
  // raises EUnicodeError and leaves none.
  void PreparePattern(const WideString& Pattern, uint8_t Options) override;
  void PreparePattern(const char16_t* Pattern, int64_t Length, uint8_t Options) override;

  bool FindFirstMatch(const WideString& Text, int64_t& Start, int64_t& Stop) override;
  bool FindFirstMatch(const char16_t* Text, int64_t Length, int64_t& Start, int64_t& Stop) override;
  // Records every match: leftmost, longest, not overlapping, in text order.
  bool FindAllMatches(const WideString& Text) override;
  bool FindAllMatches(const char16_t* Text, int64_t Length) override;

  // The first match in Text, recorded nowhere.
  bool MatchText(const char16_t* Text, int64_t Length, int64_t& Start, int64_t& Stop);

  std::shared_ptr<const TCompiledPattern> Compiled() const { return FDFA; }

 private:
  void CompilePattern(const char16_t* Pattern, int64_t Length, bool CaseFold);

  std::shared_ptr<const TCompiledPattern> FDFA;
};
