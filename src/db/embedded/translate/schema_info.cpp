#include "db/embedded/translate/schema_info.h"

#include <sqlite3.h>

#include "db/core/text.h"
#include "db/embedded/translate/type_names.h"
#include "db/embedded/value_codec.h"

namespace db::embedded {
namespace {

constexpr const char* kColumnsOfTable = "SELECT name, type FROM pragma_table_info(?1)";

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
  query_ = nullptr;
  db_ = nullptr;
  tables_.clear();
}

void SchemaInfo::clear() { tables_.clear(); }

const std::vector<SchemaInfo::ColumnInfo>& SchemaInfo::columns(std::string_view table) {
  const std::string key = upper(table);
  if (auto it = tables_.find(key); it != tables_.end()) return it->second;
  auto& out = tables_[key];
  if (!db_) return out;
  if (!query_ && sqlite3_prepare_v3(db_, kColumnsOfTable, -1, SQLITE_PREPARE_PERSISTENT, &query_,
                                    nullptr) != SQLITE_OK)
    return out;
  sqlite3_bind_text(query_, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  while (sqlite3_step(query_) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(query_, 0));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(query_, 1));
    out.push_back({name ? name : "", type ? type : ""});
  }
  sqlite3_reset(query_);
  return out;
}

}  // namespace db::embedded
