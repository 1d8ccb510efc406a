#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "test_paths.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;

const fs::path kScripts = fs::path(KIVTAB_SOURCE_DIR) / "tests/db/conformance/scripts";

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class Conformance : public ::testing::TestWithParam<std::string> {};

// Each script runs on a fresh server folder whose database LOJA the connection opens.
TEST_P(Conformance, OutputMatchesTheServers) {
  const testing_support::TempDir scratch;
  const fs::path& folder = scratch.path();
  const std::string connection = "Provider=SQLite;Data Source=" + folder.string() +
                                 ";Initial Catalog=LOJA;User ID=dbo;Application Name=X";
  const std::string command =
      quote(std::string(KIVTAB_BINARY_DIR) + "/tools/sql/kivtab-sql") + " --connection " +
      quote(connection) + " -f " + quote((kScripts / (GetParam() + ".sql")).string()) + " >" +
      quote((folder / "out").string()) + " 2>" + quote((folder / "err").string());
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << readFile(folder / "err");
  EXPECT_EQ(readFile(folder / "out"), readFile(kScripts / (GetParam() + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Scripts, Conformance,
                         ::testing::ValuesIn(testing_support::fileStems(kScripts, ".sql")),
                         [](const auto& info) { return info.param; });

}  // namespace
