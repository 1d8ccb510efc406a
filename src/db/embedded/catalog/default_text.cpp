#include "db/embedded/catalog/default_text.h"

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/sql_quoting.h"

namespace db::embedded::catalog {
namespace {

// Date-times are stored as days since 1899-12-30 in local time.
constexpr std::string_view kNow = "(julianday('now','localtime') - 2415018.5)";
constexpr std::string_view kNowToSecond =
    "(julianday(strftime('%Y-%m-%d %H:%M:%S','now','localtime')) - 2415018.5)";

struct KnownDefault {
  std::string_view tsql;    // normalised T-SQL (upper case, no blanks outside strings)
  std::string_view sqlite;  // the SQLite term
  std::string_view server;  // the catalogue's text
};

constexpr KnownDefault kKnownDefaults[] = {
    {"GETDATE()", kNow, "(getdate())"},
    {"CURRENT_TIMESTAMP", kNow, "(getdate())"},
    {"CONVERT(DATETIME,CONVERT(VARCHAR,GETDATE(),103)+' '+CONVERT(VARCHAR,GETDATE(),108))",
     kNowToSecond,
     "(CONVERT([datetime],(CONVERT([varchar],getdate(),(103))+' ')+CONVERT([varchar],getdate(),("
     "108)),(0)))"},
};

// Tokens with the outer parentheses that enclose the whole expression removed.
std::vector<Token> unwrap(std::vector<Token> t) {
  while (t.size() >= 2 && t.front().isSymbol("(") && t.back().isSymbol(")")) {
    int depth = 0;
    bool enclosesAll = true;
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i].isSymbol("(")) ++depth;
      if (t[i].isSymbol(")") && --depth == 0 && i + 1 < t.size()) enclosesAll = false;
    }
    if (!enclosesAll) break;
    t = std::vector<Token>(t.begin() + 1, t.end() - 1);
  }
  return t;
}

// Upper case and without blanks, strings kept as written.
std::string normalise(const std::vector<Token>& t) {
  std::string out;
  for (const auto& token : t)
    out += token.kind == TokenKind::String ? std::string(token.text) : upper(token.text);
  return out;
}

std::string sourceText(const std::vector<Token>& t) {
  std::string out;
  for (const auto& token : t) {
    if (!out.empty() && (token.kind == TokenKind::Word || token.kind == TokenKind::Number) &&
        (out.back() != '(' && out.back() != '-'))
      out += ' ';
    out += token.text;
  }
  return out;
}

bool isSignedNumber(const std::vector<Token>& t) {
  if (t.size() == 1) return t[0].kind == TokenKind::Number;
  return t.size() == 2 && (t[0].isSymbol("-") || t[0].isSymbol("+")) &&
         t[1].kind == TokenKind::Number;
}

}  // namespace

std::string serverDefaultText(std::string_view sqliteExpression) {
  const std::vector<Token> t = unwrap(significant(tokenize(sqliteExpression)));
  const std::string key = normalise(t);
  // The statement translator may keep the T-SQL call itself (SQLite then runs a function of
  // that name), so both spellings of a known default are recognised.
  for (const auto& known : kKnownDefaults)
    if (key == normalise(unwrap(significant(tokenize(known.sqlite)))) || key == known.tsql)
      return std::string(known.server);
  if (t.size() == 1 && t[0].kind == TokenKind::String) return "(" + quoteString(t[0].value()) + ")";
  if (isSignedNumber(t)) return "((" + normalise(t) + "))";
  if (t.size() == 1 && t[0].is("NULL")) return "(NULL)";
  return "(" + sourceText(t) + ")";
}

std::string sqliteDefault(const std::vector<Token>& expression) {
  const std::vector<Token> t = unwrap(expression);
  if (t.size() == 1 && t[0].kind == TokenKind::String) return quoteString(t[0].value());
  if (isSignedNumber(t)) return normalise(t);
  if (t.size() == 1 && t[0].is("NULL")) return "NULL";
  const std::string key = normalise(t);
  for (const auto& known : kKnownDefaults)
    if (key == known.tsql) return std::string(known.sqlite);
  throw Error(ErrorKind::Unsupported, "Default expression not supported: " + sourceText(t));
}

}  // namespace db::embedded::catalog
