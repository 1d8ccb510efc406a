#include "db/embedded/ddl/alter_table.h"

#include <sqlite3.h>

#include <algorithm>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/catalog/constraints.h"
#include "db/embedded/catalog/default_text.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/ddl/column_clause.h"
#include "db/embedded/ddl/procedural.h"
#include "db/embedded/ddl/table_store.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/translate/type_names.h"
#include "db/embedded/value_codec.h"

namespace db::embedded::ddl {
namespace {

using ColumnKind = ColumnConstraint::Kind;
using TableKind = TableConstraint::Kind;

constexpr std::string_view kIndexColumns =
    "SELECT il.name, ii.name FROM pragma_index_list(?1, 'main') il "
    "CROSS JOIN pragma_index_info(il.name, 'main') ii";
constexpr std::string_view kUniqueKeys =
    "SELECT il.name, ii.name FROM pragma_index_list(?1, 'main') il "
    "CROSS JOIN pragma_index_info(il.name, 'main') ii WHERE il.\"unique\" = 1 ORDER BY il.name";

[[noreturn]] void fail(const TokenCursor& cursor, const std::string& message,
                       ErrorKind kind = ErrorKind::General) {
  throw Error(kind, message, std::string(cursor.sql()));
}

std::vector<std::string> sameColumns(const TableDef& def) {
  std::vector<std::string> out;
  for (const auto& column : def.columns) out.push_back(quoteIdentifier(column.name));
  return out;
}

std::string joinQuoted(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& name : names) out += (out.empty() ? "" : ", ") + quoteIdentifier(name);
  return out;
}

size_t requireColumn(const TokenCursor& cursor, const StoredTable& table, const std::string& name) {
  const auto index = table.def.columnIndex(name);
  if (!index) fail(cursor, "Invalid column name '" + name + "' in table '" + table.name + "'.");
  return *index;
}

void requireNewName(sqlite3* db, const TokenCursor& cursor, const std::string& name) {
  if (objectExists(db, name))
    fail(cursor, "There is already an object named '" + name + "' in the database.");
}

// What the rebuild copies into a column whose type changes: each value converted as the server
// converts it between texts and dates. Left to SQLite's affinity, a text would stay a text in a
// date column and a date would become its day number in a text column.
std::string changedColumnSource(const std::string& column, std::string_view from,
                                std::string_view to) {
  const std::string quoted = quoteIdentifier(column);
  if (isDateType(to) && !isDateType(from)) return convertedToDate(quoted);
  if (isDateType(from) && isTextType(to)) return "KIVTAB_DATETEXT(" + quoted + ", 0)";
  return quoted;
}

bool isEmpty(sqlite3* db, const StoredTable& table) {
  return sqlite::scalarText(db, "SELECT count(*) FROM (SELECT 1 FROM " +
                                    quoteIdentifier(table.name) + " LIMIT 1)") == "0";
}

// ALTER COLUMN c type [COLLATE x] [NULL | NOT NULL]: without NOT NULL the column allows NULL.
int64_t alterColumn(sqlite3* db, TokenCursor& cursor, const StoredTable& table) {
  const std::string name = cursor.name();
  const size_t index = requireColumn(cursor, table, name);
  const std::string type = readType(cursor);
  const std::string collation = readCollation(cursor, type);
  bool notNull = false;
  if (cursor.accept("NOT")) {
    cursor.expect("NULL");
    notNull = true;
  } else {
    cursor.accept("NULL");
  }
  cursor.expectEnd();
  TableDef next = table.def;
  ColumnDef& column = next.columns[index];
  const auto key = table.def.primaryKey();
  const bool inKey = std::any_of(key.begin(), key.end(),
                                 [&](const std::string& k) { return iequals(k, column.name); });
  if (inKey && !notNull)
    fail(cursor, "Cannot make column '" + column.name +
                     "' nullable: it is part of the PRIMARY KEY of table '" + table.name + "'.");
  std::vector<std::string> sources = sameColumns(next);
  sources[index] = changedColumnSource(column.name, column.type, type);
  column.type = type;
  std::vector<ColumnConstraint> kept;
  if (!collation.empty()) kept.push_back({ColumnKind::Collate, {}, "COLLATE " + collation});
  if (notNull) kept.push_back({ColumnKind::NotNull, {}, "NOT NULL"});
  for (const auto& c : column.constraints)
    if (c.kind != ColumnKind::NotNull && c.kind != ColumnKind::Null &&
        c.kind != ColumnKind::Collate)
      kept.push_back(c);
  column.constraints = std::move(kept);
  rebuildTable(db, table, next, sources, cursor.sql());
  return 0;
}

// ADD column[, column]: natively when SQLite's ADD COLUMN gives the server's result, else by
// rebuilding. On the server a default fills the existing rows only WITH VALUES or for a
// NOT NULL column; SQLite would always fill them.
int64_t addColumns(sqlite3* db, TokenCursor& cursor, const StoredTable& table) {
  std::vector<ColumnClause> clauses;
  do {
    clauses.push_back(readColumnClause(cursor));
  } while (cursor.acceptSymbol(","));
  cursor.expectEnd();
  TableDef next = table.def;
  std::vector<std::string> sources = sameColumns(table.def);
  bool native = true;
  for (const auto& clause : clauses) {
    if (next.columnIndex(clause.name))
      fail(cursor, "Column names in each table must be unique. Column name '" + clause.name +
                       "' in table '" + table.name + "' is specified more than once.");
    if (!clause.defaultName.empty()) requireNewName(db, cursor, clause.defaultName);
    const bool notNull = clause.notNull.value_or(false);
    const bool fills = clause.defaultTerm && (clause.withValues || notNull);
    if (notNull && !clause.defaultTerm && !isEmpty(db, table))
      fail(cursor,
           "ALTER TABLE only allows columns to be added that can contain nulls, or have a "
           "DEFAULT definition specified. Column '" +
               clause.name + "' cannot be added to non-empty table '" + table.name + "'.");
    const bool constantDefault = clause.defaultTerm && clause.defaultTerm->front() != '(';
    if ((clause.defaultTerm && !fills) || (clause.defaultTerm && !constantDefault) ||
        (notNull && !clause.defaultTerm))
      native = false;
    next.columns.push_back(clause.toColumnDef());
    sources.push_back(fills ? *clause.defaultTerm : "NULL");
  }
  if (!native) {
    rebuildTable(db, table, next, sources, cursor.sql());
    return 0;
  }
  sqlite::exec(db, "SAVEPOINT kivtab_add_columns");
  try {
    for (size_t i = table.def.columns.size(); i < next.columns.size(); ++i) {
      TableDef one;
      one.columns.push_back(next.columns[i]);
      const std::string rendered = one.render("x");
      const size_t open = rendered.find('(');
      sqlite::exec(db,
                   "ALTER TABLE " + quoteIdentifier(table.name) + " ADD COLUMN " +
                       std::string(trim(rendered.substr(open + 1, rendered.size() - open - 2))));
    }
    sqlite::exec(db, "RELEASE kivtab_add_columns");
  } catch (const Error& e) {
    sqlite3_exec(db, "ROLLBACK TO kivtab_add_columns; RELEASE kivtab_add_columns", nullptr, nullptr,
                 nullptr);
    throw Error(e.kind(), e.what(), std::string(cursor.sql()), e.nativeCode());
  }
  return 0;
}

int64_t addPrimaryKey(sqlite3* db, TokenCursor& cursor, const StoredTable& table,
                      const std::string& name) {
  if (!cursor.accept("CLUSTERED")) cursor.accept("NONCLUSTERED");
  const std::vector<std::string> columns = cursor.nameList();
  cursor.expectEnd();
  if (!table.def.primaryKey().empty())
    fail(cursor, "Table '" + table.name + "' already has a primary key defined on it.");
  for (const auto& column : columns) {
    const size_t index = requireColumn(cursor, table, column);
    if (!table.def.columns[index].notNull())
      fail(cursor, "Cannot define PRIMARY KEY constraint on nullable column '" + column +
                       "' in table '" + table.name + "'.");
  }
  TableDef next = table.def;
  next.constraints.push_back(
      {TableKind::PrimaryKey, name, "PRIMARY KEY (" + joinQuoted(columns) + ")", columns, {}, {}});
  try {
    rebuildTable(db, table, next, sameColumns(next), cursor.sql());
  } catch (const Error& e) {
    if (e.kind() != ErrorKind::DuplicateKey) throw;
    fail(cursor,
         "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the "
         "object name '" +
             table.name + "' and the index name '" + name + "'.",
         ErrorKind::DuplicateKey);
  }
  return 0;
}

// The parent's key columns that a foreign key may reference: its primary key or a unique index
// with exactly these columns.
bool isCandidateKey(sqlite3* db, const StoredTable& parent, const std::vector<std::string>& cols) {
  auto sameSet = [&](const std::vector<std::string>& key) {
    if (key.size() != cols.size()) return false;
    for (const auto& c : cols)
      if (std::none_of(key.begin(), key.end(), [&](const std::string& k) { return iequals(k, c); }))
        return false;
    return true;
  };
  if (sameSet(parent.def.primaryKey())) return true;
  sqlite::Stmt stmt(db, kUniqueKeys);
  stmt.bind(1, parent.name);
  std::string current;
  std::vector<std::string> key;
  while (stmt.step()) {
    if (stmt.text(0) != current) {
      if (sameSet(key)) return true;
      current = stmt.text(0);
      key.clear();
    }
    key.push_back(stmt.text(1));
  }
  return sameSet(key);
}

// [ON DELETE|UPDATE action]... [NOT FOR REPLICATION], as SQLite text.
std::string referentialActions(TokenCursor& cursor) {
  std::string actions;
  while (cursor.accept("ON")) {
    std::string event;
    if (cursor.accept("DELETE")) {
      event = "ON DELETE";
    } else {
      cursor.expect("UPDATE");
      event = "ON UPDATE";
    }
    if (cursor.accept("CASCADE")) {
      actions += " " + event + " CASCADE";
    } else if (cursor.accept("NO")) {
      cursor.expect("ACTION");
      actions += " " + event + " NO ACTION";
    } else if (cursor.accept("SET")) {
      const bool toNull = cursor.accept("NULL");
      if (!toNull) cursor.expect("DEFAULT");
      actions += " " + event + (toNull ? " SET NULL" : " SET DEFAULT");
    } else {
      cursor.syntax("a referential action expected");
    }
  }
  if (cursor.accept("NOT")) {
    cursor.expect("FOR");
    cursor.expect("REPLICATION");
  }
  return actions;
}

// The referenced columns must exist and be the parent's key or a unique set of its columns.
void requireParentKey(sqlite3* db, TokenCursor& cursor, const StoredTable& parent,
                      const std::string& name, const std::vector<std::string>& columns,
                      const std::vector<std::string>& parentColumns) {
  for (const auto& column : parentColumns)
    if (!parent.def.columnIndex(column))
      fail(cursor, "Foreign key '" + name + "' references invalid column '" + column +
                       "' in referenced table '" + parent.name + "'.");
  if (parentColumns.size() != columns.size() || !isCandidateKey(db, parent, parentColumns))
    fail(cursor, "There are no primary or candidate keys in the referenced table '" + parent.name +
                     "' that match the referencing column list in the foreign key '" + name + "'.");
}

// Rows whose key is complete must find their parent row.
void requireNoOrphans(sqlite3* db, TokenCursor& cursor, const StoredTable& table,
                      const StoredTable& parent, const std::string& name,
                      const std::vector<std::string>& columns,
                      const std::vector<std::string>& parentColumns) {
  std::string complete, match;
  for (size_t i = 0; i < columns.size(); ++i) {
    complete +=
        (i ? " AND " : "") + std::string("c.") + quoteIdentifier(columns[i]) + " IS NOT NULL";
    match += (i ? " AND " : "") + std::string("p.") + quoteIdentifier(parentColumns[i]) + " = c." +
             quoteIdentifier(columns[i]);
  }
  const std::string orphans = "SELECT count(*) FROM (SELECT 1 FROM " + quoteIdentifier(table.name) +
                              " c WHERE " + complete + " AND NOT EXISTS (SELECT 1 FROM " +
                              quoteIdentifier(parent.name) + " p WHERE " + match + ") LIMIT 1)";
  if (sqlite::scalarText(db, orphans) != "0")
    fail(cursor,
         "The ALTER TABLE statement conflicted with the FOREIGN KEY constraint \"" + name +
             "\". The conflict occurred in table \"" + parent.name + "\".",
         ErrorKind::Constraint);
}

int64_t addForeignKey(sqlite3* db, TokenCursor& cursor, const StoredTable& table,
                      const std::string& name, bool check) {
  const std::vector<std::string> columns = cursor.nameList();
  cursor.expect("REFERENCES");
  const std::string parentName = cursor.name();
  std::vector<std::string> parentColumns;
  if (cursor.peekSymbol("(")) parentColumns = cursor.nameList();
  const std::string actions = referentialActions(cursor);
  cursor.expectEnd();
  for (const auto& column : columns) requireColumn(cursor, table, column);
  const auto parent = findTable(db, parentName);
  if (!parent)
    fail(cursor, "Foreign key '" + name + "' references invalid table '" + parentName + "'.");
  if (parentColumns.empty()) parentColumns = parent->def.primaryKey();
  requireParentKey(db, cursor, *parent, name, columns, parentColumns);
  if (check) requireNoOrphans(db, cursor, table, *parent, name, columns, parentColumns);
  TableDef next = table.def;
  TableConstraint fk{TableKind::ForeignKey,
                     name,
                     "FOREIGN KEY (" + joinQuoted(columns) + ") REFERENCES " +
                         quoteIdentifier(parent->name) + " (" + joinQuoted(parentColumns) + ")" +
                         actions,
                     columns,
                     parent->name,
                     parentColumns};
  next.constraints.push_back(fk);
  rebuildTable(db, table, next, sameColumns(next), cursor.sql());
  return 0;
}

// ADD [CONSTRAINT n] DEFAULT x FOR c
int64_t addDefault(sqlite3* db, TokenCursor& cursor, const StoredTable& table,
                   const std::string& name) {
  const auto term = cursor.until([](const Token& t) { return t.is("FOR"); });
  if (term.empty()) cursor.syntax("a default value expected");
  cursor.expect("FOR");
  const std::string columnName = cursor.name();
  if (cursor.accept("WITH")) cursor.expect("VALUES");
  cursor.expectEnd();
  const size_t index = requireColumn(cursor, table, columnName);
  if (table.def.columns[index].find(ColumnKind::Default))
    fail(cursor, "Column already has a DEFAULT bound to it. Could not create constraint or index.");
  TableDef next = table.def;
  next.columns[index].constraints.push_back(
      {ColumnKind::Default, name, "DEFAULT " + catalog::sqliteDefault(term)});
  rebuildTable(db, table, next, sameColumns(next), cursor.sql());
  return 0;
}

int64_t addConstraint(sqlite3* db, TokenCursor& cursor, const StoredTable& table, bool check) {
  std::string name;
  if (cursor.accept("CONSTRAINT")) {
    name = cursor.name();
    requireNewName(db, cursor, name);
  }
  if (cursor.accept("PRIMARY")) {
    cursor.expect("KEY");
    return addPrimaryKey(db, cursor, table, name.empty() ? "PK__" + table.name : name);
  }
  if (cursor.accept("FOREIGN")) {
    cursor.expect("KEY");
    return addForeignKey(db, cursor, table, name, check);
  }
  if (cursor.accept("DEFAULT")) return addDefault(db, cursor, table, name);
  cursor.unsupported("ADD CONSTRAINT " + upper(cursor.peek().text));
}

// Removes the constraint named `name` from `def`; its kind ("PK", "F", "D", "UQ", "C").
std::string removeConstraint(TableDef& def, const std::string& tableName, const std::string& name) {
  for (const auto& c : catalog::constraintsOf(def, tableName)) {
    if (!iequals(c.name, name)) continue;
    if (c.columnIndex >= 0) {
      auto& list = def.columns[static_cast<size_t>(c.columnIndex)].constraints;
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(c.constraintIndex));
    } else {
      def.constraints.erase(def.constraints.begin() +
                            static_cast<std::ptrdiff_t>(c.constraintIndex));
    }
    return c.type;
  }
  return {};
}

