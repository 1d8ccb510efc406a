#include "consumer_central/central_names.h"

#include <stdexcept>

namespace consumer_central {
namespace {

constexpr size_t kMaxIdentifier = 128;

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string checked(std::string name, std::string_view column) {
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

CentralNames::CentralNames(std::string database, std::string schema)
    : database_(checked(std::move(database), "NMSQLNAMEDB")),
      schema_(checked(std::move(schema), "NMSQLSCHEMADB")) {}

std::string CentralNames::qualified(std::string_view table) const {
  return database_ + "." + schema_ + "." + std::string(table);
}

}  // namespace consumer_central
