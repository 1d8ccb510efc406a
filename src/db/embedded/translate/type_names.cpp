#include "db/embedded/translate/type_names.h"

#include "db/core/text.h"

namespace db::embedded {

bool isTextType(std::string_view declaredType) {
  const std::string t = upper(trim(declaredType));
  return t.starts_with("CHAR") || t.starts_with("VARCHAR") || t.starts_with("NCHAR") ||
         t.starts_with("NVARCHAR") || t == "TEXT" || t == "NTEXT" || t.starts_with("CHARACTER") ||
         t == "SYSNAME";
}

std::string convertedToDate(std::string_view value) {
  return "KIVTAB_TODATE(" + std::string(value) + ", 0)";
}

std::string storedTypeName(std::string_view tsqlType) {
  std::string out;
  for (char c : upper(tsqlType))
    if (c != ' ') out += c;
  const size_t max = out.find("(MAX)");
  if (max != std::string::npos) out.replace(max, 5, "(-1)");
  return out;
}

}  // namespace db::embedded
