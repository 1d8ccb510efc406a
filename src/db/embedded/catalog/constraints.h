#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/ddl/table_def.h"

// The named constraints of a table as the server's catalogue lists them. Constraints declared
// without a name get the stable name the server would show for them here: PK__T, DF__T__C,
// FK__T__1, UQ__T__1, CK__T__1.
namespace db::embedded::catalog {

struct CatalogConstraint {
  std::string name;
  std::string type;    // "PK", "F", "D", "UQ", "C"
  int64_t offset = 0;  // object id = table id * kIdsPerTable + offset
  std::string column;  // the column of a default
  // Where it is declared: a column's constraint (columnIndex >= 0) or a table constraint.
  int columnIndex = -1;
  size_t constraintIndex = 0;  // in the column's or the table's constraint list
  std::string refTable;        // the referenced table of a foreign key
};

constexpr int64_t kIdsPerTable = 65536;

std::vector<CatalogConstraint> constraintsOf(const ddl::TableDef& table,
                                             std::string_view tableName);

}  // namespace db::embedded::catalog
