#include "classlib/SysUtils.h"

#include <cxxabi.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <typeinfo>

std::string TObject::ClassName() const { return DemangledTypeName(typeid(*this)); }

std::string DemangledTypeName(const std::type_info& type) {
  const char* raw = type.name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(raw, nullptr, nullptr, &status), std::free);
  std::string s = status == 0 && name ? name.get() : raw;
  // Only the class's own name, without namespaces.
  size_t colon = s.rfind("::");
  return colon == std::string::npos ? s : s.substr(colon + 2);
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(int64_t value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits < 0 ? 0 : digits > 16 ? 16 : digits,
                static_cast<unsigned long long>(value));
  return buf;
}

bool TryStrToInt(const std::string& text, int32_t& value) {
  std::string s = Trim(text);
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    if (neg) return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  if (neg ? v > 0x80000000ull : v > 0x7FFFFFFFull) return false;
  value = neg ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
  return true;
}

int32_t StrToInt(const std::string& text) {
  int32_t v;
  if (!TryStrToInt(text, v)) throw EConvertError("'" + text + "' is not a valid integer value");
  return v;
}

int32_t StrToIntDef(const std::string& text, int32_t def) {
  int32_t v;
  return TryStrToInt(text, v) ? v : def;
}

std::u16string UTF8Decode(const std::string& s) {
  std::u16string r;
  r.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size(), i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) {
      r += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    int len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (c > 0xF4) len = 0;
    uint32_t cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    bool ok = len > 0 && i + static_cast<size_t>(len) <= n;
    for (int k = 1; ok && k < len; ++k) {
      if ((p[i + static_cast<size_t>(k)] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (p[i + static_cast<size_t>(k)] & 0x3F);
    }
    if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
      ok = false;
    if (!ok) {
      r += u'\uFFFD';
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      r += static_cast<char16_t>(0xD800 + (cp >> 10));
      r += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      r += static_cast<char16_t>(cp);
    }
    i += static_cast<size_t>(len);
  }
  return r;
}

std::string UTF8Encode(const std::u16string& s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      r += static_cast<char>(c);
    } else if (c < 0x800) {
      r += static_cast<char>(0xC0 | (c >> 6));
      r += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      r += static_cast<char>(0xE0 | (c >> 12));
      r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      r += static_cast<char>(0xF0 | (c >> 18));
      r += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return r;
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

int CompareText(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }

std::string Trim(const std::string& s) {
  size_t i = 0, j = s.size();
  while (i < j && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  while (j > i && static_cast<unsigned char>(s[j - 1]) <= ' ') --j;
  return s.substr(i, j - i);
}

std::string FormatV(const std::string& format, const std::vector<TFormatArg>& args) {
  std::string out;
  size_t next = 0;
  auto invalid = [&]() { return EConvertError("Format '" + format + "' invalid or incompatible with argument"); };
  auto takeInt = [&]() -> int64_t {
    if (next >= args.size() || (args[next].kind != TFormatArg::kInt && args[next].kind != TFormatArg::kUInt))
      throw invalid();
    return args[next++].i;
  };
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= format.size()) throw invalid();
    if (format[i] == '%') {
      out += '%';
      continue;
    }
    std::string spec = "%";
    while (i < format.size() && (format[i] == '-' || format[i] == '0')) spec += format[i++];
    auto number = [&]() {
      if (i < format.size() && format[i] == '*') {
        ++i;
        int64_t v = takeInt();
        if (v < -4096 || v > 4096) throw invalid();
        spec += std::to_string(v);
        return;
      }
      size_t digits = 0;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        if (++digits > 4) throw invalid();
        spec += format[i++];
      }
    };
    number();
    if (i < format.size() && format[i] == '.') {
      spec += format[i++];
      number();
    }
    if (i >= format.size() || next >= args.size()) throw invalid();
    const TFormatArg& a = args[next++];
    char conv = format[i];
    std::string buf(64, '\0');
    auto emit = [&](const std::string& f, auto value) {
      int n = std::snprintf(buf.data(), buf.size(), f.c_str(), value);
      if (n < 0) throw invalid();
      if (static_cast<size_t>(n) >= buf.size()) {
        buf.resize(static_cast<size_t>(n) + 1);
        std::snprintf(buf.data(), buf.size(), f.c_str(), value);
      }
      out.append(buf.data(), static_cast<size_t>(n));
    };
    switch (conv) {
      case 'd':
      case 'u':
      case 'x':
      case 'X':
        if (a.kind != TFormatArg::kInt && a.kind != TFormatArg::kUInt) throw invalid();
        if (conv == 'd' && a.kind == TFormatArg::kInt) emit(spec + "lld", static_cast<long long>(a.i));
        else emit(spec + "ll" + (conv == 'd' ? 'u' : conv), static_cast<unsigned long long>(a.i));
        break;
      case 'f':
      case 'g':
      case 'e':
        if (a.kind == TFormatArg::kFloat) emit(spec + conv, a.f);
        else if (a.kind == TFormatArg::kInt) emit(spec + conv, static_cast<double>(a.i));
        else throw invalid();
        break;
      case 's':
        if (a.kind != TFormatArg::kString) throw invalid();
        emit(spec + "s", a.s.c_str());
        break;
      case 'p':
        if (a.kind != TFormatArg::kPointer) throw invalid();
        emit("%08llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(a.p)));
        break;
      default:
        throw invalid();
    }
  }
  return out;
}

std::string ExtractFilePath(const std::string& fileName) {
  size_t p = fileName.rfind(PathDelim);
  return p == std::string::npos ? std::string() : fileName.substr(0, p + 1);
}

std::string ExtractFileName(const std::string& fileName) {
  size_t p = fileName.rfind(PathDelim);
  return p == std::string::npos ? fileName : fileName.substr(p + 1);
}

std::string ExtractFileExt(const std::string& fileName) {
  std::string name = ExtractFileName(fileName);
  size_t p = name.rfind('.');
  return p == std::string::npos ? std::string() : name.substr(p);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& ext) {
  std::string dir = ExtractFilePath(fileName), name = ExtractFileName(fileName);
  size_t p = name.rfind('.');
  return dir + (p == std::string::npos ? name : name.substr(0, p)) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  return !path.empty() && path.back() == PathDelim ? path : path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  return !path.empty() && path.back() == PathDelim ? path.substr(0, path.size() - 1) : path;
}

bool FileExists(const std::string& fileName) {
  struct stat st {};
  return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ProgramFileName() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return std::string();
  buf.resize(static_cast<size_t>(n));
  return buf;
}

std::string ProgramDirectory() { return ExtractFilePath(ProgramFileName()); }

namespace {
std::mt19937& Generator() {
  static std::mt19937 gen(1);
  return gen;
}
}  // namespace

void Randomize() {
  Generator().seed(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                                         static_cast<uint64_t>(::getpid()) << 16));
}

void SetRandSeed(uint32_t seed) { Generator().seed(seed); }

int32_t Random(int32_t range) {
  if (range <= 0) return 0;
  return std::uniform_int_distribution<int32_t>(0, range - 1)(Generator());
}

double RandomFloat() { return std::uniform_real_distribution<double>(0.0, 1.0)(Generator()); }
