#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_paths.h"

namespace {

namespace fs = std::filesystem;

const fs::path kScripts = fs::path(KIVTAB_SOURCE_DIR) / "tests/db/conformance/scripts";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::vector<std::string> scriptNames() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(kScripts))
    if (e.path().extension() == ".sql") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Conformance : public ::testing::TestWithParam<std::string> {};

// Each script runs on a fresh server folder whose database LOJA the connection opens.
TEST_P(Conformance, OutputMatchesTheServers) {
  const fs::path folder = fs::temp_directory_path() /
                          ("kivtab_conformance_" + std::to_string(::getpid()) + "_" + GetParam());
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string connection = "Provider=SQLite;Data Source=" + folder.string() +
                                 ";Initial Catalog=LOJA;User ID=dbo;Application Name=X";
  const std::string command =
      quote(std::string(KIVTAB_BINARY_DIR) + "/tools/sql/kivtab-sql") + " --connection " +
      quote(connection) + " -f " + quote((kScripts / (GetParam() + ".sql")).string()) + " >" +
      quote((folder / "out").string()) + " 2>" + quote((folder / "err").string());
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << slurp(folder / "err");
  EXPECT_EQ(slurp(folder / "out"), slurp(kScripts / (GetParam() + ".expected")));
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Scripts, Conformance, ::testing::ValuesIn(scriptNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
