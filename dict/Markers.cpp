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

// Each group of t in turn, with its inner text and where it stands: a
// group ends at the first ")" after its "(", and the next one starts at the
// first "(" after that, as deleting every group from the text in turn would
// find them. A ")" before the first "(" is passed over, so every loop ends.
template <typename F>
void ForEachGroup(std::u16string_view t, F&& f) {
  for (size_t open = t.find(u'('); open != std::u16string_view::npos; ) {
    const size_t close = t.find(u')', open + 1);
    if (close == std::u16string_view::npos) return;
    f(t.substr(open + 1, close - open - 1), open, close);
    open = t.find(u'(', close + 1);
  }
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
  ForEachGroup(WideTrimSpaceView(text), [&](std::u16string_view view, size_t, size_t) {
    if (!IsMarkerText(view)) return;
    const WideString inner(view);
    if (inner.find(u',') != WideString::npos) {
      TWideStringList parts;
      SplitText(inner, u',', parts);
      for (int i = 0; i < parts.Count(); ++i)
        if (list.IndexOf(parts[i]) < 0) list.Add(parts[i]);
    } else if (list.IndexOf(inner) < 0) {
      list.Add(inner);
    }
  });
}

WideString RemoveMarkers(const WideString& text) {
  WideString s = text;
  ForEachGroup(text, [&](std::u16string_view inner, size_t, size_t) {
    if (IsMarkerText(inner)) DeleteFirstIgnoringCase(s, u"(" + WideString(inner) + u")");
  });
  return s;
}

WideString RemoveParentheses(const WideString& text) {
  WideString s;
  size_t kept = 0;
  ForEachGroup(text, [&](std::u16string_view, size_t open, size_t close) {
    s.append(text, kept, open - kept);
    kept = close + 1;
  });
  s.append(text, kept);
  return s;
}
