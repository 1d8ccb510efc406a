#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "consumer_central/table_ddl.h"
#include "db/core/connection.h"
#include "schema/services.h"

namespace consumer_central {

// What the setups need of the run.
struct SetupServices {
  schema::LogLine log;
  // The local database (adcGeral), opened when closed.
  std::function<db::Connection&()> local;
  // The string the local database is connected with; the central one is built from it.
  std::string localConnectionString;
  // adcDebConsCentral connected with the string given; it raises when it cannot connect.
  std::function<db::Connection&(const std::string& connectionString)> central;
  OrganisationNumber organisationNumber;
};

// The branch's central consumer database: the tables created and filled once, the copy triggers
// on the local tables, the balance procedures. Each setup raises, naming itself and what it was
// doing, on the failures it does not pass over (central connection, procedures, table creation,
// initial copy, trigger creation); a probe that fails means a table to create, and a primary key
// or index that cannot be made is passed over.
class ConsumerCentralSetup {
 public:
  explicit ConsumerCentralSetup(SetupServices services) : services_(std::move(services)) {}

  // MOVICLIE, with ATUALIZA_SALDO_CONS.
  void setupDebit(const std::string& database, const std::string& schema);
  // EXTRATOCONS and SALDOCONS, with ATUALIZA_SALDO_CONS_FKB.
  void setupStatement(const std::string& database, const std::string& schema);
  // SENHACONS, filled from CONSUMIDOR.
  void setupPassword(const std::string& database, const std::string& schema);

 private:
  class Run;
  SetupServices services_;
};

}  // namespace consumer_central
