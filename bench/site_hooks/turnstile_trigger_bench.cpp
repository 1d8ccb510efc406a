// What the turnstile trigger costs the tabs a register opens. A local COMANDAVEN and the
// turnstile's database WSP side by side in one server folder; WSP.PESSOAS holds `people` card
// holders. Three loops of `rows` single-row prepared INSERTs of new tabs, each in one
// transaction on fresh databases:
//   plain    - no trigger: the register's insert alone (the baseline);
//   explicit - no trigger, and after each insert the trigger's blocking UPDATE, prepared and run
//              by the caller for that tab;
//   trigger  - UTILIZA_TRILOBIT installed.
// Prints the best of `rounds` rounds of each and the rates as percentages of the plain rate.
//
//   bench_site_hooks [directory=/tmp] [rows=5000] [people=5000] [rounds=3]
#include <filesystem>
#include <string>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "common/measure.h"
#include "common/trigger_cost.h"
#include "db/connect.h"
#include "db/core/connection.h"
#include "site_hooks/site_hook_sql.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kInsert =
    "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA) "
    "VALUES ('0001', '1', :P_NRCOMANDA, :P_DSCOMANDA, 'A')";

// The trigger's statement for one inserted tab, as a caller would run it.
constexpr std::string_view kBlock =
    "UPDATE WSP.DBO.PESSOAS SET PESHABILITADO = 0 WHERE ISNULL(PIN, 0) = ISNULL(:P_DSCOMANDA, 0)";

using bench::connectionString;
using bench::Loop;

std::unique_ptr<db::Connection> prepare(const fs::path& server, int people, bool trigger) {
  fs::remove_all(server);
  fs::create_directories(server);
  auto wsp = db::connect(connectionString(server, "WSP"));
  wsp->execute("CREATE TABLE PESSOAS (PIN VARCHAR(20), PESHABILITADO INT)");
  wsp->begin();
  db::Statement& person = wsp->prepare("INSERT INTO PESSOAS VALUES (:P_PIN, 1)");
  for (int i = 0; i < people; ++i) {
    person.bind("P_PIN", std::to_string(i));
    person.execute();
  }
  wsp->commit();
  auto local = db::connect(connectionString(server, "LOJA"));
  for (const auto& ddl : central::tableDdl(central::centralModel().table("COMANDAVEN")))
    local->execute(ddl);
  if (trigger) local->execute(site_hooks::sql::kTriggerTrilobit);
  return local;
}

double run(const fs::path& server, Loop loop, int rows, int people) {
  auto local = prepare(server, people, loop == Loop::Trigger);
  return bench::timedTransaction(*local, [&] {
    db::Statement& insert = local->prepare(kInsert);
    db::Statement& block = local->prepare(kBlock);
    for (int i = 0; i < rows; ++i) {
      const std::string tab = std::to_string(i % people);
      insert.bind({{"P_NRCOMANDA", std::to_string(i)}, {"P_DSCOMANDA", tab}});
      insert.execute();
      if (loop == Loop::Explicit) {
        block.bind("P_DSCOMANDA", tab);
        block.execute();
      }
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  return bench::runTriggerCost(argc, argv, {"kivtab-site-hooks", 5000, 5000, "update"}, run);
}
