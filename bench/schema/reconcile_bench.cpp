// Reconciles the full structure package of the central model (every table of the cache list and
// its SA_ rows, as the reference server builds it) against an empty database file, then again
// against the now up-to-date one. Reports the time of each pass, the statements each sent, the
// table rebuilds (ALTER TABLE statements of the table steps, each of which rebuilds a table on
// the embedded engine) and the catalogue reads; and, as the baseline, the time of reading the
// catalogue table by table with the per-table queries, as each table step would without the
// pass-wide read.
//
//   bench_schema [directory=/tmp]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "../../tests/support/forwarding_connection.h"
#include "central/model/model.h"
#include "central/server/structure_package.h"
#include "db/embedded/embedded.h"
#include "download/statement_files/zip_extractor.h"
#include "schema/reconciler.h"
#include "schema/statements.h"
#include "schema/structure_package.h"
#include "schema/table_lists.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Counts what the reconciliation sends.
class CountingConnection : public testing_support::ForwardingConnection {
 public:
  explicit CountingConnection(db::Connection& inner) : ForwardingConnection(inner) {}
  int statements = 0;
  int tableAlters = 0;

  int64_t execute(std::string_view sql, const db::Params& params = {}) override {
    ++statements;
    if (sql.rfind("ALTER TABLE", 0) == 0 && !fixed(sql)) ++tableAlters;
    return ForwardingConnection::execute(sql, params);
  }

 private:
  static bool fixed(std::string_view sql) {
    for (std::string_view f : schema::sql::kFixesBefore)
      if (sql == f) return true;
    return sql == schema::sql::kDropPkCtrlBaixaTab;
  }
};

schema::StructurePackage fullPackage(const fs::path& directory) {
  const central::Model& model = central::centralModel();
  const schema::TableListTexts lists = schema::buildTableListTexts(false);
  const auto rows =
      central::server::structureRows(model, central::server::parseTableList(lists.cache),
                                     central::server::parseTableList(lists.workTables));
  const fs::path zip = central::server::buildStructurePackage(model, rows, directory);
  download::extractAll(zip, directory, "", [](const std::string&) {});
  return schema::loadStructurePackage(directory);
}

void pass(const char* name, db::Connection& db, const schema::StructurePackage& package) {
  CountingConnection counting(db);
  schema::SqlServerReconciler reconciler(
      counting, "DBO", "1",
      {[](std::string_view, std::string_view) {}, [&]() -> db::Connection& { return counting; }});
  const auto start = Clock::now();
  reconciler.reconcile(package);
  std::printf("%-12s %8.3f s  statements %5d  table rebuilds %5d  catalogue reads %4d\n", name,
              secondsSince(start), counting.statements, counting.tableAlters,
              reconciler.catalog().reads());
}

void perTableBaseline(db::Connection& db, const schema::StructurePackage& package) {
  const auto start = Clock::now();
  for (const auto& table : package.tables) {
    std::string name =
        table.tableName.rfind("SA_", 0) == 0 ? table.tableName.substr(3) : table.tableName;
    db.query(schema::sql::kExisteTabela, {{"P_NAME", name}})->next();
    auto rows = db.query(schema::sql::kLocalStructMSDE, {{"P_OWNER", "DBO"}, {"P_TABLE", name}});
    while (rows->next()) {
    }
  }
  std::printf("%-12s %8.3f s  (existence and column query per table, %zu tables)\n", "baseline",
              secondsSince(start), package.tables.size());
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  const fs::path directory = base / "kivtab_bench_schema";
  fs::remove_all(directory);
  fs::create_directories(directory / "package");
  const schema::StructurePackage package = fullPackage(directory / "package");
  std::printf("package: %zu struct.cds records\n", package.tables.size());

  auto db = db::embedded::open({(directory / "local.db").string(), "dbo"});
  pass("empty", *db, package);
  pass("up-to-date", *db, package);
  perTableBaseline(*db, package);
  db->close();
  fs::remove_all(directory);
  return 0;
}
