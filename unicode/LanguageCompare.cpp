// Case-insensitive compare by full case folding.
#include "unicode/LanguageCompare.h"

#include "unicode/UnicodeData.h"

namespace {

// Walks a string as folded code points (a surrogate pair is one code point).
class TFoldedReader {
 public:
  explicit TFoldedReader(std::u16string_view s) : FText(s) {}

  // The next folded code point, or -1 at the end.
  int64_t Next() {
    if (FPending < FFolded.size()) return FFolded[FPending++];
    if (FPos >= FText.size()) return -1;
    UCS4 c = FText[FPos++];
    if (c >= 0xD800 && c <= 0xDBFF && FPos < FText.size() && FText[FPos] >= 0xDC00 && FText[FPos] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (FText[FPos++] - 0xDC00);
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    FFolded = StoredCaseMapping(c, cmkFolding);
    if (FFolded.empty()) return c;
    FPending = 1;
    return FFolded[0];
  }

 private:
  std::u16string_view FText;
  size_t FPos = 0;
  std::span<const UCS4> FFolded;
  size_t FPending = 0;
};

}  // namespace

int LanguageCompare(LCID, std::u16string_view a, std::u16string_view b) {
  TFoldedReader ra(a), rb(b);
  for (;;) {
    const int64_t x = ra.Next(), y = rb.Next();
    if (x != y) return x < y ? -1 : 1;
    if (x < 0) return 0;
  }
}
