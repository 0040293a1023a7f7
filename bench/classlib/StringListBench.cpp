// Loading the dictionary through the string list, against the standard
// library's line reading on the same file, in one run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "classlib/StringLists.h"
#include "classlib/SysUtils.h"

namespace {

void Row(const std::string& what, double ours, const std::string& peer, double peerMs) {
  std::printf("ROW | %s | ours %.2f ms | %s %.2f ms | ratio %.2f\n", what.c_str(), ours, peer.c_str(), peerMs,
              ours / peerMs);
}

volatile size_t Sink;

// The peer: the standard library's line reading.
std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> v;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    v.push_back(line);
  }
  return v;
}

// The peer for a file of one kind of line end: the standard library's line
// reading with that end as delimiter (a CR before LF taken off).
std::vector<std::string> ReadLinesEndingAt(const std::string& path, char delimiter) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> v;
  std::string line;
  while (std::getline(in, line, delimiter)) {
    if (delimiter == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    v.push_back(line);
  }
  return v;
}

}  // namespace

int main() {
  const std::string path = HK_PROGRAM_DIR "/edict.txt";
  if (!FileExists(path)) {
    std::printf("bench_classlib: %s is missing\n", path.c_str());
    return 1;
  }
  std::ifstream probe(path, std::ios::binary | std::ios::ate);
  const double mb = static_cast<double>(probe.tellg()) / (1024.0 * 1024.0);

  size_t lines = 0;
  double oursSplit = BestMs([&] {
    TStringList list;
    list.LoadFromFile(path);
    lines = static_cast<size_t>(list.Count());
    Sink = lines;
  });
  double peerSplit = BestMs([&] {
    std::vector<std::string> v = ReadLines(path);
    Sink = v.size();
  });
  char what[160];
  std::snprintf(what, sizeof what, "TStringList.LoadFromFile, edict.txt (%.1f MB, %zu lines)", mb, lines);
  Row(what, oursSplit, "std::getline into a vector", peerSplit);

  double oursText = BestMs([&] {
    TStringList list;
    list.LoadFromFile(path);
    Sink = list.Text().size();
  });
  double peerText = BestMs([&] {
    std::vector<std::string> v = ReadLines(path);
    std::string joined;
    for (auto& l : v) {
      joined += l;
      joined += "\r\n";
    }
    Sink = joined.size();
  });
  std::snprintf(what, sizeof what, "dictionary text: LoadFromFile + Text joined by CR LF, edict.txt (%.1f MB)", mb);
  Row(what, oursText, "std::getline + join", peerText);

  // The same dictionary with each kind of line end the loader accepts.
  const std::vector<std::string> dictLines = ReadLines(path);
  const struct {
    const char* name;
    const char* eol;
    char delimiter;
  } ends[] = {{"LF", "\n", '\n'}, {"CR LF", "\r\n", '\n'}, {"CR", "\r", '\r'}};
  const std::string copy = path + ".bench-line-ends";
  for (const auto& e : ends) {
    {
      std::ofstream out(copy, std::ios::binary | std::ios::trunc);
      for (const std::string& l : dictLines) {
        out << l;
        out << e.eol;
      }
    }
    size_t got = 0;
    double ours = BestMs([&] {
      TStringList list;
      list.LoadFromFile(copy);
      got = static_cast<size_t>(list.Count());
      Sink = got;
    });
    double peer = BestMs([&] { Sink = ReadLinesEndingAt(copy, e.delimiter).size(); });
    if (got != dictLines.size()) {
      std::printf("bench_classlib: %s line ends gave %zu lines, not %zu\n", e.name, got, dictLines.size());
      std::remove(copy.c_str());
      return 1;
    }
    std::snprintf(what, sizeof what, "TStringList.LoadFromFile, full dictionary with %s line ends (%zu lines)", e.name,
                  got);
    Row(what, ours, std::string("std::getline at ") + e.name, peer);
  }
  std::remove(copy.c_str());
  return 0;
}
