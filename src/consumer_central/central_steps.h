#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "consumer_central/central_names.h"
#include "consumer_central/central_tables.h"
#include "consumer_central/table_ddl.h"
#include "db/core/connection.h"
#include "schema/services.h"

// The steps the central consumer setups are made of. `local` is the register's database, which
// reaches the central tables by three-part names; `central` is connected to the central
// database itself.
namespace consumer_central {

// What the probe "SELECT ... FROM <central table>" found.
enum class Probe { Missing, Empty, Filled };
Probe probe(db::Connection& local, const CentralNames& names, std::string_view table);

// The CREATEs below go on, with a log line, when they fail because another register of the
// branch made the object meanwhile: it is there, as wanted.

// Drops and creates one of the balance procedures (ATUALIZA_SALDO_CONS, ATUALIZA_SALDO_CONS_FKB)
// in the central database, with the texts the local database gets.
void recreateProcedure(db::Connection& central, const CentralNames& names, std::string_view name,
                       const schema::LogLine& log);

// Creates the tables in the central database from their local sources' columns and indexes, in
// one transaction: each with its primary key and indexes, whose failures are passed over as the
// structure update passes them over. A table that cannot be created raises, and none is left.
// Answers what the probe of the first table finds now: Empty when they were created here.
struct CentralSchemaSource {
  db::Connection& local;
  std::string owner;  // the login whose tables the column query reads
  OrganisationNumber organisationNumber;
  schema::LogLine log;
};
Probe createCentralTables(db::Connection& central, const CentralNames& names,
                          const CentralSchemaSource& source,
                          const std::vector<const CentralTable*>& tables);

// Makes the central MOVICLIE's primary key hold CDFILIAL when it does not. Never raises: a key
// that cannot be made so is logged and left as it was.
void repairMoviclieKey(db::Connection& central, const CentralNames& names,
                       const schema::LogLine& log);

// Copies the local rows into the central tables, in one transaction on the local connection.
// When the copy fails because another register filled the first table meanwhile, it logs that
// and goes on.
void copyOnce(db::Connection& local, const CentralNames& names,
              const std::vector<const CentralTable*>& tables, const schema::LogLine& log);

// Creates the copy trigger when the local database has none of that name, or enables it when it
// is disabled; an enabled one is left as it is.
void ensureTrigger(db::Connection& local, const CentralNames& names, const CopyTrigger& trigger,
                   const schema::LogLine& log);

}  // namespace consumer_central
