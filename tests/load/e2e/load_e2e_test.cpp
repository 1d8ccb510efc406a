// Two TABELAS runs of the kivtab program against the reference central server: the first into
// an empty local base, the second after a central change batch.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "app/central_server_fixture.h"
#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "db/core/connection.h"
#include "db/embedded/embedded.h"
#include "load/merge_tables.h"
#include "load/table_sequence.h"

namespace {

using testing_support::CentralServer;
using testing_support::ProcessResult;
using testing_support::TempDir;

const std::string kBranch = "0001";

// Every row of a table as text; `where` restricts it to the branch. MESA's status column is the
// register's own and is left out, and so is the update column when `withUpdateColumn` is off.
std::multiset<std::string> rowsOf(db::Connection& conn, const central::Table& table,
                                  const std::string& where, bool withUpdateColumn = true) {
  std::multiset<std::string> rows;
  auto& statement = conn.prepare("SELECT * FROM " + table.name + where);
  if (!statement.parameterNames().empty()) statement.bind("P_CDFILIAL", kBranch);
  auto cursor = statement.query();
  while (cursor->next()) {
    std::string text;
    for (size_t i = 0; i < cursor->columns().size(); ++i) {
      const std::string& column = cursor->columns()[i].name;
      if (column == "IDSTMESAAUX" || (!withUpdateColumn && column == table.updateColumn)) continue;
      const db::Value& v = cursor->at(i);
      text += v.isNull() ? "<null>" : v.asText();
      text += '|';
    }
    rows.insert(text);
  }
  return rows;
}

// The branch's rows: by its branch column, else through the branch's clients, else all.
std::string branchFilter(const central::Table& table) {
  if (!table.branchColumn.empty()) return " WHERE " + table.branchColumn + " = :P_CDFILIAL";
  if (table.hasColumn("CDCLIENTE"))
    return " WHERE CDCLIENTE IN (SELECT CDCLIENTE FROM CLIENFILIAL WHERE CDFILIAL = :P_CDFILIAL)";
  return "";
}

// Tables the stages after the load change again (expired routes and promotions, operators,
// inactive products, general price tables, screen buttons, PRODUTOSEG's delete image) or that
// depend on a branch parameter (PRODFILI): what they hold is not the load's to show.
const std::set<std::string> kChangedAfterTheLoad = {
    "CONFTELA",        "DESGRUPROMOCPR", "DESGRUPROMPRFIL", "GRUPROMOCPRFIL", "GRUPROMOCPROD",
    "ITEMPRECODIAGER", "ITEMPRECOGER",   "ITMENUCONFTE",    "PRODUTO",        "ROTFABLOCAL",
    "ROTFABRICA",      "TABEPRECGER",    "TABEVENDGER",     "FILITABGER",     "OPERADOR",
    "PRODUTOSEG",      "PRODFILI"};

// The tables the load writes by key or by replacing them.
std::vector<std::string> mergedOrReplaced() {
  std::vector<std::string> tables;
  for (const auto& member : load::mergeTables()) {
    if (member.has(load::kDeliveryHistory) || member.table == "CONFTELACAIXA") continue;
    tables.emplace_back(member.table);
  }
  for (const auto& step : load::tableSequence()) {
    if (step.kind == load::StepKind::Replace) tables.emplace_back(step.table);
  }
  std::erase_if(tables, [](const std::string& t) { return kChangedAfterTheLoad.contains(t); });
  return tables;
}

std::vector<std::string> minus(const std::multiset<std::string>& a,
                               const std::multiset<std::string>& b) {
  std::vector<std::string> out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

class LoadRun : public ::testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<CentralServer>();
    central = server->path();
    const std::string file = (home.path() / "local.db").string();
    testing_support::writeFile(
        home.path() / "registry.ini",
        testing_support::kivtabRegistry("127.0.0.1", server->port(),
                                        "Provider=SQLite;Data Source=" + file));
    auto local = db::embedded::open(db::embedded::Options{file});
    central::createCentralDatabase(*local, central::centralModel());
    localFile = file;
  }

  ProcessResult kivtab() {
    return testing_support::run({KIVTAB_EXE, "TABELAS_0001_001_"},
                                testing_support::kivtabEnvironment(home.path()), output.path(),
                                std::chrono::seconds(600));
  }

