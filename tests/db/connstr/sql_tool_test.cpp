#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../odbc/odbc_test_env.h"
#include "test_paths.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

Outcome runTool(const std::vector<std::string>& args) {
  const fs::path dir = odbc_test::registerDrivers();
  std::string command = quote(std::string(KIVTAB_BINARY_DIR) + "/tools/sql/kivtab-sql");
  for (const auto& a : args) command += " " + quote(a);
  command += " >" + quote((dir / "tool.out").string()) + " 2>" + quote((dir / "tool.err").string());
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "tool.out"), slurp(dir / "tool.err")};
}

std::string writeScript(const std::string& name, const std::string& text) {
  const fs::path path = fs::path(odbc_test::registerDrivers()) / name;
  std::ofstream(path) << text;
  return path.string();
}

// The same session through each engine the shell reaches.
class SqlTool : public ::testing::TestWithParam<std::string> {
 protected:
  std::string connection() const {
    const std::string path = odbc_test::freshDatabasePath("tool-" + GetParam());
    return GetParam() == "odbc" ? "Driver={KivSQLite};Database=" + path
                                : "Provider=SQLite;Data Source=" + path;
  }
};

TEST_P(SqlTool, PrintsRowsOfSelectsOnlyAndReadsScripts) {
  const std::string script = writeScript(
      "setup.sql",
      "CREATE TABLE CAIXA (CDCAIXA VARCHAR(3) NOT NULL, NMCAIXA VARCHAR(20), DTULTATU DATETIME)\n"
      "GO\n"
      "INSERT INTO CAIXA VALUES ('001', 'Frente;', '2026-05-01 10:20:30.400');\n"
      "GO\n"
      "INSERT INTO CAIXA (CDCAIXA) VALUES ('002')\n");
  const auto r = runTool({"--connection", connection(), "-f", script, "-e",
                          "SELECT CDCAIXA, NMCAIXA, DTULTATU FROM CAIXA ORDER BY CDCAIXA", "-e",
                          "UPDATE CAIXA SET NMCAIXA = 'x'", "-e",
                          "SELECT COUNT(*) AS N FROM CAIXA WHERE NMCAIXA = 'x'"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "CDCAIXA\tNMCAIXA\tDTULTATU\n"
            "001\tFrente;\t2026-05-01 10:20:30.400\n"
            "002\tNULL\tNULL\n"
            "N\n2\n");
}

TEST_P(SqlTool, StopsAtTheFirstErrorAndNamesTheStatement) {
  const auto r = runTool({"--connection", connection(), "-e", "CREATE TABLE T (A INTEGER)", "-e",
                          "INSERT INTO NOWHERE VALUES (1)", "-e", "SELECT A FROM T"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("INSERT INTO NOWHERE VALUES (1)"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlTool, ::testing::Values("odbc", "embedded"));

TEST(SqlToolConnect, BadConnectionsFailWithoutShowingThePassword) {
  auto r =
      runTool({"--connection", "Provider=Nope;Password=Pw-77;Data Source=x", "-e", "SELECT 1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Nope"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Pw-77"), std::string::npos) << r.err;
  r = runTool({"-e", "SELECT 1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--connection"), std::string::npos);
  r = runTool({"--connection",
               "Driver={KivSQLite};Database=" + odbc_test::freshDatabasePath("tool-missing-file"),
               "-f", "/nonexistent/script.sql"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/nonexistent/script.sql"), std::string::npos);
}

}  // namespace
