// The classification of a search's matches: each match is decided by the
// first field of its dictionary line (headword, reading, then the glosses
// without their groups, trimmed) that equals the matched text, or that
// contains it ignoring case (unless exact hits only are wanted). Matches
// arrive in text order, so a line is cut into its fields once however many
// matches it holds, and what a field shows is made once.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "classlib/SysTypes.h"
#include "dict/EntryParser.h"

struct TMatchClass {
  enum TKind : uint8_t { mcNone, mcExact, mcSimilar };
  TKind Kind = mcNone;
  // What the list shows: a slice of the text, or of a text the classifier
  // keeps until the next Start.
  std::u16string_view Display;
  size_t LineStart = 0;   // the match's line in the text
  size_t LineLength = 0;  // up to its CR
};

class TMatchClassifier {
 public:
  // A new search of `text` (kept by the caller while the search runs) for
  // `query`; the texts kept for the last search's results are dropped.
  void Start(const WideString& text, const WideString& query, bool exactOnly);
  void Clear();
  TMatchClass Classify(int64_t start, int64_t stop);

 private:
  struct TField {
    std::u16string_view Compared;  // headword, reading, or bare gloss
    std::u16string_view Gloss;     // the gloss as a list holds it (NFC); empty otherwise
    bool IsGloss = false;
    bool GlossInText = false;  // Gloss is a slice of the text
    bool HasDisplay = false;
    std::u16string_view Display;
  };
  struct TFolded {
    WideString Upper;  // a matched text upper-cased
    int First;         // the first field that contains it, -1 for none
  };

  bool InLine(size_t start, size_t stop);
  void CutLine(int64_t start, int64_t stop);
  bool HaveField(size_t index);
  void AddGloss(std::u16string_view gloss);
  std::u16string_view Display(TField& field);
  std::u16string_view GlossDisplay(const TField& field);
  std::u16string_view Keep(WideString text);
  WideString& LineBuffer();
  std::u16string_view Joined(bool forLine, bool& sliced);
  std::u16string_view Upper(std::u16string_view found);
  int FirstContaining(std::u16string_view found);
  TMatchClass Decide(std::u16string_view found, size_t from, bool similar);
  TMatchClass Result(TMatchClass::TKind kind, std::u16string_view display) const;

  const WideString* FText = nullptr;
  bool FExactOnly = false;
  WideString FQueryUpper;
  // Texts the result lists show that are no slice of the text.
  std::deque<WideString> FKept;

  // The present line: where it is, how far it is known to hold no LF before
  // a match and no CR after one (so a later match lies in the same line),
  // and its fields, the glosses cut only as far as a decision needs them.
  bool FHaveLine = false;
  size_t FLineStart = 0, FLineEnd = 0;
  size_t FNoLFBefore = 0;  // no LF in [FLineStart, FNoLFBefore)
  size_t FNoCRFrom = 0;    // no CR in [FNoCRFrom, FLineEnd)
  std::vector<TField> FFields;
  TTokenCursor FGlossCursor;
  bool FGlossesDone = true;
  std::deque<WideString> FLineStrings;  // built texts of the line's fields
  size_t FLineStringsUsed = 0;
  std::vector<TFolded> FFolded;  // FirstContaining per folded form
  size_t FFoldedUsed = 0;
  WideString FFoundUpper;
  // Pieces of a gloss left between removed groups, and its kept groups.
  std::vector<std::u16string_view> FPieces;
  std::vector<std::u16string_view> FKeptGroups;
  WideString FLastExact;  // exact-only: the last matched text and its decision
  TMatchClass FLastExactClass;
  bool FHaveLastExact = false;
};