  struct Difference {
    std::vector<std::string> localOnly, centralOnly;
  };
  // Local rows against the central rows of the branch, per table. After deletions the delete
  // cache moves a table's update column forward, so the second run compares without it.
  std::map<std::string, Difference> compare(bool withUpdateColumn = true) {
    auto local = db::embedded::open(db::embedded::Options{localFile});
    auto centralDb = db::embedded::open(db::embedded::Options{central});
    std::map<std::string, Difference> differences;
    for (const auto& name : mergedOrReplaced()) {
      const central::Table& table = central::centralModel().table(name);
      const auto mine = rowsOf(*local, table, "", withUpdateColumn);
      const auto theirs = rowsOf(*centralDb, table, branchFilter(table), withUpdateColumn);
      differences[name] = {minus(mine, theirs), minus(theirs, mine)};
    }
    return differences;
  }

  std::map<std::string, std::multiset<std::string>> snapshot() {
    auto local = db::embedded::open(db::embedded::Options{localFile});
    std::map<std::string, std::multiset<std::string>> rows;
    for (const auto& name : mergedOrReplaced())
      rows[name] = rowsOf(*local, central::centralModel().table(name), "");
    return rows;
  }

  std::map<std::string, db::DateTime> ledger() {
    auto local = db::embedded::open(db::embedded::Options{localFile});
    std::map<std::string, db::DateTime> dates;
    auto rows = local->query("SELECT NMTABELA, DTULTATUTAB FROM CTRLBAIXATAB");
    while (rows->next()) dates[rows->at(0).asText()] = rows->at(1).asDateTime();
    return dates;
  }

  TempDir home, output;
  std::string central, localFile;
  std::unique_ptr<CentralServer> server;
};

TEST_F(LoadRun, FirstRunLoadsTheBranchAndASecondRunOnlyTheChanges) {
  const ProcessResult first = kivtab();
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  for (const auto& [table, difference] : compare()) {
    EXPECT_TRUE(difference.localOnly.empty() && difference.centralOnly.empty())
        << table << ": " << difference.localOnly.size() << " local rows not central, "
        << difference.centralOnly.size() << " central rows missing";
  }
  const auto before = snapshot();
  const auto ledgerBefore = ledger();
  EXPECT_FALSE(ledgerBefore.empty());

  const ProcessResult change =
      testing_support::run({KIVTAB_CENTRAL_EXE, "change", "--db", central}, {}, server->dir());
  ASSERT_EQ(change.status, 0) << change.err;
  // "  TABLE: u updated, i inserted, d deleted"
  std::map<std::string, std::pair<int, int>> changed;  // rows changed, rows deleted
  const std::regex line(R"(  (\w+): (\d+) updated, (\d+) inserted, (\d+) deleted)");
  for (std::sregex_iterator it(change.out.begin(), change.out.end(), line), end; it != end; ++it)
    changed[(*it)[1]] = {std::stoi((*it)[2]) + std::stoi((*it)[3]), std::stoi((*it)[4])};
  ASSERT_FALSE(changed.empty()) << change.out;

  const ProcessResult second = kivtab();
  ASSERT_EQ(second.status, 0) << second.out << second.err;
  const auto after = snapshot();
  int tablesThatMoved = 0;
  int tablesWithDeletions = 0;
  for (const auto& [table, difference] : compare(false)) {
    const auto [rowsChanged, rowsDeleted] = changed[table];
    // Every central row of the branch is here as the server holds it; rows still here that the
    // central side deleted are the delete cache's to remove.
    EXPECT_TRUE(difference.centralOnly.empty()) << table << ": " << difference.centralOnly.front();
    EXPECT_LE(static_cast<int>(difference.localOnly.size()), rowsDeleted) << table;
    // Where the central side records deletions, they reach this register too.
    if (!central::centralModel().deleteCachesOf(table).empty()) {
      EXPECT_TRUE(difference.localOnly.empty())
          << table << ": " << difference.localOnly.size() << " rows deleted centrally stay";
      if (rowsDeleted > 0) ++tablesWithDeletions;
    }
    // Only rows the batch touched differ from the first run.
    const auto gone = minus(before.at(table), after.at(table));
    const auto added = minus(after.at(table), before.at(table));
    EXPECT_LE(static_cast<int>(std::max(gone.size(), added.size())), rowsChanged + rowsDeleted)
        << table;
    if (!added.empty()) ++tablesThatMoved;
  }
  EXPECT_GT(tablesThatMoved, 20);
  EXPECT_GT(tablesWithDeletions, 3);
  int moved = 0;
  for (const auto& [table, date] : ledger()) {
    const auto was = ledgerBefore.find(table);
    if (was != ledgerBefore.end() && date > was->second) ++moved;
  }
  EXPECT_GE(moved, 5);
}

}  // namespace
