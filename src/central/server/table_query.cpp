#include "central/server/table_query.h"

#include "central/server/packet_builder.h"
#include "db/core/sql_text.h"
#include "db/core/text.h"

namespace central::server {
namespace {

constexpr std::string_view kBranchParam = "P_CDFILIAL";
constexpr std::string_view kRegisterParam = "P_CDCAIXA";
constexpr std::string_view kSinceParam = "P_DTDESDE";
constexpr std::string_view kUntilParam = "P_DTATE";
constexpr std::string_view kClientColumn = "CDCLIENTE";
constexpr std::string_view kBranchClientsTable = "CLIENFILIAL";
// Every row of the branch: the rows of each of its clients, through the table's key.
constexpr std::string_view kClientsOfBranch =
    "CDCLIENTE IN (SELECT CDCLIENTE FROM CLIENFILIAL WHERE CDFILIAL = :P_CDFILIAL)";
// The changed rows: found through the update-time index, each then checked for its client (the
// form above would read every row of the branch's clients instead). The table's name follows.
constexpr std::string_view kClientOfBranch =
    "EXISTS (SELECT 1 FROM CLIENFILIAL CF WHERE CF.CDFILIAL = :P_CDFILIAL AND CF.CDCLIENTE = ";

// Tables whose rows belong to a branch through other tables. Benefit movements count for a
// branch the way the register counts them after loading: through the branch's client campaigns.
struct BranchScope {
  std::string_view table;
  std::string_view condition;
};
constexpr BranchScope kBranchScopes[] = {
    {"MOVBENEFICIOCTR",
     "EXISTS (SELECT 1 FROM CAMPANHA C, FILICAMPANHA F, BENEFICIOCAMP B "
     "WHERE C.CDCAMPANHA = MOVBENEFICIOCTR.CDCAMPANHA AND F.CDCAMPANHA = "
     "MOVBENEFICIOCTR.CDCAMPANHA "
     "AND B.CDCAMPANHA = MOVBENEFICIOCTR.CDCAMPANHA AND B.NRSEQPRODCAMP = "
     "MOVBENEFICIOCTR.NRSEQPRODCAMP "
     "AND B.NRSEQBENEFICIO = MOVBENEFICIOCTR.NRSEQBENEFICIO AND C.IDCAMPANHA = 'C' "
     "AND F.CDFILIAL = :P_CDFILIAL)"},
};

const BranchScope* branchScopeOf(std::string_view table) {
  for (const auto& scope : kBranchScopes)
    if (db::iequals(scope.table, table)) return &scope;
  return nullptr;
}

struct Where {
  std::string text;
  db::Params params;
  void add(std::string condition) {
    text += text.empty() ? " WHERE " : " AND ";
    text += condition;
  }
};

// The last instant a DATETIME holds.
db::DateTime lastDate() { return db::DateTime::fromParts(9999, 12, 31, 23, 59, 59, 999); }

Where whereOf(const central::Table& table, const RowFilter& filter) {
  Where where;
  const bool changedOnly =
      filter.since && *filter.since > baseDate() && !table.updateColumn.empty();
  if (!filter.branch.empty()) {
    if (const BranchScope* scope = branchScopeOf(table.name)) {
      where.add(std::string(scope->condition));
      where.params.push_back({std::string(kBranchParam), filter.branch});
    } else if (!table.branchColumn.empty() && table.deleteCacheOf) {
      // A deletion from a table every branch shares is recorded without a branch and concerns
      // them all.
      where.add("(" + table.branchColumn + " = :" + std::string(kBranchParam) + " OR " +
                table.branchColumn + " IS NULL)");
      where.params.push_back({std::string(kBranchParam), filter.branch});
    } else if (!table.branchColumn.empty()) {
      where.add(table.branchColumn + " = :" + std::string(kBranchParam));
      where.params.push_back({std::string(kBranchParam), filter.branch});
    } else if (table.hasColumn(kClientColumn) && !db::iequals(table.name, kBranchClientsTable)) {
      where.add(changedOnly ? std::string(kClientOfBranch) + table.name + "." +
                                  std::string(kClientColumn) + ")"
                            : std::string(kClientsOfBranch));
      where.params.push_back({std::string(kBranchParam), filter.branch});
    }
  }
  if (!filter.registerCode.empty() && !table.registerColumn.empty()) {
    where.add(table.registerColumn + " = :" + std::string(kRegisterParam));
    where.params.push_back({std::string(kRegisterParam), filter.registerCode});
  }
  if (changedOnly) {
    // Closed at the last date there is, which leaves out no row: with an open range the planner
    // guesses a quarter of the table and reads all of it in key order to spare the sort; with a
    // closed one it reads the update-time index and sorts what it found.
    where.add(table.updateColumn + " > :" + std::string(kSinceParam) + " AND " +
              table.updateColumn + " <= :" + std::string(kUntilParam));
    where.params.push_back({std::string(kSinceParam), *filter.since});
    where.params.push_back({std::string(kUntilParam), lastDate()});
  }
  if (!filter.extraCondition.empty()) {
    where.add("(" + filter.extraCondition + ")");
    for (const auto& p : filter.extraParams) where.params.push_back(p);
  }
  return where;
}

}  // namespace

RowFilter branchRows(std::string branch, std::optional<db::DateTime> since) {
  RowFilter filter;
  filter.branch = std::move(branch);
  filter.since = since;
  return filter;
}

db::DateTime baseDate() { return db::DateTime::fromParts(1985, 1, 1, 12, 0, 0); }

TableQuery selectRows(const central::Table& table, const RowFilter& filter) {
  TableQuery query;
  std::string list;
  for (const auto& column : table.columns) {
    if (!list.empty()) list += ", ";
    list += column.name;
    query.fields.push_back(fieldFor(column));
  }
  Where where = whereOf(table, filter);
  query.sql = "SELECT " + list + " FROM " + table.name + where.text;
  const std::vector<std::string> keys = table.keyColumns();
  if (!keys.empty()) query.sql += " ORDER BY " + db::sql::joined(keys);
  query.params = std::move(where.params);
  return query;
}

TableQuery countRows(const central::Table& table, const RowFilter& filter) {
  Where where = whereOf(table, filter);
  return {"SELECT COUNT(*) AS QTD FROM " + table.name + where.text, std::move(where.params), {}};
}

int64_t queryCount(db::Connection& db, const TableQuery& query) {
  db::Statement& statement = db.prepare(query.sql);
  statement.bind(query.params);
  auto rows = statement.query();
  return rows->next() ? rows->at(0).asInt() : 0;
}

std::optional<db::DateTime> queryMaxDate(db::Connection& db, const std::string& sql,
                                         const db::Params& params) {
  db::Statement& statement = db.prepare(sql);
  statement.bind(params);
  auto rows = statement.query();
  if (!rows->next() || rows->at(0).isNull()) return std::nullopt;
  return rows->at(0).asDateTime();
}

std::optional<db::DateTime> requestDate(const db::Value& value) {
  switch (value.kind()) {
    case db::Value::Kind::DateTime:
    case db::Value::Kind::Int:
    case db::Value::Kind::Double:
      return value.asDateTime();
    default:
      return std::nullopt;
  }
}

}  // namespace central::server
