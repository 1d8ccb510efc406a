// The setups against the embedded engine: registers' databases and the central consumer database
// side by side in one server folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "consumer_central/central_setup.h"
#include "db/connect.h"
#include "support/forwarding_connection.h"
#include "support/temp_dir.h"

namespace consumer_central {
namespace {

using testing_support::TempDir;

// What a setup step raised, or "no failure".
template <typename Step>
std::string failureOf(Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no failure";
}

// Another register's work, done once just before this register's connection sends a statement
// starting with `watched`, or opens its first transaction when `watched` is "BEGIN": the two
// registers set up the central database at the same moment.
class RivalAhead : public testing_support::ForwardingConnection {
 public:
  RivalAhead(db::Connection& inner, std::string watched, std::function<void()> rival)
      : ForwardingConnection(inner), watched_(std::move(watched)), rival_(std::move(rival)) {}
  int64_t execute(std::string_view sql, const db::Params& params = {}) override {
    ahead(sql);
    return ForwardingConnection::execute(sql, params);
  }
  db::BatchResult executeBatch(std::string_view sql, const db::Params& params = {}) override {
    ahead(sql);
    return ForwardingConnection::executeBatch(sql, params);
  }
  void begin() override {
    ahead("BEGIN");
    ForwardingConnection::begin();
  }

 private:
  void ahead(std::string_view sql) {
    if (rival_ && sql.starts_with(watched_)) std::exchange(rival_, nullptr)();
  }

  std::string watched_;
  std::function<void()> rival_;
};

class SetupTest : public ::testing::Test {
 protected:
  // A register's local database with the consumer tables of the central model.
  struct Register {
    std::string connectionString;
    std::unique_ptr<db::Connection> db;
  };

  void SetUp() override {
    loja1 = makeRegister("LOJA1");
    db::connect(connectionString("CENTRAL"));  // the operator creates the central database
  }

  std::string connectionString(const std::string& database, const std::string& user = "dbo") {
    return "Provider=SQLite;Initial Catalog=" + database +
           ";Data Source=" + server.path().string() + ";User ID=" + user + ";";
  }

  Register makeRegister(const std::string& name) {
    Register r{connectionString(name), db::connect(connectionString(name))};
    for (const char* table : {"MOVICLIE", "EXTRATOCONS", "SALDOCONS", "CONSUMIDOR"})
      for (const auto& ddl : central::tableDdl(central::centralModel().table(table)))
        r.db->execute(ddl);
    return r;
  }

  // A test double put in front of a connection the setup is given.
  using Wrap = std::function<std::unique_ptr<db::Connection>(db::Connection&)>;

  static Wrap ahead(std::string watched, std::function<void()> rival) {
    return
        [=](db::Connection& inner) { return std::make_unique<RivalAhead>(inner, watched, rival); };
  }

  ConsumerCentralSetup setupFor(Register& r, Wrap local = {}, Wrap central = {}) {
    return ConsumerCentralSetup(
        {[this](std::string_view message, std::string_view) { log.emplace_back(message); },
         [this, &r, local]() -> db::Connection& {
           ++localOpens;
           return local ? hold(local(*r.db)) : *r.db;
         },
         r.connectionString,
         [this, central](const std::string& s) -> db::Connection& {
           ++centralConnects;
           db::Connection& connected = hold(db::connect(s));
           return central ? hold(central(connected)) : connected;
         },
         [] { return std::string("1"); }});
  }

  // Kept to the end of the test: a rival's setup may run in the middle of another's.
  db::Connection& hold(std::unique_ptr<db::Connection> connection) {
    return *held.emplace_back(std::move(connection));
  }

  std::unique_ptr<db::Connection> central() { return db::connect(connectionString("CENTRAL")); }

  static void movement(db::Connection& db, const std::string& client, const std::string& sequence,
                       const std::string& value, const char* branch = "'0001'") {
    db.execute(
        "INSERT INTO MOVICLIE (CDCLIENTE, NRSEQMOVCLI, CDCONSUMIDOR, VRMOVCLI, DTMOVCLI, "
        "IDTIPMOCVLI, CDFILIAL, DTABERCAIX) VALUES ('" +
        client + "', '" + sequence + "', NULL, " + value + ", '2026-12-01 10:00:00', 'D', " +
        branch + ", '2026-12-01 08:00:00')");
  }

  static int64_t count(db::Connection& db, const std::string& table) {
    auto rows = db.query("SELECT COUNT(*) FROM " + table);
    rows->next();
    return rows->at(0).asInt();
  }

