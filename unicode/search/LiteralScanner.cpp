#include "unicode/search/LiteralScanner.h"

#include <algorithm>

#include "unicode/search/CaseFold.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define HK_SEARCH_X86 1
#endif

namespace {

// Longer words, or words of more distinct units than a class byte holds,
// take the general matcher.
constexpr int64_t MaxWordLength = 4000;
constexpr size_t MaxDistinct = 255;
constexpr size_t MaxFirstUnits = 4;

}  // namespace

bool SearchHasSSE2() {
#ifdef HK_SEARCH_X86
  static const bool has = __builtin_cpu_supports("sse2");
  return has;
#else
  return false;
#endif
}

std::unique_ptr<TLiteralScanner> TLiteralScanner::Create(const TDFA& DFA) {
  if (DFA.StateList.empty()) return nullptr;
  // Follow the chain from state 0: one literal transition per state, to a
  // state never seen, ending in an accepting state without transitions.
  std::vector<UCS4> word;
  std::vector<bool> seen(DFA.StateList.size(), false);
  uint32_t s = 0;
  for (;;) {
    if (seen[s]) return nullptr;
    seen[s] = true;
    const TDFAState& st = DFA.StateList[s];
    if (st.Accepting) {
      if (st.NumberTransitions != 0 || word.empty()) return nullptr;
      break;
    }
    if (st.NumberTransitions != 1) return nullptr;
    const TUcElementTransition& t = DFA.TransitionList[st.StartTransition];
    const TUcSymbolTableEntry& sym = DFA.SymbolTable[t.LHS];
    if (sym.AType != _URE_CHAR) return nullptr;
    const UCS4 c = sym.Symbol.Chr;
    if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return nullptr;
    word.push_back(c);
    if (static_cast<int64_t>(word.size()) > MaxWordLength) return nullptr;
    s = t.RHS;
  }

  std::unique_ptr<TLiteralScanner> scanner(new TLiteralScanner());
  TLiteralScanner& r = *scanner;
  r.FLength = static_cast<int64_t>(word.size());
  // Classes: 0 for everything else, then one per distinct code point.
  std::vector<UCS4> distinct;
  std::vector<uint8_t> wordClass;
  for (UCS4 c : word) {
    auto it = std::find(distinct.begin(), distinct.end(), c);
    if (it == distinct.end()) {
      distinct.push_back(c);
      it = distinct.end() - 1;
    }
    wordClass.push_back(static_cast<uint8_t>(1 + (it - distinct.begin())));
    if (distinct.size() > MaxDistinct) return nullptr;
  }
  r.FClassCount = static_cast<uint32_t>(distinct.size() + 1);
  r.FFirstClass = wordClass[0];
  r.FClass = std::make_unique<uint8_t[]>(0x10000);
  const bool fold = DFA.Flags & _URE_DFA_CASEFOLD;
  const UCS4* foldTable = fold ? SearchFoldTable() : nullptr;
  std::vector<uint8_t> classOf(0x10000, 0);
  for (size_t k = 0; k < distinct.size(); ++k) classOf[distinct[k]] = static_cast<uint8_t>(k + 1);
  for (UCS4 u = 0; u <= 0xFFFF; ++u) {
    // A surrogate unit never matches: the word holds no surrogates, and a
    // pair stands for a code point above the BMP.
    const UCS4 c = fold ? foldTable[u] : u;
    const uint8_t cls = (u >= 0xD800 && u <= 0xDFFF) || c > 0xFFFF ? 0 : classOf[c];
    r.FClass[u] = cls;
    if (cls == r.FFirstClass) r.FFirstUnits.push_back(static_cast<char16_t>(u));
  }
  // Transitions of the word's automaton (Knuth-Morris-Pratt, as a table).
  const uint32_t k = r.FClassCount;
  const auto m = static_cast<uint32_t>(r.FLength);
  r.FNext.assign(static_cast<size_t>(m + 1) * k, 0);
  uint32_t restart = 0;
  for (uint32_t j = 0; j < m; ++j) {
    for (uint32_t c = 0; c < k; ++c) r.FNext[j * k + c] = j == 0 ? 0 : r.FNext[restart * k + c];
    r.FNext[j * k + wordClass[j]] = static_cast<uint16_t>(j + 1);
    if (j > 0) restart = r.FNext[restart * k + wordClass[j]];
  }
  r.FUseSSE2 = SearchHasSSE2() && r.FFirstUnits.size() <= MaxFirstUnits;
  return scanner;
}

int64_t TLiteralScanner::SkipPlain(const char16_t* Text, int64_t Length, int64_t From) const {
  const uint8_t* cls = FClass.get();
  const uint8_t first = FFirstClass;
  while (From < Length && cls[Text[From]] != first) ++From;
  return From;
}

int64_t TLiteralScanner::SkipSSE2(const char16_t* Text, int64_t Length, int64_t From) const {
#ifdef HK_SEARCH_X86
  const size_t n = FFirstUnits.size();
  // Unused slots repeat the first unit.
  const __m128i u0 = _mm_set1_epi16(static_cast<short>(FFirstUnits[0]));
  const __m128i u1 = _mm_set1_epi16(static_cast<short>(FFirstUnits[n > 1 ? 1 : 0]));
  const __m128i u2 = _mm_set1_epi16(static_cast<short>(FFirstUnits[n > 2 ? 2 : 0]));
  const __m128i u3 = _mm_set1_epi16(static_cast<short>(FFirstUnits[n > 3 ? 3 : 0]));
  while (From + 16 <= Length) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text + From));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text + From + 8));
    const __m128i ma = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(a, u0), _mm_cmpeq_epi16(a, u1)),
                                    _mm_or_si128(_mm_cmpeq_epi16(a, u2), _mm_cmpeq_epi16(a, u3)));
    const __m128i mb = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(b, u0), _mm_cmpeq_epi16(b, u1)),
                                    _mm_or_si128(_mm_cmpeq_epi16(b, u2), _mm_cmpeq_epi16(b, u3)));
    const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(ma, mb)));
    if (mask) return From + __builtin_ctz(mask);
    From += 16;
  }
#endif
  return SkipPlain(Text, Length, From);
}

template <bool SSE2>
int64_t TLiteralScanner::Scan(const char16_t* Text, int64_t Length, int64_t From) const {
  const uint8_t* cls = FClass.get();
  const uint16_t* next = FNext.data();
  const uint32_t k = FClassCount;
  const auto m = static_cast<uint32_t>(FLength);
  uint32_t state = 0;
  int64_t i = From;
  while (i < Length) {
    if (state == 0) {
      i = SSE2 ? SkipSSE2(Text, Length, i) : SkipPlain(Text, Length, i);
      if (i >= Length) break;
    }
    state = next[state * k + cls[Text[i]]];
    ++i;
    if (state == m) return i - FLength;
  }
  return -1;
}

int64_t TLiteralScanner::FindPlain(const char16_t* Text, int64_t Length, int64_t From) const {
  return Scan<false>(Text, Length, From);
}

int64_t TLiteralScanner::FindSSE2(const char16_t* Text, int64_t Length, int64_t From) const {
  return FUseSSE2 ? Scan<true>(Text, Length, From) : Scan<false>(Text, Length, From);
}
