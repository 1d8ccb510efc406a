#include "db/embedded/catalog/constraints.h"

#include "db/embedded/tokenizer.h"

namespace db::embedded::catalog {
namespace {

// Offsets within a table's id block, one range per kind.
constexpr int64_t kPrimaryKeyOffset = 32768;
constexpr int64_t kUniqueBase = 33000;
constexpr int64_t kForeignKeyBase = 40000;
constexpr int64_t kCheckBase = 50000;

// "REFERENCES parent (cols) ..." -> "parent".
std::string referencedTable(const std::string& body) {
  const auto tokens = significant(tokenize(body));
  return tokens.size() > 1 ? tokens[1].value() : std::string();
}

}  // namespace

std::vector<CatalogConstraint> constraintsOf(const ddl::TableDef& table,
                                             std::string_view tableName) {
  using ColumnKind = ddl::ColumnConstraint::Kind;
  using TableKind = ddl::TableConstraint::Kind;
  const std::string t(tableName);
  std::vector<CatalogConstraint> out;
  int unique = 0, foreign = 0, check = 0;
  auto add = [&](const std::string& given, const std::string& type, int64_t offset,
                 const std::string& generated) {
    CatalogConstraint c;
    c.name = given.empty() ? generated : given;
    c.type = type;
    c.offset = offset;
    out.push_back(c);
    return &out.back();
  };
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const auto& column = table.columns[i];
    for (size_t k = 0; k < column.constraints.size(); ++k) {
      const auto& c = column.constraints[k];
      CatalogConstraint* added = nullptr;
      switch (c.kind) {
        case ColumnKind::Default:
          added = add(c.name, "D", static_cast<int64_t>(i) + 1, "DF__" + t + "__" + column.name);
          added->column = column.name;
          break;
        case ColumnKind::PrimaryKey:
          added = add(c.name, "PK", kPrimaryKeyOffset, "PK__" + t);
          break;
        case ColumnKind::Unique:
          ++unique;
          added =
              add(c.name, "UQ", kUniqueBase + unique, "UQ__" + t + "__" + std::to_string(unique));
          break;
        case ColumnKind::References:
          ++foreign;
          added = add(c.name, "F", kForeignKeyBase + foreign,
                      "FK__" + t + "__" + std::to_string(foreign));
          added->refTable = referencedTable(c.body);
          break;
        case ColumnKind::Check:
          ++check;
          added = add(c.name, "C", kCheckBase + check, "CK__" + t + "__" + std::to_string(check));
          break;
        default:
          break;
      }
      if (added) {
        added->columnIndex = static_cast<int>(i);
        added->constraintIndex = k;
      }
    }
  }
  for (size_t k = 0; k < table.constraints.size(); ++k) {
    const auto& c = table.constraints[k];
    CatalogConstraint* added = nullptr;
    switch (c.kind) {
      case TableKind::PrimaryKey:
        added = add(c.name, "PK", kPrimaryKeyOffset, "PK__" + t);
        break;
      case TableKind::Unique:
        ++unique;
        added = add(c.name, "UQ", kUniqueBase + unique, "UQ__" + t + "__" + std::to_string(unique));
        break;
      case TableKind::ForeignKey:
        ++foreign;
        added = add(c.name, "F", kForeignKeyBase + foreign,
                    "FK__" + t + "__" + std::to_string(foreign));
        added->refTable = c.refTable;
        break;
      case TableKind::Check:
        ++check;
        added = add(c.name, "C", kCheckBase + check, "CK__" + t + "__" + std::to_string(check));
        break;
    }
    added->constraintIndex = k;
  }
  return out;
}

}  // namespace db::embedded::catalog
