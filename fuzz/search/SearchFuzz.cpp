// Pattern and text from the input: compiling gives a DFA or a clear error,
// and every scan ends with sound matches. Input: an options byte, then
// UTF-16LE units of the pattern up to the unit 0x0000, then the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "unicode/search/DFAMatcher.h"
#include "unicode/search/URESearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  std::u16string pattern, text;
  bool inText = false;
  for (size_t i = 1; i + 1 < size; i += 2) {
    const auto u = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (!inText && u == 0) {
      inText = true;
      continue;
    }
    (inText ? text : pattern).push_back(u);
  }
  // Long patterns only spend the run inside the compiler's limits.
  if (pattern.size() > 48) return 0;
  TURESearch engine;
  try {
    engine.PreparePattern(pattern, options);
  } catch (const EUnicodeError&) {
    if (engine.Compiled()) std::abort();
    return 0;
  }
  int64_t last = 0;
  const auto len = static_cast<int64_t>(text.size());
  engine.OnMatch = [&](int64_t s, int64_t e) {
    if (s < last || e < s || e > len) std::abort();
    last = e;
  };
  engine.FindAllMatches(text);
  auto compiled = engine.Compiled();
  if (compiled && compiled->Literal) {
    // The fast scan and the general matcher agree.
    TDFAMatcher general(compiled->DFA);
    int64_t pos = 0, s = 0, e = 0;
    for (int64_t i = 0; i < engine.ResultCount(); ++i) {
      int64_t rs = 0, re = 0;
      engine.ResultAt(i, rs, re);
      if (!general.Find(text.data(), len, pos, s, e) || s != rs || e != re) std::abort();
      pos = e;
    }
    if (general.Find(text.data(), len, pos, s, e)) std::abort();
  }
  return 0;
}
