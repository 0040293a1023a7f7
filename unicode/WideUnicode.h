// Conversions between UTF-16 text and byte text: UTF-8, ANSI code pages, the
// code page of a language, and routines on zero-terminated wide buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "classlib/SysTypes.h"
#include "platform/Types.h"

// Decoding constants shared with the pattern matcher.
constexpr uint32_t UNI_REPLACEMENT_CHAR = 0xFFFD;
constexpr uint32_t UNI_MAX_BMP = 0xFFFF;
constexpr uint32_t UNI_MAX_UTF16 = 0x10FFFF;
constexpr uint32_t UNI_SUR_BASE = 0x10000;
constexpr int UNI_SUR_SHIFT = 10;
constexpr uint32_t UNI_SUR_MASK = 0x3FF;
constexpr uint32_t UNI_SUR_HIGH_START = 0xD800;
constexpr uint32_t UNI_SUR_HIGH_END = 0xDBFF;
constexpr uint32_t UNI_SUR_LOW_START = 0xDC00;
constexpr uint32_t UNI_SUR_LOW_END = 0xDFFF;

// UTF-8 to UTF-16. Never fails: overlong forms and encoded surrogates are
// taken as they are, a stray continuation byte stands for itself
// (U+0080-U+00BF), and a sequence that is cut short, announces 5 or 6 bytes
// or lies above U+10FFFF becomes one U+FFFD. A byte that cuts a sequence
// short is decoded afresh, so a damaged byte never swallows a line break.
WideString UTF8ToWide(const AnsiString& s);
WideString UTF8ToWide(const char* data, size_t size);
// The length of the longest start of `text` of at most `limit` bytes that
// does not end inside a character.
size_t Utf8PrefixLength(std::string_view text, size_t limit);
// The bytes are well-formed UTF-8 (no overlong form, encoded surrogate,
// value above U+10FFFF, stray or missing continuation byte).
bool IsValidUTF8(std::string_view text);
// The non-ASCII characters of UTF-8 bytes: the well-formed ones, and the
// ill-formed sequences, each maximal ill-formed part counted once (as one
// U+FFFD stands for it in Unicode's recommended practice).
struct TUtf8Census {
  size_t WellFormed = 0;
  size_t IllFormed = 0;
};
TUtf8Census CountUTF8Sequences(std::string_view text);
// The two forms behind UTF8ToWide (same results; the fast one is chosen at
// start when the processor has SSE2). They write at most `size` units to
// `out` and return the number written.
size_t UTF8ToWidePlain(const char* data, size_t size, char16_t* out);
size_t UTF8ToWideSSE2(const char* data, size_t size, char16_t* out);
// The chosen form, for callers that decode into text of their own.
size_t UTF8ToWideInto(const char* data, size_t size, char16_t* out);

// UTF-16 to UTF-8, each unit by itself (a surrogate pair becomes two
// three-byte sequences).
AnsiString WideToUTF8(const WideString& w);

// Code page 0 stands for the system ANSI code page, 65001 for UTF-8.
// Byte text in a code page to UTF-16; empty for an unknown code page.
// Bytes the code page cannot decode become U+FFFD.
WideString AnsiToWideCP(const AnsiString& s, uint16_t codePage);
// UTF-16 to a code page; empty for an unknown code page. Characters the code
// page lacks become '?'. The result's length is the byte count written.
AnsiString WideToAnsiCP(const WideString& w, uint16_t codePage);
AnsiString RecodeAnsi(const AnsiString& s, uint16_t sourceCodePage, uint16_t targetCodePage);

// The ANSI code page of a language; the system ANSI code page for a
// language we do not know, 0 for a language that has none (Unicode only).
int CodePageOfLanguage(LCID language);
// The system ANSI code page (1252 unless set) and the user's language
// (0x0409 unless set).
uint16_t SystemAnsiCodePage();
void SetSystemAnsiCodePage(uint16_t codePage);
LCID UserDefaultLCID();
void SetUserDefaultLCID(LCID language);

// Zero-terminated wide buffers.
size_t WideStrLen(const char16_t* s);
char16_t* WideStrMove(char16_t* dest, const char16_t* source, size_t count);
// One zero-filled block of 4 + 2n bytes whose first 32-bit word holds its
// size; the address behind that word is returned. Raises EOutOfMemory when
// the block cannot be made (its size must fit the 32-bit word).
char16_t* WideStrAlloc(size_t n);
// Releases a block made by WideStrAlloc (nil is ignored).
void WideStrDispose(char16_t* s);
// The size in bytes a WideStrAlloc block records.
uint32_t WideStrBlockSize(const char16_t* s);
char16_t* WideStrNew(const char16_t* s);
char16_t* WideStrNewFrom(const WideString& s);
void SwapWordBytes(char16_t* s);
