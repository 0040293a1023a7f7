// Run-time helpers: numbers and text, formatting, paths, random numbers.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "classlib/SysTypes.h"

// A C++ type's own name without namespaces ("TStringList").
std::string DemangledTypeName(const std::type_info& type);

std::string IntToStr(int64_t value);
std::string IntToHex(int64_t value, int digits);
// Decimal with an optional sign, or hexadecimal after "0x" or "$"; the result
// must fit 32 bits (hexadecimal up to FFFFFFFF wraps to negative).
bool TryStrToInt(const std::string& text, int32_t& value);
int32_t StrToInt(const std::string& text);  // EConvertError "'%s' is not a valid integer value"
int32_t StrToIntDef(const std::string& text, int32_t def);

// UTF-8 and UTF-16, as the run-time converts captions and window text:
// a malformed sequence gives U+FFFD for its first byte and goes on.
std::u16string UTF8Decode(const std::string& s);
std::string UTF8Encode(const std::u16string& s);

// ASCII case only, as the class library's plain string routines do.
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
int CompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
// Removes spaces and control characters (bytes up to 0x20) at both ends.
std::string Trim(const std::string& s);

// One argument of Format.
struct TFormatArg {
  enum Kind { kInt, kUInt, kFloat, kString, kPointer } kind;
  int64_t i = 0;
  double f = 0;
  std::string s;
  const void* p = nullptr;
  template <typename T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
  TFormatArg(T v) : kind(kInt), i(v) {}
  template <typename T, std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T>, int> = 0>
  TFormatArg(T v) : kind(kUInt), i(static_cast<int64_t>(v)) {}
  TFormatArg(double v) : kind(kFloat), f(v) {}
  TFormatArg(const std::string& v) : kind(kString), s(v) {}
  TFormatArg(const char* v) : kind(kString), s(v ? v : "") {}
  TFormatArg(const void* v) : kind(kPointer), p(v) {}
};

// printf-like: %s %d %u %x %X %p %f %g %e %%, with "-", "0", width and
// precision ("*" takes them from the arguments). A directive whose argument
// is missing or of the wrong kind raises EConvertError "Format '%s' invalid
// or incompatible with argument", never reads past the arguments.
std::string FormatV(const std::string& format, const std::vector<TFormatArg>& args);
template <typename... A>
std::string Format(const std::string& format, A&&... args) {
  return FormatV(format, std::vector<TFormatArg>{TFormatArg(std::forward<A>(args))...});
}

// Paths use '/' as their delimiter.
constexpr char PathDelim = '/';
std::string ExtractFilePath(const std::string& fileName);  // up to and with the last '/'
std::string ExtractFileName(const std::string& fileName);
std::string ExtractFileExt(const std::string& fileName);  // with its '.', or empty
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);
// True for an existing file that is not a folder.
bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& path);
// The full path of the running program, from /proc/self/exe.
std::string ProgramFileName();
// Its folder with the trailing delimiter.
std::string ProgramDirectory();

// The run-time's random numbers: one generator for the process.
void Randomize();
void SetRandSeed(uint32_t seed);
// Uniform over 0 .. range - 1; 0 for a range of 0 or less.
int32_t Random(int32_t range);
double RandomFloat();  // [0, 1)
