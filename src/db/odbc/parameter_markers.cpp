#include "db/odbc/parameter_markers.h"

#include "db/core/text.h"

namespace db::odbc {
namespace {

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }

// Index after the literal or comment starting at `pos`, or `pos` when none starts there. An
// unterminated one runs to the end; the server reports it with its own words.
size_t skipLiteralOrComment(std::string_view s, size_t pos) {
  const char c = s[pos];
  if (c == '\'' || c == '"' || c == '[') {
    const char close = c == '[' ? ']' : c;
    for (size_t i = pos + 1; i < s.size(); ++i) {
      if (s[i] != close) continue;
      if (i + 1 < s.size() && s[i + 1] == close) {
        ++i;
        continue;
      }
      return i + 1;
    }
    return s.size();
  }
  if (s.substr(pos, 2) == "--") {
    const size_t end = s.find('\n', pos);
    return end == std::string_view::npos ? s.size() : end + 1;
  }
  if (s.substr(pos, 2) == "/*") {
    // Block comments nest in T-SQL.
    int depth = 0;
    for (size_t i = pos; i + 1 < s.size(); ++i) {
      if (s[i] == '/' && s[i + 1] == '*') {
        ++depth;
        ++i;
      } else if (s[i] == '*' && s[i + 1] == '/') {
        ++i;
        if (--depth == 0) return i + 1;
      }
    }
    return s.size();
  }
  return pos;
}

}  // namespace

MarkedStatement markParameters(std::string_view sql) {
  MarkedStatement out;
  out.text.reserve(sql.size());
  size_t pos = 0;
  while (pos < sql.size()) {
    const size_t skipped = skipLiteralOrComment(sql, pos);
    if (skipped != pos) {
      out.text += sql.substr(pos, skipped - pos);
      pos = skipped;
      continue;
    }
    const char c = sql[pos];
    const bool isParameter = c == ':' && pos + 1 < sql.size() && isNameStart(sql[pos + 1]) &&
                             (pos == 0 || sql[pos - 1] != ':');
    if (!isParameter) {
      out.text += c;
      ++pos;
      continue;
    }
    size_t end = pos + 1;
    while (end < sql.size() && isNameChar(sql[end])) ++end;
    const std::string_view name = sql.substr(pos + 1, end - pos - 1);
    size_t index = 0;
    while (index < out.names.size() && !iequals(out.names[index], name)) ++index;
    if (index == out.names.size()) out.names.emplace_back(name);
    out.markers.push_back(index);
    out.text += '?';
    pos = end;
  }
  return out;
}

}  // namespace db::odbc
