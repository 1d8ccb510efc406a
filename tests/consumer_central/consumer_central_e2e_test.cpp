// Two registers of branch 0001 whose local databases share one server folder with the central
// consumer database, run as the program against the reference central server.
#include <gtest/gtest.h>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "db/connect.h"
#include "db/core/connection.h"
#include "support/central_server_fixture.h"

namespace {

using testing_support::ProcessResult;
using testing_support::TempDir;

const std::string kSuccess = "ATUALIZAÇÃO REALIZADA COM SUCESSO";

class ConsumerCentralRun : public testing_support::KivtabRunSuite {
 protected:
  struct Register {
    std::string number;
    std::string database;
    TempDir home{};
  };

  std::string connectionString(const std::string& database) const {
    return "Provider=SQLite;Initial Catalog=" + database +
           ";Data Source=" + server.path().string() + ";User ID=dbo;";
  }
  std::unique_ptr<db::Connection> open(const std::string& database) const {
    return db::connect(connectionString(database));
  }

  void prepare(Register& r) {
    testing_support::writeFile(r.home.path() / "registry.ini",
                               testing_support::kivtabRegistry("127.0.0.1", central_->port(),
                                                               connectionString(r.database)));
    testing_support::prepareLocalDatabase(*open(r.database));
  }

  // Switches the branch's PARAVEND as an operator does on the central side.
  void setParavend(const std::vector<std::string>& assignments) {
    std::vector<std::string> argv{KIVTAB_CENTRAL_EXE, "set",      "--db",
                                  central_->path(),   "--branch", "0001"};
    argv.insert(argv.end(), assignments.begin(), assignments.end());
    const ProcessResult r = testing_support::run(argv, {}, output.path());
    ASSERT_EQ(r.status, 0) << r.err;
  }
  void centralConsumersIn(const std::string& database) {
    setParavend({"PARAVEND.IDDEBCONSCENTRAL=S", "PARAVEND.IDEXTCONSCENTRAL=S",
                 "PARAVEND.IDSENCONSCENTRAL=S", "PARAVEND.NMSQLNAMEDB=" + database,
                 "PARAVEND.NMSQLSCHEMADB=dbo"});
  }

  ProcessResult kivtab(const Register& r, const std::string& mode = "SYNC_17_0001_") {
    return testing_support::run({KIVTAB_EXE, mode + r.number + "_"},
                                testing_support::kivtabEnvironment(r.home.path()), output.path());
  }

  std::vector<std::string> logLines(const Register& r) {
    std::vector<std::string> messages;
    for (const auto& line : testing_support::runLogLines(r.home.path()))
      messages.push_back(line.size() > 22 ? line.substr(22) : line);
    return messages;
  }
  bool logged(const Register& r, const std::string& message) {
    const auto lines = logLines(r);
    return std::find(lines.begin(), lines.end(), message) != lines.end();
  }
  bool loggedStart(const Register& r, const std::string& start) {
    for (const auto& line : logLines(r))
      if (line.rfind(start, 0) == 0) return true;
    return false;
  }

  static int64_t count(db::Connection& db, const std::string& from) {
    auto rows = db.query("SELECT COUNT(*) FROM " + from);
    rows->next();
    return rows->at(0).asInt();
  }
  static std::string text(db::Connection& db, const std::string& sql) {
    auto rows = db.query(sql);
    return rows->next() ? rows->at(0).asText() : "<no row>";
  }
  std::string trigger(const Register& r, const std::string& name) {
    return text(*open(r.database),
                "SELECT CAST(T.is_disabled AS VARCHAR) + ':' + C.text FROM sys.triggers T, "
                "SYSCOMMENTS C WHERE C.id = T.object_id AND T.name = '" +
                    name + "'");
  }
  std::string status(const Register& r) {
    return text(*open(r.database),
                "SELECT IDSTCTRLEXECREM FROM CTRLEXECREM WHERE IDCTRLEXECREM = 17");
  }

