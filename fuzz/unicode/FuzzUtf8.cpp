// UTF-8 decoding of arbitrary bytes: both forms agree, stay inside their
// buffers, never give more units than bytes, and re-encoding the units
// decodes back to them.
#include <cstdint>
#include <cstdlib>
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
  if (UTF8ToWide(WideToUTF8(wide)) != wide) std::abort();
  // Normalizing is idempotent, whatever the text.
  const WideString nfc = NormalizeWide(wide, nfC);
  if (NormalizeWide(nfc, nfC) != nfc) std::abort();
  const WideString nfd = NormalizeWide(wide, nfD);
  if (NormalizeWide(nfd, nfD) != nfd) std::abort();
  return 0;
}
