// A 100 MB config.ini of short lines, as the card reads it at start (nine
// keys) and writes it at the end (nine keys): the peak memory each costs
// against the file's size, the bytes read for the nine reads, and the
// time against reading the file whole once.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/BenchMemory.h"
#include "bench/BenchTiming.h"
#include "classlib/IniFiles.h"

namespace {

double ReadMiB() {
  std::ifstream io("/proc/self/io");
  std::string line;
  while (std::getline(io, line))
    if (line.rfind("rchar:", 0) == 0) return std::stod(line.substr(6)) / (1 << 20);
  return 0;
}

const char* const kKeys[] = {"AutoStopRefresh", "Alpha",       "ResizingPointX", "ResizingPointY", "ResizingFrom",
                             "DictionaryFileName", "RefreshTime", "Lock",           "FirstRun"};

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const std::string path = (fs::temp_directory_path() / ("hk-bench-ini-" + std::to_string(getpid()) + ".ini")).string();
  {
    std::ofstream out(path);
    out << "[Other]\n";
    char line[32];
    for (size_t size = 0, i = 0; size < 100u * 1024 * 1024; ++i) {
      const int n = std::snprintf(line, sizeof line, "k%zu=v\n", i);
      out.write(line, n);
      size += static_cast<size_t>(n);
    }
    out << "[Card]\nAlpha=120\nLock=0\n";
  }
  const double fileMiB = static_cast<double>(fs::file_size(path)) / (1 << 20);
  sleep(4);  // a file written just now is read afresh at every call: this one has settled

  ResetPeak();
  double base = RssMiB();
  int sum = 0;
  const double rchar0 = ReadMiB();
  const double reads = BestMs(
      [&] {
        TIniFile ini(path);
        for (const char* key : kKeys) sum += ini.ReadInteger("Card", key, 1);
      },
      1);
  const double readMiB = ReadMiB() - rchar0;
  const double readPeak = PeakMiB() - base;

  const double whole = BestMs([&] {
    std::stringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    sum += static_cast<int>(bytes.str().size() & 1);
  });

  ResetPeak();
  base = RssMiB();
  const double writes = BestMs(
      [&] {
        TIniFile ini(path);
        for (const char* key : kKeys) ini.WriteInteger("Card", key, 2);
      },
      1);
  const double writePeak = PeakMiB() - base;
  fs::remove(path);

  std::printf("ROW | config.ini of %.0f MB: nine reads (read %.0f MB), peak %.0f MiB = %.2f x the file (bound 3) | "
              "ours %.2f ms | reading the file whole %.2f ms | ratio %.2f\n",
              fileMiB, readMiB, readPeak, readPeak / fileMiB, reads, whole, reads / whole);
  std::printf("ROW | config.ini of %.0f MB: nine writes, peak %.0f MiB = %.2f x the file (bound 3) | ours %.2f ms | "
              "reading the file whole, nine times %.2f ms | ratio %.2f\n",
              fileMiB, writePeak, writePeak / fileMiB, writes, 9 * whole, writes / (9 * whole));
  return sum != 0 && readPeak <= 3 * fileMiB && writePeak <= 3 * fileMiB ? 0 : 1;
}
