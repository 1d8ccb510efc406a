#include "central/world/statements.h"

namespace central::world {
namespace {

std::string keyCondition(const Table& table) {
  std::string text;
  for (const std::string& k : table.keyColumns()) {
    text += (text.empty() ? "" : " AND ") + k + " = :P_" + k;
  }
  return text;
}

std::string keyList(const Table& table) {
  std::string text;
  for (const std::string& k : table.keyColumns()) text += (text.empty() ? "" : ", ") + k;
  return text;
}

}  // namespace

std::string insertStatement(const std::string& table, const std::vector<std::string>& columns) {
  std::string names, values;
  for (const std::string& c : columns) {
    names += (names.empty() ? "" : ", ") + c;
    values += (values.empty() ? ":P_" : ", :P_") + c;
  }
  return "INSERT INTO " + table + " (" + names + ") VALUES (" + values + ")";
}

std::string insertStatement(const Table& table) {
  std::vector<std::string> columns;
  for (const Column& c : table.columns) columns.push_back(c.name);
  return insertStatement(table.name, columns);
}

std::string selectAllOrderedStatement(const Table& table) {
  return "SELECT * FROM " + table.name + " ORDER BY " + keyList(table);
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
  return "DELETE FROM " + table.name + " WHERE " + keyCondition(table);
}

std::string updateByKeyStatement(const Table& table, const std::vector<std::string>& setColumns) {
  std::string sets;
  for (const std::string& c : setColumns) sets += (sets.empty() ? "" : ", ") + c + " = :P_" + c;
  return "UPDATE " + table.name + " SET " + sets + " WHERE " + keyCondition(table);
}

}  // namespace central::world
