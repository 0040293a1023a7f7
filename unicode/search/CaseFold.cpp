#include "unicode/search/CaseFold.h"

#include <memory>
#include <mutex>

const UCS4* SearchFoldTable() {
  static std::once_flag once;
  static std::unique_ptr<UCS4[]> table;
  std::call_once(once, [] {
    auto t = std::make_unique<UCS4[]>(0x10000);
    for (UCS4 c = 0; c <= 0xFFFF; ++c) {
      std::span<const UCS4> m = StoredCaseMapping(c, cmkLower);
      t[c] = m.empty() ? c : m[0];
    }
    table = std::move(t);
  });
  return table.get();
}
