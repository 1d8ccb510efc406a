#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

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
  // What one nesting level has written so far.
  struct Sequence {
    std::vector<Item> items;
    bool inFrom = false;  // in a FROM list, where ", NAME" names a table
    bool sawSelect = false;
    std::string limit;  // of a TOP, written as LIMIT at the end
    void keyword(std::string text);
  };

  void rejectUnsupported(size_t i, size_t end, const Sequence& s) const;
  void selectClause(size_t& i, size_t end, Sequence& s);
  static void trackFromList(const Token& t, Sequence& s);
  bool tableHintOrCollation(size_t& i, Sequence& s);
  void inList(size_t& i, Sequence& s);
  void writeToken(size_t& i, size_t end, Sequence& s);
  static Piece joined(const Sequence& s);
  Piece expression(size_t& i, size_t end, bool tablePosition, Item& item);
  Piece term(size_t& i, size_t end, bool tablePosition, Item& item);
  Piece group(size_t& i);
  Piece caseExpression(size_t& i, size_t end);
  Piece name(size_t& i, bool tablePosition);
  // A function call: its name (upper-case and as written), parentheses and argument ranges.
  struct FunctionCall {
    std::string name;
    std::string spelled;
    size_t open = 0;
    size_t close = 0;
    std::vector<std::pair<size_t, size_t>> ranges;
  };
  Piece function(size_t& i);
  Piece callAs(const FunctionCall& c, const std::string& sqliteName, ExprType type);
  void needArguments(const FunctionCall& c, size_t n);
  std::optional<Piece> conversionCall(const FunctionCall& c);
  std::optional<Piece> valueCall(const FunctionCall& c);
  std::optional<Piece> textCall(const FunctionCall& c);
  std::optional<Piece> dateCall(const FunctionCall& c);
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
