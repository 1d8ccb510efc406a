#pragma once

#include <string>

#include "db/embedded/translate/context.h"

namespace db::embedded {

// A translated stretch of a statement.
struct Piece {
  std::string text;
  ExprType type = ExprType::Unknown;  // of the expression, when the stretch is one expression
  bool single = false;                // exactly one expression
  // For a SELECT with one column: that column's type (a scalar subquery's type).
  ExprType selectType = ExprType::Unknown;
};

// Translates the expression-level T-SQL of a statement: names, literals, parameters, the T-SQL
// functions, '+' between texts, TOP, table hints, and texts compared with date columns.
class ExpressionWriter {
 public:
  explicit ExpressionWriter(TranslationContext& ctx) : ctx_(ctx) {}

  // Tokens [begin, end) of one nesting level (nested groups are translated recursively).
  // In a date context every expression that is a text literal or a parameter is a date-time
  // (the values of an IN list or INSERT column of a date column).
  Piece sequence(size_t begin, size_t end, bool dateContext = false);
  // The statement from `begin` to its end.
  Piece rest(size_t begin) { return sequence(begin, ctx_.tokens.size()); }

  // The date-time a text literal stands for, as a SQLite number; Conversion error otherwise.
  std::string dateLiteral(const std::string& text) const;

 private:
  struct Item {
    std::string text;
    bool expression = false;
    ExprType type = ExprType::Unknown;
    bool literal = false;  // one string literal
    std::string literalValue;
    long parameter = -1;  // one parameter
    std::string keyword;  // upper-case, for keywords and operators
  };

  Piece expression(size_t& i, size_t end, bool tablePosition, Item& item);
  Piece term(size_t& i, size_t end, bool tablePosition, Item& item);
  Piece group(size_t& i);
  Piece caseExpression(size_t& i, size_t end);
  Piece name(size_t& i, bool tablePosition);
  Piece function(size_t& i);
  Piece convert(const std::string& typeText, size_t typeBegin, size_t typeEnd, Piece value,
                const std::string& style);
  Piece argument(std::pair<size_t, size_t> range);
  Piece objectId(const std::vector<std::pair<size_t, size_t>>& ranges);
  std::string topLimit(size_t& i, size_t end);
  bool skipTableHint(size_t& i);
  void toDate(Item& item);
  void applyDateComparisons(std::vector<Item>& items);
  bool isTermStart(size_t i, const std::vector<Item>& items) const;

  TranslationContext& ctx_;
};

}  // namespace db::embedded
