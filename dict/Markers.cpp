#include "dict/Markers.h"

#include <unordered_set>

#include "dict/EntryParser.h"
#include "unicode/Normalization.h"
#include "unicode/UnicodeData.h"
#include "unicode/WideUnicode.h"

std::vector<TMarker> Markers;

namespace {

// Keys converted once: the routines run per search match and per repaint.
std::vector<WideString>& WideKeys() {
  static std::vector<WideString> keys;
  return keys;
}

// The same keys as a set of slices of WideKeys, for the membership test of
// every group without a copy of its text.
std::unordered_set<std::u16string_view>& KeySet() {
  static std::unordered_set<std::u16string_view> keys;
  return keys;
}

// The next group of t: 0-based positions of its "(" and ")", false when t
// holds no pair. A ")" standing before the first "(" is passed over, so the
// "(" pairs with the first ")" after it and every loop over groups ends.
bool NextGroup(const WideString& t, size_t& open, size_t& close) {
  open = t.find(u'(');
  if (open == WideString::npos) return false;
  close = t.find(u')', open + 1);
  return close != WideString::npos;
}

// Removes the first occurrence of `part` found without regard to case.
void DeleteFirstIgnoringCase(WideString& s, const WideString& part) {
  const int p = WidePosIgnoreCase(part, s);
  if (p > 0) s.erase(static_cast<size_t>(p - 1), part.size());
}

}  // namespace

void SetMarkersFromLines(const std::vector<AnsiString>& lines) {
  KeySet().clear();  // its slices point into the keys about to be replaced
  Markers.assign(lines.size(), TMarker{});
  WideKeys().assign(lines.size(), WideString{});
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t bar = lines[i].find('|');
    if (bar == AnsiString::npos) continue;
    Markers[i].Key = lines[i].substr(0, bar);
    Markers[i].Description = lines[i].substr(bar + 1);
    WideKeys()[i] = AnsiToWideCP(Markers[i].Key, 0);
  }
  for (size_t i = 0; i < lines.size(); ++i) KeySet().insert(WideKeys()[i]);
}

bool IsMarkerKey(std::u16string_view text) { return KeySet().count(text) != 0; }

bool IsMarkerText(std::u16string_view text) {
  if (text.find(u',') == std::u16string_view::npos) return IsMarkerKey(text);
  // The parts as SplitText would list them: normalized to NFC.
  bool found = false;
  ForEachToken(text, u',', [&](std::u16string_view part) {
    if (found) return;
    found = IsNormalizedQuick(part, nfC) ? IsMarkerKey(part) : IsMarkerKey(NormalizeWide(WideString(part), nfC));
  });
  return found;
}

WideString GetMarkerDescription(const WideString& text) {
  const std::vector<WideString>& keys = WideKeys();
  for (size_t i = 0; i < Markers.size() && i < keys.size(); ++i)
    if (keys[i] == text) return AnsiToWideCP(Markers[i].Description, 0);
  return {};
}

void CollectMarkers(const WideString& text, TWideStringList& list) {
  list.Clear();
  WideString t = WideTrimSpace(text);
  size_t a, b;
  while (NextGroup(t, a, b)) {
    const WideString inner = t.substr(a + 1, b - a - 1);
    if (IsMarkerText(inner)) {
      if (inner.find(u',') != WideString::npos) {
        TWideStringList parts;
        SplitText(inner, u',', parts);
        for (int i = 0; i < parts.Count(); ++i)
          if (list.IndexOf(parts[i]) < 0) list.Add(parts[i]);
      } else if (list.IndexOf(inner) < 0) {
        list.Add(inner);
      }
    }
    t.erase(a, b - a + 1);
  }
}

WideString RemoveMarkers(const WideString& text) {
  WideString s = text, t = text;
  size_t a, b;
  while (NextGroup(t, a, b)) {
    const WideString inner = t.substr(a + 1, b - a - 1);
    if (IsMarkerText(inner)) DeleteFirstIgnoringCase(s, u"(" + inner + u")");
    t.erase(a, b - a + 1);
  }
  return s;
}

WideString RemoveParentheses(const WideString& text) {
  WideString s = text;
  size_t a, b;
  while (NextGroup(s, a, b)) s.erase(a, b - a + 1);
  return s;
}
