// A 100 MB config.ini of short lines, as the card reads it at start (nine
// keys) and saves it at the end (nine keys): the peak memory each costs
// against the file's size, the bytes read for the nine reads and the
// times the save put a new file in place; the reads against reading the
// file whole once, the save against copying it whole once (one read and
// one rewrite, which is what a save of any number of values should cost).
#include <fcntl.h>
#include <sys/inotify.h>
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

// Files put in place under the name (renamed onto it, or closed after a
// write), as the folder's watcher saw them.
int Rewrites(int watch, const std::string& name) {
  alignas(inotify_event) char buffer[8192];
  int count = 0;
  for (;;) {
    const ssize_t n = read(watch, buffer, sizeof buffer);
    if (n <= 0) return count;
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      if (e->len > 0 && name == e->name) ++count;
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
}

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

  // The copy: the file read whole and written whole beside it, flushed to
  // the disk and put in place by a rename, as a save does it.
  const std::string copy = path + ".copy";
  const double copied = BestMs(
      [&] {
        std::string bytes(static_cast<size_t>(fs::file_size(path)), '\0');
        std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (size_t done = 0; fd >= 0 && done < bytes.size();) {
          const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
          if (n <= 0) break;
          done += static_cast<size_t>(n);
        }
        if (fd >= 0) {
          ::fsync(fd);
          ::close(fd);
        }
        fs::rename(copy, path + ".copied");
      },
      1);
  fs::remove(path + ".copied");

  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  inotify_add_watch(watch, fs::path(path).parent_path().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
  const std::string name = fs::path(path).filename().string();
  ResetPeak();
  base = RssMiB();
  const double writes = BestMs(
      [&] {
        TIniFile ini(path);
        for (const char* key : kKeys) ini.WriteInteger("Card", key, 2);
        ini.UpdateFile();
      },
      1);
  const double writePeak = PeakMiB() - base;
  const int rewrites = Rewrites(watch, name);
  close(watch);
  fs::remove(path);

  std::printf("ROW | config.ini of %.0f MB: nine reads (read %.0f MB), peak %.0f MiB = %.2f x the file (bound 3) | "
              "ours %.2f ms | reading the file whole %.2f ms | ratio %.2f\n",
              fileMiB, readMiB, readPeak, readPeak / fileMiB, reads, whole, reads / whole);
  std::printf("ROW | config.ini of %.0f MB: a save of nine values, %d rewrite(s) of the file (bound 1), peak %.0f MiB = "
              "%.2f x the file (bound 3) | ours %.2f ms | copying the file whole once %.2f ms | ratio %.2f\n",
              fileMiB, rewrites, writePeak, writePeak / fileMiB, writes, copied, writes / copied);
  return sum != 0 && rewrites == 1 && readPeak <= 3 * fileMiB && writePeak <= 3 * fileMiB ? 0 : 1;
}
