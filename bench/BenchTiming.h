// The best of several timed runs, in milliseconds: the least disturbed
// run is the one that says what the code costs on a busy machine.
#pragma once

#include <algorithm>
#include <chrono>

template <typename F>
double BestMs(F&& run, int rounds = 5) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}
