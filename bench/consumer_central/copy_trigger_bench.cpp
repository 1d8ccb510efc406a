// What the central copy trigger costs a register's own inserts. A local MOVICLIE and the central
// consumer database side by side in one server folder; the central MOVICLIE holds `existing`
// movements (the one-time copy). Three loops of `rows` single-row prepared INSERTs of new
// movements, each in one transaction on a fresh pair of databases:
//   plain    - the trigger disabled: the register's insert alone (the baseline);
//   explicit - the trigger disabled, and after each insert the same copy statement the trigger
//              runs, prepared and executed by the caller;
//   trigger  - the trigger enabled.
// Prints the best of `rounds` rounds of each and the rates as percentages of the plain rate.
//
//   bench_consumer_central [directory=/tmp] [rows=20000] [existing=100000] [rounds=3]
#include <filesystem>
#include <string>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "common/measure.h"
#include "common/trigger_cost.h"
#include "consumer_central/central_setup.h"
#include "db/connect.h"
#include "db/core/connection.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kInsert =
    "INSERT INTO MOVICLIE (CDCLIENTE, NRSEQMOVCLI, CDCONSUMIDOR, VRMOVCLI, DTMOVCLI, IDTIPMOCVLI, "
    "CDFILIAL, CDCAIXA, DTABERCAIX) VALUES (:P_CDCLIENTE, :P_NRSEQMOVCLI, :P_CDCONSUMIDOR, "
    ":P_VRMOVCLI, :P_DTMOVCLI, 'D', '0001', '001', '2026-12-01 08:00:00')";

// The copy trigger's statement for one movement, as a caller would run it.
constexpr std::string_view kCopy =
    "INSERT INTO CENTRAL.dbo.MOVICLIE(CDCLIENTE, NRSEQMOVCLI, CDCONSUMIDOR, VRMOVCLI, DTMOVCLI, "
    "IDTIPMOCVLI, CDFILIAL, CDCAIXA, DTABERCAIX) SELECT CDCLIENTE, NRSEQMOVCLI, CDCONSUMIDOR, "
    "VRMOVCLI, DTMOVCLI, IDTIPMOCVLI, CDFILIAL, CDCAIXA, DTABERCAIX FROM MOVICLIE I WHERE "
    "CDCLIENTE = :P_CDCLIENTE AND NRSEQMOVCLI = :P_NRSEQMOVCLI AND NOT EXISTS(SELECT * FROM "
    "CENTRAL.dbo.MOVICLIE C WHERE C.CDCLIENTE = I.CDCLIENTE AND (C.CDCONSUMIDOR = "
    "I.CDCONSUMIDOR OR (C.CDCONSUMIDOR IS NULL AND I.CDCONSUMIDOR IS NULL)) AND C.DTMOVCLI = "
    "I.DTMOVCLI AND C.IDTIPMOCVLI = I.IDTIPMOCVLI AND C.VRMOVCLI = I.VRMOVCLI AND (C.DTABERCAIX "
    "= I.DTABERCAIX OR (C.DTABERCAIX IS NULL AND I.DTABERCAIX IS NULL)))";

using bench::connectionString;
using bench::Loop;

db::Params movement(int client, int sequence) {
  return {{"P_CDCLIENTE", "C" + std::to_string(client)},
          {"P_NRSEQMOVCLI", std::to_string(sequence)},
          {"P_CDCONSUMIDOR", "K" + std::to_string(client)},
          {"P_VRMOVCLI", 1.0 + sequence % 97},
          {"P_DTMOVCLI", db::DateTime::fromParts(2026, 12, 1 + sequence % 28, sequence % 24,
                                                 sequence % 60, (sequence / 60) % 60)}};
}

// A fresh register with `existing` movements, set up with the central consumer database.
std::unique_ptr<db::Connection> prepare(const fs::path& server, int existing) {
  fs::remove_all(server);
  fs::create_directories(server);
  db::connect(connectionString(server, "CENTRAL"));
  auto local = db::connect(connectionString(server, "LOJA"));
  for (const auto& ddl : central::tableDdl(central::centralModel().table("MOVICLIE")))
    local->execute(ddl);
  local->begin();
  db::Statement& insert = local->prepare(kInsert);
  for (int i = 0; i < existing; ++i) {
    insert.bind(movement(i % 1000, i));
    insert.execute();
  }
  local->commit();
  std::unique_ptr<db::Connection> central;
  consumer_central::ConsumerCentralSetup({[](std::string_view, std::string_view) {},
                                          [&local]() -> db::Connection& { return *local; },
                                          connectionString(server, "LOJA"),
                                          [&central](const std::string& s) -> db::Connection& {
                                            central = db::connect(s);
                                            return *central;
                                          },
                                          [] { return std::string("1"); }})
      .setupDebit("CENTRAL", "dbo");
  return local;
}

double run(const fs::path& server, Loop loop, int rows, int existing) {
  auto local = prepare(server, existing);
  if (loop != Loop::Trigger) local->execute("DISABLE TRIGGER MOVICLIE_CENTRAL ON MOVICLIE");
  return bench::timedTransaction(*local, [&] {
    db::Statement& insert = local->prepare(kInsert);
    db::Statement& copy = local->prepare(kCopy);
    for (int i = 0; i < rows; ++i) {
      const db::Params params = movement(i % 1000, existing + i);
      insert.bind(params);
      insert.execute();
      if (loop == Loop::Explicit) {
        copy.bind("P_CDCLIENTE", params[0].value);
        copy.bind("P_NRSEQMOVCLI", params[1].value);
        copy.execute();
      }
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  return bench::runTriggerCost(argc, argv, {"kivtab-consumer-central", 20000, 100000, "copy"}, run);
}
