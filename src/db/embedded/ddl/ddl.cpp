#include "db/embedded/extension.h"

namespace db::embedded::ddl {

std::optional<int64_t> tryExecute(sqlite3*, const std::vector<Token>&, std::string_view) {
  return std::nullopt;
}

}  // namespace db::embedded::ddl
