#include "db/embedded/translate/column_definition.h"

#include "db/core/text.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/translate/context.h"
#include "db/embedded/translate/expression_writer.h"
#include "db/embedded/translate/type_names.h"

namespace db::embedded {
namespace {

bool isIndexKind(const Token& t) { return t.is("CLUSTERED") || t.is("NONCLUSTERED"); }

std::string collation(const Token& name) {
  return upper(name.value()).find("_CI") != std::string::npos ? "NOCASE" : "BINARY";
}

// REFERENCES table [(columns)] [ON DELETE|UPDATE action]..., from `i` (at REFERENCES).
std::string references(TranslationContext& ctx, size_t& i, size_t end) {
  ++i;
  std::string out =
      "REFERENCES " + quoteIdentifier(sqliteTableName(ctx, readChain(ctx, i), "a foreign key"));
  if (ctx.isSymbol(i, "(")) {
    const size_t close = ctx.closing(i);
    out += " (";
    for (size_t k = i + 1; k < close; ++k) out += std::string(ctx.tokens[k].text);
    out += ")";
    i = close + 1;
  }
  while (i < end && ctx.is(i, "ON") && (ctx.is(i + 1, "DELETE") || ctx.is(i + 1, "UPDATE"))) {
    out += " ON " + upper(ctx.tokens[i + 1].text);
    i += 2;
    if (ctx.is(i, "CASCADE")) {
      out += " CASCADE";
      ++i;
    } else if (ctx.is(i, "NO") && ctx.is(i + 1, "ACTION")) {
      out += " NO ACTION";
      i += 2;
    } else if (ctx.is(i, "SET") && (ctx.is(i + 1, "NULL") || ctx.is(i + 1, "DEFAULT"))) {
      out += " SET " + upper(ctx.tokens[i + 1].text);
      i += 2;
    } else {
      ctx.syntax("unknown referential action");
    }
  }
  if (ctx.is(i, "NOT") && ctx.is(i + 1, "FOR") && ctx.is(i + 2, "REPLICATION")) i += 3;
  return out;
}

std::string defaultValue(TranslationContext& ctx, ExpressionWriter& writer, size_t& i, size_t end) {
  const Token& t = ctx.at(i);
  if (t.isSymbol("(")) {
    const size_t close = ctx.closing(i);
    std::string inner = writer.sequence(i + 1, close).text;
    i = close + 1;
    return "(" + inner + ")";
  }
  if (t.kind == TokenKind::String) {
    ++i;
    return quoteString(t.value());
  }
  if (t.kind == TokenKind::Number || t.is("NULL")) {
    ++i;
    return std::string(t.text);
  }
  if ((t.isSymbol("-") || t.isSymbol("+")) && i + 1 < end &&
      ctx.tokens[i + 1].kind == TokenKind::Number) {
    i += 2;
    return std::string(t.text) + std::string(ctx.tokens[i - 1].text);
  }
  if (t.kind == TokenKind::Word) {
    // A function such as GETDATE(): SQLite wants an expression default in parentheses.
    size_t stop = i + 1;
    if (ctx.isSymbol(stop, "(")) stop = ctx.closing(stop) + 1;
    std::string inner = writer.sequence(i, stop).text;
    i = stop;
    return "(" + inner + ")";
  }
  ctx.syntax("a default value was expected");
}

// The column's type with its size or precision, as the engine stores it.
std::string columnType(TranslationContext& ctx, size_t& i, size_t end) {
  if (i >= end || ctx.tokens[i].kind != TokenKind::Word) ctx.syntax("a column type was expected");
  std::string type(ctx.tokens[i++].text);
  if (ctx.isSymbol(i, "(")) {
    const size_t close = ctx.closing(i);
    for (size_t k = i; k <= close; ++k) type += std::string(ctx.tokens[k].text);
    i = close + 1;
  }
  return storedTypeName(type);
}

int64_t wholeNumber(TranslationContext& ctx, std::pair<size_t, size_t> range) {
  std::string text;
  for (size_t k = range.first; k < range.second; ++k) text += std::string(ctx.tokens[k].text);
  try {
    size_t used = 0;
    const int64_t v = std::stoll(text, &used);
    if (used == text.size()) return v;
  } catch (const std::exception&) {
    // Not a number at all: the same syntax error as one with trailing text.
  }
  ctx.syntax("IDENTITY needs whole numbers");
}

// IDENTITY [(seed, increment)], from `i` just after IDENTITY; only increments of 1 are kept.
void identity(TranslationContext& ctx, size_t& i, ColumnDefinition& out) {
  out.identity = true;
  if (!ctx.isSymbol(i, "(")) return;
  const size_t close = ctx.closing(i);
  const auto args = ctx.splitCommas(i + 1, close);
  if (args.size() != 2) ctx.syntax("IDENTITY needs a seed and an increment");
  out.identitySeed = wholeNumber(ctx, args[0]);
  if (wholeNumber(ctx, args[1]) != 1) ctx.unsupported("IDENTITY increments other than 1");
  i = close + 1;
}

// The column's options as SQLite text, and whether one named the collation.
struct ColumnOptions {
  std::string text;
  bool explicitCollation = false;
};

// One column option, from `i`.
void addColumnOption(TranslationContext& ctx, ExpressionWriter& writer, size_t& i, size_t end,
                     ColumnDefinition& out, ColumnOptions& options) {
  const Token& t = ctx.tokens[i];
  std::string& text = options.text;
  if (t.is("IDENTITY")) {
    ++i;
    identity(ctx, i, out);
  } else if (t.is("NOT") && ctx.is(i + 1, "NULL")) {
    text += " NOT NULL";
    out.nullable = false;
    i += 2;
  } else if (t.is("NULL")) {
    text += " NULL";
    ++i;
  } else if (t.is("CONSTRAINT")) {
    text += " CONSTRAINT " + quoteIdentifier(ctx.at(i + 1).value());
    i += 2;
  } else if (t.is("DEFAULT")) {
    ++i;
    text += " DEFAULT " + defaultValue(ctx, writer, i, end);
  } else if (t.is("PRIMARY") && ctx.is(i + 1, "KEY")) {
    i += 2;
    if (i < end && isIndexKind(ctx.tokens[i])) ++i;
    text += " PRIMARY KEY";
    out.primaryKey = true;
  } else if (t.is("UNIQUE")) {
    ++i;
    if (i < end && isIndexKind(ctx.tokens[i])) ++i;
    text += " UNIQUE";
  } else if (t.is("REFERENCES") || (t.is("FOREIGN") && ctx.is(i + 1, "KEY"))) {
    if (t.is("FOREIGN")) i += 2;
    text += " " + references(ctx, i, end);
  } else if (t.is("CHECK") && ctx.isSymbol(i + 1, "(")) {
    const size_t close = ctx.closing(i + 1);
    text += " CHECK (" + writer.sequence(i + 2, close).text + ")";
    i = close + 1;
  } else if (t.is("COLLATE")) {
    text += " COLLATE " + collation(ctx.at(i + 1));
    options.explicitCollation = true;
    i += 2;
  } else {
    ctx.unsupported("the column option " + std::string(t.text));
  }
}

}  // namespace

ColumnDefinition translateColumn(TranslationContext& ctx, ExpressionWriter& writer,
                                 std::pair<size_t, size_t> range) {
  auto [i, end] = range;
  ColumnDefinition out;
  const Token& nameToken = ctx.at(i);
  if (nameToken.kind != TokenKind::Word && nameToken.kind != TokenKind::Quoted)
    ctx.syntax("a column name was expected");
  out.name = nameToken.value();
  ++i;
  std::string type = columnType(ctx, i, end);
  ColumnOptions options;
  while (i < end) addColumnOption(ctx, writer, i, end, out, options);
  if (out.identity) {
    if (!out.primaryKey) return out;  // the table's PRIMARY KEY constraint decides
    const size_t pk = options.text.find(" PRIMARY KEY");
    options.text.insert(pk + 12, " AUTOINCREMENT");
    type = "INTEGER";
  }
  out.sql = std::string(nameToken.text) + " " + type;
  if (isTextType(type) && !options.explicitCollation) out.sql += " COLLATE NOCASE";
  out.sql += options.text;
  return out;
}

std::string translateTableConstraint(TranslationContext& ctx, ExpressionWriter& writer,
                                     std::pair<size_t, size_t> range) {
  auto [i, end] = range;
  std::string out;
  auto add = [&](const std::string& s) { out += (out.empty() ? "" : " ") + s; };
  while (i < end) {
    const Token& t = ctx.tokens[i];
    if (isIndexKind(t)) {
      ++i;
    } else if (t.is("CONSTRAINT")) {
      add("CONSTRAINT " + quoteIdentifier(ctx.at(i + 1).value()));
      i += 2;
    } else if (t.is("REFERENCES")) {
      add(references(ctx, i, end));
    } else if (t.is("CHECK") && ctx.isSymbol(i + 1, "(")) {
      const size_t close = ctx.closing(i + 1);
      add("CHECK (" + writer.sequence(i + 2, close).text + ")");
      i = close + 1;
    } else if (t.isSymbol("(")) {
      const size_t close = ctx.closing(i);
      std::string cols;
      for (size_t k = i + 1; k < close; ++k)
        cols += (k > i + 1 ? " " : "") + std::string(ctx.tokens[k].text);
      add("(" + cols + ")");
      i = close + 1;
    } else if (t.is("WITH") ||
               (t.is("ON") && !ctx.is(i + 1, "DELETE") && !ctx.is(i + 1, "UPDATE"))) {
      // Storage options and filegroups mean nothing here.
      ++i;
      if (ctx.isSymbol(i, "("))
        i = ctx.closing(i) + 1;
      else
        ++i;
    } else if (t.kind == TokenKind::Word) {
      add(upper(t.text));
      ++i;
    } else {
      ctx.syntax("unexpected '" + std::string(t.text) + "' in a constraint");
    }
  }
  return out;
}

}  // namespace db::embedded
