#include "central/model/central_ddl.h"

#include <set>

#include "db/core/sql_text.h"
#include "db/core/text.h"

namespace central {
namespace {

std::string columnDefinition(const Column& c) {
  std::string text = c.name + " " + c.type + (c.nullable ? " NULL" : " NOT NULL");
  if (c.defaultValue) text += " DEFAULT " + *c.defaultValue;
  return text;
}

std::string createTable(const Table& t) {
  std::vector<std::string> parts;
  for (const Column& c : t.columns) parts.push_back(columnDefinition(c));
  if (t.primaryKey) {
    parts.push_back("CONSTRAINT " + t.primaryKey->name + " PRIMARY KEY (" +
                    db::sql::joined(t.primaryKey->columns) + ")");
  }
  return "CREATE TABLE " + t.name + " (" + db::sql::joined(parts) + ")";
}

std::string createIndex(const Table& t, const Index& index) {
  std::vector<std::string> columns;
  for (const IndexColumn& c : index.columns) {
    columns.push_back(c.name + (c.descending ? " DESC" : " ASC"));
  }
  return "CREATE INDEX " + index.name + " ON " + t.name + " (" + db::sql::joined(columns) + ")";
}

constexpr const char* kIndexNames = "SELECT name FROM sys.indexes";

void inTransaction(db::Connection& connection, const std::vector<std::string>& statements) {
  connection.begin();
  try {
    for (const std::string& statement : statements) connection.execute(statement);
    connection.commit();
  } catch (...) {
    connection.rollback();
    throw;
  }
}

}  // namespace

std::vector<Index> changeIndexes(const Table& table) {
  // A delete cache's deletions without a branch concern every branch: its rows are found by
  // update time alone, through the model's own index.
  if (table.branchColumn.empty() || table.updateColumn.empty() || table.deleteCacheOf) return {};
  return {Index{"IXC_" + table.name + "_" + table.updateColumn,
                {{table.branchColumn, false}, {table.updateColumn, false}}}};
}

size_t addMissingChangeIndexes(db::Connection& connection, const Model& model) {
  std::set<std::string> existing;
  for (auto rows = connection.query(kIndexNames); rows->next();)
    existing.insert(db::upper(rows->at(0).asText()));
  std::vector<std::string> missing;
  for (const Table& table : model.tables())
    for (const Index& index : changeIndexes(table))
      if (!existing.count(db::upper(index.name))) missing.push_back(createIndex(table, index));
  if (!missing.empty()) inTransaction(connection, missing);
  return missing.size();
}

std::vector<std::string> tableDdl(const Table& table) {
  std::vector<std::string> statements{createTable(table)};
  for (const Index& index : table.indexes) statements.push_back(createIndex(table, index));
  return statements;
}

void createCentralDatabase(db::Connection& connection, const Model& model) {
  for (const Table& table : model.tables()) {
    std::vector<std::string> statements = tableDdl(table);
    for (const Index& index : changeIndexes(table)) statements.push_back(createIndex(table, index));
    inTransaction(connection, statements);
  }
}

}  // namespace central
