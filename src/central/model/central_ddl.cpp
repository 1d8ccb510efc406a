#include "central/model/central_ddl.h"

#include "db/core/sql_text.h"

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

}  // namespace

std::vector<std::string> tableDdl(const Table& table) {
  std::vector<std::string> statements{createTable(table)};
  for (const Index& index : table.indexes) statements.push_back(createIndex(table, index));
  return statements;
}

void createCentralDatabase(db::Connection& connection, const Model& model) {
  for (const Table& table : model.tables()) {
    connection.begin();
    try {
      for (const std::string& statement : tableDdl(table)) connection.execute(statement);
      connection.commit();
    } catch (...) {
      connection.rollback();
      throw;
    }
  }
}

}  // namespace central
