#include "db/embedded/translate/keywords.h"

namespace db::embedded {
namespace {

constexpr std::string_view kKeywords[] = {
    "ADD",    "ALL",     "ALTER",    "AND",       "AS",         "ASC",    "BETWEEN", "BY",
    "CASE",   "CHECK",   "COLLATE",  "COLUMN",    "CONSTRAINT", "CREATE", "CROSS",   "DEFAULT",
    "DELETE", "DESC",    "DISTINCT", "DROP",      "ELSE",       "END",    "ESCAPE",  "EXCEPT",
    "EXISTS", "FOREIGN", "FROM",     "FULL",      "GROUP",      "HAVING", "IF",      "IN",
    "INDEX",  "INNER",   "INSERT",   "INTERSECT", "INTO",       "IS",     "JOIN",    "KEY",
    "LIKE",   "NOT",     "ON",       "OR",        "ORDER",      "OUTER",  "PRIMARY", "REFERENCES",
    "SELECT", "SET",     "TABLE",    "THEN",      "TOP",        "UNION",  "UNIQUE",  "UPDATE",
    "VALUES", "VIEW",    "WHEN",     "WHERE",     "WITH",
};

}  // namespace

bool isKeyword(const Token& token) {
  if (token.kind != TokenKind::Word) return false;
  for (auto k : kKeywords)
    if (token.is(k)) return true;
  return false;
}

bool isComparison(const Token& token) {
  if (token.kind != TokenKind::Symbol) return false;
  for (std::string_view op : {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"})
    if (token.text == op) return true;
  return false;
}

}  // namespace db::embedded
