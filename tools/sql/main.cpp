#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "db/connect.h"
#include "db/core/connection.h"
#include "options.h"
#include "result_printer.h"
#include "script.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read '" + path + "'");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs one batch; prints every result set and message it produced.
void run(db::Connection& connection, const std::string& batch) {
  kivtab_sql::printBatch(connection.executeBatch(batch), std::cout);
}

}  // namespace

int main(int argc, char** argv) {
  kivtab_sql::Options options;
  try {
    options = kivtab_sql::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& e) {
    std::cerr << "kivtab-sql: " << e.what() << '\n' << kivtab_sql::kUsage;
    return kExitUsage;
  }
  if (options.help) {
    std::cout << kivtab_sql::kUsage;
    return 0;
  }
  std::unique_ptr<db::Connection> connection;
  try {
    connection = db::connect(options.connection);
  } catch (const std::exception& e) {
    std::cerr << "kivtab-sql: cannot connect: " << e.what() << '\n';
    return kExitFailure;
  }
  for (const auto& job : options.jobs) {
    std::vector<std::string> batches;
    try {
      batches = job.kind == kivtab_sql::Job::Kind::Statement
                    ? std::vector<std::string>{job.text}
                    : kivtab_sql::splitScript(readFile(job.text));
    } catch (const std::exception& e) {
      std::cerr << "kivtab-sql: " << e.what() << '\n';
      return kExitFailure;
    }
    for (const auto& batch : batches) {
      try {
        run(*connection, batch);
      } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "kivtab-sql: " << e.what() << "\nStatement:\n" << batch << '\n';
        return kExitFailure;
      }
    }
  }
  std::cout.flush();
  return std::cout ? 0 : kExitFailure;
}
