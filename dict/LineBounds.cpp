#include "dict/LineBounds.h"

TLineBounds GetLineAt(const WideString& text, int64_t& start, int64_t& stop) {
  const size_t n = text.size();
  const size_t s = static_cast<size_t>(start) < n ? static_cast<size_t>(start) : n;
  size_t lineStart = 0;
  if (s > 0) {
    const size_t lf = text.rfind(u'\n', s - 1);
    if (lf != WideString::npos) lineStart = lf + 1;
  }
  size_t lineEnd = n;
  const size_t e = static_cast<size_t>(stop);
  if (e < n) {
    const size_t cr = text.find(u'\r', e);
    if (cr != WideString::npos) lineEnd = cr;
  }
  if (lineEnd < lineStart) lineEnd = lineStart;
  start -= static_cast<int64_t>(lineStart);
  stop -= static_cast<int64_t>(lineStart);
  return {lineStart, lineEnd - lineStart};
}
