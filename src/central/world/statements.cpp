#include "central/world/statements.h"

#include "db/core/sql_text.h"

namespace central::world {
namespace {

std::string keyCondition(const Table& table) {
  return db::sql::keyCondition(table.keyColumns(), "P_");
}

}  // namespace

std::string insertStatement(const std::string& table, const std::vector<std::string>& columns) {
  return db::sql::insertStatement(table, columns);
}

std::string insertStatement(const Table& table) {
  std::vector<std::string> columns;
  for (const Column& c : table.columns) columns.push_back(c.name);
  return insertStatement(table.name, columns);
}

std::string selectAllOrderedStatement(const Table& table) {
  return "SELECT * FROM " + table.name + " ORDER BY " + db::sql::joined(table.keyColumns());
}

std::string countStatement(const Table& table) {
  return "SELECT COUNT(*) AS NRREGS FROM " + table.name;
}

std::string newestUpdateStatement(const Table& table) {
  return "SELECT MAX(" + table.updateColumn + ") AS DTULTATU FROM " + table.name;
}

std::string existsByKeyStatement(const Table& table) {
  return "SELECT 1 AS FOUND FROM " + table.name + " WHERE " + keyCondition(table);
}

std::string deleteByKeyStatement(const Table& table) {
  return db::sql::deleteStatement(table.name, keyCondition(table));
}

std::string updateByKeyStatement(const Table& table, const std::vector<std::string>& setColumns) {
  return db::sql::updateStatement(table.name, db::sql::assignmentList(setColumns),
                                  keyCondition(table));
}

}  // namespace central::world
