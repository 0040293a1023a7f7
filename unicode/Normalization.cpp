// Decomposition, canonical ordering and composition.
#include "unicode/Normalization.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

namespace {

constexpr char16_t HangulSBase = 0xAC00, HangulLBase = 0x1100, HangulVBase = 0x1161, HangulTBase = 0x11A7;
constexpr int HangulLCount = 19, HangulVCount = 21, HangulTCount = 28, HangulSCount = 11172;

bool IsHangulL(char16_t u) { return u >= HangulLBase && u < HangulLBase + HangulLCount; }
bool IsHangulV(char16_t u) { return u >= HangulVBase && u < HangulVBase + HangulVCount; }
bool IsHangulT(char16_t u) { return u > HangulTBase && u < HangulTBase + HangulTCount; }
bool IsHangulLV(char16_t u) {
  return u >= HangulSBase && u < HangulSBase + HangulSCount && (u - HangulSBase) % HangulTCount == 0;
}

// Per unit: may it change, or change its neighbours, under a form?
enum : uint8_t {
  qcUnsafeComposed = 1,      // NFC/NFKC may change text holding it
  qcUnsafeDecomposed = 2,    // NFD may change it
  qcUnsafeCompatible = 4,    // NFKC/NFKD may change it beyond the canonical forms
};

std::array<uint8_t, 0x10000> QuickFlags;
std::once_flag QuickFlagsMade;

void MakeQuickFlags() {
  std::call_once(QuickFlagsMade, [] {
    std::array<bool, 0x10000> second{};  // may compose with what precedes it
    for (UCS4 c = 0; c <= 0xFFFF; ++c) {
      const std::span<const UCS4> d = StoredDecomposition(c, false);
      if (d.size() == 2 && d[0] <= 0xFFFF && d[1] <= 0xFFFF) {
        UCS4 composite = 0;
        if (FindComposite(static_cast<char16_t>(d[0]), static_cast<char16_t>(d[1]), composite))
          second[d[1]] = true;
      }
    }
    for (UCS4 c = 0; c <= 0xFFFF; ++c) {
      const char16_t u = static_cast<char16_t>(c);
      uint8_t flags = 0;
      const bool marked = CombiningClass(c) != 0;
      const bool decomposes = IsHangulSyllable(c) || !StoredDecomposition(c, false).empty();
      const bool combines = second[c] || IsHangulV(u) || IsHangulT(u);
      if (marked || decomposes) flags |= qcUnsafeDecomposed;
      if (marked || combines) flags |= qcUnsafeComposed;
      if (decomposes && !IsHangulSyllable(c)) {
        // A composite is kept only when composing its decomposition gives it back.
        const WideString one(1, u);
        if (ComposeCanonical(DecomposeText(one, false)) != one) flags |= qcUnsafeComposed;
      }
      if (decomposes) {
        const WideString one(1, u);
        if (DecomposeText(one, true) != DecomposeText(one, false)) flags |= qcUnsafeCompatible;
      } else if (!StoredDecomposition(c, true).empty()) {
        flags |= qcUnsafeCompatible;
      }
      QuickFlags[c] = flags;
    }
  });
}

}  // namespace

bool IsNormalizedQuick(std::u16string_view s, uint8_t form) {
  if (form == nfNone) return true;
  MakeQuickFlags();
  const bool compatible = form == nfKC || form == nfKD;
  const bool decomposed = form == nfD || form == nfKD;
  const uint8_t unsafe = static_cast<uint8_t>((decomposed ? qcUnsafeDecomposed : qcUnsafeComposed) |
                                              (compatible ? qcUnsafeCompatible : 0));
  const char16_t* p = s.data();
  const char16_t* const end = p + s.size();
  // Units below U+00A0 are safe in every form: skip eight at a time (SSE2
  // is part of every x86-64 processor).
  const __m128i limit = _mm_set1_epi16(static_cast<short>(0x00A0 - 0x8000));
  const __m128i bias = _mm_set1_epi16(static_cast<short>(-0x8000));
  while (end - p >= 8) {
    const __m128i units = _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), bias);
    if (_mm_movemask_epi8(_mm_cmplt_epi16(units, limit)) == 0xFFFF) {
      p += 8;
      continue;
    }
    for (int i = 0; i < 8; ++i, ++p)
      if (QuickFlags[*p] & unsafe) return false;
  }
  for (; p < end; ++p)
    if (QuickFlags[*p] & unsafe) return false;
  return true;
}

