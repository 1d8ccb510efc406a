#include "options.h"

#include <stdexcept>

namespace kivtab_sql {

const char* const kUsage =
    "usage: kivtab-sql --connection \"CONNECTION STRING\" [-e BATCH]... [-f FILE]...\n"
    "Runs each batch in order (a FILE is split at lines holding GO); prints every result set\n"
    "tab-separated under a header of column names, then the batch's PRINT messages. Stops at\n"
    "the first error, which goes to stderr with the batch.\n";

Options parseOptions(const std::vector<std::string>& arguments) {
  Options options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= arguments.size()) throw std::invalid_argument(a + " needs a value");
      return arguments[++i];
    };
    if (a == "-h" || a == "--help") {
      options.help = true;
    } else if (a == "--connection" || a == "-c") {
      options.connection = value();
    } else if (a.starts_with("--connection=")) {
      options.connection = a.substr(a.find('=') + 1);
    } else if (a == "-e") {
      options.jobs.push_back({Job::Kind::Statement, value()});
    } else if (a == "-f") {
      options.jobs.push_back({Job::Kind::File, value()});
    } else {
      throw std::invalid_argument("unknown argument '" + a + "'");
    }
  }
  if (!options.help && options.connection.empty())
    throw std::invalid_argument("--connection is required");
  return options;
}

}  // namespace kivtab_sql
