#pragma once

#include <cstdint>
#include <string>

// Triggers and procedures on the embedded engine against their raw baselines.
namespace bench_procedural {

struct Times {
  double engine;
  double raw;
};

// `rows` single-row INSERTs into a table whose AFTER INSERT trigger copies the row into a log
// table: the engine's T-SQL trigger against a native SQLite trigger.
Times insertsWithTrigger(const std::string& enginePath, const std::string& rawPath, int64_t rows);

// `calls` calls of a 20-statement procedure against the same 20 statements prepared and run
// directly through the engine.
Times procedureCalls(const std::string& path, int64_t calls);

}  // namespace bench_procedural
