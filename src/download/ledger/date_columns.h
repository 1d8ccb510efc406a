#pragma once

#include <string_view>

#include "db/core/connection.h"
#include "db/core/value.h"

namespace download {

// Helpers of the delete cache that move a table's date column forward after deletions, so the
// next request does not ask again for what the deletions already covered. Table and column
// names must be plain identifiers.
class DateColumns {
 public:
  explicit DateColumns(db::Connection& conn) : conn_(conn) {}

  // Newest value of the column, read as a date-time; NULL when the table is empty.
  db::Value columnMax(std::string_view table, std::string_view column);
  // With a delete-cache date after the zero date, every row takes that date when the table's
  // newest date is older.
  void avancaDataTabela(std::string_view table, std::string_view column,
                        db::DateTime deleteCacheDate);
  // The same with the cache table's newest DTULTATUCACH, when it is newer than the column's.
  void avancaDataPelaCache(std::string_view cacheTable, std::string_view table,
                           std::string_view column);
  bool tabelaVazia(std::string_view table);

 private:
  void advance(std::string_view table, std::string_view column, db::DateTime date);

  db::Connection& conn_;
};

}  // namespace download
