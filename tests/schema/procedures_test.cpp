// AplicaProcedures: the snapshot setting, then the drops and creates of the procedures and
// triggers, as the local connection receives them and as the run log shows them.
#include "schema/procedures.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/embedded/embedded.h"
#include "recording_connection.h"
#include "schema/server_code.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Line = std::pair<std::string, std::string>;

class SchemaAplicaProcedures : public ::testing::Test {
 protected:
  // A database whose name needs quoting where it stands for an object name.
  testing_support::TempDir scratch;
  fs::path dir = scratch.path();
  std::unique_ptr<db::Connection> db;
  std::unique_ptr<schema_test::RecordingConnection> local;
  std::vector<Line> logged;
  int modulesCreated = 0;
  int closes = 0;
  std::string type = "MSSQL";

  void SetUp() override {
    db = db::embedded::open({(dir / "LOJA 01.db").string(), "dbo"});
    local = std::make_unique<schema_test::RecordingConnection>(*db);
    local->runBatches = false;
  }
  void TearDown() override {
    local.reset();
    db.reset();
  }

  bool apply() {
    return schema::AplicaProcedures(
        {[this](std::string_view m, std::string_view l) { logged.emplace_back(m, l); },
         [this] { ++modulesCreated; }, [this]() -> db::Connection& { return *local; },
         [this] { ++closes; }, type});
  }
  bool snapshotOn() {
    auto rows =
        db->query("SELECT is_read_committed_snapshot_on FROM sys.databases WHERE name = 'LOJA 01'");
    return rows->next() && rows->at(0).asInt() == 1;
  }
  std::vector<std::string> executedStartingWith(std::string_view prefix) const {
    return local->startingWith(prefix);
  }
  bool loggedLine(const std::string& text) const {
    return std::find(logged.begin(), logged.end(), Line(text, "1")) != logged.end();
  }
  // The local database refuses, with `error`, every statement that holds `fragment`.
  void refuse(std::string fragment, std::string error) {
    local->failWith = [fragment, error](const std::string& sql) -> std::optional<std::string> {
      if (sql.find(fragment) != std::string::npos) return error;
      return std::nullopt;
    };
  }
};

std::vector<Line> level1(std::initializer_list<std::string> texts) {
  std::vector<Line> lines;
  for (const auto& t : texts) lines.emplace_back(t, "1");
  return lines;
}

