// Code-page conversion through iconv, and the code page of a language.
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "unicode/WideUnicode.h"

namespace {

std::atomic<uint16_t> SystemCodePage{1252};
std::atomic<LCID> UserLanguage{0x0409};

struct TCodePageName {
  uint16_t CodePage;
  const char* Name;
};

// Code pages we convert, by the name iconv knows them under.
constexpr TCodePageName CodePageNames[] = {
    {37, "IBM037"},         {437, "CP437"},           {500, "IBM500"},        {708, "ISO-8859-6"},
    {720, "CP720"},         {737, "CP737"},           {775, "CP775"},         {850, "CP850"},
    {852, "CP852"},         {855, "CP855"},           {857, "CP857"},         {858, "CP858"},
    {860, "CP860"},         {861, "CP861"},           {862, "CP862"},         {863, "CP863"},
    {864, "CP864"},         {865, "CP865"},           {866, "CP866"},         {869, "CP869"},
    {874, "CP874"},         {875, "CP875"},           {932, "CP932"},         {936, "CP936"},
    {949, "CP949"},         {950, "CP950"},           {1026, "IBM1026"},      {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},     {1250, "CP1250"},         {1251, "CP1251"},       {1252, "CP1252"},
    {1253, "CP1253"},       {1254, "CP1254"},         {1255, "CP1255"},       {1256, "CP1256"},
    {1257, "CP1257"},       {1258, "CP1258"},         {1361, "JOHAB"},        {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"}, {12000, "UTF-32LE"},     {12001, "UTF-32BE"},    {20127, "ASCII"},
    {20866, "KOI8-R"},      {20932, "EUC-JP"},        {21866, "KOI8-U"},      {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},    {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},    {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},   {50220, "ISO-2022-JP"}, {51932, "EUC-JP"},
    {51936, "GB2312"},      {51949, "EUC-KR"},        {52936, "HZ"},          {54936, "GB18030"},
    {65000, "UTF-7"},       {65001, "UTF-8"},
};

const char* IconvName(uint16_t codePage) {
  if (codePage == 0) codePage = SystemCodePage.load();
  for (const TCodePageName& entry : CodePageNames)
    if (entry.CodePage == codePage) return entry.Name;
  return nullptr;
}

// Runs iconv over the whole input. An input unit it cannot convert is
// skipped and `replacement` written in its place, as the platform's default
// conversion does: one byte of byte text, or one UTF-16 unit (a whole pair)
// when `fromWide`. Empty on an unknown code page.
std::string Convert(const char* from, const char* to, const char* data, size_t size, bool fromWide,
                    const char* replacement, size_t replacementSize) {
  std::string out;
  if (!from || !to || size == 0) return out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  out.resize(size * 2 + 16);
  char* in = const_cast<char*>(data);
  size_t inLeft = size;
  size_t written = 0;
  bool failed = false;
  for (;;) {
    char* dst = out.data() + written;
    size_t dstLeft = out.size() - written;
    const size_t r = inLeft ? iconv(cd, &in, &inLeft, &dst, &dstLeft) : iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    written = static_cast<size_t>(dst - out.data());
    if (r != static_cast<size_t>(-1)) {
      if (inLeft == 0 && in == nullptr) break;  // shift state written
      if (inLeft == 0) in = nullptr;            // next round writes the shift state
      continue;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 64);
    } else if ((errno == EILSEQ || errno == EINVAL) && in && inLeft) {
      size_t n = 1;
      if (fromWide) {
        n = 2;
        const auto unit = [&](size_t at) {
          return static_cast<unsigned>(static_cast<uint8_t>(in[at]) | (static_cast<uint8_t>(in[at + 1]) << 8));
        };
        if (inLeft >= 4 && (unit(0) & 0xFC00) == 0xD800 && (unit(2) & 0xFC00) == 0xDC00) n = 4;
      }
      n = std::min(n, inLeft);
      in += n;
      inLeft -= n;
      if (out.size() - written < replacementSize) out.resize(out.size() * 2 + replacementSize);
      std::memcpy(out.data() + written, replacement, replacementSize);
      written += replacementSize;
    } else {
      failed = true;
      break;
    }
  }
  iconv_close(cd);
  out.resize(failed ? 0 : written);
  return out;
}

}  // namespace

