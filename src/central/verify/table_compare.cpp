#include "central/verify/table_compare.h"

#include <algorithm>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>

#include "central/server/table_query.h"
#include "db/core/text.h"

namespace central::verify {
namespace {

constexpr std::string_view kRegisterOwnedColumn = "IDSTMESAAUX";

// Rows by key, each row the text of its compared columns.
using RowsByKey = std::multimap<std::string, std::string>;

std::vector<std::string> localColumns(db::Connection& local, const std::string& table) {
  auto rows = local.query("SELECT * FROM " + table + " WHERE 1 = 2");
  std::vector<std::string> names;
  for (const auto& column : rows->columns()) names.push_back(db::upper(column.name));
  return names;
}

std::vector<std::string> comparedColumns(const Table& table, db::Connection& local) {
  const auto present = localColumns(local, table.name);
  std::vector<std::string> columns;
  for (const auto& column : table.columns) {
    if (db::iequals(column.name, table.updateColumn) ||
        db::iequals(column.name, kRegisterOwnedColumn))
      continue;
    if (std::find(present.begin(), present.end(), db::upper(column.name)) != present.end())
      columns.push_back(column.name);
  }
  return columns;
}

std::string valueText(const db::Value& value) { return value.isNull() ? "<null>" : value.asText(); }

RowsByKey readRows(db::Statement& statement, const std::vector<std::string>& columns,
                   const std::vector<std::string>& keys) {
  RowsByKey rows;
  auto cursor = statement.query();
  std::vector<size_t> keyIndexes;
  for (const auto& key : keys) keyIndexes.push_back(cursor->indexOf(key));
  while (cursor->next()) {
    std::string key, row;
    for (size_t i = 0; i < keys.size(); ++i)
      key += (i ? ";" : "") + keys[i] + "=" + valueText(cursor->at(keyIndexes[i]));
    for (size_t i = 0; i < columns.size(); ++i) row += valueText(cursor->at(i)) + "|";
    rows.emplace(std::move(key), std::move(row));
  }
  return rows;
}

std::string selectList(const std::vector<std::string>& columns) {
  std::string list;
  for (const auto& column : columns) list += (list.empty() ? "" : ", ") + column;
  return list;
}

// FNV-1a over the sorted row texts, so that the hash does not depend on the order rows come in.
std::string contentHash(const RowsByKey& rows) {
  std::vector<std::string_view> texts;
  texts.reserve(rows.size());
  for (const auto& [key, row] : rows) texts.push_back(row);
  std::sort(texts.begin(), texts.end());
  uint64_t hash = 14695981039346656037ull;
  for (auto text : texts) {
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    hash = (hash ^ '\n') * 1099511628211ull;
  }
  std::ostringstream out;
  out << std::hex << std::setw(16) << std::setfill('0') << hash;
  return out.str();
}

std::multiset<std::string> rowsAt(const RowsByKey& rows, const std::string& key) {
  std::multiset<std::string> found;
  auto [from, to] = rows.equal_range(key);
  for (auto it = from; it != to; ++it) found.insert(it->second);
  return found;
}

std::set<std::string> keysOf(const RowsByKey& rows) {
  std::set<std::string> keys;
  for (const auto& entry : rows) keys.insert(entry.first);
  return keys;
}

// The keys at which the comparison's rule is broken, in key order.
std::vector<std::string> differingKeys(Comparison comparison, const RowsByKey& local,
                                       const RowsByKey& central) {
  std::set<std::string> keys = keysOf(local);
  keys.merge(keysOf(central));
  std::vector<std::string> differing;
  for (const auto& key : keys) {
    const auto mine = rowsAt(local, key);
    const auto theirs = rowsAt(central, key);
    bool broken = false;
    switch (comparison) {
      case Comparison::Exact:
        broken = mine != theirs;
        break;
      case Comparison::CentralRowsPresent:
        broken = !std::includes(mine.begin(), mine.end(), theirs.begin(), theirs.end());
        break;
      case Comparison::LocalKeysCentral:
        broken = !mine.empty() && theirs.empty();
        break;
      case Comparison::SameKeys:
        broken = mine.empty() != theirs.empty();
        break;
    }
    if (broken) differing.push_back(key);
  }
  return differing;
}

}  // namespace

TableResult compareTable(db::Connection& central, db::Connection& local, const Model& model,
                         const TablePlan& plan, const std::string& branch) {
  TableResult result;
  result.plan = plan;
  const Table& table = model.table(plan.table);
  try {
    result.comparedColumns = comparedColumns(table, local);
  } catch (const std::exception& e) {
    result.error = "the local table cannot be read: " + std::string(e.what());
    return result;
  }
  const std::vector<std::string>& keys = plan.keyColumns;
  const std::string list = selectList(result.comparedColumns);

  auto centralQuery = server::selectRows(table, server::branchRows(branch));
  const std::string from = centralQuery.sql.substr(centralQuery.sql.find(" FROM "));
  db::Statement& centralStatement = central.prepare("SELECT " + list + from);
  centralStatement.bind(centralQuery.params);
  const RowsByKey theirs = readRows(centralStatement, result.comparedColumns, keys);
  const RowsByKey mine = readRows(local.prepare("SELECT " + list + " FROM " + table.name),
                                  result.comparedColumns, keys);

  result.localRows = static_cast<int64_t>(mine.size());
  result.centralRows = static_cast<int64_t>(theirs.size());
  result.localHash = contentHash(mine);
  result.centralHash = contentHash(theirs);
  auto differing = differingKeys(plan.comparison, mine, theirs);
  result.equal = differing.empty();
  if (differing.size() > kReportedKeys) differing.resize(kReportedKeys);
  result.differingKeys = std::move(differing);
  return result;
}

}  // namespace central::verify
