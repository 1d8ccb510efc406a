#pragma once

#include <sys/resource.h>

#include <chrono>

// Time and memory as the hand-run benchmarks report them.
namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The process's peak resident size so far.
inline long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace bench
