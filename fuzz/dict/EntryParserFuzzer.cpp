// Feeds arbitrary lines to the dictionary line parser and the splitting and
// position routines, checking what their results promise.
#include <cstddef>
#include <cstdint>

#include "FuzzText.h"
#include "dict/EntryParser.h"
#include "unicode/Normalization.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const WideString line = FuzzWideText(data, size);

  WideString headword, reading;
  TWideStringList glosses;
  ParseEntryLine(line, headword, reading, glosses);
  // Every part is a piece of the line: none can be longer than it.
  if (headword.size() > line.size() || reading.size() > line.size()) __builtin_trap();

  // The first unit is the separator, the rest the text.  The text is split
  // first and each token normalised as the list stores it, so a token may
  // hold the separator after all (NFC maps U+037E to ";"): split into a list
  // that keeps tokens as they are, and check the stored ones against it.
  if (!line.empty()) {
    TWideStringList raw, parts;
    raw.SetNormalForm(nfNone);
    SplitText(line.substr(1), line[0], raw);
    SplitText(line.substr(1), line[0], parts);
    if (raw.GetCount() != parts.GetCount()) __builtin_trap();
    for (int i = 0; i < raw.GetCount(); ++i) {
      const WideString token = raw.Get(i);
      if (token.find(line[0]) != WideString::npos) __builtin_trap();
      if (parts.Get(i) != (token.empty() ? token : NormalizeWide(token, nfC))) __builtin_trap();
    }
  }

  // The first half is looked for in the second.
  const WideString sub = line.substr(0, line.size() / 2), rest = line.substr(line.size() / 2);
  const int pos = WidePosIgnoreCase(sub, rest);
  if (pos < 0 || (pos > 0 && static_cast<size_t>(pos) + sub.size() - 1 > rest.size())) __builtin_trap();
  if (WidePosIgnoreCase(rest, rest) != (rest.empty() ? 0 : 1)) __builtin_trap();
  return 0;
}
