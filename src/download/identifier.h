#pragma once

#include <string>
#include <string_view>

namespace download {

// Table and column names are spliced into statement texts, so only plain identifiers
// (letters, digits, underscore) are accepted; anything else raises std::invalid_argument.
std::string_view requireIdentifier(std::string_view name);

// "A,B,C" -> "'A','B','C'" for an IN list of identifiers.
std::string quotedIdentifierList(std::string_view commaSeparated);

}  // namespace download