  static std::string keyOf(db::Connection& db, const std::string& table) {
    std::string key;
    auto rows = db.query(
        "SELECT C.NAME FROM sys.indexes I, sys.index_columns IC, sys.columns C, sys.objects O "
        "WHERE O.NAME = :P_T AND I.OBJECT_ID = O.OBJECT_ID AND I.IS_PRIMARY_KEY = 1 AND "
        "IC.OBJECT_ID = I.OBJECT_ID AND IC.INDEX_ID = I.INDEX_ID AND C.OBJECT_ID = IC.OBJECT_ID "
        "AND C.COLUMN_ID = IC.COLUMN_ID ORDER BY IC.KEY_ORDINAL",
        {{"P_T", table}});
    while (rows->next()) key += (key.empty() ? "" : ",") + rows->at(0).asText();
    return key;
  }

  static std::string triggerState(db::Connection& db, const std::string& name) {
    auto rows = db.query(
        "SELECT T.is_disabled, C.text FROM sys.triggers T, SYSCOMMENTS C WHERE T.name = :P_N AND "
        "C.id = T.object_id",
        {{"P_N", name}});
    if (!rows->next()) return "none";
    return (rows->at(0).asBool() ? "disabled:" : "enabled:") + rows->at(1).asText();
  }

  bool logged(const std::string& line) const {
    return std::find(log.begin(), log.end(), line) != log.end();
  }

  bool loggedStarting(const std::string& start) const {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& line) { return line.starts_with(start); });
  }

  TempDir server;
  Register loja1;
  std::vector<std::unique_ptr<db::Connection>> held;
  std::vector<std::string> log;
  int localOpens = 0;
  int centralConnects = 0;
};

TEST_F(SetupTest, DebitSetupCreatesFillsOnceAndCopiesNewMovements) {
  movement(*loja1.db, "C1", "1", "10");
  movement(*loja1.db, "C1", "2", "20");
  movement(*loja1.db, "C2", "1", "5");
  setupFor(loja1).setupDebit("CENTRAL", "dbo");

  auto c = central();
  EXPECT_EQ(count(*c, "MOVICLIE"), 3);
  EXPECT_EQ(keyOf(*c, "MOVICLIE"), "CDCLIENTE,NRSEQMOVCLI,CDFILIAL");
  EXPECT_EQ(count(*c, "sys.indexes WHERE name = 'IX_MOVICLIE_CDFILIAL'"), 1);
  EXPECT_EQ(count(*c, "sysobjects WHERE name = 'ATUALIZA_SALDO_CONS' AND type = 'P'"), 1);
  EXPECT_EQ(triggerState(*loja1.db, "MOVICLIE_CENTRAL").substr(0, 8), "enabled:");
  EXPECT_TRUE(logged("Banco central de consumidores CENTRAL: tabela MOVICLIE criada"));
  EXPECT_TRUE(logged("Banco central de consumidores CENTRAL: cópia inicial de MOVICLIE, 3 linhas"));

  // New movements follow through the trigger, a multi-row insert with all its rows.
  loja1.db->execute(
      "INSERT INTO MOVICLIE (CDCLIENTE, NRSEQMOVCLI, VRMOVCLI, DTMOVCLI, IDTIPMOCVLI, CDFILIAL) "
      "VALUES ('C3', '1', 1, '2026-12-02', 'C', '0001'), ('C4', '1', 2, '2026-12-02', 'C', "
      "'0001')");
  EXPECT_EQ(count(*c, "MOVICLIE"), 5);

  // A central table holding rows gets no second copy...
  c->execute("DELETE FROM MOVICLIE WHERE CDCLIENTE = 'C1'");
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  EXPECT_EQ(count(*c, "MOVICLIE"), 3);
  // ...an emptied one does, once.
  c->execute("DELETE FROM MOVICLIE");
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  EXPECT_EQ(count(*c, "MOVICLIE"), 5);
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  EXPECT_EQ(count(*c, "MOVICLIE"), 5);
}

