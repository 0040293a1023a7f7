#include "dict/ResultText.h"

#include <algorithm>
#include <string>

#include "dict/Markers.h"

bool IsCommonEntry(const TWideStringList& glosses) {
  const int count = glosses.Count();
  return count > 0 && glosses[count - 1] == u"(P)";
}

WideString GlossText(const TWideStringList& glosses, bool showLineNumber) {
  return GlossText(glosses, glosses.Count(), IsCommonEntry(glosses), showLineNumber);
}

WideString GlossText(const TWideStringList& glosses, int count, bool common, bool showLineNumber) {
  const int threshold = common ? 2 : 1;
  const bool numbered = showLineNumber && count > threshold;
  const int shown = std::min(common ? count - 1 : count, glosses.Count());
  WideString text;
  for (int i = 0; i < shown; ++i) {
    if (numbered) {
      const std::string number = std::to_string(i + 1) + ". ";
      text.append(number.begin(), number.end());
    }
    text += glosses[i];
    if (i < count - 1) text += u"\r\n";
  }
  return text;
}

WideString MarkerLegend(const WideString& glossText) {
  TWideStringList keys;
  CollectMarkers(glossText, keys);
  WideString legend;
  for (int i = 0; i < keys.Count(); ++i) {
    if (i > 0) legend += u", ";
    legend += keys[i] + u" : " + GetMarkerDescription(keys[i]);
  }
  return legend;
}