void DecomposeCode(bool compatible, UCS4 code, TUCS4Array& list) {
  if (IsHangulSyllable(code)) {
    for (UCS4 c : DecomposeHangulSyllable(code)) list.push_back(c);
    return;
  }
  const std::span<const UCS4> d = StoredDecomposition(code, compatible);
  if (d.empty()) {
    list.push_back(code);
    return;
  }
  for (UCS4 c : d) DecomposeCode(compatible, c, list);
}

void ReorderCanonical(WideString& s) {
  // Within each run of marks (non-zero class) the marks are ordered by
  // class, equal classes keeping their order; a unit of class 0 never moves
  // and nothing moves across it. Long runs are sorted in n log n, so a huge
  // line of marks cannot stall the caller.
  const size_t n = s.size();
  if (n < 2) return;
  std::vector<std::pair<uint8_t, char16_t>> run;
  size_t i = 0;
  while (i < n) {
    if (CombiningClass(s[i]) == 0) {
      ++i;
      continue;
    }
    size_t end = i;
    run.clear();
    for (; end < n; ++end) {
      const uint8_t cls = CombiningClass(s[end]);
      if (cls == 0) break;
      run.push_back({cls, s[end]});
    }
    if (run.size() > 1) {
      std::stable_sort(run.begin(), run.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
      for (size_t k = 0; k < run.size(); ++k) s[i + k] = run[k].second;
    }
    i = end;
  }
}

WideString DecomposeText(const WideString& s, bool compatible) {
  WideString result;
  result.reserve(s.size());
  TUCS4Array list;
  for (char16_t u : s) {
    list.clear();
    DecomposeCode(compatible, u, list);
    for (UCS4 c : list) {
      if (c > 0xFFFF) {  // a few CJK compatibility ideographs map beyond the BMP
        result.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        result.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
      } else {
        result.push_back(static_cast<char16_t>(c));
      }
    }
  }
  ReorderCanonical(result);
  return result;
}

WideString ComposeHangul(const WideString& s) {
  WideString result;
  if (s.empty()) return result;
  result.reserve(s.size());
  char16_t last = s[0];
  result.push_back(last);
  for (size_t i = 1; i < s.size(); ++i) {
    const char16_t u = s[i];
    if (IsHangulL(last) && IsHangulV(u)) {
      last = static_cast<char16_t>(HangulSBase + ((last - HangulLBase) * HangulVCount + (u - HangulVBase)) * HangulTCount);
      result.back() = last;
    } else if (IsHangulLV(last) && IsHangulT(u)) {
      last = static_cast<char16_t>(last + (u - HangulTBase));
      result.back() = last;
    } else {
      result.push_back(u);
      last = u;
    }
  }
  return result;
}

WideString ComposeCanonical(const WideString& s) {
  WideString r = ComposeHangul(s);
  if (r.empty()) return r;
  size_t starterPos = 0;
  char16_t starter = r[0];
  int lastClass = CombiningClass(starter) != 0 ? 256 : 0;
  size_t w = 1;
  for (size_t i = 1; i < r.size(); ++i) {
    const char16_t u = r[i];
    const int e = CombiningClass(u);
    const bool blocked = lastClass != 0 && lastClass >= e;
    UCS4 composite = 0;
    // Composites all lie in the 16-bit range of the tables.
    if (!blocked && FindComposite(starter, u, composite) && composite <= 0xFFFF) {
      starter = static_cast<char16_t>(composite);
      r[starterPos] = starter;
    } else {
      r[w] = u;
      if (e == 0) {
        starterPos = w;
        starter = u;
      }
      ++w;
      lastClass = e;
    }
  }
  r.resize(w);
  return r;
}

WideString NormalizeWide(const WideString& s, uint8_t form) {
  if (form == nfNone || IsNormalizedQuick(s, form)) return s;
  const bool compatible = form == nfKC || form == nfKD;
  if (form == nfD || form == nfKD) return DecomposeText(s, compatible);
  return ComposeCanonical(DecomposeText(s, compatible));
}
