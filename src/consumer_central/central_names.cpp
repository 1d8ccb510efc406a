#include "consumer_central/central_names.h"

#include <stdexcept>

#include "db/core/text.h"

namespace consumer_central {
namespace {

constexpr size_t kMaxIdentifier = 128;

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks around the name (a padded column) are no part of it.
std::string checked(std::string_view text, std::string_view column) {
  const std::string name(db::trim(text));
  if (!isIdentifier(name))
    throw std::invalid_argument("PARAVEND." + std::string(column) + " \"" + name +
                                "\" não é um nome SQL válido (letras, dígitos e _, começando por "
                                "letra ou _); nenhum comando foi enviado ao banco central");
  return name;
}

}  // namespace

bool isIdentifier(std::string_view name) {
  if (name.empty() || name.size() > kMaxIdentifier) return false;
  if (!isLetter(name.front()) && name.front() != '_') return false;
  for (char c : name)
    if (!isLetter(c) && !isDigit(c) && c != '_' && c != '@' && c != '$' && c != '#') return false;
  return true;
}

CentralNames::CentralNames(std::string_view database, std::string_view schema)
    : database_(checked(database, "NMSQLNAMEDB")), schema_(checked(schema, "NMSQLSCHEMADB")) {}

std::string CentralNames::qualified(std::string_view table) const {
  return database_ + "." + schema_ + "." + std::string(table);
}

}  // namespace consumer_central
