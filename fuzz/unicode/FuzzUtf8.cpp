// UTF-8 decoding of arbitrary bytes: both forms agree, stay inside their
// buffers, never give more units than bytes, and re-encoding the units
// decodes back to them. Well-formed bytes decode without a replacement of
// their own, and stay well-formed when cut at a character's end; the
// census of characters and ill-formed parts agrees with the check.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "unicode/Normalization.h"
#include "unicode/WideUnicode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  std::vector<char16_t> plain(size), fast(size);
  const size_t n1 = UTF8ToWidePlain(bytes, size, plain.data());
  const size_t n2 = UTF8ToWideSSE2(bytes, size, fast.data());
  if (n1 != n2 || n1 > size || !std::equal(plain.begin(), plain.begin() + n1, fast.begin())) std::abort();
  const WideString wide(plain.data(), n1);
  const std::string_view view(bytes, size);
  // The census finds an ill-formed part exactly where the text is not
  // well-formed, and no more parts than non-ASCII bytes.
  const TUtf8Census census = CountUTF8Sequences(view);
  if ((census.IllFormed == 0) != IsValidUTF8(view)) std::abort();
  if (census.WellFormed * 2 + census.IllFormed > size) std::abort();
  if (IsValidUTF8(view)) {
    size_t encoded = 0;
    for (size_t at = view.find("\xEF\xBF\xBD"); at != std::string_view::npos; at = view.find("\xEF\xBF\xBD", at + 3))
      ++encoded;
    if (static_cast<size_t>(std::count(wide.begin(), wide.end(), u'\uFFFD')) != encoded) std::abort();
    if (!IsValidUTF8(view.substr(0, Utf8PrefixLength(view, size / 2)))) std::abort();
  }
  if (UTF8ToWide(WideToUTF8(wide)) != wide) std::abort();
  // Normalizing is idempotent, whatever the text.
  const WideString nfc = NormalizeWide(wide, nfC);
  if (NormalizeWide(nfc, nfC) != nfc) std::abort();
  const WideString nfd = NormalizeWide(wide, nfD);
  if (NormalizeWide(nfd, nfD) != nfd) std::abort();
  return 0;
}
