// The card's read of the full dictionary into its lines, which judges the
// file before taking it, against the string list's plain LoadFromFile of
// the same file, in one run: the judgement should cost the start little.
#include <cstdio>
#include <memory>
#include <string>

#include "bench/BenchTiming.h"
#include "card/MainGlobals.h"
#include "classlib/StringLists.h"
#include "classlib/SysUtils.h"

namespace {

volatile int Sink;

}  // namespace

int main() {
  const std::string path = HK_PROGRAM_DIR "/edict.txt";
  if (!FileExists(path)) {
    std::printf("bench_card_dictionary: %s is missing\n", path.c_str());
    return 1;
  }
  int ours = 0, peer = 0;
  const double oursMs = BestMs([&] {
    std::string error;
    auto lines = ReadDictionaryFile(path, error);
    Sink = ours = lines ? lines->Count() : -1;
  });
  const double peerMs = BestMs([&] {
    TStringList lines;
    lines.LoadFromFile(path);
    Sink = peer = lines.Count();
  });
  if (ours != peer) {
    std::printf("bench_card_dictionary: the card read %d lines, LoadFromFile %d\n", ours, peer);
    return 1;
  }
  std::printf("ROW | card dictionary read, full dictionary (%d lines) | ours %.2f ms | "
              "TStringList::LoadFromFile %.2f ms | ratio %.2f\n",
              ours, oursMs, peerMs, oursMs / peerMs);
  return 0;
}
