// Ours against iconv and ICU on the full dictionary, in one run.
#include <iconv.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "unicode/Normalization.h"
#include "unicode/WideUnicode.h"

namespace {

// Best of several runs, in milliseconds.
double TimeMs(const std::function<void()>& run) { return BestMs(run, 7); }

void Row(const std::string& what, double ours, const std::vector<std::pair<std::string, double>>& peers) {
  std::printf("ROW | %s | ours %.2f ms", what.c_str(), ours);
  for (const auto& [name, ms] : peers) std::printf(" | %s %.2f ms", name.c_str(), ms);
  for (const auto& [name, ms] : peers) std::printf(" | ratio %.2f", ours / ms);
  std::printf("\n");
}

volatile size_t Sink;

void BenchDecoding(const std::string& text) {
  const double ours = TimeMs([&] { Sink = UTF8ToWide(text).size(); });

  const double iconvMs = TimeMs([&] {
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    std::u16string out(text.size(), u'\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* dst = reinterpret_cast<char*>(out.data());
    size_t dstLeft = out.size() * 2;
    iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.resize((out.size() * 2 - dstLeft) / 2);
    iconv_close(cd);
    Sink = out.size();
  });

  const double icuMs = TimeMs([&] {
    std::u16string out(text.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length, text.data(),
                  static_cast<int32_t>(text.size()), &status);
    out.resize(static_cast<size_t>(length));
    Sink = out.size();
  });

  char what[128];
  std::snprintf(what, sizeof what, "UTF-8 decoding of edict.txt (%.1f MB)", text.size() / 1e6);
  Row(what, ours, {{"iconv", iconvMs}, {"ICU u_strFromUTF8", icuMs}});
}

void BenchNormalization(const std::string& text) {
  std::vector<WideString> lines;
  std::vector<icu::UnicodeString> icuLines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(UTF8ToWide(text.substr(start, end - start)));
    icuLines.emplace_back(reinterpret_cast<const UChar*>(lines.back().data()),
                          static_cast<int32_t>(lines.back().size()));
    start = end + 1;
  }
  NormalizeWide(u"\u00C0", nfC);  // tables loaded outside the timing
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  const double ours = TimeMs([&] {
    size_t n = 0;
    for (const WideString& line : lines) n += NormalizeWide(line, nfC).size();
    Sink = n;
  });
  const double icuMs = TimeMs([&] {
    size_t n = 0;
    for (const icu::UnicodeString& line : icuLines) {
      UErrorCode st = U_ZERO_ERROR;
      n += static_cast<size_t>(nfc->normalize(line, st).length());
    }
    Sink = n;
  });
  char what[128];
  std::snprintf(what, sizeof what, "NFC of every line of edict.txt (%zu lines)", lines.size());
  Row(what, ours, {{"ICU Normalizer2", icuMs}});
}

}  // namespace

int main() {
  std::ifstream in(HK_PROGRAM_DIR "/edict.txt", std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "no %s\n", HK_PROGRAM_DIR "/edict.txt");
    return 1;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  BenchDecoding(text);
  BenchNormalization(text);
  return 0;
}