int64_t dropConstraints(sqlite3* db, TokenCursor& cursor, const StoredTable& table) {
  TableDef next = table.def;
  do {
    cursor.accept("CONSTRAINT");
    bool ifExists = false;
    if (cursor.accept("IF")) {
      cursor.expect("EXISTS");
      ifExists = true;
    }
    const std::string name = cursor.name();
    const std::string type = removeConstraint(next, table.name, name);
    if (type.empty()) {
      if (ifExists) continue;
      fail(cursor, "'" + name + "' is not a constraint. Could not drop constraint.");
    }
    if (type == "PK") {
      for (const auto& ref : referencesTo(db, table.name))
        if (!iequals(ref.childTable, table.name))
          fail(cursor, "The constraint '" + name + "' is being referenced by table '" +
                           ref.childTable + "', foreign key constraint '" + ref.constraintName +
                           "'. Could not drop constraint.");
    }
  } while (cursor.acceptSymbol(","));
  cursor.expectEnd();
  rebuildTable(db, table, next, sameColumns(next), cursor.sql());
  return 0;
}

// DROP COLUMN c[, c]: refused, as on the server, while an index, key or default uses it.
int64_t dropColumns(sqlite3* db, TokenCursor& cursor, const StoredTable& table) {
  std::vector<std::string> dropped;
  do {
    dropped.push_back(cursor.name());
  } while (cursor.acceptSymbol(","));
  cursor.expectEnd();
  auto dependent = [&](const std::string& column, const std::string& object) {
    fail(cursor, "The object '" + object + "' is dependent on column '" + column +
                     "'. ALTER TABLE DROP COLUMN " + column +
                     " failed because one or more objects access this column.");
  };
  TableDef next = table.def;
  const auto constraints = catalog::constraintsOf(table.def, table.name);
  for (const auto& column : dropped) {
    const size_t index = requireColumn(cursor, table, column);
    const ColumnDef& def = table.def.columns[index];
    for (const auto& c : constraints)
      if (c.columnIndex == static_cast<int>(index) && c.type != "C") dependent(column, c.name);
    for (const auto& c : constraints) {
      if (c.columnIndex >= 0) continue;
      const auto& tc = table.def.constraints[c.constraintIndex];
      for (const auto& k : tc.columns)
        if (iequals(k, def.name)) dependent(column, c.name);
    }
    sqlite::Stmt indexes(db, kIndexColumns);
    indexes.bind(1, table.name);
    while (indexes.step())
      if (iequals(indexes.text(1), def.name)) dependent(column, indexes.text(0));
    for (const auto& ref : referencesTo(db, table.name)) {
      const auto child = findTable(db, ref.childTable);
      for (const auto& c : catalog::constraintsOf(child->def, child->name)) {
        if (c.name != ref.constraintName || c.columnIndex >= 0) continue;
        for (const auto& k : child->def.constraints[c.constraintIndex].refColumns)
          if (iequals(k, def.name)) dependent(column, c.name);
      }
    }
    next.columns.erase(next.columns.begin() +
                       static_cast<std::ptrdiff_t>(*next.columnIndex(def.name)));
  }
  if (next.columns.empty())
    fail(cursor, "ALTER TABLE DROP COLUMN failed: a table must keep at least one column.");
  rebuildTable(db, table, next, sameColumns(next), cursor.sql());
  return 0;
}

}  // namespace

