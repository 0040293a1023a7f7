// A wide string list loaded from arbitrary bytes: never crashes, and what it
// saves in a Unicode format loads back to the same lines.
#include <cstdint>
#include <cstdlib>

#include "classlib/Streams.h"
#include "unicode/WideStrings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream input;
  input.WriteBuffer(data, static_cast<int64_t>(size));
  input.SetPosition(0);
  TWideStringList list;
  list.LoadFromStream(input);
  for (uint8_t format : {sfUTF16LSB, sfUTF16MSB, sfUTF8}) {
    list.SetStreamFormat(format);
    TMemoryStream saved;
    list.SaveToStream(saved);
    saved.SetPosition(0);
    TWideStringList back;
    back.LoadFromStream(saved);
    // The text has no break after its last line, so one empty last line
    // does not come back.
    const int expected = list.Count() - (list.Count() > 0 && list[list.Count() - 1].empty() ? 1 : 0);
    if (back.Count() != expected) std::abort();
    for (int i = 0; i < expected; ++i)
      if (back[i] != list[i]) std::abort();
  }
  return 0;
}
