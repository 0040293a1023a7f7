// Reading a dictionary file's bytes, the same for both programs: a file
// chosen as the dictionary that holds none (an empty file, a program, an
// image) is refused with a message naming it instead of being taken.
#pragma once

#include <cstddef>
#include <string>

#include "classlib/SysTypes.h"

// A dictionary file that opens but holds no dictionary.
HK_DECLARE_EXCEPTION(EDictionaryFileError, Exception);

// How much of a file's start judges whether it is UTF-8 text at all.
constexpr size_t DictionaryJudgedBytes = 64 * 1024;

// The file's bytes, whole. Raises the file stream's error when the file
// cannot be read, EOutOfMemory when it is too large to hold, and
// EDictionaryFileError, naming the file, when it holds no entry (nothing
// but line ends and blanks, after a byte-order mark) or is no UTF-8 text:
// a zero byte anywhere, or a first part (DictionaryJudgedBytes) that is
// plainly in another encoding, looked at before the rest is read. Damaged
// bytes in UTF-8 text are left to the reader: a few bad bytes do not cost
// the whole dictionary.
std::string ReadDictionaryBytes(const AnsiString& fileName);
