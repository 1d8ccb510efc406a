#include "db/embedded/sql_quoting.h"

namespace db::embedded {
namespace {

std::string quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  return out + quote;
}

}  // namespace

std::string quoteIdentifier(std::string_view name) { return quoted(name, '"'); }

std::string quoteString(std::string_view text) { return quoted(text, '\''); }

}  // namespace db::embedded
