#include "db/embedded/translate/statement_forms.h"

#include "db/core/text.h"
#include "db/embedded/extension.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/translate/aggregate_split.h"
#include "db/embedded/translate/column_definition.h"
#include "db/embedded/translate/context.h"
#include "db/embedded/translate/expression_writer.h"
#include "db/embedded/translate/type_names.h"

namespace db::embedded {
namespace {

constexpr std::string_view kViewSavepoint = "SAVEPOINT kivtab_view";
constexpr std::string_view kViewRelease = "RELEASE kivtab_view";
constexpr std::string_view kViewRollback = "ROLLBACK TO kivtab_view";

bool isConstraintStart(const Token& t) {
  return t.is("CONSTRAINT") || t.is("PRIMARY") || t.is("UNIQUE") || t.is("FOREIGN") ||
         t.is("CHECK");
}

void expect(const TranslationContext& ctx, size_t i, std::string_view word) {
  if (!ctx.is(i, word)) ctx.syntax(std::string(word) + " was expected");
}

// A table the statement creates, fills or drops: in this database or another of the server.
TableName tableAt(TranslationContext& ctx, size_t& i) {
  TableName table = resolveTable(ctx, readChain(ctx, i));
  if (!table.inlineSql.empty()) ctx.unsupported("changing the catalogue view " + table.name);
  return table;
}

std::string schemaPrefix(const TableName& table) {
  return table.schema.empty() ? std::string() : quoteIdentifier(table.schema) + ".";
}

// The source text from token `from` to the end of the statement (without a closing ';').
std::string sourceFrom(const TranslationContext& ctx, size_t from) {
  const Token& last = ctx.tokens.back();
  const size_t begin = ctx.tokens[from].offset;
  return std::string(ctx.sql.substr(begin, last.offset + last.text.size() - begin));
}

std::string objectExistsProbe(const std::string& name) {
  if (auto view = catalog::viewFor("SYSOBJECTS"))
    return "SELECT 1 FROM " + quoteIdentifier(*view) + " WHERE NAME = " + quoteString(name);
  return "SELECT 1 FROM sqlite_master WHERE name = " + quoteString(name) + " COLLATE NOCASE";
}

void createTable(TranslationContext& ctx, ExpressionWriter& writer, Translation& out) {
  size_t i = 2;
  const TableName table = tableAt(ctx, i);
  if (!ctx.isSymbol(i, "(")) ctx.syntax("'(' was expected after the table name");
  const size_t close = ctx.closing(i);
  for (size_t k = close + 1; k < ctx.tokens.size(); ++k) {
    if (ctx.is(k, "ON") || ctx.is(k, "TEXTIMAGE_ON")) {
      ++k;  // filegroup
      continue;
    }
    ctx.unsupported("the table option " + std::string(ctx.tokens[k].text));
  }
  std::vector<ColumnDefinition> columns;
  std::vector<std::string> constraints;
  std::vector<std::pair<size_t, size_t>> constraintRanges;
  for (const auto& range : ctx.splitCommas(i + 1, close)) {
    if (isConstraintStart(ctx.at(range.first))) {
      constraintRanges.push_back(range);
      constraints.push_back(translateTableConstraint(ctx, writer, range));
    } else {
      columns.push_back(translateColumn(ctx, writer, range));
    }
  }
  // SQLite numbers rows itself only for an INTEGER PRIMARY KEY column, so an IDENTITY column
  // whose key is a separate constraint takes the key over.
  for (auto& column : columns) {
    if (!column.identity || column.primaryKey) continue;
    bool moved = false;
    for (size_t c = 0; c < constraints.size() && !moved; ++c) {
      const auto [b, e] = constraintRanges[c];
      size_t k = b;
      if (ctx.is(k, "CONSTRAINT")) k += 2;
      if (!ctx.is(k, "PRIMARY")) continue;
      while (k < e && !ctx.isSymbol(k, "(")) ++k;
      if (k + 2 < e && ctx.isSymbol(k + 2, ")") &&
          iequals(ctx.tokens[k + 1].value(), column.name)) {
        constraints.erase(constraints.begin() + static_cast<long>(c));
        constraintRanges.erase(constraintRanges.begin() + static_cast<long>(c));
        moved = true;
      }
    }
    if (!moved) ctx.unsupported("IDENTITY on a column that is not the table's only key column");
    column.primaryKey = true;
    column.sql = quoteIdentifier(column.name) + " INTEGER PRIMARY KEY AUTOINCREMENT" +
                 (column.nullable ? "" : " NOT NULL");
  }
  std::string sql = createTableWords(table.name) + table.sql() + " (";
  bool first = true;
  for (const auto& c : columns) {
    sql += (first ? "" : ", ") + c.sql;
    first = false;
  }
  for (const auto& c : constraints) {
    sql += (first ? "" : ", ") + c;
    first = false;
  }
  out.sql = sql + ")";
  out.changesSchema = true;
  // SQLite's AUTOINCREMENT continues after the number its sequence table holds.
  for (const auto& column : columns)
    if (column.identity && column.identitySeed != 1)
      out.after.push_back("INSERT INTO " + schemaPrefix(table) +
                          "sqlite_sequence (name, seq) VALUES (" + quoteString(table.name) + ", " +
                          std::to_string(column.identitySeed - 1) + ")");
}

void createIndex(TranslationContext& ctx, Translation& out) {
  size_t i = 1;
  const bool unique = ctx.is(i, "UNIQUE");
  if (unique) ++i;
  if (ctx.is(i, "CLUSTERED") || ctx.is(i, "NONCLUSTERED")) ++i;
  expect(ctx, i++, "INDEX");
  const std::string name = ctx.at(i++).value();
  expect(ctx, i++, "ON");
  const std::string table = sqliteTableName(ctx, readChain(ctx, i), "CREATE INDEX");
  if (!ctx.isSymbol(i, "(")) ctx.syntax("'(' was expected after the table name");
  const size_t close = ctx.closing(i);
  std::string columns;
  for (size_t k = i + 1; k < close; ++k) {
    const Token& t = ctx.tokens[k];
    columns += t.isSymbol(",") ? ", "
                               : (k > i + 1 && !ctx.tokens[k - 1].isSymbol(",") ? " " : "") +
                                     std::string(t.text);
  }
  i = close + 1;
  bool dropExisting = false;
  while (i < ctx.tokens.size()) {
    if (ctx.is(i, "INCLUDE") && ctx.isSymbol(i + 1, "(")) {
      // Included columns only widen SQL Server's leaf pages; the key is what SQLite needs.
      i = ctx.closing(i + 1) + 1;
    } else if (ctx.is(i, "WITH") && ctx.isSymbol(i + 1, "(")) {
      const size_t end = ctx.closing(i + 1);
      for (size_t k = i + 2; k < end; ++k)
        if (ctx.is(k, "DROP_EXISTING") && !(ctx.isSymbol(k + 1, "=") && ctx.is(k + 2, "OFF")))
          dropExisting = true;
      i = end + 1;
    } else if (ctx.is(i, "WITH") && ctx.is(i + 1, "DROP_EXISTING")) {
      dropExisting = true;
      i += 2;
      if (ctx.isSymbol(i, "=")) {
        dropExisting = ctx.is(i + 1, "ON");
        i += 2;
      }
    } else if (ctx.is(i, "ON")) {
      i += 2;  // filegroup
    } else {
      ctx.unsupported("the index option " + std::string(ctx.tokens[i].text));
    }
  }
  if (dropExisting) out.setup.push_back("DROP INDEX IF EXISTS " + quoteIdentifier(name));
  out.sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + quoteIdentifier(name) +
            " ON " + quoteIdentifier(table) + " (" + columns + ")";
  out.changesSchema = true;
}

// CREATE [OR ALTER] | ALTER VIEW name [(columns)] AS select. SQLite keeps no view in the
// database that reads another database, so such a view lives in the engine's object table and
// each connection creates it as a TEMP view (see EmbeddedConnection::restoreViews).
void createView(TranslationContext& ctx, ExpressionWriter& writer, Translation& out, size_t i,
                bool replace) {
  const std::string view = sqliteTableName(ctx, readChain(ctx, i), "the name of a view");
  std::string columns;
  if (ctx.isSymbol(i, "(")) {
    const size_t close = ctx.closing(i);
    for (const auto& [b, e] : ctx.splitCommas(i + 1, close)) {
      if (e != b + 1) ctx.syntax("a column name was expected");
      columns += (columns.empty() ? "" : ", ") + quoteIdentifier(ctx.tokens[b].value());
    }
    columns = " (" + columns + ")";
    i = close + 1;
  }
  if (ctx.is(i, "WITH")) ctx.unsupported("view options (WITH " + upper(ctx.at(i + 1).text) + ")");
  expect(ctx, i, "AS");
  collectTables(ctx);
  const std::string select = writer.rest(i + 1).text;
  bool otherDatabase = false;
  for (const auto& t : ctx.tables) otherDatabase = otherDatabase || !t.schema.empty();
  // Inside a savepoint: SQLite creates a view over a missing table and fails only when it is
  // read, so the new view is read once before the savepoint is released; a failure undoes the
  // whole statement, the replaced view's drop included.
  out.setup = {std::string(kViewSavepoint)};
  out.undo = {std::string(kViewRollback), std::string(kViewRelease)};
  if (replace) {
    out.setup.push_back("DROP VIEW IF EXISTS " + quoteIdentifier(view));
    out.setup.push_back("DELETE FROM kivtab_objects WHERE type = 'V' AND name = " +
                        quoteString(view));
  }
  if (otherDatabase) {
    out.sql = "CREATE TEMP VIEW " + quoteIdentifier(view) + columns + " AS " + select;
    out.after.push_back(
        "INSERT INTO kivtab_objects (name, type, definition, create_date, modify_date) VALUES (" +
        quoteString(view) + ", 'V', " + quoteString(ctx.sql) + ", GETDATE(), GETDATE())");
  } else {
    out.sql = "CREATE VIEW " + quoteIdentifier(view) + columns + " AS " + select;
  }
  out.after.push_back("SELECT * FROM " + quoteIdentifier(view) + " LIMIT 0");
  out.after.emplace_back(kViewRelease);
  out.changesSchema = true;
}

// INSERT ... SELECT: the rows pass through a named source so that each value bound for a date
// column is converted as the server converts it; a text would otherwise be stored as a text.
std::string insertSelect(TranslationContext& ctx, const TableName& table,
                         const std::vector<std::string>& names, const std::string& insert,
                         const std::string& select) {
  std::string sourceColumns, values;
  bool anyDate = false;
  for (size_t k = 0; k < names.size(); ++k) {
    const std::string column = "kivtab_c" + std::to_string(k + 1);
    const bool date = ctx.columnType(table.name, names[k]) == ExprType::Date;
    anyDate = anyDate || date;
    sourceColumns += (k ? ", " : "") + column;
    values += (k ? ", " : "") + (date ? convertedToDate(column) : column);
  }
  if (!anyDate) return insert + " " + select;
  return "WITH kivtab_source (" + sourceColumns + ") AS (" + select + ") " + insert + " SELECT " +
         values + " FROM kivtab_source";
}

}  // namespace

void translateIf(TranslationContext& ctx, ExpressionWriter& writer, Translation& out) {
  size_t i = 1;
  const bool negated = ctx.is(i, "NOT");
  if (negated) ++i;
  if (ctx.is(i, "EXISTS") && ctx.isSymbol(i + 1, "(")) {
    const size_t close = ctx.closing(i + 1);
    collectTables(ctx);
    out.sql = std::string("SELECT 1 WHERE ") + (negated ? "NOT " : "") + "EXISTS (" +
              writer.sequence(i + 2, close).text + ")";
    i = close + 1;
  } else if (!negated && ctx.is(i, "OBJECT_ID") && ctx.isSymbol(i + 1, "(")) {
    const size_t close = ctx.closing(i + 1);
    if (ctx.at(i + 2).kind != TokenKind::String) ctx.unsupported("OBJECT_ID of an expression");
    std::string name = ctx.tokens[i + 2].value();
    if (upper(name).starts_with("DBO.")) name = name.substr(4);
    i = close + 1;
    expect(ctx, i++, "IS");
    const bool exists = ctx.is(i, "NOT");
    if (exists) ++i;
    expect(ctx, i++, "NULL");
    out.sql = std::string("SELECT 1 WHERE ") + (exists ? "" : "NOT ") + "EXISTS (" +
              objectExistsProbe(name) + ")";
  } else {
    ctx.unsupported("this IF condition (only IF [NOT] EXISTS and IF OBJECT_ID are)");
  }
  if (i >= ctx.tokens.size()) ctx.syntax("IF without a statement");
  if (ctx.is(i, "BEGIN")) ctx.unsupported("IF ... BEGIN ... END blocks");
  for (size_t k = i; k < ctx.tokens.size(); ++k) {
    if (ctx.is(k, "ELSE")) ctx.unsupported("IF ... ELSE");
    // The statement runs on its own: a parameter there would silently be NULL.
    if (ctx.tokens[k].kind == TokenKind::Parameter) ctx.unsupported("parameters after IF");
  }
  out.kind = Translation::Kind::Conditional;
  out.body = sourceFrom(ctx, i);
}

void translateSelect(TranslationContext& ctx, ExpressionWriter& writer, Translation& out) {
  splitAggregates(ctx);
  int depth = 0;
  for (size_t i = 0; i < ctx.tokens.size(); ++i) {
    const Token& t = ctx.tokens[i];
    if (t.isSymbol("(")) ++depth;
    if (t.isSymbol(")")) --depth;
    if (depth != 0 || !t.is("INTO")) continue;
    size_t j = i + 1;
    out.target = tableAt(ctx, j).sql();
    ctx.tokens.erase(ctx.tokens.begin() + static_cast<long>(i),
                     ctx.tokens.begin() + static_cast<long>(j));
    out.kind = Translation::Kind::SelectInto;
    out.changesSchema = true;
    break;
  }
  collectTables(ctx);
  out.sql = writer.rest(0).text;
}

void translateInsert(TranslationContext& ctx, ExpressionWriter& writer, Translation& out) {
  size_t i = 2;
  const TableName table = tableAt(ctx, i);
  collectTables(ctx);
  out.identityInsert = ctx.schema.hasIdentity(table.name, table.schema);
  std::vector<std::string> names;
  std::string sql = "INSERT INTO " + table.sql();
  if (ctx.isSymbol(i, "(") && !ctx.is(i + 1, "SELECT")) {
    const size_t close = ctx.closing(i);
    std::string list;
    for (const auto& [b, e] : ctx.splitCommas(i + 1, close)) {
      if (e != b + 1) ctx.syntax("a column name was expected");
      names.push_back(ctx.tokens[b].value());
      list += (list.empty() ? "" : ", ") + std::string(ctx.tokens[b].text);
    }
    sql += " (" + list + ")";
    i = close + 1;
  } else {
    for (const auto& c : ctx.schema.columns(table.name, table.schema)) names.push_back(c.name);
  }
  if (!ctx.is(i, "VALUES")) {
    if (ctx.is(i, "EXEC") || ctx.is(i, "EXECUTE")) ctx.unsupported("INSERT ... EXEC");
    out.sql = insertSelect(ctx, table, names, sql, writer.rest(i).text);
    return;
  }
  sql += " VALUES ";
  ++i;
  bool firstRow = true;
  while (i < ctx.tokens.size()) {
    if (!ctx.isSymbol(i, "(")) ctx.syntax("'(' was expected after VALUES");
    const size_t close = ctx.closing(i);
    std::string row;
    size_t column = 0;
    for (const auto& range : ctx.splitCommas(i + 1, close)) {
      const bool date =
          column < names.size() && ctx.columnType(table.name, names[column]) == ExprType::Date;
      row += (column ? ", " : "") + writer.sequence(range.first, range.second, date).text;
      ++column;
    }
    sql += (firstRow ? "(" : ", (") + row + ")";
    firstRow = false;
    i = close + 1;
    if (ctx.isSymbol(i, ","))
      ++i;
    else if (i < ctx.tokens.size())
      ctx.syntax("unexpected text after VALUES");
  }
  out.sql = sql;
}

void translateCreate(TranslationContext& ctx, ExpressionWriter& writer, Translation& out) {
  if (ctx.is(1, "TABLE")) return createTable(ctx, writer, out);
  if (ctx.is(1, "VIEW")) return createView(ctx, writer, out, 2, false);
  if (ctx.is(1, "OR") && ctx.is(2, "ALTER") && ctx.is(3, "VIEW"))
    return createView(ctx, writer, out, 4, true);
  for (size_t i = 1; i < 4 && i < ctx.tokens.size(); ++i)
    if (ctx.is(i, "INDEX")) return createIndex(ctx, out);
  ctx.unsupported("CREATE " + upper(ctx.at(1).text));
}

void translateDrop(TranslationContext& ctx, Translation& out) {
  const Token& what = ctx.at(1);
  size_t i = 2;
  const bool ifExists = ctx.is(i, "IF") && ctx.is(i + 1, "EXISTS");
  if (ifExists) i += 2;
  const std::string guard = ifExists ? "IF EXISTS " : "";
  if (what.is("VIEW")) {
    // A view over another database is also listed in the engine's object table.
    const std::string view = sqliteTableName(ctx, readChain(ctx, i), "DROP VIEW");
    out.sql = "DROP VIEW " + guard + quoteIdentifier(view);
    out.after.push_back("DELETE FROM kivtab_objects WHERE type = 'V' AND name = " +
                        quoteString(view));
  } else if (what.is("TABLE")) {
    out.sql = "DROP TABLE " + guard + tableAt(ctx, i).sql();
  } else if (what.is("INDEX")) {
    // DROP INDEX name ON table, or DROP INDEX [owner.]table.name: SQLite names indexes alone.
    auto chain = readChain(ctx, i);
    if (ctx.is(i, "ON")) {
      ++i;
      tableAt(ctx, i);
    } else if (chain.size() < 2) {
      ctx.syntax("DROP INDEX needs the table: DROP INDEX name ON table");
    }
    out.sql = "DROP INDEX " + guard + quoteIdentifier(chain.back());
  } else {
    ctx.unsupported("DROP " + upper(what.text));
  }
  if (i != ctx.tokens.size()) ctx.unsupported("DROP of several objects or with options");
  out.changesSchema = true;
}

void translateAlter(TranslationContext& ctx, ExpressionWriter& writer, Translation& out) {
  if (!ctx.is(1, "VIEW")) ctx.unsupported("ALTER " + upper(ctx.at(1).text));
  createView(ctx, writer, out, 2, true);
}

void translateDbcc(TranslationContext& ctx, ExpressionWriter& writer, Translation& out) {
  if (!ctx.is(1, "INPUTBUFFER") || !ctx.isSymbol(2, "("))
    ctx.unsupported("DBCC " + upper(ctx.at(1).text));
  const size_t close = ctx.closing(2);
  const auto arguments = ctx.splitCommas(3, close);
  if (arguments.size() != 1) ctx.unsupported("DBCC INPUTBUFFER with a request id");
  size_t i = close + 1;
  if (ctx.is(i, "WITH") && ctx.is(i + 1, "NO_INFOMSGS")) i += 2;
  if (i != ctx.tokens.size()) ctx.unsupported("DBCC INPUTBUFFER options");
  // Only texts sent by the client count ("Language Event"); the first 4000 characters show.
  out.sql =
      "SELECT CASE WHEN b.info = '' THEN 'No Event' ELSE 'Language Event' END AS EventType, "
      "0 AS Parameters, SUBSTR(b.info, 1, 4000) AS EventInfo FROM (SELECT "
      "KIVTAB_INPUTBUFFER(" +
      writer.sequence(arguments[0].first, arguments[0].second).text + ") AS info) b";
}

}  // namespace db::embedded