WideString AnsiToWideCP(const AnsiString& s, uint16_t codePage) {
  static const char replacement[2] = {'\xFD', '\xFF'};  // U+FFFD little-endian
  const std::string bytes = Convert(IconvName(codePage), "UTF-16LE", s.data(), s.size(), false, replacement, 2);
  WideString result(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < result.size(); ++i)
    result[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                      (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  return result;
}

AnsiString WideToAnsiCP(const WideString& w, uint16_t codePage) {
  std::string bytes(w.size() * 2, '\0');
  for (size_t i = 0; i < w.size(); ++i) {
    bytes[2 * i] = static_cast<char>(w[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(w[i] >> 8);
  }
  return Convert("UTF-16LE", IconvName(codePage), bytes.data(), bytes.size(), true, "?", 1);
}

AnsiString RecodeAnsi(const AnsiString& s, uint16_t sourceCodePage, uint16_t targetCodePage) {
  return WideToAnsiCP(AnsiToWideCP(s, sourceCodePage), targetCodePage);
}

namespace {

// ANSI code page by primary language (the low 10 bits of the language id).
// 0 marks a language the platform knows that has no ANSI code page.
int CodePageOfPrimaryLanguage(unsigned primary) {
  switch (primary) {
    case 0x01: case 0x20: case 0x29: case 0x8C: case 0x92:
      return 1256;  // Arabic, Urdu, Persian, Dari, Central Kurdish
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F: case 0x3F: case 0x40: case 0x44:
    case 0x50: case 0x6D: case 0x85:
      return 1251;  // Bulgarian, Russian, Ukrainian, Belarusian, Macedonian, Kazakh, Kyrgyz, Tatar, ...
    case 0x03: case 0x06: case 0x07: case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0F:
    case 0x10: case 0x13: case 0x14: case 0x16: case 0x1D: case 0x21: case 0x2D: case 0x36:
    case 0x38: case 0x3E: case 0x41: case 0x52: case 0x56: case 0x62: case 0x64: case 0x6E:
    case 0x6F: case 0x83: case 0x84: case 0x88: case 0x91:
      return 1252;  // Western European and others written in Latin script
    case 0x04:
      return 936;  // Chinese (simplified unless the sublanguage says otherwise)
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1A: case 0x1B: case 0x1C: case 0x24:
      return 1250;  // Central European
    case 0x08:
      return 1253;  // Greek
    case 0x0D: case 0x3D:
      return 1255;  // Hebrew, Yiddish
    case 0x11:
      return 932;  // Japanese
    case 0x12:
      return 949;  // Korean
    case 0x1E:
      return 874;  // Thai
    case 0x1F: case 0x2C: case 0x43:
      return 1254;  // Turkish, Azerbaijani, Uzbek (Latin)
    case 0x25: case 0x26: case 0x27:
      return 1257;  // Estonian, Latvian, Lithuanian
    case 0x2A:
      return 1258;  // Vietnamese
    case 0x2B: case 0x37: case 0x39: case 0x45: case 0x46: case 0x47: case 0x48: case 0x49:
    case 0x4A: case 0x4B: case 0x4C: case 0x4D: case 0x4E: case 0x4F: case 0x57: case 0x5A:
    case 0x65:
      return 0;  // Armenian, Georgian and the Indic languages: Unicode only
    default:
      return -1;
  }
}

}  // namespace

int CodePageOfLanguage(LCID language) {
  if (language == 0x0400 || language == 0x0800 || language == 0) language = UserDefaultLCID();
  if (language >> 20) return SystemAnsiCodePage();  // reserved bits set: not a language
  const unsigned langId = language & 0xFFFF;
  const unsigned primary = langId & 0x3FF;
  // Sublanguages that change the script.
  switch (langId) {
    case 0x0404: case 0x0C04: case 0x1404:
      return 950;  // Chinese: Taiwan, Hong Kong, Macao
    case 0x0C1A: case 0x1C1A: case 0x201A: case 0x281A: case 0x301A:
      return 1251;  // Serbian and Bosnian in Cyrillic
    case 0x082C: case 0x0843:
      return 1251;  // Azerbaijani and Uzbek in Cyrillic
    default:
      break;
  }
  const int codePage = CodePageOfPrimaryLanguage(primary);
  if (codePage < 0) return SystemAnsiCodePage();
  return codePage;
}

uint16_t SystemAnsiCodePage() { return SystemCodePage.load(); }
void SetSystemAnsiCodePage(uint16_t codePage) { SystemCodePage.store(codePage ? codePage : 1252); }
LCID UserDefaultLCID() { return UserLanguage.load(); }
void SetUserDefaultLCID(LCID language) { UserLanguage.store(language); }