TEST_F(SetupTest, CentralMoviclieKeyWithoutTheBranchIsReplacedOrElseKept) {
  auto c = central();
  for (const auto& ddl : central::tableDdl(central::centralModel().table("MOVICLIE")))
    c->execute(ddl);
  c->execute("INSERT INTO MOVICLIE (CDCLIENTE, NRSEQMOVCLI, CDFILIAL) VALUES ('X', '1', '0001')");
  // The model's CDFILIAL allows NULL: no key can hold it, and the old one stays.
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  EXPECT_EQ(keyOf(*c, "MOVICLIE"), "CDCLIENTE,NRSEQMOVCLI");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front().rfind("Banco central de consumidores CENTRAL: chave primária de MOVICLIE "
                              "não pôde ser refeita com CDFILIAL: ",
                              0),
            0u)
      << log.front();

  c->execute("ALTER TABLE MOVICLIE ALTER COLUMN CDFILIAL VARCHAR(4) NOT NULL");
  log.clear();
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  EXPECT_EQ(keyOf(*c, "MOVICLIE"), "CDCLIENTE,NRSEQMOVCLI,CDFILIAL");
  EXPECT_TRUE(
      logged("Banco central de consumidores CENTRAL: chave primária de MOVICLIE refeita "
             "com CDFILIAL"));
  // The table held a row: nothing was copied.
  EXPECT_EQ(count(*c, "MOVICLIE"), 1);
  log.clear();
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(SetupTest, ADisabledTriggerIsEnabledAndAnEnabledOneLeftAsItIs) {
  const std::string own =
      "CREATE TRIGGER MOVICLIE_CENTRAL ON MOVICLIE FOR INSERT AS SET NOCOUNT ON";
  loja1.db->executeBatch(own);
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  EXPECT_EQ(triggerState(*loja1.db, "MOVICLIE_CENTRAL"), "enabled:" + own);

  loja1.db->execute("DISABLE TRIGGER MOVICLIE_CENTRAL ON MOVICLIE");
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  EXPECT_EQ(triggerState(*loja1.db, "MOVICLIE_CENTRAL"), "enabled:" + own);
  EXPECT_TRUE(logged("Banco central de consumidores CENTRAL: gatilho MOVICLIE_CENTRAL reativado"));
}

TEST_F(SetupTest, TheSameMovementAtTwoRegistersLeavesOneCentralRow) {
  Register loja2 = makeRegister("LOJA2");
  setupFor(loja1).setupDebit("CENTRAL", "dbo");
  setupFor(loja2).setupDebit("CENTRAL", "dbo");
  movement(*loja1.db, "C1", "7", "12.5");
  movement(*loja2.db, "C1", "7", "12.5");
  // Another sequence, same client, consumer, time, type, value and till opening: the same one.
  movement(*loja2.db, "C1", "8", "12.5");
  movement(*loja2.db, "C1", "9", "12.6");
  auto c = central();
  EXPECT_EQ(count(*c, "MOVICLIE"), 2);
  EXPECT_EQ(count(*c, "MOVICLIE WHERE NRSEQMOVCLI = '7'"), 1);
}

TEST_F(SetupTest, ACentralTableAnotherRegisterCreatedMeanwhileIsTakenAsItIs) {
  Register loja2 = makeRegister("LOJA2");
  movement(*loja1.db, "C1", "1", "10");
  movement(*loja2.db, "C2", "1", "20");
  // LOJA2's whole setup runs between LOJA1's probe and its CREATE TABLE.
  setupFor(loja1, {}, ahead("BEGIN", [&] { setupFor(loja2).setupDebit("CENTRAL", "dbo"); }))
      .setupDebit("CENTRAL", "dbo");
  EXPECT_TRUE(loggedStarting(
      "Banco central de consumidores CENTRAL: criação concorrente, tabela MOVICLIE já existe: "));

  // LOJA2 filled it: LOJA1's rows are not copied a second time, its trigger copies from now on.
  auto c = central();
  EXPECT_EQ(count(*c, "MOVICLIE"), 1);
  EXPECT_EQ(count(*c, "MOVICLIE WHERE CDCLIENTE = 'C2'"), 1);
  movement(*loja1.db, "C1", "2", "30");
  EXPECT_EQ(count(*c, "MOVICLIE WHERE CDCLIENTE = 'C1'"), 1);
}

TEST_F(SetupTest, ACentralTableAnotherRegisterFilledMeanwhileIsNotCopiedIntoAgain) {
  Register loja2 = makeRegister("LOJA2");
  movement(*loja1.db, "C1", "1", "10");
  movement(*loja2.db, "C1", "1", "10");
  movement(*loja2.db, "C2", "1", "20");
  // LOJA2's whole setup runs after LOJA1 made the table, just before LOJA1 copies into it.
  setupFor(loja1, ahead("BEGIN", [&] { setupFor(loja2).setupDebit("CENTRAL", "dbo"); }))
      .setupDebit("CENTRAL", "dbo");
  EXPECT_TRUE(loggedStarting(
      "Banco central de consumidores CENTRAL: criação concorrente, cópia inicial de MOVICLIE já "
      "existe: "));

  auto c = central();
  EXPECT_EQ(count(*c, "MOVICLIE"), 2);
  movement(*loja1.db, "C1", "2", "30");
  EXPECT_EQ(count(*c, "MOVICLIE WHERE CDCLIENTE = 'C1'"), 2);
}

