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

// The constraints in the order of the definition, each kind numbered on its own as the server
// numbers the names it makes up.
class ConstraintList {
 public:
  explicit ConstraintList(std::string_view table) : table_(table) {}

  CatalogConstraint& defaultOf(const std::string& given, size_t column,
                               const std::string& columnName) {
    CatalogConstraint& c =
        add(given, "D", static_cast<int64_t>(column) + 1, "DF__" + table_ + "__" + columnName);
    c.column = columnName;
    return c;
  }
  CatalogConstraint& primaryKey(const std::string& given) {
    return add(given, "PK", kPrimaryKeyOffset, "PK__" + table_);
  }
  CatalogConstraint& unique(const std::string& given) {
    ++unique_;
    return add(given, "UQ", kUniqueBase + unique_, numbered("UQ", unique_));
  }
  CatalogConstraint& foreignKey(const std::string& given, std::string refTable) {
    ++foreign_;
    CatalogConstraint& c = add(given, "F", kForeignKeyBase + foreign_, numbered("FK", foreign_));
    c.refTable = std::move(refTable);
    return c;
  }
  CatalogConstraint& check(const std::string& given) {
    ++check_;
    return add(given, "C", kCheckBase + check_, numbered("CK", check_));
  }

  std::vector<CatalogConstraint> take() { return std::move(out_); }

 private:
  CatalogConstraint& add(const std::string& given, const std::string& type, int64_t offset,
                         const std::string& generated) {
    CatalogConstraint& c = out_.emplace_back();
    c.name = given.empty() ? generated : given;
    c.type = type;
    c.offset = offset;
    return c;
  }
  std::string numbered(std::string_view prefix, int n) const {
    return std::string(prefix) + "__" + table_ + "__" + std::to_string(n);
  }

  std::string table_;
  std::vector<CatalogConstraint> out_;
  int unique_ = 0;
  int foreign_ = 0;
  int check_ = 0;
};

// NOT NULL, NULL, COLLATE and the like are no named constraints: null for them.
CatalogConstraint* columnConstraint(ConstraintList& list, const ddl::ColumnDef& column,
                                    size_t index, const ddl::ColumnConstraint& c) {
  using Kind = ddl::ColumnConstraint::Kind;
  switch (c.kind) {
    case Kind::Default:
      return &list.defaultOf(c.name, index, column.name);
    case Kind::PrimaryKey:
      return &list.primaryKey(c.name);
    case Kind::Unique:
      return &list.unique(c.name);
    case Kind::References:
      return &list.foreignKey(c.name, referencedTable(c.body));
    case Kind::Check:
      return &list.check(c.name);
    default:
      return nullptr;
  }
}

CatalogConstraint& tableConstraint(ConstraintList& list, const ddl::TableConstraint& c) {
  using Kind = ddl::TableConstraint::Kind;
  switch (c.kind) {
    case Kind::PrimaryKey:
      return list.primaryKey(c.name);
    case Kind::Unique:
      return list.unique(c.name);
    case Kind::ForeignKey:
      return list.foreignKey(c.name, c.refTable);
    case Kind::Check:
      break;
  }
  return list.check(c.name);
}

}  // namespace

std::vector<CatalogConstraint> constraintsOf(const ddl::TableDef& table,
                                             std::string_view tableName) {
  ConstraintList list(tableName);
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const auto& column = table.columns[i];
    for (size_t k = 0; k < column.constraints.size(); ++k) {
      if (CatalogConstraint* added = columnConstraint(list, column, i, column.constraints[k])) {
        added->columnIndex = static_cast<int>(i);
        added->constraintIndex = k;
      }
    }
  }
  for (size_t k = 0; k < table.constraints.size(); ++k)
    tableConstraint(list, table.constraints[k]).constraintIndex = k;
  return list.take();
}

}  // namespace db::embedded::catalog
