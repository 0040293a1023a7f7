// The CPU time a process has used, for tests that check a program does not
// spin: from /proc while it runs, from its rusage once it is reaped; and
// the watch over a program's end.
#pragma once
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

namespace hktest {

// User and system seconds so far; negative when the process is gone.
inline double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  // From the state (field 3) on: utime and stime are fields 14 and 15.
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

inline double CpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct TEnd {
  bool Exited = false;
  int WaitStatus = -1;
  double Seconds = 0;
  // CPU time spent in the two seconds after the end began (or until the
  // exit, when that came first).
  double Cpu = 0;
};

// Watches the end of the child that has just begun, for at most `limit`
// seconds; the child is reaped when it exits.
inline TEnd WatchTheEnd(pid_t pid, double limit) {
  TEnd end;
  const auto start = std::chrono::steady_clock::now();
  const double before = CpuSeconds(pid);
  bool measured = false;
  for (;;) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!measured && elapsed >= 2) {
      end.Cpu = CpuSeconds(pid) - before;
      measured = true;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, WNOHANG, &usage) == pid) {
      end.Exited = true;
      end.WaitStatus = status;
      end.Seconds = elapsed;
      if (!measured) end.Cpu = CpuSeconds(usage) - before;
      return end;
    }
    if (elapsed >= limit) return end;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace hktest
