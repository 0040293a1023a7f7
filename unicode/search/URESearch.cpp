#include "unicode/search/URESearch.h"

#include "unicode/search/DFAMatcher.h"
#include "unicode/search/PatternCompiler.h"

namespace {

// Finds matches one after another over one text with one compiled pattern.
class TMatchCursor {
 public:
  TMatchCursor(const TCompiledPattern& Pattern, const char16_t* Text, int64_t Length)
      : FPattern(Pattern), FText(Text), FLength(Length) {
    if (!Pattern.Literal) FMatcher = std::make_unique<TDFAMatcher>(Pattern.DFA);
  }

  bool Next(int64_t& Start, int64_t& Stop) {
    if (FDone) return false;
    bool found = false;
    if (FPattern.Literal) {
      const int64_t s = FPattern.Literal->Find(FText, FLength, FPos);
      if (s >= 0) {
        Start = s;
        Stop = s + FPattern.Literal->WordLength();
        found = true;
      }
    } else {
      found = FMatcher->Find(FText, FLength, FPos, Start, Stop);
    }
    if (!found) {
      FDone = true;
      return false;
    }
    if (Stop > Start) {
      FPos = Stop;
    } else if (Stop >= FLength) {
      FDone = true;  // an empty match at the end: nothing can follow
    } else {
      // An empty match: step one code point on, never into a pair.
      FPos = Stop + (PairAt(FText, FLength, Stop) ? 2 : 1);
    }
    return true;
  }

 private:
  const TCompiledPattern& FPattern;
  const char16_t* FText;
  int64_t FLength;
  int64_t FPos = 0;
  bool FDone = false;
  std::unique_ptr<TDFAMatcher> FMatcher;
};

}  // namespace

TURESearch::TURESearch(void* Owner) : TSearchEngine(Owner) {}

TURESearch::~TURESearch() = default;

void TURESearch::ClearMatches() {
  TSearchEngine::ClearMatches();
  FDFA.reset();
}

void TURESearch::CompilePattern(const char16_t* Pattern, int64_t Length, bool CaseFold) {
  if (!Pattern || Length <= 0) return;
  FDFA.reset();
  auto compiled = std::make_shared<TCompiledPattern>();
  TUREBuffer buffer;
  compiled->DFA = buffer.CompilePattern(Pattern, Length, CaseFold);
  compiled->Literal = TLiteralScanner::Create(compiled->DFA);
  FDFA = std::move(compiled);
}

void TURESearch::PreparePattern(const WideString& Pattern, uint8_t Options) {
  CompilePattern(Pattern.data(), static_cast<int64_t>(Pattern.size()), (Options & 1) == 0);
}

void TURESearch::PreparePattern(const char16_t* Pattern, int64_t Length, uint8_t Options) {
  CompilePattern(Pattern, Length, (Options & 1) == 0);
}

bool TURESearch::MatchText(const char16_t* Text, int64_t Length, int64_t& Start, int64_t& Stop) {
  const std::shared_ptr<const TCompiledPattern> pattern = FDFA;
  if (!Text || !pattern || Length < 0) return false;
  TMatchCursor cursor(*pattern, Text, Length);
  return cursor.Next(Start, Stop);
}

bool TURESearch::FindFirstMatch(const WideString& Text, int64_t& Start, int64_t& Stop) {
  return FindFirstMatch(Text.data(), static_cast<int64_t>(Text.size()), Start, Stop);
}

bool TURESearch::FindFirstMatch(const char16_t* Text, int64_t Length, int64_t& Start, int64_t& Stop) {
  ResetResults();
  int64_t s = 0, e = 0;
  if (!MatchText(Text, Length, s, e)) return false;
  Start = s;
  Stop = e;
  AddMatch(s, e);
  return true;
}

bool TURESearch::FindAllMatches(const WideString& Text) {
  return FindAllMatches(Text.data(), static_cast<int64_t>(Text.size()));
}

bool TURESearch::FindAllMatches(const char16_t* Text, int64_t Length) {
  ResetResults();
  // Our own reference: OnMatch may recompile or clear the engine.
  const std::shared_ptr<const TCompiledPattern> pattern = FDFA;
  if (!Text || !pattern || Length < 0) return false;
  TMatchCursor cursor(*pattern, Text, Length);
  bool found = false;
  int64_t s = 0, e = 0;
  while (cursor.Next(s, e)) {
    found = true;
    AddMatch(s, e);
  }
  return found;
}
