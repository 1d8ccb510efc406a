#include "schema/procedures.h"

#include "schema/server_code.h"
#include "schema/statements.h"

namespace schema {
namespace {

constexpr std::string_view kMssql = "MSSQL";

std::string defaultDatabase(db::Connection& local) {
  auto rows = local.query(sql::kDefaultDatabase);
  if (!rows->next()) throw std::runtime_error("the local connection names no database");
  return (*rows)["NAME"].asText();
}

// A pass over the stored procedures: the command of each it runs and the log lines around it,
// "<starting><component><startingEnd>" before and "<component><done>" after.
struct ProcedurePass {
  std::string_view ServerCodeObject::*component;
  std::string_view (*text)(const ServerCodeObject&);
  std::string_view starting;
  std::string_view startingEnd;
  std::string_view done;
};

constexpr ProcedurePass kDropPass{
    &ServerCodeObject::dropComponent,
    [](const ServerCodeObject& procedure) -> std::string_view { return procedure.dropText; },
    "APAGANDO ", " !", " APAGADA!"};
constexpr ProcedurePass kCreatePass{
    &ServerCodeObject::createComponent,
    [](const ServerCodeObject& procedure) { return procedure.createText; }, "CRIANDO ", " ",
    " CRIADA!"};

void runProcedures(db::Connection& local, const LogLine& log, const ProcedurePass& pass) {
  for (const ServerCodeObject& procedure : storedProcedures()) {
    const std::string component(procedure.*pass.component);
    log(std::string(pass.starting) + component + std::string(pass.startingEnd), "1");
    local.executeBatch(pass.text(procedure));
    log(component + std::string(pass.done), "1");
  }
}

void recreateTriggers(db::Connection& local, const LogLine& log) {
  for (const ServerCodeObject& trigger : triggers()) {
    const std::string name(trigger.logName);
    local.executeBatch(trigger.dropText);
    log(name + " APAGADA!", "1");
    local.executeBatch(trigger.createText);
    log(name + " CRIADA!", "1");
  }
}

}  // namespace

bool AplicaProcedures(const ProcedureServices& services) {
  const LogLine& log = services.log;
  try {
    log("INICIO dtmBaixaEstrutura ", "1");
    services.createModule();
    log("FIM dtmBaixaEstrutura ", "1");
    log("INICIO dtmBaixaEstrutura: ", "1");
    db::Connection& local = services.openLocal();
    const std::string database = defaultDatabase(local);
    const std::string& type = services.usedDatabase;
    log("(AplicaProcedures) Banco de dados:  " + database, "1");
    log("Tipo do Banco :" + type, "1");
    log("(AplicaProcedures) Banco de dados: " + database, "1");
    log("Tipo do Banco :" + type, "1");
    if (type == kMssql) configureSnapshotIsolation(local, database, type, log);
    log("FIM adqConfigSnapShot.FieldByName", "1");
    log("INICIO DROP DAS PROCEDURES MSSQL!", "1");
    if (type == kMssql) {
      runProcedures(local, log, kDropPass);
      log("FIM DROP DAS PROCEDURES", "1");
    }
    log("INICIO CREATE PROCEDURES", "1");
    runProcedures(local, log, kCreatePass);
    log(" PROCEDURES CRIADAS COM SUCESSO", "1");
    log("INICIO CREATE TRIGGERS", "1");
    recreateTriggers(local, log);
    log("FIM CREATE TRIGGERS", "1");
    services.closeStructure();
    return true;
  } catch (const std::exception& e) {
    log(std::string("Exception Procedures : ") + e.what(), "1");
    return false;
  }
}

}  // namespace schema
