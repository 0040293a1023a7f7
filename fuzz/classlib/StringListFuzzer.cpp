// Splits arbitrary bytes into lines through SetText and LoadFromStream: both
// give the same lines, none holds a line break, and the text they give back
// splits into the same lines again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "classlib/Streams.h"
#include "classlib/StringLists.h"

namespace {

bool SameLines(const TStringList& a, const TStringList& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  TStringList lines;
  lines.SetText(text);
  for (int i = 0; i < lines.Count(); ++i)
    if (lines[i].find_first_of(std::string("\r\n\0", 3)) != std::string::npos) __builtin_trap();

  TMemoryStream stream;
  if (size) stream.Write(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
  TStringList loaded;
  loaded.LoadFromStream(stream);
  if (!SameLines(lines, loaded)) __builtin_trap();

  TStringList again;
  again.SetText(lines.Text());
  if (!SameLines(lines, again)) __builtin_trap();

  // Sorting keeps every line; a sorted list finds each of them.
  again.Sort();
  if (again.Count() != lines.Count()) __builtin_trap();
  again.SetSorted(true);
  for (int i = 0; i < lines.Count(); ++i) {
    int index = -1;
    if (!again.Find(lines[i], index)) __builtin_trap();
  }
  (void)lines.CommaText();
  return 0;
}
