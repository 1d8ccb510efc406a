#pragma once

#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/measure.h"
#include "db/core/connection.h"

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

// Seconds `inserts()` takes inside one transaction of `local`.
template <typename Inserts>
double timedTransaction(db::Connection& local, Inserts&& inserts) {
  const auto start = Clock::now();
  local.begin();
  inserts();
  local.commit();
  return secondsSince(start);
}

// What sets one benchmark apart: the name of its server folder, the default number of rows and
// of rows in the trigger's other table, and what the caller does in the explicit loop.
struct TriggerCost {
  std::string folder;
  int rows;
  int size;
  const char* explicitWork;
};

// The whole benchmark, from the command line [directory=/tmp] [rows] [size] [rounds=3]:
// `run(server, loop, rows, size)` times one loop of `rows` inserts in seconds on fresh databases
// in the server folder, made for this process below the directory and removed at the end. Prints
// each round's time and rate, then the best plain rate and the others as percentages of one
// another.
template <typename Run>
int runTriggerCost(int argc, char** argv, const TriggerCost& bench, Run&& run) {
  const std::filesystem::path directory = argc > 1 ? argv[1] : "/tmp";
  const std::filesystem::path server =
      directory / (bench.folder + "-" + std::to_string(::getpid()));
  const int rows = argc > 2 ? std::stoi(argv[2]) : bench.rows;
  const int size = argc > 3 ? std::stoi(argv[3]) : bench.size;
  const int rounds = argc > 4 ? std::stoi(argv[4]) : 3;
  std::array<double, 3> best{1e300, 1e300, 1e300};
  const char* names[3] = {"plain", "explicit", "trigger"};
  for (int round = 1; round <= rounds; ++round)
    for (int loop = 0; loop < 3; ++loop) {
      const double seconds = run(server, static_cast<Loop>(loop), rows, size);
      std::printf("round %d %-8s %8.3f s  %9.0f rows/s\n", round, names[loop], seconds,
                  rows / seconds);
      if (seconds < best[loop]) best[loop] = seconds;
    }
  std::filesystem::remove_all(server);
  std::printf(
      "best: plain %.0f rows/s; explicit %s %.1f%% of plain; trigger %.1f%% of plain, "
      "%.0f%% of the explicit %s\n",
      rows / best[0], bench.explicitWork, 100 * best[0] / best[1], 100 * best[0] / best[2],
      100 * best[1] / best[2], bench.explicitWork);
  return 0;
}

}  // namespace bench
