// Reading the full dictionary into its text with each kind of line end the
// loader accepts (LF, CR LF, CR), against the standard library's line
// reading at that end joined with CR LF and decoded by iconv, in one run.
#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "classlib/SysUtils.h"
#include "dict/DataFiles.h"

namespace {

volatile size_t Sink;

// The peer: lines cut by std::getline at the file's own end, joined with
// CR LF, decoded to UTF-16 by iconv.  Answers the number of UTF-16 units.
size_t PeerText(const std::string& path, char delimiter) {
  std::ifstream in(path, std::ios::binary);
  std::string joined, line;
  while (std::getline(in, line, delimiter)) {
    if (delimiter == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    joined += line;
    joined += "\r\n";
  }
  std::u16string text(joined.size(), u'\0');
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  char* src = joined.data();
  size_t srcLeft = joined.size();
  char* dst = reinterpret_cast<char*>(text.data());
  size_t dstLeft = text.size() * 2;
  while (srcLeft > 0 && iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
    ++src;  // a damaged byte: skipped
    --srcLeft;
  }
  iconv_close(cd);
  return text.size() - dstLeft / 2;
}

}  // namespace

int main() {
  const std::string path = HK_PROGRAM_DIR "/edict.txt";
  if (!FileExists(path)) {
    std::printf("bench_dict_load: %s is missing\n", path.c_str());
    return 1;
  }
  std::vector<std::string> lines;
  {
    std::ifstream in(path, std::ios::binary);
    for (std::string l; std::getline(in, l);) {
      if (!l.empty() && l.back() == '\r') l.pop_back();
      lines.push_back(l);
    }
  }
  const struct {
    const char* name;
    const char* eol;
    char delimiter;
  } ends[] = {{"LF", "\n", '\n'}, {"CR LF", "\r\n", '\n'}, {"CR", "\r", '\r'}};
  const std::string copy = path + ".bench-dict-load";
  int status = 0;
  for (const auto& e : ends) {
    {
      std::ofstream out(copy, std::ios::binary | std::ios::trunc);
      for (const std::string& l : lines) out << l << e.eol;
    }
    size_t ours = 0, peer = 0;
    const double oursMs = BestMs([&] { Sink = ours = ReadDictionaryText(copy).size(); });
    const double peerMs = BestMs([&] { Sink = peer = PeerText(copy, e.delimiter); });
    if (ours != peer) {
      std::printf("bench_dict_load: %s line ends gave %zu units, the peer %zu\n", e.name, ours, peer);
      status = 1;
    }
    std::printf("ROW | dictionary text read, full dictionary with %s line ends (%zu lines) | ours %.2f ms | "
                "std::getline at %s + join + iconv %.2f ms | ratio %.2f\n",
                e.name, lines.size(), oursMs, e.name, peerMs, oursMs / peerMs);
  }
  std::remove(copy.c_str());
  return status;
}
