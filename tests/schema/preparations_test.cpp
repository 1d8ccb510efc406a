// The preparation steps before the reconciliation: the remote-execution table and the tables of
// the layout before validity dates.
#include "schema/preparations.h"

#include <gtest/gtest.h>

#include "db/embedded/embedded.h"

namespace {

class SchemaPreparations : public ::testing::Test {
 protected:
  std::unique_ptr<db::Connection> db = db::embedded::open({":memory:", "dbo"});
  std::vector<std::pair<std::string, std::string>> logged;
  schema::LogLine log = [this](std::string_view m, std::string_view l) {
    logged.emplace_back(m, l);
  };

  bool exists(const std::string& table) {
    auto rows =
        db->query("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = :P_NAME", {{"P_NAME", table}});
    rows->next();
    return rows->at(0).asInt() > 0;
  }
};

TEST_F(SchemaPreparations, RemoteExecutionTableIsCreatedWhenMissingAndKeptWhenPresent) {
  schema::checkRemoteExecutionTable(*db);
  db->execute("INSERT INTO CTRLEXECREM (CDAPP, IDSTCTRLEXECREM) VALUES ('KIVTAB', 'P')");
  auto row = db->query("SELECT IDCTRLEXECREM, DTINCLUSAO FROM CTRLEXECREM");
  ASSERT_TRUE(row->next());
  EXPECT_EQ(row->at(0).asInt(), 1);
  EXPECT_FALSE(row->at(1).isNull());
  row.reset();
  schema::checkRemoteExecutionTable(*db);
  auto count = db->query("SELECT COUNT(*) FROM CTRLEXECREM");
  count->next();
  EXPECT_EQ(count->at(0).asInt(), 1);
}

TEST_F(SchemaPreparations, OldLayoutTablesAreDroppedWithTheirLedgerRowsAndLogged) {
  db->execute("CREATE TABLE CONFTELA (CDFILIAL VARCHAR(4) NULL)");
  db->execute("CREATE TABLE ITMENUCONFTE (CDFILIAL VARCHAR(4) NULL)");
  db->execute("CREATE TABLE CTRLBAIXATAB (NMTABELA VARCHAR(30) NULL)");
  db->execute("INSERT INTO CTRLBAIXATAB (NMTABELA) VALUES ('CONFTELA')");
  db->execute("INSERT INTO CTRLBAIXATAB (NMTABELA) VALUES ('ITMENUCONFTE')");
  db->execute("INSERT INTO CTRLBAIXATAB (NMTABELA) VALUES ('PRODUTO')");
  // Promotion groups already in the new layout; product compositions absent altogether.
  db->execute("CREATE TABLE GRUPROMOCPROD (NRSEQGRPROMO VARCHAR(10) NULL)");
  db->execute("CREATE TABLE DESGRUPROMOCPR (NRSEQGRPROMO VARCHAR(10) NULL)");
  db->execute("CREATE TABLE GRUPROMOCPRFIL (NRSEQGRPROMOFIL VARCHAR(10) NULL)");
  db->execute("CREATE TABLE DESGRUPROMPRFIL (NRSEQGRPROMOFIL VARCHAR(10) NULL)");

  schema::prepareValidityModels(*db, log);

  EXPECT_FALSE(exists("CONFTELA"));
  EXPECT_FALSE(exists("ITMENUCONFTE"));
  EXPECT_TRUE(exists("GRUPROMOCPROD"));
  auto left = db->query("SELECT NMTABELA FROM CTRLBAIXATAB");
  ASSERT_TRUE(left->next());
  EXPECT_EQ(left->at(0).asText(), "PRODUTO");
  EXPECT_FALSE(left->next());
  const std::string rule(43, '-');
  using Line = std::pair<std::string, std::string>;
  EXPECT_EQ(
      logged,
      (std::vector<Line>{
          {rule, "3"},
          {"PREPARANDO CONFIGURACOES ANTIGAS PARA ACEITAREM A NOVA MODELAGEM DE VIGENCIA.", "3"},
          {"PREPARACAO REALIZADA COM SUCESSO.", "3"},
          {rule, "3"},
          {rule, "3"},
          {"PREPARANDO COMPOSIÇÕES DE PRODUTO PARA ACEITAREM A NOVA MODELAGEM DE VIGENCIA.", "3"},
          {"PREPARACAO REALIZADA COM SUCESSO.", "3"},
          {rule, "3"}}));
}

TEST_F(SchemaPreparations, CurrentLayoutIsLeftAlone) {
  db->execute("CREATE TABLE CONFTELA (DTINIVIGENCIA DATETIME NULL)");
  db->execute("CREATE TABLE GRUPROMOCPROD (NRSEQGRPROMO VARCHAR(10) NULL)");
  db->execute("CREATE TABLE DESGRUPROMOCPR (NRSEQGRPROMO VARCHAR(10) NULL)");
  db->execute("CREATE TABLE GRUPROMOCPRFIL (NRSEQGRPROMOFIL VARCHAR(10) NULL)");
  db->execute("CREATE TABLE DESGRUPROMPRFIL (NRSEQGRPROMOFIL VARCHAR(10) NULL)");
  db->execute("CREATE TABLE ROTFABRICA (NRSEQROTFAB VARCHAR(10) NULL)");
  db->execute("CREATE TABLE ROTFABLOCAL (NRSEQROTFABLOC VARCHAR(10) NULL)");
  schema::prepareValidityModels(*db, log);
  EXPECT_TRUE(logged.empty());
  EXPECT_TRUE(exists("CONFTELA"));
  EXPECT_TRUE(exists("ROTFABLOCAL"));
}

}  // namespace
