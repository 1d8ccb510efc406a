#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

// The rounds of the trigger-cost benchmarks: what a trigger adds to the register's own inserts,
// against the same work done by the caller and against no work at all.
namespace bench {

enum class Loop { Plain, Explicit, Trigger };

// The register's database and the one its trigger writes to sit side by side in one server
// folder, so that the trigger reaches the other by name.
inline std::string connectionString(const std::filesystem::path& server,
                                    const std::string& database) {
  return "Provider=SQLite;Initial Catalog=" + database + ";Data Source=" + server.string() +
         ";User ID=dbo;";
}

// Runs `rounds` rounds of the three loops, `run(loop)` timing one loop of `rows` inserts in
// seconds; prints each time and rate and returns the best time of each loop.
template <typename Run>
std::array<double, 3> bestOfRounds(int rounds, int rows, Run&& run) {
  std::array<double, 3> best{1e300, 1e300, 1e300};
  const char* names[3] = {"plain", "explicit", "trigger"};
  for (int round = 1; round <= rounds; ++round)
    for (int loop = 0; loop < 3; ++loop) {
      const double seconds = run(static_cast<Loop>(loop));
      std::printf("round %d %-8s %8.3f s  %9.0f rows/s\n", round, names[loop], seconds,
                  rows / seconds);
      if (seconds < best[loop]) best[loop] = seconds;
    }
  return best;
}

}  // namespace bench
