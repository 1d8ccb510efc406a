#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A table's definition read from (and written back as) SQLite's CREATE TABLE text, detailed
// enough to change one column or constraint and keep every other clause exactly as it was.
namespace db::embedded::ddl {

struct ColumnConstraint {
  enum class Kind { NotNull, Null, Default, PrimaryKey, Unique, Check, Collate, References, Other };
  Kind kind;
  std::string name;  // the CONSTRAINT name, or empty
  std::string body;  // the clause's SQLite text without "CONSTRAINT name"
};

struct ColumnDef {
  std::string name;
  std::string type;  // declared type text, possibly empty
  std::vector<ColumnConstraint> constraints;

  bool notNull() const;
  bool hasPrimaryKey() const;
  const ColumnConstraint* find(ColumnConstraint::Kind kind) const;
};

struct TableConstraint {
  enum class Kind { PrimaryKey, Unique, Check, ForeignKey };
  Kind kind;
  std::string name;                     // the CONSTRAINT name, or empty
  std::string body;                     // SQLite text without "CONSTRAINT name"
  std::vector<std::string> columns;     // key columns (PRIMARY KEY, UNIQUE, FOREIGN KEY)
  std::string refTable;                 // FOREIGN KEY only
  std::vector<std::string> refColumns;  // FOREIGN KEY only; empty means the parent's key
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
  std::vector<TableConstraint> constraints;
  std::string options;  // text after the closing parenthesis ("WITHOUT ROWID")

  // Throws db::Error(Unsupported) when the text is not a CREATE TABLE with a column list.
  static TableDef parse(std::string_view createSql);
  std::string render(std::string_view tableName) const;

  // Index of the column named `name` (without regard to case), or nothing.
  std::optional<size_t> columnIndex(std::string_view name) const;
  // The primary key's columns in key order, from a table or a column constraint.
  std::vector<std::string> primaryKey() const;
};

}  // namespace db::embedded::ddl
