// Zero-terminated wide buffers with their size in front.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "unicode/WideUnicode.h"

size_t WideStrLen(const char16_t* s) {
  if (!s) return 0;
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

char16_t* WideStrMove(char16_t* dest, const char16_t* source, size_t count) {
  if (dest != source && count) std::memmove(dest, source, count * sizeof(char16_t));
  return dest;
}

char16_t* WideStrAlloc(size_t n) {
  // The size word is 32 bits wide: a larger block cannot describe itself.
  constexpr size_t maxUnits = (std::numeric_limits<uint32_t>::max() - 4) / 2;
  if (n > maxUnits) throw EOutOfMemory("Out of memory");
  const size_t bytes = 4 + 2 * n;
  void* block = std::calloc(1, bytes);
  if (!block) throw EOutOfMemory("Out of memory");
  const uint32_t size = static_cast<uint32_t>(bytes);
  std::memcpy(block, &size, sizeof size);
  return reinterpret_cast<char16_t*>(static_cast<char*>(block) + 4);
}

void WideStrDispose(char16_t* s) {
  if (s) std::free(reinterpret_cast<char*>(s) - 4);
}

uint32_t WideStrBlockSize(const char16_t* s) {
  uint32_t size = 0;
  std::memcpy(&size, reinterpret_cast<const char*>(s) - 4, sizeof size);
  return size;
}

char16_t* WideStrNew(const char16_t* s) {
  if (!s) return nullptr;
  const size_t n = WideStrLen(s) + 1;
  char16_t* block = WideStrAlloc(n);
  std::memcpy(block, s, n * sizeof(char16_t));
  return block;
}

char16_t* WideStrNewFrom(const WideString& s) {
  // The string's own buffer ends with a zero unit; embedded zeros end the copy.
  return WideStrNew(s.c_str());
}

void SwapWordBytes(char16_t* s) {
  if (!s) return;
  for (; *s; ++s) *s = static_cast<char16_t>((*s << 8) | (*s >> 8));
}