TEST_F(SetupTest, AProcedureOrTriggerMadeMeanwhileCountsAsMade) {
  Register loja2 = makeRegister("LOJA2");
  // LOJA2 recreates the balance procedure between LOJA1's drop and create.
  setupFor(loja1, {},
           ahead("CREATE PROCEDURE", [&] { setupFor(loja2).setupDebit("CENTRAL", "dbo"); }))
      .setupDebit("CENTRAL", "dbo");
  EXPECT_TRUE(loggedStarting(
      "Banco central de consumidores CENTRAL: criação concorrente, procedure ATUALIZA_SALDO_CONS "
      "já existe: "));
  EXPECT_EQ(count(*central(), "sysobjects WHERE name = 'ATUALIZA_SALDO_CONS' AND type = 'P'"), 1);

  // Another run on LOJA1's database makes the copy trigger first.
  const std::string own =
      "CREATE TRIGGER SENHACONS_CENTRAL ON CONSUMIDOR FOR INSERT AS SET NOCOUNT ON";
  setupFor(loja1, ahead("CREATE TRIGGER SENHACONS_CENTRAL", [&] { loja1.db->executeBatch(own); }))
      .setupPassword("CENTRAL", "dbo");
  EXPECT_TRUE(loggedStarting(
      "Banco central de consumidores CENTRAL: criação concorrente, gatilho SENHACONS_CENTRAL já "
      "existe: "));
  EXPECT_EQ(triggerState(*loja1.db, "SENHACONS_CENTRAL"), "enabled:" + own);
}

TEST_F(SetupTest, StatementSetupCopiesBothTablesAndKeepsBalancesCentrally) {
  loja1.db->execute(
      "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, "
      "VRMOVEXTCONS, VRSALDCONEXT, IDTPMOVEXT) VALUES ('C1', 'K1', 'F', '2026-12-01', '1', 10, 10, "
      "'C')");
  loja1.db->execute(
      "INSERT INTO SALDOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, VRSALDCONFAM) VALUES ('C1', "
      "'K1', 'F', 10)");
  setupFor(loja1).setupStatement("CENTRAL", "dbo");
  auto c = central();
  EXPECT_EQ(count(*c, "EXTRATOCONS"), 1);
  EXPECT_EQ(count(*c, "SALDOCONS"), 1);
  EXPECT_EQ(keyOf(*c, "SALDOCONS"), "CDCLIENTE,CDCONSUMIDOR,CDFAMILISALD");
  EXPECT_TRUE(logged("Banco central de consumidores CENTRAL: gatilho EXTCONS_CENTRAL criado"));
  EXPECT_TRUE(logged("Banco central de consumidores CENTRAL: gatilho SALDOCONS_CENTRAL criado"));

  loja1.db->execute(
      "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, "
      "VRMOVEXTCONS, IDTPMOVEXT) VALUES ('C1', 'K1', 'F', '2026-12-02', '2', 4, 'V')");
  EXPECT_EQ(count(*c, "EXTRATOCONS"), 2);
  // The balance procedure works on the central tables.
  c->callProcedure("ATUALIZA_SALDO_CONS_FKB",
                   {{"", "C1"}, {"", "K1"}, {"", "F"}, {"", db::Value("2026-12-01")}});
  auto rows = c->query("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDCLIENTE = 'C1'");
  ASSERT_TRUE(rows->next());
  EXPECT_DOUBLE_EQ(rows->at(0).asDouble(), 6);
}

TEST_F(SetupTest, PasswordSetupFillsSenhaconsFromConsumidor) {
  loja1.db->execute(
      "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, CDSENHACONS, IDATUCONSUMI) VALUES ('C1', "
      "'K1', 'pw1', 'S')");
  setupFor(loja1).setupPassword("CENTRAL", "dbo");
  auto c = central();
  {
    auto rows = c->query("SELECT * FROM SENHACONS");
    std::string columns;
    for (const auto& column : rows->columns()) columns += column.name + " ";
    EXPECT_EQ(columns, "CDCLIENTE CDCONSUMIDOR CDSENHACONS DTULTATUCSUM IDATUCONSUMI ");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ((*rows)["CDSENHACONS"].asText(), "pw1");
  }
  EXPECT_EQ(keyOf(*c, "SENHACONS"), "CDCLIENTE,CDCONSUMIDOR");
  loja1.db->execute(
      "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, CDSENHACONS) VALUES ('C1', 'K2', 'pw2'), "
      "('C1', 'K3', 'pw3')");
  EXPECT_EQ(count(*c, "SENHACONS"), 3);
}

