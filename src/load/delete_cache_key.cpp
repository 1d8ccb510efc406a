#include "load/delete_cache_key.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace load {
namespace {

constexpr size_t kCompactDateLength = 14;

bool isNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

[[noreturn]] void malformed(std::string_view keyText, std::string_view column,
                            std::string_view problem) {
  throw std::invalid_argument("chave da cache inválida (" + std::string(column) + ": " +
                              std::string(problem) + "): " + std::string(keyText));
}

// Position right after the column's name where it starts a pair, or npos.
size_t pairStart(std::string_view keyText, std::string_view column) {
  for (size_t at = keyText.find(column); at != std::string_view::npos;
       at = keyText.find(column, at + 1)) {
    const size_t end = at + column.size();
    const bool startsPair = at == 0 || keyText[at - 1] == ';';
    const bool nameEnds = end < keyText.size() && !isNameCharacter(keyText[end]);
    if (startsPair && nameEnds) return end;
  }
  return std::string_view::npos;
}

std::string expandCompactDate(std::string_view keyText, std::string_view column,
                              const std::string& value) {
  if (value.size() != kCompactDateLength || !std::all_of(value.begin(), value.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      }))
    malformed(keyText, column, "data compacta sem 14 dígitos");
  return value.substr(0, 4) + "-" + value.substr(4, 2) + "-" + value.substr(6, 2) + " " +
         value.substr(8, 2) + ":" + value.substr(10, 2) + ":" + value.substr(12, 2);
}

}  // namespace

std::string cacheKeyValue(std::string_view keyText, std::string_view column) {
  const size_t nameEnd = pairStart(keyText, column);
  if (nameEnd == std::string_view::npos) malformed(keyText, column, "coluna ausente");
  const size_t pairEnd = keyText.find(';', nameEnd);
  if (pairEnd == std::string_view::npos) malformed(keyText, column, "falta o \";\"");
  if (pairEnd == nameEnd) malformed(keyText, column, "sem separador");
  // The one separator character after the name is skipped whatever it is.
  std::string value(keyText.substr(nameEnd + 1, pairEnd - nameEnd - 1));
  const bool dateColumn = column.starts_with("DT");
  if (dateColumn && value.find_first_of(":/-") == std::string::npos)
    return expandCompactDate(keyText, column, value);
  return value;
}

}  // namespace load