TEST_F(SchemaAplicaProcedures, FirstRunSwitchesSnapshotOnThenDropsAndCreatesEveryObject) {
  ASSERT_FALSE(snapshotOn());
  EXPECT_TRUE(apply());
  EXPECT_TRUE(snapshotOn());
  EXPECT_EQ(modulesCreated, 1);
  EXPECT_EQ(closes, 1);

  std::vector<std::string> expected = {
      "ALTER DATABASE [LOJA 01] SET SINGLE_USER WITH ROLLBACK IMMEDIATE",
      "ALTER DATABASE [LOJA 01] SET READ_COMMITTED_SNAPSHOT ON",
      "ALTER DATABASE [LOJA 01] SET MULTI_USER"};
  for (const auto& p : schema::storedProcedures()) expected.push_back(p.dropText);
  for (const auto& p : schema::storedProcedures()) expected.emplace_back(p.createText);
  for (const auto& t : schema::triggers()) {
    expected.push_back(t.dropText);
    expected.emplace_back(t.createText);
  }
  EXPECT_EQ(local->executed, expected);
  EXPECT_EQ(schema::storedProcedures()[1].dropText,
            "IF EXISTS (SELECT * FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME = 'NOVO_CODIGO' AND "
            "TYPE = 'P' AND U.UID = O.UID AND U.NAME = USER) DROP PROCEDURE NOVO_CODIGO");
  EXPECT_EQ(schema::triggers()[7].dropText,
            "IF EXISTS (SELECT * FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME = 'INS_CMDLOG' AND "
            "TYPE = 'TR' AND U.UID = O.UID AND U.NAME = USER) DROP TRIGGER INS_CMDLOG");

  std::vector<Line> lines = level1({
      "INICIO dtmBaixaEstrutura ",
      "FIM dtmBaixaEstrutura ",
      "INICIO dtmBaixaEstrutura: ",
      "(AplicaProcedures) Banco de dados:  LOJA 01",
      "Tipo do Banco :MSSQL",
      "(AplicaProcedures) Banco de dados: LOJA 01",
      "Tipo do Banco :MSSQL",
      "INICIO adqConfigSnapShot",
      "FIM adqConfigSnapShotMSSQL",
      "INICIO adqConfigSnapShot.FieldByName",
      "Snapshot isolation será alterado",
      "Banco de dados alterado para um usuário",
      "Snapshot isolation alterado com sucesso!",
      "Banco de dados alterado para multi usuário",
      "FIM adqConfigSnapShot.FieldByName",
      "INICIO DROP DAS PROCEDURES MSSQL!",
      "APAGANDO acmAtualizaSaldCons1 !",
      "acmAtualizaSaldCons1 APAGADA!",
      "APAGANDO acmNovoCodigo1 !",
      "acmNovoCodigo1 APAGADA!",
      "APAGANDO acmEvoluiExtratoCons1 !",
      "acmEvoluiExtratoCons1 APAGADA!",
      "FIM DROP DAS PROCEDURES",
      "INICIO CREATE PROCEDURES",
      "CRIANDO acmAtualizaSaldCons2 ",
      "acmAtualizaSaldCons2 CRIADA!",
      "CRIANDO acmNovoCodigo2 ",
      "acmNovoCodigo2 CRIADA!",
      "CRIANDO acmEvoluiExtratoCons2 ",
      "acmEvoluiExtratoCons2 CRIADA!",
      " PROCEDURES CRIADAS COM SUCESSO",
      "INICIO CREATE TRIGGERS",
  });
  for (const char* name : {"KDSMENSAGEM_ON_DELETE", "LOG_DEL_EXTRATOCONS", "INS_COMANDAVEN_TEMP",
                           "DEL_PEDIDO_DLV", "TRG_IDTIPOMOVIVEAUX_MOVCAIXA", "LOG_NFCE",
                           "INS_HISTPEDCONS", "INS_CMD_LOG", "INS_ITCMD_LOG", "VD_ITCMD"}) {
    lines.emplace_back(std::string(name) + " APAGADA!", "1");
    lines.emplace_back(std::string(name) + " CRIADA!", "1");
  }
  lines.emplace_back("FIM CREATE TRIGGERS", "1");
  EXPECT_EQ(logged, lines);
}

TEST_F(SchemaAplicaProcedures, SnapshotAlreadyOnSendsNoAlterDatabase) {
  db->execute("ALTER DATABASE CURRENT SET READ_COMMITTED_SNAPSHOT ON");
  EXPECT_TRUE(apply());
  EXPECT_TRUE(executedStartingWith("ALTER DATABASE").empty());
  EXPECT_TRUE(loggedLine("INICIO adqConfigSnapShot.FieldByName"));
  EXPECT_FALSE(loggedLine("Snapshot isolation será alterado"));
  EXPECT_EQ(local->executed.size(), 3u + 3u + 20u);
}

TEST_F(SchemaAplicaProcedures, RefusedSnapshotChangeIsLoggedAndTheObjectsAreStillInstalled) {
  refuse("READ_COMMITTED_SNAPSHOT", "ALTER DATABASE failed because a lock could not be placed");
  EXPECT_TRUE(apply());
  const auto at = std::find(logged.begin(), logged.end(),
                            Line("Exception adqConfigSnapShot : ALTER DATABASE failed because a "
                                 "lock could not be placed",
                                 "1"));
  ASSERT_NE(at, logged.end());
  EXPECT_EQ(*(at + 1), Line("Utilização de BANCO SQL 2005 ou inferior ", "1"));
  EXPECT_EQ(*(at + 2), Line("FIM adqConfigSnapShot.FieldByName", "1"));
  EXPECT_TRUE(loggedLine("Banco de dados alterado para um usuário"));
  EXPECT_FALSE(loggedLine("Snapshot isolation alterado com sucesso!"));
  // No multi-user command after the failure: the next complete pass sends it.
  EXPECT_TRUE(executedStartingWith("ALTER DATABASE [LOJA 01] SET MULTI_USER").empty());
  EXPECT_TRUE(loggedLine("FIM CREATE TRIGGERS"));
  EXPECT_EQ(closes, 1);
}

