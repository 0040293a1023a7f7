// UTF-8 decoding and encoding.
#include <emmintrin.h>

#include <cstring>

#include "unicode/WideUnicode.h"

namespace {

inline bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// Decodes the sequence that starts with the non-ASCII byte at p; returns the
// position after it. A sequence cut short (by the end or by a byte that is no
// continuation byte) becomes U+FFFD and ends before the breaking byte.
inline const uint8_t* DecodeSequence(const uint8_t* p, const uint8_t* end, char16_t*& out) {
  const uint8_t b = *p;
  if (b < 0xC0) {  // a stray continuation byte stands for itself
    *out++ = b;
    return p + 1;
  }
  if (b < 0xE0) {
    if (end - p >= 2 && IsContinuation(p[1])) {
      *out++ = static_cast<char16_t>(((b & 0x1F) << 6) | (p[1] & 0x3F));
      return p + 2;
    }
    *out++ = UNI_REPLACEMENT_CHAR;
    return p + 1;
  }
  if (b < 0xF0) {
    if (end - p >= 3 && IsContinuation(p[1]) && IsContinuation(p[2])) {
      *out++ = static_cast<char16_t>(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      return p + 3;
    }
  } else if (b < 0xF8) {
    if (end - p >= 4 && IsContinuation(p[1]) && IsContinuation(p[2]) && IsContinuation(p[3])) {
      const uint32_t c =
          ((b & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
      if (c > UNI_MAX_UTF16) {
        *out++ = UNI_REPLACEMENT_CHAR;
      } else if (c > UNI_MAX_BMP) {
        const uint32_t v = c - UNI_SUR_BASE;
        *out++ = static_cast<char16_t>(UNI_SUR_HIGH_START + (v >> UNI_SUR_SHIFT));
        *out++ = static_cast<char16_t>(UNI_SUR_LOW_START + (v & UNI_SUR_MASK));
      } else {
        *out++ = static_cast<char16_t>(c);  // overlong forms are taken as they are
      }
      return p + 4;
    }
  }
  // Cut short, or a 5- or 6-byte form: one U+FFFD for the lead byte and the
  // continuation bytes that follow it, up to the count it announces.
  const int announced = b < 0xF0 ? 2 : b < 0xF8 ? 3 : b < 0xFC ? 4 : 5;
  const uint8_t* q = p + 1;
  for (int i = 0; i < announced && q < end && IsContinuation(*q); ++i) ++q;
  *out++ = UNI_REPLACEMENT_CHAR;
  return q;
}

using DecodeFn = size_t (*)(const char*, size_t, char16_t*);

DecodeFn ChooseDecoder() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse2") ? UTF8ToWideSSE2 : UTF8ToWidePlain;
}

const DecodeFn Decode = ChooseDecoder();

}  // namespace

size_t Utf8PrefixLength(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t n = limit;
  while (n > 0 && IsContinuation(static_cast<uint8_t>(text[n]))) --n;
  return n;
}

namespace {

// The length of the well-formed sequence that starts with the non-ASCII
// byte at p (Unicode's table of well-formed sequences: no overlong form,
// encoded surrogate or value above U+10FFFF), or 0 when it is ill-formed;
// then `subpart` is the length of its maximal ill-formed start, the bytes
// one U+FFFD stands for in Unicode's recommended practice.
size_t WellFormedLength(const uint8_t* p, const uint8_t* end, size_t& subpart) {
  const uint8_t b = *p;
  // The second byte's range depends on the lead; the others are plain
  // continuation bytes.
  size_t length;
  uint8_t low = 0x80, high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) length = 2;
  else if (b == 0xE0) length = 3, low = 0xA0;
  else if (b >= 0xE1 && b <= 0xEC) length = 3;
  else if (b == 0xED) length = 3, high = 0x9F;
  else if (b >= 0xEE && b <= 0xEF) length = 3;
  else if (b == 0xF0) length = 4, low = 0x90;
  else if (b >= 0xF1 && b <= 0xF3) length = 4;
  else if (b == 0xF4) length = 4, high = 0x8F;
  else length = 0;
  subpart = 1;
  if (length == 0) return 0;
  if (p + 1 == end || p[1] < low || p[1] > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    subpart = i;
    if (p + i == end || !IsContinuation(p[i])) return 0;
  }
  return length;
}

// Skips a run of ASCII a word at a time: text is mostly ASCII or long runs of it.
const uint8_t* SkipAscii(const uint8_t* p, const uint8_t* end) {
  while (end - p >= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if (w & 0x8080808080808080u) break;
    p += 8;
  }
  while (p < end && *p < 0x80) ++p;
  return p;
}

}  // namespace

bool IsValidUTF8(std::string_view text) {
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const auto* const end = p + text.size();
  for (p = SkipAscii(p, end); p < end; p = SkipAscii(p, end)) {
    size_t subpart;
    const size_t length = WellFormedLength(p, end, subpart);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

TUtf8Census CountUTF8Sequences(std::string_view text) {
  TUtf8Census census;
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const auto* const end = p + text.size();
  for (p = SkipAscii(p, end); p < end; p = SkipAscii(p, end)) {
    size_t subpart;
    const size_t length = WellFormedLength(p, end, subpart);
    if (length > 0) {
      ++census.WellFormed;
      p += length;
    } else {
      ++census.IllFormed;
      p += subpart;
    }
  }
  return census;
}

size_t UTF8ToWidePlain(const char* data, size_t size, char16_t* out) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data);
  const uint8_t* const end = p + size;
  char16_t* const start = out;
  while (p < end) {
    if (*p < 0x80)
      *out++ = *p++;
    else
      p = DecodeSequence(p, end, out);
  }
  return static_cast<size_t>(out - start);
}

size_t UTF8ToWideSSE2(const char* data, size_t size, char16_t* out) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data);
  const uint8_t* const end = p + size;
  char16_t* const start = out;
  const __m128i zero = _mm_setzero_si128();
  // The output never runs ahead of the input (at most one unit per byte), so
  // storing 16 units while 16 bytes remain stays inside the output.
  while (end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
    if (mask == 0) {
      p += 16;
      out += 16;
      continue;
    }
    const unsigned ascii = static_cast<unsigned>(__builtin_ctz(mask));
    p += ascii;
    out += ascii;
    // Non-ASCII text (Japanese) comes in runs: stay scalar until ASCII
    // shows, with whole three-byte sequences tested in one word.
    do {
      if (end - p >= 4) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        if ((w & 0x00C0C0F0u) == 0x008080E0u) {
          *out++ = static_cast<char16_t>(((w & 0x0Fu) << 12) | ((w & 0x3F00u) >> 2) | ((w >> 16) & 0x3Fu));
          p += 3;
          continue;
        }
      }
      p = DecodeSequence(p, end, out);
    } while (p < end && *p >= 0x80);
  }
  while (p < end) {
    if (*p < 0x80)
      *out++ = *p++;
    else
      p = DecodeSequence(p, end, out);
  }
  return static_cast<size_t>(out - start);
}

size_t UTF8ToWideInto(const char* data, size_t size, char16_t* out) { return Decode(data, size, out); }

WideString UTF8ToWide(const char* data, size_t size) {
  WideString result;
  if (size == 0) return result;
  result.resize(size);
  result.resize(Decode(data, size, result.data()));
  return result;
}

WideString UTF8ToWide(const AnsiString& s) { return UTF8ToWide(s.data(), s.size()); }

AnsiString WideToUTF8(const WideString& w) {
  AnsiString result;
  if (w.empty()) return result;
  // Each unit is encoded by itself, so three bytes a unit is enough.
  result.resize(w.size() * 3);
  char* out = result.data();
  for (char16_t u : w) {
    if (u < 0x80) {
      *out++ = static_cast<char>(u);
    } else if (u < 0x800) {
      *out++ = static_cast<char>(0xC0 | (u >> 6));
      *out++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {
      *out++ = static_cast<char>(0xE0 | (u >> 12));
      *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  result.resize(static_cast<size_t>(out - result.data()));
  return result;
}