  TempDir server;
  Register register1{"001", "LOJA1"};
  Register register2{"002", "LOJA2"};
};

TEST_F(ConsumerCentralRun, TwoRegistersShareOneCentralConsumerDatabase) {
  centralConsumersIn("CONSUMO");
  prepare(register1);
  prepare(register2);
  {
    // An empty central MOVICLIE whose key lacks the branch, as an older setup left it.
    auto consumo = open("CONSUMO");
    for (const auto& ddl : central::tableDdl(central::centralModel().table("MOVICLIE")))
      consumo->execute(ddl);
    consumo->execute("ALTER TABLE MOVICLIE ALTER COLUMN CDFILIAL VARCHAR(4) NOT NULL");
  }

  ProcessResult r = kivtab(register1);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(logged(register1, kSuccess));
  auto loja1 = open("LOJA1");
  auto consumo = open("CONSUMO");
  const int64_t movements = count(*loja1, "MOVICLIE");
  ASSERT_GT(movements, 0);
  EXPECT_EQ(count(*consumo, "MOVICLIE"), movements);
  EXPECT_EQ(count(*consumo, "EXTRATOCONS"), count(*loja1, "EXTRATOCONS"));
  EXPECT_EQ(count(*consumo, "SALDOCONS"), count(*loja1, "SALDOCONS"));
  EXPECT_TRUE(logged(register1,
                     "Banco central de consumidores CONSUMO: chave primária de "
                     "MOVICLIE refeita com CDFILIAL"));
  EXPECT_EQ(text(*consumo,
                 "SELECT COUNT(*) FROM sys.index_columns IC, sys.columns C, sys.objects O WHERE "
                 "O.name = 'MOVICLIE' AND IC.object_id = O.object_id AND IC.index_id = 1 AND "
                 "C.object_id = O.object_id AND C.column_id = IC.column_id AND C.name = "
                 "'CDFILIAL'"),
            "1");
  // SENHACONS is CONSUMIDOR's passwords.
  EXPECT_EQ(count(*consumo, "SENHACONS"), count(*loja1, "CONSUMIDOR"));
  const std::string password =
      text(*loja1,
           "SELECT CDCLIENTE + '/' + CDCONSUMIDOR + '/' + ISNULL(CDSENHACONS, '-') FROM "
           "CONSUMIDOR ORDER BY CDCLIENTE DESC, CDCONSUMIDOR DESC");
  EXPECT_EQ(text(*consumo,
                 "SELECT CDCLIENTE + '/' + CDCONSUMIDOR + '/' + ISNULL(CDSENHACONS, '-') FROM "
                 "SENHACONS ORDER BY CDCLIENTE DESC, CDCONSUMIDOR DESC"),
            password);
  EXPECT_EQ(status(register1), "OK");

  // The second register finds the central tables filled: no second copy.
  r = kivtab(register2);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count(*consumo, "MOVICLIE"), movements);
  EXPECT_FALSE(loggedStart(register2, "Banco central de consumidores CONSUMO: cópia inicial"));
  EXPECT_TRUE(logged(register2,
                     "Banco central de consumidores CONSUMO: gatilho MOVICLIE_CENTRAL "
                     "criado"));

  // The same movement entered at both registers is one central movement.
  const std::string movement =
      "INSERT INTO MOVICLIE (CDCLIENTE, NRSEQMOVCLI, CDCONSUMIDOR, VRMOVCLI, DTMOVCLI, "
      "IDTIPMOCVLI, CDFILIAL, CDCAIXA) VALUES ('E2E', '1', 'K', 9.5, '2026-12-08 09:30:00', 'D', "
      "'0001', ";
  loja1->execute(movement + "'001')");
  open("LOJA2")->execute(movement + "'002')");
  EXPECT_EQ(count(*consumo, "MOVICLIE WHERE CDCLIENTE = 'E2E'"), 1);

  // A trigger disabled at one register is enabled at its next run; the other's stays as it is.
  loja1->execute("DISABLE TRIGGER EXTCONS_CENTRAL ON EXTRATOCONS");
  const std::string enabledText = trigger(register1, "SALDOCONS_CENTRAL");
  const std::string otherRegister = trigger(register2, "EXTCONS_CENTRAL");
  ASSERT_EQ(trigger(register1, "EXTCONS_CENTRAL").substr(0, 2), "1:");
  r = kivtab(register1);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(trigger(register1, "EXTCONS_CENTRAL").substr(0, 2), "0:");
  EXPECT_EQ(trigger(register1, "SALDOCONS_CENTRAL"), enabledText);
  EXPECT_EQ(trigger(register2, "EXTCONS_CENTRAL"), otherRegister);
  EXPECT_TRUE(logged(register1,
                     "Banco central de consumidores CONSUMO: gatilho EXTCONS_CENTRAL "
                     "reativado"));
  // Every movement the register holds, the ones its later downloads brought included, is there
  // once.
  EXPECT_EQ(count(*consumo, "MOVICLIE"), count(*loja1, "MOVICLIE"));
}

TEST_F(ConsumerCentralRun, FaultsTheSetupsDoNotPassOverFailTheRunWithTheirReason) {
  struct Case {
    std::string database;
    std::string reason;  // the start of the logged failure
    bool takenTriggerName;
  };
  const std::vector<Case> cases = {
      {"NAOEXISTE", "setupDebit, conectando ao banco central NAOEXISTE: ", false},
      {"CONSUMO;DROP", "setupDebit, nomes do banco central: PARAVEND.NMSQLNAMEDB \"CONSUMO;DROP\"",
       false},
      {"CONSUMO", "setupDebit, criando ou reativando o gatilho MOVICLIE_CENTRAL: ", true},
  };
  open("CONSUMO");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.database);
    centralConsumersIn(c.database);
    Register r{"001", "BAD" + std::to_string(&c - cases.data())};
    prepare(r);
    if (c.takenTriggerName) open(r.database)->execute("CREATE TABLE MOVICLIE_CENTRAL (X INT)");
    const ProcessResult result = kivtab(r);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(loggedStart(r, "Erro inesperado, execução interrompida: " + c.reason))
        << logLines(r).back();
    EXPECT_FALSE(logged(r, kSuccess));
    EXPECT_EQ(status(r), "NOK");
  }
  EXPECT_FALSE(std::filesystem::exists(server.path() / "NAOEXISTE.db"));
}

}  // namespace