TEST_F(SchemaAplicaProcedures, RefusedBodyEndsTheStepWithTheRestNotInstalled) {
  refuse("CREATE TRIGGER LOG_NFCE", "Invalid object name 'LOGNFCE'.");
  EXPECT_FALSE(apply());
  EXPECT_EQ(logged.back(), Line("Exception Procedures : Invalid object name 'LOGNFCE'.", "1"));
  EXPECT_TRUE(loggedLine("TRG_IDTIPOMOVIVEAUX_MOVCAIXA CRIADA!"));
  EXPECT_TRUE(loggedLine("LOG_NFCE APAGADA!"));
  EXPECT_FALSE(loggedLine("LOG_NFCE CRIADA!"));
  EXPECT_EQ(local->executed.back().rfind("CREATE TRIGGER LOG_NFCE", 0), 0u);
  EXPECT_TRUE(executedStartingWith("CREATE TRIGGER INS_HISTPEDCONS").empty());
  // The run controller closes the structure module after a failure.
  EXPECT_EQ(closes, 0);
}

TEST_F(SchemaAplicaProcedures, FailingDropEndsTheStepBeforeAnyCreate) {
  refuse("DROP PROCEDURE NOVO_CODIGO", "Cannot drop the procedure 'NOVO_CODIGO'");
  EXPECT_FALSE(apply());
  EXPECT_EQ(logged.back(),
            Line("Exception Procedures : Cannot drop the procedure 'NOVO_CODIGO'", "1"));
  EXPECT_TRUE(executedStartingWith("CREATE").empty());
}

TEST_F(SchemaAplicaProcedures, TriggerOnAMissingTableEndsTheStepOnTheEngine) {
  local->runBatches = true;
  EXPECT_FALSE(apply());
  EXPECT_TRUE(loggedLine(" PROCEDURES CRIADAS COM SUCESSO"));
  EXPECT_TRUE(loggedLine("KDSMENSAGEM_ON_DELETE APAGADA!"));
  ASSERT_EQ(logged.back().first.rfind("Exception Procedures : ", 0), 0u) << logged.back().first;
  EXPECT_NE(logged.back().first.find("KDSMENSAGEM"), std::string::npos) << logged.back().first;
  EXPECT_EQ(closes, 0);
  // The procedures were created for real before the first trigger failed.
  auto rows = db->query("SELECT COUNT(*) FROM SYSOBJECTS WHERE TYPE = 'P'");
  rows->next();
  EXPECT_EQ(rows->at(0).asInt(), 3);
}

TEST_F(SchemaAplicaProcedures, OtherDatabaseKindsSkipSnapshotAndDrops) {
  type = "ORACLE";
  apply();
  EXPECT_FALSE(loggedLine("INICIO adqConfigSnapShot"));
  EXPECT_TRUE(loggedLine("Tipo do Banco :ORACLE"));
  EXPECT_TRUE(loggedLine("INICIO DROP DAS PROCEDURES MSSQL!"));
  EXPECT_FALSE(loggedLine("FIM DROP DAS PROCEDURES"));
  EXPECT_TRUE(executedStartingWith("IF EXISTS").size() == 10u);
  EXPECT_EQ(local->executed.front().rfind("CREATE PROCEDURE ATUALIZA_SALDO_CONS", 0), 0u);
}

TEST(SchemaDatabaseName, IsBracketQuotedWithClosingBracketsDoubled) {
  EXPECT_EQ(schema::withDatabaseName("ALTER DATABASE :P_BASE SET MULTI_USER", "a]b"),
            "ALTER DATABASE [a]]b] SET MULTI_USER");
}

}  // namespace
