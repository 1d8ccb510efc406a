#include "db/core/connection.h"

#include "db/core/text.h"

namespace db {

size_t Rows::indexOf(std::string_view name) const {
  const auto& cols = columns();
  for (size_t i = 0; i < cols.size(); ++i)
    if (iequals(cols[i].name, name)) return i;
  throw Error(ErrorKind::General, "Field '" + std::string(name) + "' not found");
}

bool Rows::hasColumn(std::string_view name) const {
  for (const auto& c : columns())
    if (iequals(c.name, name)) return true;
  return false;
}

void Statement::bind(std::string_view name, const Value& value) {
  const auto& names = parameterNames();
  for (size_t i = 0; i < names.size(); ++i) {
    if (iequals(names[i], name)) {
      bind(i, value);
      return;
    }
  }
  throw Error(ErrorKind::General, "Parameter '" + std::string(name) + "' not found", text());
}

void Statement::bind(const Params& params) {
  for (const auto& p : params) bind(p.name, p.value);
}

BatchResult Connection::executeBatch(std::string_view sql, const Params&) {
  throw Error(ErrorKind::Unsupported,
              "Batches are not supported by the " + std::string(engineName()) + " engine",
              std::string(sql));
}

ProcedureResult Connection::callProcedure(std::string_view name,
                                          const std::vector<ProcedureArgument>&) {
  throw Error(ErrorKind::Unsupported,
              "Procedure calls are not supported by the " + std::string(engineName()) + " engine",
              "EXEC " + std::string(name));
}

}  // namespace db
