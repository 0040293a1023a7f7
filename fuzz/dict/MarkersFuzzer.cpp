// Feeds arbitrary glosses to the marker routines with the program's own
// marker table, checking what their results promise.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzText.h"
#include "dict/Markers.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::ifstream in(HK_SOURCE_DIR "/assets/dict/markers.txt");
  std::vector<AnsiString> lines;
  for (std::string s; std::getline(in, s);) {
    if (!s.empty() && s.back() == '\r') s.pop_back();
    lines.push_back(s);
  }
  SetMarkersFromLines(lines);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const WideString text = FuzzWideText(data, size);

  TWideStringList keys;
  CollectMarkers(text, keys);
  // Each is named once (held in NFC, so not always as the text spells it).
  for (int i = 0; i < keys.GetCount(); ++i) {
    for (int j = 0; j < i; ++j)
      if (keys.Get(j) == keys.Get(i)) __builtin_trap();
    (void)GetMarkerDescription(keys.Get(i));
  }

  const WideString withoutMarkers = RemoveMarkers(text);
  const WideString withoutGroups = RemoveParentheses(text);
  // Removing only takes text away; with every group gone none is left to
  // remove, and no marker is left to collect.
  if (withoutMarkers.size() > text.size() || withoutGroups.size() > withoutMarkers.size()) __builtin_trap();
  if (RemoveParentheses(withoutGroups) != withoutGroups) __builtin_trap();
  TWideStringList none;
  CollectMarkers(withoutGroups, none);
  if (none.GetCount() != 0) __builtin_trap();
  (void)IsMarkerText(text);
  return 0;
}
