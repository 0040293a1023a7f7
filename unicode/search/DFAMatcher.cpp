#include "unicode/search/DFAMatcher.h"

#include "unicode/search/CaseFold.h"

namespace {

constexpr uint32_t MultipleStates = 0xFFFFFFFF;

// A CR LF pair is one line break: no line starts or ends between its units.
bool AtLineStart(const char16_t* t, int64_t len, int64_t p) {
  if (p == 0) return true;
  if (!IsLineSeparator(t[p - 1])) return false;
  return !(t[p - 1] == '\r' && p < len && t[p] == '\n');
}

bool AtLineEnd(const char16_t* t, int64_t len, int64_t p) {
  if (p == len) return true;
  if (!IsLineSeparator(t[p])) return false;
  return !(t[p] == '\n' && p > 0 && t[p - 1] == '\r');
}

}  // namespace

bool IsLineSeparator(UCS4 c) { return c == 10 || c == 13 || c == 0x2028 || c == 0x2029; }

TDFAMatcher::TDFAMatcher(const TDFA& DFA) : FDFA(DFA), FMark(DFA.StateList.size(), 0) {
  for (const TUcSymbolTableEntry& s : DFA.SymbolTable)
    if (s.AType == _URE_BOL_ANCHOR || s.AType == _URE_EOL_ANCHOR) FHasAnchors = true;
  if (DFA.StateList.empty() || DFA.StateList[0].Accepting) return;
  const TDFAState& start = DFA.StateList[0];
  for (uint32_t t = 0; t < start.NumberTransitions; ++t) {
    const uint32_t type = DFA.SymbolTable[DFA.TransitionList[start.StartTransition + t].LHS].AType;
    if (type == _URE_BOL_ANCHOR || type == _URE_EOL_ANCHOR) return;
  }
  const bool fold = DFA.Flags & _URE_DFA_CASEFOLD;
  FCanStart.assign(0x10000, 0);
  for (UCS4 u = 0; u <= 0xFFFF; ++u) {
    // A high surrogate may begin a pair: its code point is not known here.
    bool can = u >= 0xD800 && u <= 0xDBFF;
    const UCS4 c = fold ? SearchFoldCode(u) : u;
    for (uint32_t t = 0; t < start.NumberTransitions && !can; ++t)
      can = Accepts(DFA.SymbolTable[DFA.TransitionList[start.StartTransition + t].LHS], c);
    FCanStart[u] = can;
  }
}

bool TDFAMatcher::Accepts(const TUcSymbolTableEntry& Symbol, UCS4 c) const {
  switch (Symbol.AType) {
    case _URE_ANY_CHAR: return !IsLineSeparator(c);
    case _URE_CHAR: return c == Symbol.Symbol.Chr;
    case _URE_CCLASS:
    case _URE_NCCLASS: {
      bool in = !Symbol.Categories.Empty() && HasCategory(c, Symbol.Categories);
      if (!in)
        for (const TUcRange& r : Symbol.Symbol.CCL.Ranges)
          if (c >= r.MinCode && c <= r.MaxCode) {
            in = true;
            break;
          }
      return Symbol.AType == _URE_CCLASS ? in : !in;
    }
    default: return false;
  }
}

void TDFAMatcher::Add(std::vector<uint32_t>& Set, uint32_t State) {
  if (FMark[State] == FGeneration) return;
  FMark[State] = FGeneration;
  Set.push_back(State);
}

int64_t TDFAMatcher::LongestAt(const char16_t* Text, int64_t Length, int64_t Start) {
  const bool fold = FDFA.Flags & _URE_DFA_CASEFOLD;
  const bool traced = FDeadStart >= 0 && Start > FDeadStart;
  std::vector<uint32_t>& trace = FTrace;
  trace.clear();
  int64_t accept = -1;
  FCurrent.clear();
  ++FGeneration;
  Add(FCurrent, 0);
  int64_t p = Start;
  for (;;) {
    if (FHasAnchors) {
      // Anchors hold or fail at p without consuming; follow them to the end.
      for (size_t k = 0; k < FCurrent.size(); ++k) {
        const TDFAState& st = FDFA.StateList[FCurrent[k]];
        for (uint32_t t = 0; t < st.NumberTransitions; ++t) {
          const TUcElementTransition& tr = FDFA.TransitionList[st.StartTransition + t];
          const uint32_t type = FDFA.SymbolTable[tr.LHS].AType;
          if ((type == _URE_BOL_ANCHOR && AtLineStart(Text, Length, p)) ||
              (type == _URE_EOL_ANCHOR && AtLineEnd(Text, Length, p)))
            Add(FCurrent, tr.RHS);
        }
      }
    }
    for (uint32_t s : FCurrent)
      if (FDFA.StateList[s].Accepting) {
        accept = p;
        break;
      }
    if (p >= Length || FCurrent.empty()) break;
    // A run that meets a failed run's single state at the same place ends
    // as that one did: without a further accepting point.
    const uint32_t single = FCurrent.size() == 1 ? FCurrent[0] : MultipleStates;
    if (traced) {
      const int64_t at = p - FDeadStart;
      if (at < static_cast<int64_t>(FDeadTrace.size()) && single != MultipleStates && FDeadTrace[at] == single)
        return accept;
    }
    trace.push_back(single);
    UCS4 c = Text[p];
    if (PairAt(Text, Length, p)) {
      c = CombineSurrogates(c, Text[p + 1]);
      ++p;
      trace.push_back(MultipleStates);
    }
    ++p;
    if (fold) c = SearchFoldCode(c);
    FNext.clear();
    ++FGeneration;
    for (uint32_t s : FCurrent) {
      const TDFAState& st = FDFA.StateList[s];
      for (uint32_t t = 0; t < st.NumberTransitions; ++t) {
        const TUcElementTransition& tr = FDFA.TransitionList[st.StartTransition + t];
        if (Accepts(FDFA.SymbolTable[tr.LHS], c)) Add(FNext, tr.RHS);
      }
    }
    FCurrent.swap(FNext);
  }
  // Past its last accepting point the run is a failed one too; keep the
  // trace that reaches further ahead.
  if (Start + static_cast<int64_t>(trace.size()) > FDeadStart + static_cast<int64_t>(FDeadTrace.size())) {
    for (int64_t i = 0; i < static_cast<int64_t>(trace.size()) && Start + i <= accept; ++i) trace[i] = MultipleStates;
    FDeadTrace.swap(trace);
    FDeadStart = Start;
  }
  return accept;
}

bool TDFAMatcher::Find(const char16_t* Text, int64_t Length, int64_t From, int64_t& Start, int64_t& Stop) {
  if (FDFA.StateList.empty() || !Text || From > Length) return false;
  if (Text != FText || Length != FLength || From < FLastFrom) {
    FDeadStart = -1;
    FDeadTrace.clear();
    FText = Text;
    FLength = Length;
  }
  FLastFrom = From;
  const uint8_t* canStart = FCanStart.empty() ? nullptr : FCanStart.data();
  for (int64_t s = From; s <= Length; ++s) {
    if (canStart) {
      while (s < Length && !canStart[Text[s]]) ++s;
      if (s == Length) break;  // no empty match: the start state does not accept
    }
    if (s > 0 && PairAt(Text, Length, s - 1)) continue;
    int64_t e = LongestAt(Text, Length, s);
    if (e >= 0) {
      Start = s;
      Stop = e;
      return true;
    }
  }
  return false;
}
