#include "consumer_central/table_ddl.h"

#include <gtest/gtest.h>

#include "consumer_central/trigger_ddl.h"
#include "schema/statements.h"

namespace consumer_central {
namespace {

const std::vector<IndexColumn> kMoviclieIndexes = {
    {"IX_MOVICLIE_CDFILIAL", "CDFILIAL", "ASC"}, {"IX_MOVICLIE_TWO", "CDCLIENTE", "ASC"},
    {"IX_MOVICLIE_TWO", "DTMOVCLI", "ASC"},      {"PK_MOVICLIE", "CDCLIENTE", "ASC"},
    {"PK_MOVICLIE", "NRSEQMOVCLI", "ASC"},
};

TEST(CentralTableDdl, ColumnsKeysAndDefaultsFollowTheLocalTable) {
  int asked = 0;
  const OrganisationNumber organisation = [&asked] {
    ++asked;
    return std::string("77");
  };
  const std::vector<schema::LocalColumn> columns = {
      {"CDCLIENTE", "VARCHAR(15)", "NULL", ""},
      {"NRSEQMOVCLI", "VARCHAR(10)", "NOT NULL", ""},
      {"CDFILIAL", "VARCHAR(4)", "NULL", ""},
      {"VRMOVCLI", "DECIMAL(17,3)", "NULL", "(0)"},
      {"IDTIPMOCVLI", "VARCHAR(1)", "NULL", "'D'"},
      {"DSHISTMOV", "VARCHAR(MAX)", "NULL", "NULL"},
      {"DTMOVCLI", "DATETIME", "NULL", std::string(schema::sql::kDateTimeDefault)},
      {"DTULTATUMCLI", "DATETIME", "NULL", "SYSDATE"},
      {"DTULTATUEXT", "DATETIME", "NULL", "sysdate"},
      {"DTRECMOVCLIE", "DATETIME", "NULL", "getdate()"},
      {"NRORG", "INT", "NULL", "sys_context( 'NRORG_CTX', 'nrorg' )"},
      {"NRORG2", "VARCHAR(10)", "NULL", "sys_context('nrorg_ctx','nrorg')||'x'"},
  };
  EXPECT_EQ(createTable(moviclie(), columns, kMoviclieIndexes, organisation),
            "CREATE TABLE MOVICLIE (\r\n"
            "CDCLIENTE  VARCHAR(15) NOT NULL,\r\n"
            "NRSEQMOVCLI  VARCHAR(10) NOT NULL,\r\n"
            "CDFILIAL  VARCHAR(4) NOT NULL,\r\n"
            "VRMOVCLI  DECIMAL(17,3) DEFAULT '0',\r\n"
            "IDTIPMOCVLI  VARCHAR(1) DEFAULT 'D',\r\n"
            "DSHISTMOV  VARCHAR(MAX),\r\n"
            "DTMOVCLI  DATETIME DEFAULT " +
                std::string(schema::sql::kDateTimeDefault) +
                ",\r\n"
                "DTULTATUMCLI  DATETIME DEFAULT " +
                std::string(schema::sql::kDateTimeDefault) +
                ",\r\n"
                "DTULTATUEXT  DATETIME,\r\n"
                "DTRECMOVCLIE  DATETIME DEFAULT " +
                std::string(schema::sql::kDateTimeDefault) +
                ",\r\n"
                "NRORG  INT DEFAULT 77,\r\n"
                "NRORG2  VARCHAR(10) DEFAULT sys_context('nrorg_ctx','nrorg')||'x')");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(addPrimaryKey(moviclie(), kMoviclieIndexes),
            "ALTER TABLE MOVICLIE ADD CONSTRAINT PK_MOVICLIE PRIMARY KEY (CDCLIENTE, NRSEQMOVCLI, "
            "CDFILIAL)");
  const std::vector<CentralIndex> indexes = centralIndexes(moviclie(), kMoviclieIndexes);
  ASSERT_EQ(indexes.size(), 2u);
  EXPECT_EQ(indexes[0].create, "CREATE INDEX IX_MOVICLIE_CDFILIAL ON MOVICLIE (CDFILIAL ASC)");
  EXPECT_EQ(indexes[1].name, "IX_MOVICLIE_TWO");
  EXPECT_EQ(indexes[1].create,
            "CREATE INDEX IX_MOVICLIE_TWO ON MOVICLIE (CDCLIENTE ASC, DTMOVCLI ASC)");
}

TEST(CentralTableDdl, SenhaconsTakesConsumidorsKeyAndNoIndexes) {
  const std::vector<IndexColumn> keys = {{"PK_CONSUMIDOR", "CDCLIENTE", "ASC"},
                                         {"PK_CONSUMIDOR", "CDCONSUMIDOR", "ASC"},
                                         {"IX_CONSUMIDOR_DTULTATUCSUM", "DTULTATUCSUM", "ASC"}};
  const std::vector<schema::LocalColumn> columns = {
      {"CDCLIENTE", "VARCHAR(15)", "NULL", ""},
      {"DTULTATUCSUM", "DATETIME", "NULL", "SYSDATE"},
      {"DTULTATUSCON", "DATETIME", "NULL", "SYSDATE"},
      {"DTULTATUEXT", "DATETIME", "NULL", "SYSDATE"},
  };
  EXPECT_EQ(createTable(senhaCons(), columns, keys, [] { return std::string("1"); }),
            "CREATE TABLE SENHACONS (\r\nCDCLIENTE  VARCHAR(15) NOT NULL,\r\nDTULTATUCSUM  "
            "DATETIME,\r\nDTULTATUSCON  DATETIME,\r\nDTULTATUEXT  DATETIME DEFAULT " +
                std::string(schema::sql::kDateTimeDefault) + ")");
  EXPECT_EQ(addPrimaryKey(senhaCons(), keys),
            "ALTER TABLE SENHACONS ADD CONSTRAINT PK_CONSUMIDOR PRIMARY KEY (CDCLIENTE, "
            "CDCONSUMIDOR)");
  EXPECT_TRUE(centralIndexes(senhaCons(), keys).empty());
}

TEST(CopyTriggerText, InsertsEveryNewRowThatTheCentralTableLacks) {
  EXPECT_EQ(createTriggerText(saldoConsTrigger(), CentralNames("CENTRAL", "dbo")),
            "CREATE TRIGGER SALDOCONS_CENTRAL \r\nON SALDOCONS \r\nFOR INSERT \r\nAS \r\n"
            "BEGIN\r\n"
            "INSERT INTO CENTRAL.dbo.SALDOCONS(CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, "
            "VRSALDCONFAM)\r\n"
            "SELECT I.CDCLIENTE, I.CDCONSUMIDOR, I.CDFAMILISALD, I.VRSALDCONFAM FROM INSERTED I\r\n"
            "WHERE NOT EXISTS(SELECT * FROM CENTRAL.dbo.SALDOCONS C WHERE C.CDCLIENTE = "
            "I.CDCLIENTE AND C.CDCONSUMIDOR = I.CDCONSUMIDOR AND C.CDFAMILISALD = "
            "I.CDFAMILISALD);\r\n"
            "END;");
  const std::string movements =
      createTriggerText(moviclieTrigger(), CentralNames("CENTRAL", "dbo"));
  EXPECT_NE(movements.find("(C.CDCONSUMIDOR = I.CDCONSUMIDOR OR (C.CDCONSUMIDOR IS NULL AND "
                           "I.CDCONSUMIDOR IS NULL))"),
            std::string::npos);
  EXPECT_NE(movements.find("ON MOVICLIE \r\nFOR INSERT"), std::string::npos);
}

}  // namespace
}  // namespace consumer_central
