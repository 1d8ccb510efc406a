#include "db/embedded/translate/schema_info.h"

#include <sqlite3.h>

#include "db/core/text.h"
#include "db/embedded/translate/type_names.h"
#include "db/embedded/value_codec.h"

namespace db::embedded {
namespace {

constexpr const char* kColumnsOfTable = "SELECT name, type, pk FROM pragma_table_info(?1)";
constexpr const char* kColumnsOfSchemaTable =
    "SELECT name, type, pk FROM pragma_table_info(?1, ?2)";
// What an unqualified name reaches first (TEMP, then the connection's own database): 1 for a
// rowid table, 0 for a view or a WITHOUT ROWID table.
constexpr const char* kRowidTable =
    "SELECT type = 'table' AND wr = 0 FROM pragma_table_list(?1) WHERE schema IN ('temp', "
    "'main') ORDER BY schema = 'main' LIMIT 1";

}  // namespace

ExprType exprTypeOfDeclared(std::string_view declaredType) {
  if (declaredType.empty()) return ExprType::Unknown;
  if (isDateType(declaredType)) return ExprType::Date;
  if (isTextType(declaredType)) return ExprType::Text;
  const std::string t = upper(declaredType);
  for (std::string_view number : {"INT", "DEC", "NUM", "FLOAT", "REAL", "MONEY", "BIT", "DOUBLE"})
    if (t.find(number) != std::string::npos) return ExprType::Number;
  return ExprType::Unknown;
}

SchemaInfo::SchemaInfo(sqlite3* db) : db_(db) {}

SchemaInfo::~SchemaInfo() { detach(); }

void SchemaInfo::detach() {
  sqlite3_finalize(query_);
  sqlite3_finalize(schemaQuery_);
  sqlite3_finalize(rowidQuery_);
  query_ = nullptr;
  schemaQuery_ = nullptr;
  rowidQuery_ = nullptr;
  db_ = nullptr;
  tables_.clear();
}

void SchemaInfo::clear() { tables_.clear(); }

const std::vector<SchemaInfo::ColumnInfo>& SchemaInfo::columns(std::string_view table,
                                                               std::string_view schema) {
  const std::string key = upper(schema) + "." + upper(table);
  if (auto it = tables_.find(key); it != tables_.end()) return it->second;
  auto& out = tables_[key];
  if (!db_) return out;
  sqlite3_stmt*& query = schema.empty() ? query_ : schemaQuery_;
  if (!query && sqlite3_prepare_v3(db_, schema.empty() ? kColumnsOfTable : kColumnsOfSchemaTable,
                                   -1, SQLITE_PREPARE_PERSISTENT, &query, nullptr) != SQLITE_OK)
    return out;
  sqlite3_bind_text(query, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  if (!schema.empty())
    sqlite3_bind_text(query, 2, schema.data(), static_cast<int>(schema.size()), SQLITE_TRANSIENT);
  while (sqlite3_step(query) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(query, 1));
    out.push_back({name ? name : "", type ? type : "", sqlite3_column_int(query, 2) > 0});
  }
  sqlite3_reset(query);
  return out;
}

bool SchemaInfo::hasIdentity(std::string_view table, std::string_view schema) {
  const ColumnInfo* key = nullptr;
  for (const auto& c : columns(table, schema)) {
    if (!c.key) continue;
    if (key) return false;
    key = &c;
  }
  return key && iequals(key->declaredType, "INTEGER");
}

bool SchemaInfo::numbersRows(std::string_view table) {
  if (!db_) return false;
  if (!rowidQuery_ && sqlite3_prepare_v3(db_, kRowidTable, -1, SQLITE_PREPARE_PERSISTENT,
                                         &rowidQuery_, nullptr) != SQLITE_OK)
    return false;
  sqlite3_bind_text(rowidQuery_, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  const bool rowid =
      sqlite3_step(rowidQuery_) == SQLITE_ROW && sqlite3_column_int(rowidQuery_, 0) != 0;
  sqlite3_reset(rowidQuery_);
  if (!rowid) return false;
  // A column of that name would be read instead of the row number.
  for (const auto& c : columns(table))
    if (iequals(c.name, "_rowid_")) return false;
  return true;
}
}  // namespace db::embedded
