#include "db/embedded/ddl/column_clause.h"

#include "db/core/text.h"
#include "db/embedded/catalog/default_text.h"
#include "db/embedded/catalog/sql_types.h"

namespace db::embedded::ddl {

std::string readType(TokenCursor& cursor) {
  if (cursor.peek().kind != TokenKind::Word && cursor.peek().kind != TokenKind::Quoted)
    cursor.syntax("a column type expected");
  std::string type = upper(cursor.peek().value());
  cursor.seek(cursor.position() + 1);
  if (cursor.acceptSymbol("(")) {
    type += "(";
    bool first = true;
    do {
      if (!first) type += ",";
      first = false;
      const Token& arg = cursor.peek();
      if (arg.is("MAX")) {
        type += "-1";
      } else if (arg.kind == TokenKind::Number) {
        type += std::string(arg.text);
      } else {
        cursor.syntax("a type length expected");
      }
      cursor.seek(cursor.position() + 1);
    } while (cursor.acceptSymbol(","));
    cursor.expectSymbol(")");
    type += ")";
  }
  if (upper(type) == "IDENTITY") cursor.unsupported("IDENTITY columns added to a table");
  return type;
}

std::string readCollation(TokenCursor& cursor, const std::string& type) {
  if (cursor.accept("COLLATE")) {
    const std::string name = upper(cursor.name());
    return name.find("_CI") != std::string::npos ? "NOCASE" : "BINARY";
  }
  return catalog::isTextType(type) ? "NOCASE" : "";
}

ColumnClause readColumnClause(TokenCursor& cursor) {
  ColumnClause clause;
  clause.name = cursor.name();
  clause.type = readType(cursor);
  clause.collation = readCollation(cursor, clause.type);
  while (!cursor.atEnd() && !cursor.peekSymbol(",")) {
    if (cursor.accept("NOT")) {
      cursor.expect("NULL");
      clause.notNull = true;
    } else if (cursor.accept("NULL")) {
      clause.notNull = false;
    } else if (cursor.accept("CONSTRAINT")) {
      clause.defaultName = cursor.name();
      if (!cursor.peekIs("DEFAULT"))
        cursor.unsupported("a named constraint other than DEFAULT on an added column");
    } else if (cursor.accept("DEFAULT")) {
      if (cursor.accept("NULL")) {
        clause.defaultTerm = "NULL";
        continue;
      }
      auto term = cursor.until([](const Token& t) {
        return t.isSymbol(",") || t.is("WITH") || t.is("NOT") || t.is("NULL") || t.is("CONSTRAINT");
      });
      if (term.empty()) cursor.syntax("a default value expected");
      clause.defaultTerm = catalog::sqliteDefault(term);
    } else if (cursor.accept("WITH")) {
      cursor.expect("VALUES");
      clause.withValues = true;
    } else if (cursor.peekIs("IDENTITY") || cursor.peekIs("PRIMARY") || cursor.peekIs("UNIQUE") ||
               cursor.peekIs("REFERENCES") || cursor.peekIs("CHECK")) {
      cursor.unsupported(upper(cursor.peek().text) + " on a column added to a table");
    } else {
      cursor.syntax("unexpected text in a column definition");
    }
  }
  return clause;
}

ColumnDef ColumnClause::toColumnDef() const {
  using Kind = ColumnConstraint::Kind;
  ColumnDef column{name, type, {}};
  if (!collation.empty()) column.constraints.push_back({Kind::Collate, {}, "COLLATE " + collation});
  if (notNull.value_or(false)) column.constraints.push_back({Kind::NotNull, {}, "NOT NULL"});
  if (defaultTerm)
    column.constraints.push_back({Kind::Default, defaultName, "DEFAULT " + *defaultTerm});
  return column;
}

}  // namespace db::embedded::ddl
