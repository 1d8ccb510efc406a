#include "download/identifier.h"

#include <stdexcept>

namespace download {

std::string_view requireIdentifier(std::string_view name) {
  bool ok = !name.empty();
  for (char c : name) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum && c != '_') ok = false;
  }
  if (!ok)
    throw std::invalid_argument("\"" + std::string(name) +
                                "\" is not a plain table or column name");
  return name;
}

std::string quotedIdentifierList(std::string_view commaSeparated) {
  std::string out;
  while (!commaSeparated.empty()) {
    const size_t comma = commaSeparated.find(',');
    const std::string_view name = commaSeparated.substr(0, comma);
    if (!out.empty()) out += ",";
    out += "'" + std::string(requireIdentifier(name)) + "'";
    if (comma == std::string_view::npos) break;
    commaSeparated.remove_prefix(comma + 1);
  }
  return out;
}

}  // namespace download
