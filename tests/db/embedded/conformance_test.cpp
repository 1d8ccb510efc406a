// T-SQL scripts with the results SQL Server gives them (conformance/NAME.sql and NAME.expected),
// run batch by batch as sqlcmd splits them: on lines holding only GO.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "db/core/text.h"
#include "embedded_test_support.h"
#include "test_paths.h"

namespace db::embedded {
namespace {

namespace fs = std::filesystem;

const fs::path kScripts = fs::path(KIVTAB_SOURCE_DIR) / "tests/db/embedded/conformance";

std::vector<std::string> batchesOf(const std::string& script) {
  std::vector<std::string> batches;
  std::string current;
  std::istringstream lines(script);
  for (std::string line; std::getline(lines, line);) {
    if (iequals(trim(line), "GO")) {
      if (!trim(current).empty()) batches.push_back(current);
      current.clear();
    } else {
      current += line + "\n";
    }
  }
  if (!trim(current).empty()) batches.push_back(current);
  return batches;
}

// Every result set as a header of column names and its rows ('|' between values, NULL for
// null), then the batch's messages; a failed batch as ERROR (the wording is the engine's own).
std::string run(Connection& c, const std::string& script) {
  std::string out;
  for (const auto& batch : batchesOf(script)) {
    try {
      const BatchResult result = c.executeBatch(batch);
      for (const auto& set : result.resultSets) {
        std::string header;
        for (const auto& column : set.columns) header += (header.empty() ? "" : "|") + column.name;
        out += header + "\n";
        for (const auto& row : set.rows) {
          std::string line;
          for (size_t i = 0; i < row.size(); ++i)
            line += (i ? "|" : "") + (row[i].isNull() ? std::string("NULL") : row[i].asText());
          out += line + "\n";
        }
      }
      for (const auto& message : result.messages) out += message + "\n";
    } catch (const Error&) {
      out += "ERROR\n";
    }
  }
  return out;
}

class Conformance : public ::testing::TestWithParam<std::string> {};

TEST_P(Conformance, GivesSqlServersResults) {
  test_support::TempDatabase database("conformance_" + GetParam());
  auto c = database.open("dbo");
  const std::string actual = run(*c, testing_support::readFile(kScripts / (GetParam() + ".sql")));
  EXPECT_EQ(actual, testing_support::readFile(kScripts / (GetParam() + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Scripts, Conformance,
                         ::testing::ValuesIn(testing_support::fileStems(kScripts, ".sql")),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace db::embedded
