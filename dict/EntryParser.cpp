#include "dict/EntryParser.h"

#include <memory>

#include "unicode/UnicodeData.h"

TEntryFields CutEntryLine(std::u16string_view line) {
  TEntryFields fields;
  const size_t n = line.size();
  // 1-based positions, as the format is described; at(k) is '\0' beyond the line.
  auto at = [&](size_t k) -> char16_t { return k >= 1 && k <= n ? line[k - 1] : u'\0'; };

  const size_t space = line.find(u' ');
  const size_t e = space == std::u16string_view::npos ? 1 : space;  // headword length
  fields.Headword = line.substr(0, e);

  size_t k = e + 2;
  if (at(k) == u'[') {
    const size_t close = k < n ? line.find(u']', k) : std::u16string_view::npos;  // searches k+1 .. n
    if (close != std::u16string_view::npos) {
      const size_t j = close + 1;
      fields.Reading = line.substr(k, j - 1 - k);
      k = j + 2;
    } else {
      k = e + 3;
    }
  }
  if (at(k) == u'/') fields.Glosses = line.substr(k - 1);
  return fields;
}

void ParseEntryLine(const WideString& line, WideString& headword, WideString& reading,
                    TWideStringList& glosses) {
  const TEntryFields fields = CutEntryLine(line);
  headword.assign(fields.Headword);
  reading.assign(fields.Reading);
  SplitText(fields.Glosses, u'/', glosses);
}

void SplitText(std::u16string_view text, char16_t separator, TWideStringList& list) {
  list.Clear();
  ForEachToken(text, separator, [&](std::u16string_view token) { list.Add(WideString(token)); });
}

namespace {

// Every unit's upper case, made once: the search asks for it per character.
const char16_t* UpperUnits() {
  static const std::unique_ptr<char16_t[]> table = [] {
    auto t = std::make_unique<char16_t[]>(0x10000);
    for (uint32_t c = 0; c < 0x10000; ++c) {
      char16_t u = static_cast<char16_t>(c);
      if (c < 0x80) {
        if (c >= u'a' && c <= u'z') u = static_cast<char16_t>(c - 32);
      } else {
        std::span<const UCS4> upper = StoredCaseMapping(c, cmkUpper);
        if (upper.size() == 1 && upper[0] <= 0xFFFF) u = static_cast<char16_t>(upper[0]);
      }
      t[c] = u;
    }
    return t;
  }();
  return table.get();
}

// The first position where `upperSub` stands in `s` upper-cased; npos when
// none. Nothing is copied: each unit is folded as it is compared.
size_t FindUpperCased(std::u16string_view s, std::u16string_view upperSub) {
  const size_t m = upperSub.size();
  if (m == 0 || m > s.size()) return std::u16string_view::npos;
  const char16_t* upper = UpperUnits();
  const char16_t first = upperSub[0];
  for (size_t p = 0, last = s.size() - m; p <= last; ++p) {
    if (upper[s[p]] != first) continue;
    size_t i = 1;
    while (i < m && upper[s[p + i]] == upperSub[i]) ++i;
    if (i == m) return p;
  }
  return std::u16string_view::npos;
}

}  // namespace

char16_t UpperUnit(char16_t c) { return UpperUnits()[c]; }

bool ContainsUpperCased(std::u16string_view s, std::u16string_view upperSub) {
  return FindUpperCased(s, upperSub) != std::u16string_view::npos;
}

int WidePosIgnoreCase(std::u16string_view sub, std::u16string_view s) {
  if (sub.empty() || sub.size() > s.size()) return 0;
  WideString upperSub(sub);
  for (char16_t& c : upperSub) c = UpperUnit(c);
  const size_t p = FindUpperCased(s, upperSub);
  return p == std::u16string_view::npos ? 0 : static_cast<int>(p) + 1;
}
