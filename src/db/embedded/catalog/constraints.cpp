#include "db/embedded/catalog/constraints.h"

namespace db::embedded::catalog {
namespace {

// Offsets within a table's id block, one range per kind.
constexpr int64_t kPrimaryKeyOffset = 32768;
constexpr int64_t kUniqueBase = 33000;
constexpr int64_t kForeignKeyBase = 40000;
constexpr int64_t kCheckBase = 50000;

std::string orDefault(const std::string& name, std::string fallback) {
  return name.empty() ? fallback : name;
}

}  // namespace

std::vector<CatalogConstraint> constraintsOf(const ddl::TableDef& table,
                                             std::string_view tableName) {
  using ColumnKind = ddl::ColumnConstraint::Kind;
  using TableKind = ddl::TableConstraint::Kind;
  const std::string t(tableName);
  std::vector<CatalogConstraint> out;
  int unique = 0, foreign = 0, check = 0;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const auto& column = table.columns[i];
    for (const auto& c : column.constraints) {
      switch (c.kind) {
        case ColumnKind::Default:
          out.push_back({orDefault(c.name, "DF__" + t + "__" + column.name), "D",
                         static_cast<int64_t>(i) + 1, column.name});
          break;
        case ColumnKind::PrimaryKey:
          out.push_back({orDefault(c.name, "PK__" + t), "PK", kPrimaryKeyOffset, {}});
          break;
        case ColumnKind::Unique:
          ++unique;
          out.push_back({orDefault(c.name, "UQ__" + t + "__" + std::to_string(unique)),
                         "UQ",
                         kUniqueBase + unique,
                         {}});
          break;
        case ColumnKind::References:
          ++foreign;
          out.push_back({orDefault(c.name, "FK__" + t + "__" + std::to_string(foreign)),
                         "F",
                         kForeignKeyBase + foreign,
                         {}});
          break;
        case ColumnKind::Check:
          ++check;
          out.push_back({orDefault(c.name, "CK__" + t + "__" + std::to_string(check)),
                         "C",
                         kCheckBase + check,
                         {}});
          break;
        default:
          break;
      }
    }
  }
  for (const auto& c : table.constraints) {
    switch (c.kind) {
      case TableKind::PrimaryKey:
        out.push_back({orDefault(c.name, "PK__" + t), "PK", kPrimaryKeyOffset, {}});
        break;
      case TableKind::Unique:
        ++unique;
        out.push_back({orDefault(c.name, "UQ__" + t + "__" + std::to_string(unique)),
                       "UQ",
                       kUniqueBase + unique,
                       {}});
        break;
      case TableKind::ForeignKey:
        ++foreign;
        out.push_back({orDefault(c.name, "FK__" + t + "__" + std::to_string(foreign)),
                       "F",
                       kForeignKeyBase + foreign,
                       {}});
        break;
      case TableKind::Check:
        ++check;
        out.push_back({orDefault(c.name, "CK__" + t + "__" + std::to_string(check)),
                       "C",
                       kCheckBase + check,
                       {}});
        break;
    }
  }
  return out;
}

}  // namespace db::embedded::catalog
