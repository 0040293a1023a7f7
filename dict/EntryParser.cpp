#include "dict/EntryParser.h"

#include "unicode/UnicodeData.h"

void ParseEntryLine(const WideString& line, WideString& headword, WideString& reading,
                    TWideStringList& glosses) {
  headword.clear();
  reading.clear();
  glosses.Clear();
  const size_t n = line.size();
  // 1-based positions, as the format is described; at(k) is '\0' beyond the line.
  auto at = [&](size_t k) -> char16_t { return k >= 1 && k <= n ? line[k - 1] : u'\0'; };

  const size_t space = line.find(u' ');
  const size_t e = space == WideString::npos ? 1 : space;  // headword length
  headword = line.substr(0, e);

  size_t k = e + 2;
  if (at(k) == u'[') {
    const size_t close = k < n ? line.find(u']', k) : WideString::npos;  // searches k+1 .. n
    if (close != WideString::npos) {
      const size_t j = close + 1;
      reading = line.substr(k, j - 1 - k);
      k = j + 2;
    } else {
      k = e + 3;
    }
  }
  if (at(k) == u'/') SplitText(line.substr(k - 1), u'/', glosses);
}

void SplitText(const WideString& text, char16_t separator, TWideStringList& list) {
  list.Clear();
  if (text.empty()) return;
  const WideString t = WideTrimSpace(text);
  // Each separator ends the token before it (none before the first
  // position); text after the last separator is the last token.
  size_t start = 0;
  for (size_t i = t.find(separator); i != WideString::npos; i = t.find(separator, start)) {
    if (i > 0) list.Add(t.substr(start, i - start));
    start = i + 1;
  }
  if (start < t.size()) list.Add(t.substr(start));
}

namespace {

char16_t UpperUnit(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
  std::span<const UCS4> upper = StoredCaseMapping(c, cmkUpper);
  return upper.size() == 1 && upper[0] <= 0xFFFF ? static_cast<char16_t>(upper[0]) : c;
}

}  // namespace

int WidePosIgnoreCase(const WideString& sub, const WideString& s) {
  if (sub.empty() || sub.size() > s.size()) return 0;
  WideString a(sub), b(s);
  for (char16_t& c : a) c = UpperUnit(c);
  for (char16_t& c : b) c = UpperUnit(c);
  const size_t p = b.find(a);
  return p == WideString::npos ? 0 : static_cast<int>(p) + 1;
}
