#include "db/embedded/ddl/table_def.h"

#include <algorithm>
#include <array>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/tokenizer.h"

namespace db::embedded::ddl {
namespace {

using Kind = ColumnConstraint::Kind;

// Words that begin a column constraint, ending the column's type.
constexpr std::array<std::pair<std::string_view, Kind>, 11> kConstraintStarts = {{
    {"CONSTRAINT", Kind::Other},
    {"PRIMARY", Kind::PrimaryKey},
    {"NOT", Kind::NotNull},
    {"NULL", Kind::Null},
    {"UNIQUE", Kind::Unique},
    {"CHECK", Kind::Check},
    {"DEFAULT", Kind::Default},
    {"COLLATE", Kind::Collate},
    {"REFERENCES", Kind::References},
    {"GENERATED", Kind::Other},
    {"AS", Kind::Other},
}};

std::optional<Kind> constraintStart(const Token& token) {
  for (const auto& [word, kind] : kConstraintStarts)
    if (token.is(word)) return kind;
  return std::nullopt;
}

[[noreturn]] void notATable(std::string_view sql) {
  throw Error(ErrorKind::Unsupported, "Table definition not understood", std::string(sql));
}

// The text from the start of token `first` to the end of token `last` (inclusive).
std::string span(std::string_view sql, const std::vector<Token>& t, size_t first, size_t last) {
  const size_t begin = t[first].offset;
  const size_t end = t[last].offset + t[last].text.size();
  return std::string(sql.substr(begin, end - begin));
}

// Index just past the parenthesised group that opens at `open`.
size_t skipGroup(const std::vector<Token>& t, size_t open) {
  int depth = 0;
  for (size_t i = open; i < t.size(); ++i) {
    if (t[i].isSymbol("(")) ++depth;
    if (t[i].isSymbol(")") && --depth == 0) return i + 1;
  }
  return t.size();
}

std::vector<std::string> nameList(const std::vector<Token>& t, size_t open, size_t end) {
  std::vector<std::string> out;
  for (size_t i = open + 1; i + 1 < end; ++i) {
    if (t[i].kind == TokenKind::Word || t[i].kind == TokenKind::Quoted) {
      // Skip ASC/DESC and COLLATE names following a column.
      if (!out.empty() && !t[i - 1].isSymbol(",") && !t[i - 1].isSymbol("(")) continue;
      out.push_back(t[i].value());
    }
  }
  return out;
}

// Parses "FOREIGN KEY (cols) REFERENCES parent [(cols)] ..." or "REFERENCES parent [(cols)]".
void readReference(const std::vector<Token>& t, size_t from, size_t end, TableConstraint& out) {
  for (size_t i = from; i < end; ++i) {
    if (!t[i].is("REFERENCES") || i + 1 >= end) continue;
    out.refTable = t[i + 1].value();
    if (i + 2 < end && t[i + 2].isSymbol("("))
      out.refColumns = nameList(t, i + 2, skipGroup(t, i + 2));
    return;
  }
}

// Index just past the column constraint that starts at `start`.
size_t clauseEnd(const std::vector<Token>& t, size_t start, size_t end, Kind kind) {
  size_t i = start + 1;
  if (kind == Kind::Default && i < end) {
    // DEFAULT takes one term: a literal, a signed number or a parenthesised expression.
    if (t[i].isSymbol("(")) return skipGroup(t, i);
    if ((t[i].isSymbol("-") || t[i].isSymbol("+")) && i + 1 < end) return i + 2;
    return i + 1;
  }
  if (kind == Kind::NotNull) ++i;
  const bool generated = t[start].is("GENERATED");
  while (i < end) {
    if (t[i].isSymbol("(")) {
      i = skipGroup(t, i);
      continue;
    }
    const bool notDeferrable = t[i].is("NOT") && i + 1 < end && t[i + 1].is("DEFERRABLE");
    if (constraintStart(t[i]) && !notDeferrable && !(generated && t[i].is("AS"))) break;
    ++i;
  }
  return i;
}

ColumnDef parseColumn(std::string_view sql, const std::vector<Token>& t, size_t begin, size_t end) {
  ColumnDef column;
  column.name = t[begin].value();
  size_t i = begin + 1;
  size_t typeEnd = i;
  while (typeEnd < end && !constraintStart(t[typeEnd])) {
    typeEnd = t[typeEnd].isSymbol("(") ? skipGroup(t, typeEnd) : typeEnd + 1;
  }
  if (typeEnd > i) column.type = span(sql, t, i, typeEnd - 1);
  i = typeEnd;
  while (i < end) {
    std::string name;
    if (t[i].is("CONSTRAINT") && i + 1 < end) {
      name = t[i + 1].value();
      i += 2;
      if (i >= end) break;
    }
    const size_t start = i;
    Kind kind = constraintStart(t[i]).value_or(Kind::Other);
    if (kind == Kind::NotNull && !(i + 1 < end && t[i + 1].is("NULL"))) kind = Kind::Other;
    i = clauseEnd(t, start, end, kind);
    column.constraints.push_back({kind, name, span(sql, t, start, std::min(i, end) - 1)});
  }
  return column;
}

TableConstraint parseTableConstraint(std::string_view sql, const std::vector<Token>& t,
                                     size_t begin, size_t end) {
  TableConstraint c{};
  size_t i = begin;
  if (t[i].is("CONSTRAINT")) {
    if (i + 2 >= end) notATable(sql);
    c.name = t[i + 1].value();
    i += 2;
  }
  c.body = span(sql, t, i, end - 1);
  if (t[i].is("PRIMARY")) {
    c.kind = TableConstraint::Kind::PrimaryKey;
  } else if (t[i].is("UNIQUE")) {
    c.kind = TableConstraint::Kind::Unique;
  } else if (t[i].is("CHECK")) {
    c.kind = TableConstraint::Kind::Check;
    return c;
  } else if (t[i].is("FOREIGN")) {
    c.kind = TableConstraint::Kind::ForeignKey;
    readReference(t, i, end, c);
  } else {
    notATable(sql);
  }
  for (size_t j = i; j < end; ++j) {
    if (t[j].isSymbol("(")) {
      c.columns = nameList(t, j, skipGroup(t, j));
      break;
    }
  }
  return c;
}

bool startsTableConstraint(const std::vector<Token>& t, size_t i) {
  if (t[i].is("CONSTRAINT")) return true;
  if (t[i].kind != TokenKind::Word) return false;
  const bool next = i + 1 < t.size();
  return (t[i].is("PRIMARY") && next && t[i + 1].is("KEY")) ||
         (t[i].is("UNIQUE") && next && t[i + 1].isSymbol("(")) ||
         (t[i].is("CHECK") && next && t[i + 1].isSymbol("(")) ||
         (t[i].is("FOREIGN") && next && t[i + 1].is("KEY"));
}

}  // namespace

bool ColumnDef::notNull() const { return find(Kind::NotNull) != nullptr; }

bool ColumnDef::hasPrimaryKey() const { return find(Kind::PrimaryKey) != nullptr; }

const ColumnConstraint* ColumnDef::find(Kind kind) const {
  for (const auto& c : constraints)
    if (c.kind == kind) return &c;
  return nullptr;
}

TableDef TableDef::parse(std::string_view sql) {
  const std::vector<Token> t = significant(tokenize(sql));
  if (t.size() < 5 || !t[0].is("CREATE")) notATable(sql);
  size_t open = 1;
  while (open < t.size() && !t[open].isSymbol("(")) ++open;
  if (open >= t.size() || open < 3) notATable(sql);
  TableDef def;
  def.name = t[open - 1].value();
  const size_t close = skipGroup(t, open) - 1;
  if (close >= t.size() || !t[close].isSymbol(")")) notATable(sql);
  size_t begin = open + 1;
  while (begin < close) {
    size_t end = begin;
    while (end < close && !t[end].isSymbol(","))
      end = t[end].isSymbol("(") ? skipGroup(t, end) : end + 1;
    if (end == begin) notATable(sql);
    if (startsTableConstraint(t, begin)) {
      def.constraints.push_back(parseTableConstraint(sql, t, begin, end));
    } else {
      def.columns.push_back(parseColumn(sql, t, begin, end));
    }
    begin = end + 1;
  }
  if (close + 1 < t.size()) def.options = std::string(trim(sql.substr(t[close + 1].offset)));
  while (!def.options.empty() && def.options.back() == ';') def.options.pop_back();
  return def;
}

std::string TableDef::render(std::string_view tableName) const {
  std::string out = "CREATE TABLE " + quoteIdentifier(tableName) + " (";
  bool first = true;
  auto separate = [&] {
    out += first ? "\n  " : ",\n  ";
    first = false;
  };
  for (const auto& column : columns) {
    separate();
    out += quoteIdentifier(column.name);
    if (!column.type.empty()) out += " " + column.type;
    for (const auto& c : column.constraints) {
      if (!c.name.empty()) out += " CONSTRAINT " + quoteIdentifier(c.name);
      out += " " + c.body;
    }
  }
  for (const auto& c : constraints) {
    separate();
    if (!c.name.empty()) out += "CONSTRAINT " + quoteIdentifier(c.name) + " ";
    out += c.body;
  }
  out += "\n)";
  if (!options.empty()) out += " " + options;
  return out;
}

std::optional<size_t> TableDef::columnIndex(std::string_view name) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (iequals(columns[i].name, name)) return i;
  return std::nullopt;
}

std::vector<std::string> TableDef::primaryKey() const {
  for (const auto& c : constraints)
    if (c.kind == TableConstraint::Kind::PrimaryKey) return c.columns;
  for (const auto& column : columns)
    if (column.hasPrimaryKey()) return {column.name};
  return {};
}

}  // namespace db::embedded::ddl
