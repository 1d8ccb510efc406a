#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "schema/local_catalog.h"
#include "schema/statements.h"

namespace schema_test {

// Rows handed out whole, as the double answers them.
class ListedRows : public db::Rows {
 public:
  ListedRows(std::vector<db::Column> columns, std::vector<std::vector<db::Value>> rows)
      : columns_(std::move(columns)), rows_(std::move(rows)) {}
  const std::vector<db::Column>& columns() const override { return columns_; }
  bool next() override { return ++position_ <= rows_.size(); }
  const db::Value& at(size_t index) const override { return rows_.at(position_ - 1).at(index); }

 private:
  std::vector<db::Column> columns_;
  std::vector<std::vector<db::Value>> rows_;
  size_t position_ = 0;
};

// A local Oracle database as the structure update sees it: the two catalogue queries answered
// from `tables` (for the owner `owner` only), every other query refused as an unknown object,
// and every executed text kept in order. `failWith` may answer an error text for a statement,
// which then fails.
class OracleCatalogue : public db::Connection {
 public:
  std::string owner = "LOJA";
  std::map<std::string, std::vector<schema::LocalColumn>> tables;
  std::vector<std::string> executed;
  std::vector<std::string> queried;
  std::function<std::optional<std::string>(const std::string&)> failWith;

  int64_t execute(std::string_view sql, const db::Params& = {}) override {
    executed.emplace_back(sql);
    if (failWith)
      if (auto error = failWith(std::string(sql)))
        throw db::Error(db::ErrorKind::General, *error, std::string(sql));
    return 0;
  }

  std::unique_ptr<db::Rows> query(std::string_view sql, const db::Params& params = {}) override {
    queried.emplace_back(sql);
    const std::string table = param(params, "P_TABLE");
    const bool mine = param(params, "P_OWNER") == owner;
    if (sql == schema::sql::kExisteTabelaOracle)
      return std::make_unique<ListedRows>(
          std::vector<db::Column>{{"NRTABELAS", "NUMBER"}},
          std::vector<std::vector<db::Value>>{{int64_t{mine && tables.count(table) ? 1 : 0}}});
    if (sql == schema::sql::kLocalStructOracle) {
      std::vector<std::vector<db::Value>> rows;
      if (mine && tables.count(table))
        for (const auto& c : tables.at(table))
          rows.push_back({c.name, c.fieldType, c.nullable,
                          c.colDefault.empty() ? db::Value() : db::Value(c.colDefault)});
      return std::make_unique<ListedRows>(
          std::vector<db::Column>{
              {"COL_NAME", ""}, {"FIELD_TYPE", ""}, {"NULLABLE", ""}, {"COL_DEFAULT", ""}},
          std::move(rows));
    }
    throw db::Error(db::ErrorKind::General, "ORA-00942: table or view does not exist",
                    std::string(sql));
  }

  db::Statement& prepare(std::string_view sql) override {
    throw db::Error(db::ErrorKind::Unsupported, "not prepared by the structure update",
                    std::string(sql));
  }
  void begin() override { inTransaction_ = true; }
  void commit() override { inTransaction_ = false; }
  void rollback() override { inTransaction_ = false; }
  bool inTransaction() const override { return inTransaction_; }
  void close() override {}
  bool isOpen() const override { return true; }
  std::string_view engineName() const override { return "oracle double"; }

  // Executed texts that begin with `prefix`.
  std::vector<std::string> startingWith(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const auto& text : executed)
      if (text.rfind(prefix, 0) == 0) found.push_back(text);
    return found;
  }

 private:
  static std::string param(const db::Params& params, std::string_view name) {
    for (const auto& p : params)
      if (p.name == name) return p.value.asText();
    return {};
  }

  bool inTransaction_ = false;
};

}  // namespace schema_test
