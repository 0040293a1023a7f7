// The process's memory as the kernel counts it: the resident size now, its
// high-water mark since the last reset, and the reset itself, so a bench
// can say what one step cost at its peak.
#pragma once

#include <malloc.h>

#include <fstream>
#include <string>

// A field of /proc/self/status in MiB ("VmRSS:", "VmHWM:").
inline double StatusMiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string name(field);
  while (std::getline(status, line))
    if (line.rfind(name, 0) == 0) return std::stod(line.substr(name.size())) / 1024.0;
  return 0;
}

inline double PeakMiB() { return StatusMiB("VmHWM:"); }
inline double RssMiB() { return StatusMiB("VmRSS:"); }

// What the bench itself freed goes back first, so the next peak is the
// next step's.
inline void ResetPeak() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
}
