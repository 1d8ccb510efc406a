#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "db/core/connection.h"
#include "schema/services.h"

namespace schema {

// What AplicaProcedures needs of the run: the structure data module and its local connection.
struct ProcedureServices {
  LogLine log;
  std::function<void()> createModule;          // dtmBaixaEstrutura, when not there yet
  std::function<db::Connection&()> openLocal;  // adcGeral, opened when closed
  std::function<void()> closeStructure;        // CloseADOEstrutura
  std::string usedDatabase;                    // "MSSQL" or "ORACLE"
};

// Sets READ_COMMITTED_SNAPSHOT on (once), drops and recreates the three procedures and the ten
// triggers, and closes the structure module. The first failing step ends it with
// "Exception Procedures : " and the answer false; the snapshot setting fails on its own.
bool AplicaProcedures(const ProcedureServices& services);

// The snapshot-isolation step alone: on a database whose READ_COMMITTED_SNAPSHOT is off, switches
// it on between single-user and multi-user mode. Failures are logged and end only this step.
void configureSnapshotIsolation(db::Connection& local, const std::string& database,
                                const std::string& usedDatabase, const LogLine& log);

// A command text with the database name bracket-quoted in place of :P_BASE.
std::string withDatabaseName(std::string_view command, std::string_view database);

}  // namespace schema
