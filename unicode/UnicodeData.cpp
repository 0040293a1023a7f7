// Character tables read from the UNICODEDATA resources on first use.
#include "unicode/UnicodeData.h"

#include <array>
#include <cstring>
#include <memory>

#include "classlib/Streams.h"

extern "C" void HkKeepResources_hk_unicode();

namespace {

constexpr UCS4 MaxTableCode = 0xFFFF;

template <typename T>
using TPages = std::array<std::unique_ptr<std::array<T, 256>>, 256>;

template <typename T>
T& Slot(TPages<T>& pages, UCS4 code) {
  auto& page = pages[code >> 8];
  if (!page) page = std::make_unique<std::array<T, 256>>();
  return (*page)[code & 0xFF];
}

template <typename T>
const T* Find(const TPages<T>& pages, UCS4 code) {
  if (code > MaxTableCode) return nullptr;
  const auto& page = pages[code >> 8];
  return page ? &(*page)[code & 0xFF] : nullptr;
}

// Bounds-checked reading of one resource; running out of data is the
// stream's read error.
class TDataReader {
 public:
  explicit TDataReader(const char* name) : FStream(nullptr, name, "UNICODEDATA") {
    HkKeepResources_hk_unicode();
    FPos = static_cast<const uint8_t*>(FStream.Memory());
    FEnd = FPos + FStream.Size();
  }
  bool AtEnd() const { return FPos >= FEnd; }
  uint8_t U8() {
    Need(1);
    return *FPos++;
  }
  uint32_t U32() {
    Need(4);
    const uint32_t v = static_cast<uint32_t>(FPos[0]) | (static_cast<uint32_t>(FPos[1]) << 8) |
                       (static_cast<uint32_t>(FPos[2]) << 16) | (static_cast<uint32_t>(FPos[3]) << 24);
    FPos += 4;
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  // A list of n code points, n checked against what is left.
  TUCS4Array Codes() {
    const int32_t n = I32();
    TUCS4Array codes;
    if (n <= 0) return codes;
    Need(static_cast<size_t>(n) * 4);
    codes.resize(static_cast<size_t>(n));
    for (UCS4& c : codes) c = U32();
    return codes;
  }

 private:
  void Need(size_t n) const {
    if (static_cast<size_t>(FEnd - FPos) < n) throw EReadError("Stream read error");
  }

  TResourceStream FStream;
  const uint8_t* FPos;
  const uint8_t* FEnd;
};

// Runs `fill` once under the lock. The table counts as loaded only when fill
// returned: on a failure `clear` empties it and the next lookup tries again.
template <typename Fill, typename Clear>
void LoadOnce(std::once_flag& flag, Fill fill, Clear clear) {
  std::call_once(flag, [&] {
    TCriticalSectionLock& lock = UnicodeDataLock();
    lock.Lock();
    try {
      fill();
    } catch (...) {
      clear();
      lock.Unlock();
      throw;
    }
    lock.Unlock();
  });
}

struct TCaseEntry {
  TUCS4Array Mappings[4];
};

TPages<TCharacterCategories> CategoryPages;
TPages<TCaseEntry> CasePages;
TPages<TUCS4Array> CanonicalPages;
TPages<TUCS4Array> CompatiblePages;
TPages<uint8_t> ClassPages;
std::vector<std::pair<uint32_t, UCS4>> Compositions;

std::once_flag CategoriesLoaded, CaseLoaded, DecompositionLoaded, CombiningLoaded, CompositionLoaded;

template <typename T>
void ClearPages(TPages<T>& pages) {
  for (auto& page : pages) page.reset();
}

// Range blocks (categories, combining classes): for each range with
// last >= first, `store` gets every code point up to U+FFFF.
template <typename Store>
void ReadRanges(TDataReader& reader, int32_t count, Store store) {
  for (int32_t i = 0; i < count; ++i) {
    const UCS4 first = reader.U32();
    const UCS4 last = reader.U32();
    if (last < first || first > MaxTableCode) continue;
    for (UCS4 c = first; c <= last && c <= MaxTableCode; ++c) store(c);
  }
}

}  // namespace

TCriticalSectionLock& UnicodeDataLock() {
  static TCriticalSectionLock lock;
  return lock;
}

void LoadCategoryData() {
  LoadOnce(
      CategoriesLoaded,
      [] {
        TDataReader reader("CATEGORIES");
        while (!reader.AtEnd()) {
          const uint8_t category = reader.U8();
          const int32_t count = reader.I32();
          if (count <= 0) continue;
          ReadRanges(reader, count, [&](UCS4 c) {
            if (category < 56) Slot(CategoryPages, c).Bits[category >> 3] |= static_cast<uint8_t>(1u << (category & 7));
          });
        }
      },
      [] { ClearPages(CategoryPages); });
}

void LoadCaseData() {
  LoadOnce(
      CaseLoaded,
      [] {
        TDataReader reader("CASE");
        const int32_t count = reader.I32();
        for (int32_t i = 0; i < count; ++i) {
          const UCS4 code = reader.U32();
          TUCS4Array mappings[4];
          for (TUCS4Array& m : mappings) m = reader.Codes();
          if (code > MaxTableCode) continue;  // beyond the pages
          TCaseEntry& entry = Slot(CasePages, code);
          for (int k = 0; k < 4; ++k)
            if (!mappings[k].empty()) entry.Mappings[k] = std::move(mappings[k]);
        }
      },
      [] { ClearPages(CasePages); });
}

void LoadDecompositionData() {
  LoadOnce(
      DecompositionLoaded,
      [] {
        TDataReader reader("DECOMPOSITION");
        const int32_t count = reader.I32();
        for (int32_t i = 0; i < count; ++i) {
          const UCS4 raw = reader.U32();
          TUCS4Array codes = reader.Codes();
          const UCS4 code = raw & ~(1u << 30);
          if (code > MaxTableCode || codes.empty()) continue;
          Slot((raw & (1u << 30)) ? CompatiblePages : CanonicalPages, code) = std::move(codes);
        }
      },
      [] {
        ClearPages(CanonicalPages);
        ClearPages(CompatiblePages);
      });
}

void LoadCombiningData() {
  LoadOnce(
      CombiningLoaded,
      [] {
        TDataReader reader("COMBINING");
        while (!reader.AtEnd()) {
          const uint8_t cls = static_cast<uint8_t>(reader.U32());
          const int32_t count = reader.I32();
          if (count <= 0) continue;
          ReadRanges(reader, count, [&](UCS4 c) { Slot(ClassPages, c) = cls; });
        }
      },
      [] { ClearPages(ClassPages); });
}

void LoadCompositionData() {
  LoadOnce(
      CompositionLoaded,
      [] {
        TDataReader reader("COMPOSITION");
        const int32_t count = reader.I32();
        for (int32_t i = 0; i < count; ++i) {
          const uint32_t key = reader.U32();
          const UCS4 composite = reader.U32();
          Compositions.push_back({key, composite});
        }
      },
      [] { Compositions.clear(); });
}

TCharacterCategories CategoriesOf(UCS4 code) {
  LoadCategoryData();
  const TCharacterCategories* set = Find(CategoryPages, code);
  return set ? *set : TCharacterCategories{};
}

bool HasCategory(UCS4 code, const TCharacterCategories& categories) {
  LoadCategoryData();
  const TCharacterCategories* set = Find(CategoryPages, code);
  return set && set->Intersects(categories);
}

bool IsControlCode(UCS4 code) {
  static constexpr TCharacterCategories set{ccOtherControl, ccOtherFormat};
  return HasCategory(code, set);
}

bool IsSpaceCode(UCS4 code) {
  static constexpr TCharacterCategories set{ccSeparatorSpace, ccSegmentSeparator, ccWhiteSpace, ccSpaceOther};
  return HasCategory(code, set);
}

bool IsNonSpacingCode(UCS4 code) {
  static constexpr TCharacterCategories set{ccMarkNonSpacing};
  return HasCategory(code, set);
}

WideString WideTrimSpace(const WideString& s) { return WideString(WideTrimSpaceView(s)); }

std::u16string_view WideTrimSpaceView(std::u16string_view s) {
  static constexpr TCharacterCategories trimmed{ccOtherControl,     ccOtherFormat, ccSeparatorSpace,
                                                ccSegmentSeparator, ccWhiteSpace,  ccSpaceOther};
  // Controls and the space are trimmed and printable ASCII is not, without
  // a look at the tables: the ends of dictionary fields are mostly these.
  auto trim = [](char16_t u) { return u <= 0x20 || (u >= 0x7F && (u <= 0x9F || HasCategory(u, trimmed))); };
  size_t i = 0;
  while (i < s.size() && trim(s[i])) ++i;
  if (i == s.size()) return {};
  size_t j = s.size() - 1;
  while (j > i && trim(s[j])) --j;
  return s.substr(i, j - i + 1);
}

std::span<const UCS4> StoredCaseMapping(UCS4 code, int kind) {
  LoadCaseData();
  if (kind < 0 || kind > 3) return {};
  const TCaseEntry* entry = Find(CasePages, code);
  if (!entry) return {};
  return entry->Mappings[kind];
}

TUCS4Array CaseMapping(UCS4 code, int kind) {
  const std::span<const UCS4> stored = StoredCaseMapping(code, kind);
  if (stored.empty()) return TUCS4Array{code};
  return TUCS4Array(stored.begin(), stored.end());
}

TUCS4Array LowerCaseMapping(UCS4 code) { return CaseMapping(code, cmkLower); }

bool IsHangulSyllable(UCS4 code) { return code >= 0xAC00 && code <= 0xD7A3; }

TUCS4Array DecomposeHangulSyllable(UCS4 code) {
  if (!IsHangulSyllable(code)) return {};  // the arithmetic would give jamo of nothing
  const UCS4 s = code - 0xAC00;
  TUCS4Array result{0x1100 + s / 588, 0x1161 + (s % 588) / 28};
  if (s % 28 != 0) result.push_back(0x11A7 + s % 28);
  return result;
}

std::span<const UCS4> StoredDecomposition(UCS4 code, bool compatible) {
  LoadDecompositionData();
  if (compatible) {
    const TUCS4Array* entry = Find(CompatiblePages, code);
    if (entry && !entry->empty()) return *entry;
  }
  const TUCS4Array* entry = Find(CanonicalPages, code);
  if (entry) return *entry;
  return {};
}

TUCS4Array Decomposition(UCS4 code, bool compatible) {
  if (IsHangulSyllable(code)) return DecomposeHangulSyllable(code);
  const std::span<const UCS4> stored = StoredDecomposition(code, compatible);
  return TUCS4Array(stored.begin(), stored.end());
}

uint8_t CombiningClass(UCS4 code) {
  LoadCombiningData();
  const uint8_t* cls = Find(ClassPages, code);
  return cls ? *cls : 0;
}

bool FindComposite(char16_t first, char16_t second, UCS4& composite) {
  LoadCompositionData();
  const uint32_t key = (static_cast<uint32_t>(first) << 16) | second;
  size_t lo = 0, hi = Compositions.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (Compositions[mid].first < key) {
      lo = mid + 1;
    } else if (Compositions[mid].first > key) {
      hi = mid;
    } else {
      composite = Compositions[mid].second;
      return true;
    }
  }
  return false;
}