TEST_F(SetupTest, BadNamesAndMissingDatabasesStopTheSetupWithWhatItWasDoing) {
  auto failure = [this](const std::string& database, const std::string& schema) {
    return failureOf([&] { setupFor(loja1).setupDebit(database, schema); });
  };
  EXPECT_EQ(failure("CENTRAL; DROP TABLE MOVICLIE", "dbo")
                .rfind("setupDebit, nomes do banco central: PARAVEND.NMSQLNAMEDB", 0),
            0u);
  EXPECT_NE(failure("CENTRAL", "").find("PARAVEND.NMSQLSCHEMADB"), std::string::npos);
  EXPECT_EQ(localOpens + centralConnects, 0);

  EXPECT_EQ(failure("NOWHERE", "dbo").rfind("setupDebit, conectando ao banco central NOWHERE: ", 0),
            0u);
  EXPECT_FALSE(std::filesystem::exists(server.path() / "NOWHERE.db"));

  // A central database that would be the register's own is left alone.
  EXPECT_EQ(failure("loja1", "dbo"), "no failure");
  EXPECT_TRUE(
      logged("Banco central de consumidores ignorado: a base loja1 seria a própria base "
             "local."))
      << (log.empty() ? "" : log.back());
  EXPECT_EQ(triggerState(*loja1.db, "MOVICLIE_CENTRAL"), "none");
}

TEST_F(SetupTest, FailedCopiesAndTriggersReachTheCallerAndLeaveNothingHalfDone) {
  movement(*loja1.db, "C1", "1", "10");
  movement(*loja1.db, "C1", "2", "10", "NULL");  // no branch: the central key refuses it
  const auto debit = [&] { setupFor(loja1).setupDebit("CENTRAL", "dbo"); };
  std::string error = failureOf(debit);
  EXPECT_EQ(error.rfind("setupDebit, copiando MOVICLIE para o banco central: ", 0), 0u) << error;
  auto c = central();
  EXPECT_EQ(count(*c, "MOVICLIE"), 0);
  EXPECT_EQ(triggerState(*loja1.db, "MOVICLIE_CENTRAL"), "none");

  // Once the row is mended the next run copies; a name taken by a table stops the trigger.
  loja1.db->execute("UPDATE MOVICLIE SET CDFILIAL = '0001'");
  loja1.db->execute("CREATE TABLE MOVICLIE_CENTRAL (X INT)");
  error = failureOf(debit);
  EXPECT_EQ(error.rfind("setupDebit, criando ou reativando o gatilho MOVICLIE_CENTRAL: ", 0), 0u)
      << error;
  EXPECT_EQ(count(*c, "MOVICLIE"), 2);
}

TEST_F(SetupTest, CentralTablesThatCannotBeCreatedLeaveNoneBehind) {
  // SALDOCONS is there already, EXTRATOCONS is not: both are created together, or neither.
  central()->execute("CREATE TABLE SALDOCONS (CDCLIENTE VARCHAR(15))");
  const auto statement = [&] { setupFor(loja1).setupStatement("CENTRAL", "dbo"); };
  const std::string error = failureOf(statement);
  EXPECT_EQ(error.rfind("setupStatement, criando EXTRATOCONS e SALDOCONS no banco central: ", 0),
            0u)
      << error;
  auto c = central();
  EXPECT_EQ(count(*c, "sysobjects WHERE name = 'EXTRATOCONS'"), 0);
  EXPECT_EQ(count(*c, "sysobjects WHERE name = 'ATUALIZA_SALDO_CONS_FKB'"), 1);

  // A local source table that is not there is named.
  c->execute("DROP TABLE SALDOCONS");
  loja1.db->execute("DROP TABLE SALDOCONS");
  EXPECT_EQ(failureOf(statement),
            "setupStatement, criando EXTRATOCONS e SALDOCONS no banco central: a tabela local "
            "SALDOCONS não tem colunas visíveis para o login 'DBO'");
  EXPECT_EQ(count(*c, "sysobjects WHERE type = 'U'"), 0);
}

}  // namespace
}  // namespace consumer_central
