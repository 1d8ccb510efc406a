#include <string>

#include "schema/procedures.h"
#include "schema/statements.h"

namespace schema {

std::string withDatabaseName(std::string_view command, std::string_view database) {
  std::string quoted = "[";
  for (char c : database) {
    quoted += c;
    if (c == ']') quoted += ']';
  }
  quoted += ']';
  std::string text(command);
  const size_t at = text.find(sql::kDatabaseParameter);
  if (at != std::string::npos) text.replace(at, sql::kDatabaseParameter.size(), quoted);
  return text;
}

void configureSnapshotIsolation(db::Connection& local, const std::string& database,
                                const std::string& usedDatabase, const LogLine& log) {
  try {
    log("INICIO adqConfigSnapShot", "1");
    auto config = local.query(sql::kConfigSnapshot, {{"P_BASE", database}});
    log("FIM adqConfigSnapShot" + usedDatabase, "1");
    log("INICIO adqConfigSnapShot.FieldByName", "1");
    // A database the catalogue does not list reads as a setting that is not "0": nothing is sent.
    const bool off = config->next() && (*config)["CONFIG"].asText() == "0";
    config.reset();
    if (!off) return;
    log("Snapshot isolation será alterado", "1");
    local.execute(withDatabaseName(sql::kSingleUser, database));
    log("Banco de dados alterado para um usuário", "1");
    local.execute(withDatabaseName(sql::kConfigSnapshotOn, database));
    log("Snapshot isolation alterado com sucesso!", "1");
    local.execute(withDatabaseName(sql::kMultiUser, database));
    log("Banco de dados alterado para multi usuário", "1");
  } catch (const std::exception& e) {
    log(std::string("Exception adqConfigSnapShot : ") + e.what(), "1");
    log("Utilização de BANCO SQL 2005 ou inferior ", "1");
  }
}

}  // namespace schema
