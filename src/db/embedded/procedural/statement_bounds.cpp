#include "db/embedded/procedural/statement_bounds.h"

#include <string_view>

namespace db::embedded::procedural {
namespace {

constexpr std::string_view kStatementStarts[] = {
    "SELECT",   "INSERT",  "UPDATE", "DELETE", "DECLARE",  "SET",        "IF",
    "WHILE",    "BEGIN",   "END",    "ELSE",   "RETURN",   "PRINT",      "RAISERROR",
    "EXEC",     "EXECUTE", "OPEN",   "FETCH",  "CLOSE",    "DEALLOCATE", "BREAK",
    "CONTINUE", "CREATE",  "DROP",   "ALTER",  "TRUNCATE", "COMMIT",     "ROLLBACK",
    "DBCC",     "GOTO",    "THROW",  "MERGE",  "USE",      "WAITFOR",    "SAVE",
};

// Texts beginning with these always run as a batch.
constexpr std::string_view kProceduralStarts[] = {
    "DECLARE", "EXEC",  "EXECUTE",    "WHILE", "PRINT",    "RAISERROR", "RETURN", "OPEN",
    "FETCH",   "CLOSE", "DEALLOCATE", "BREAK", "CONTINUE", "THROW",     "GOTO",
};

// Words after which IF belongs to the statement (DROP TABLE IF EXISTS).
constexpr std::string_view kObjectWords[] = {"TABLE",    "VIEW",     "PROC",       "PROCEDURE",
                                             "TRIGGER",  "INDEX",    "CONSTRAINT", "COLUMN",
                                             "FUNCTION", "DATABASE", "SCHEMA"};

bool isAny(const Token& t, const auto& words) {
  for (std::string_view w : words)
    if (t.is(w)) return true;
  return false;
}

bool isStart(const Token& t) { return t.kind == TokenKind::Word && isAny(t, kStatementStarts); }

// What the statement has shown so far, for the words that may continue it.
struct Seen {
  bool select = false;
  bool values = false;
  bool set = false;
  bool exec = false;
  // An INSERT takes one SELECT or EXEC as its source, unless it has VALUES.
  bool insertHasSource() const { return select || values || exec; }
};

bool continues(const Token& first, const Token& prev, const Token& t, Seen& seen) {
  if (t.is("SELECT")) {
    if (prev.is("UNION") || prev.is("ALL") || prev.is("EXCEPT") || prev.is("INTERSECT") ||
        prev.is("FOR") || prev.is("AS"))
      return true;
    if (first.is("INSERT") && !seen.insertHasSource()) return seen.select = true;
    return false;
  }
  if (first.is("ALTER") &&
      (t.is("SET") || t.is("DROP") || t.is("ALTER") || t.is("ROLLBACK") || t.is("CHECK")))
    return true;
  if (t.is("SET")) return first.is("UPDATE") && !seen.set && (seen.set = true);
  // FOR INSERT, UPDATE and ON DELETE CASCADE go on; after SET NOCOUNT ON a new statement starts.
  if (t.is("UPDATE") || t.is("DELETE") || t.is("INSERT"))
    return !first.is("SET") && (prev.is("ON") || prev.is("FOR") || prev.isSymbol(","));
  if (t.is("IF")) return isAny(prev, kObjectWords);
  if (t.is("EXEC") || t.is("EXECUTE"))
    return first.is("INSERT") && !seen.insertHasSource() && (seen.exec = true);
  if (t.is("FETCH")) return prev.is("ROWS") || prev.is("ROW");
  if (t.is("ROLLBACK") || t.is("COMMIT")) return prev.is("WITH");
  return false;
}

// Scans from `from` for the first token outside parentheses and CASE that ends the statement.
template <typename Ends>
size_t scan(const std::vector<Token>& tokens, size_t from, Ends ends) {
  int depth = 0;
  int cases = 0;
  for (size_t i = from; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.isSymbol("(")) {
      ++depth;
    } else if (t.isSymbol(")")) {
      --depth;
    } else if (depth == 0) {
      if (t.is("CASE")) {
        ++cases;
      } else if (t.is("END") && cases > 0) {
        --cases;
      } else if (cases == 0 && (t.isSymbol(";") || ends(i))) {
        return i;
      }
    }
  }
  return tokens.size();
}

}  // namespace

size_t statementEnd(const std::vector<Token>& tokens, size_t begin) {
  const Token& first = tokens[begin];
  Seen seen{first.is("SELECT"), false, false, false};
  return scan(tokens, begin + 1, [&](size_t i) {
    const Token& t = tokens[i];
    if (t.is("VALUES")) seen.values = true;
    if (!isStart(t)) return false;
    return !continues(first, tokens[i - 1], t, seen);
  });
}

size_t conditionEnd(const std::vector<Token>& tokens, size_t begin) {
  return scan(tokens, begin, [&](size_t i) { return isStart(tokens[i]); });
}

bool definesProceduralObject(const std::vector<Token>& tokens) {
  if (tokens.size() < 2 || !(tokens[0].is("CREATE") || tokens[0].is("ALTER"))) return false;
  const size_t kind = tokens[1].is("OR") && tokens.size() > 3 ? 3 : 1;
  const Token& t = tokens[kind];
  return t.is("PROC") || t.is("PROCEDURE") || t.is("TRIGGER") || t.is("VIEW") || t.is("FUNCTION");
}

bool isProcedural(const std::vector<Token>& tokens) {
  if (tokens.empty() || definesProceduralObject(tokens)) return false;
  const Token& first = tokens[0];
  if (isAny(first, kProceduralStarts)) return true;
  if (first.is("SET") && tokens.size() > 1 && tokens[1].kind == TokenKind::Word) return true;
  if (first.is("BEGIN") && tokens.size() > 1 && !tokens[1].is("TRAN") &&
      !tokens[1].is("TRANSACTION") && !tokens[1].isSymbol(";"))
    return true;
  int depth = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind == TokenKind::Word && t.text.front() == '@') return true;
    if (t.isSymbol("(")) ++depth;
    if (t.isSymbol(")")) --depth;
    if (depth != 0) continue;
    if (first.is("IF") && (t.is("BEGIN") || t.is("ELSE"))) return true;
    if (t.is("EXEC") || t.is("EXECUTE")) return true;
    if (t.isSymbol(";") && i + 1 < tokens.size() && !tokens[i + 1].isSymbol(";")) return true;
  }
  return false;
}

}  // namespace db::embedded::procedural
