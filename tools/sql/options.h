#pragma once

#include <string>
#include <vector>

namespace kivtab_sql {

// One thing to run, in command-line order: a statement given with -e or a script given with -f.
struct Job {
  enum class Kind { Statement, File };
  Kind kind;
  std::string text;  // the statement, or the file's path
};

struct Options {
  std::string connection;
  std::vector<Job> jobs;
  bool help = false;
};

// Reads the command line. Throws std::invalid_argument with a message for the user when it is
// not usable (no connection string, an option without its value, an unknown option).
Options parseOptions(const std::vector<std::string>& arguments);

extern const char* const kUsage;

}  // namespace kivtab_sql