int64_t alterTable(sqlite3* db, TokenCursor& cursor) {
  const std::string tableName = cursor.name();
  if (cursor.peekIs("ENABLE") || cursor.peekIs("DISABLE")) {
    const bool enable = cursor.accept("ENABLE");
    if (!enable) cursor.expect("DISABLE");
    const int64_t result = enableTableTriggers(db, cursor, tableName, enable);
    cursor.expectEnd();
    return result;
  }
  const StoredTable table = loadTable(db, tableName, cursor.sql());
  bool check = true;
  if (cursor.accept("WITH")) {
    check = cursor.accept("CHECK");
    if (!check) cursor.expect("NOCHECK");
  }
  if (cursor.accept("ALTER")) {
    cursor.expect("COLUMN");
    return alterColumn(db, cursor, table);
  }
  if (cursor.accept("ADD")) {
    if (cursor.peekIs("CONSTRAINT") || cursor.peekIs("PRIMARY") || cursor.peekIs("FOREIGN") ||
        cursor.peekIs("DEFAULT"))
      return addConstraint(db, cursor, table, check);
    if (cursor.peekIs("UNIQUE") || cursor.peekIs("CHECK"))
      cursor.unsupported("ADD " + upper(cursor.peek().text));
    return addColumns(db, cursor, table);
  }
  if (cursor.accept("DROP")) {
    if (cursor.accept("COLUMN")) return dropColumns(db, cursor, table);
    return dropConstraints(db, cursor, table);
  }
  cursor.unsupported("ALTER TABLE " + (cursor.atEnd() ? std::string() : upper(cursor.peek().text)));
}

}  // namespace db::embedded::ddl
