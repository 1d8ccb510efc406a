#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace download {

// One constant of a VALUES list.
struct Literal {
  enum class Kind { Null, Int, Double, Text };
  Kind kind = Kind::Null;
  int64_t intValue = 0;
  double doubleValue = 0;
  std::string text;  // unquoted, '' folded to '
};

// "INSERT INTO table (columns) VALUES (constants)[;]" taken apart. Buffers are reused from one
// line to the next, so parsing a file allocates almost nothing.
struct InsertLine {
  std::string_view head;  // "INSERT INTO table (columns)": equal for every line of one shape
  std::string_view table;
  std::vector<std::string_view> columns;
  std::vector<Literal> values;  // the first valueCount are this line's
  size_t valueCount = 0;
};

// False for anything but a single INSERT of plain constants (texts, N-texts, numbers, NULL)
// with an explicit column list of matching length; such lines are run as they stand.
bool parseInsertLine(std::string_view line, InsertLine& out);

// The wider form statement files may also hold: each value an expression joining constants with
// "+", where CHAR(n) and NCHAR(n) also count as constants (how line breaks travel inside texts).
// `values` then holds every constant of the line in order, valueCount their number. False for
// anything else: another statement, a second statement, a function, a sub-query, a comment.
bool parseInsertOfConstants(std::string_view line, InsertLine& out);

}  // namespace download
