#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "db/core/error.h"
#include "db/embedded/embedded.h"
#include "embedded_test_support.h"
#include "schema/statements.h"

// The catalogue and DDL statements the schema synchronisation and the site hooks send, run
// through the whole engine (translator included) with their effects asserted.
namespace db::embedded {
namespace {

using namespace test_support;

// The structure update's own column query (a literal, so its text ends in a NUL).
constexpr const char* kColumnQuery = schema::sql::kLocalStructMSDE.data();

// One statement of the corpus: what is sent and what must come of it.
struct Case {
  const char* area;
  const char* sql;
  Params params = {};
  std::vector<std::string> rows = {};  // rows of the query, or of `check`
  bool query = false;
  const char* error = nullptr;  // a part of the error message, when the statement must fail
  const char* check = nullptr;  // a query whose rows must then equal `rows`
};

class CatalogCorpus : public MemoryDatabaseTest {
 protected:
  void SetUp() override {
    for (const char* sql : {
             "CREATE TABLE CAIXA (CDFILIAL VARCHAR(4) NOT NULL, CDCAIXA VARCHAR(3) NOT NULL, "
             "NMCAIXA VARCHAR(30) NULL DEFAULT 'CAIXA', VRLIMITE DECIMAL(17,3) NULL DEFAULT 0, "
             "DTULTATU DATETIME NULL DEFAULT GETDATE(), CONSTRAINT PK_CAIXA PRIMARY KEY "
             "(CDFILIAL, CDCAIXA))",
             "CREATE TABLE ITHRCOMANDA (CDFILIAL VARCHAR(4) NOT NULL, CDCAIXA VARCHAR(3) NOT NULL, "
             "NRSEQVENDA VARCHAR(10) NOT NULL, NRSEQUITEM VARCHAR(4) NOT NULL, "
             "CONSTRAINT PK_ITHRCOMANDA PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQVENDA))",
             "CREATE TABLE CTRLBAIXATAB (NMTABELA VARCHAR(30) NOT NULL, DTULTATU DATETIME, "
             "CONSTRAINT PK_CTRLBAIXATAB PRIMARY KEY (NMTABELA))",
             "CREATE TABLE VENDA (CDFILIAL VARCHAR(4) NOT NULL, CDCAIXA VARCHAR(3) NOT NULL, "
             "NRSEQVENDA VARCHAR(10) NOT NULL, NRORG INT, DSARQXMLNFCE IMAGE, "
             "CONSTRAINT PK_VENDA PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQVENDA))",
             "CREATE INDEX VENDA_ORG ON VENDA (NRORG)",
             "CREATE TABLE MOVCAIXA (CDFILIAL VARCHAR(4) NOT NULL, CDCAIXA VARCHAR(3) NOT NULL, "
             "NRSEQVENDA VARCHAR(10) NOT NULL, NRSEQUMOVI VARCHAR(4) NOT NULL, IDTIPORECE "
             "VARCHAR(1), IDATIVO VARCHAR(1))",
             "INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA) VALUES ('01', '001', '1')",
             "INSERT INTO MOVCAIXA VALUES ('01', '001', '1', '1', 'A', NULL)",
             "CREATE TABLE MOVICLIE (CDCLIENTE VARCHAR(21) NOT NULL, NRSEQMOVCLI VARCHAR(10) NOT "
             "NULL)",
             "CREATE TABLE CONFTELA (CDFILIAL VARCHAR(4), NRCONFTELA VARCHAR(4))",
             "CREATE TABLE GRUPROMOCPROD (NRSEQGRPROMO VARCHAR(10))",
         })
      db->execute(sql);
  }

  void run(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.area) + ": " + c.sql);
      if (c.error) {
        try {
          db->execute(c.sql, c.params);
          ADD_FAILURE() << "no error";
        } catch (const Error& e) {
          EXPECT_THAT(e.what(), HasSubstr(c.error));
        }
        continue;
      }
      try {
        if (c.query) {
          EXPECT_EQ(rowsOf(*db, c.sql, c.params), c.rows);
          continue;
        }
        db->execute(c.sql, c.params);
        if (c.check) {
          EXPECT_EQ(rowsOf(*db, c.check), c.rows);
        }
      } catch (const Error& e) {
        ADD_FAILURE() << "failed: " << e.what();
      }
    }
  }
};

TEST_F(CatalogCorpus, StructureProbesAndColumnQuery) {
  run({
      {"column query",
       kColumnQuery,
       {{"P_OWNER", "SA"}, {"P_TABLE", "CAIXA"}},
       {"CDFILIAL|VARCHAR(4)|NOT NULL|NULL", "CDCAIXA|VARCHAR(3)|NOT NULL|NULL",
        "NMCAIXA|VARCHAR(30)|NULL|'CAIXA'", "VRLIMITE|DECIMAL(17,3)|NULL|(0)",
        "DTULTATU|DATETIME|NULL|getdate()"},
       true},
      {"column query, IMAGE only for VENDA",
       kColumnQuery,
       {{"P_OWNER", "SA"}, {"P_TABLE", "VENDA"}},
       {"CDFILIAL|VARCHAR(4)|NOT NULL|NULL", "CDCAIXA|VARCHAR(3)|NOT NULL|NULL",
        "NRSEQVENDA|VARCHAR(10)|NOT NULL|NULL", "NRORG|INT|NULL|NULL",
        "DSARQXMLNFCE|IMAGE|NULL|NULL"},
       true},
      {"fresh database probe", kColumnQuery, {{"P_OWNER", "SA"}, {"P_TABLE", "NADA"}}, {}, true},
      {"table exists",
       "SELECT COUNT(*) AS NRTABELAS FROM SYSOBJECTS WHERE NAME = :P_NAME",
       {{"P_NAME", "caixa"}},
       {"1"},
       true},
      {"table missing",
       "SELECT COUNT(*) AS NRTABELAS FROM SYSOBJECTS WHERE NAME = :P_NAME",
       {{"P_NAME", "CAIXA2"}},
       {"0"},
       true},
  });
}

TEST_F(CatalogCorpus, TableReconciliationStatements) {
  const char* consultaIndex =
      "SELECT i.name FROM sys.indexes AS i INNER JOIN sys.data_spaces AS ds ON i.data_space_id = "
      "ds.data_space_id WHERE is_hypothetical = 0 AND i.index_id <> 0 AND i.name = :P_NAME";
  const char* nrorgIndexes =
      "SELECT DISTINCT SI.NAME FROM SYS.OBJECTS SO, SYS.INDEXES SI, SYS.INDEX_COLUMNS SC, "
      "SYS.COLUMNS C WHERE SO.NAME = :P_NMTABELA AND SO.object_id = SI.OBJECT_ID AND SI.INDEX_ID "
      "= SC.INDEX_ID AND SO.OBJECT_ID = C.OBJECT_ID AND SC.COLUMN_ID = C.COLUMN_ID AND C.NAME = "
      "'NRORG'";
  run({
      {"fixed", "ALTER TABLE ITHRCOMANDA DROP CONSTRAINT PK_ITHRCOMANDA"},
      {"fixed",
       "ALTER TABLE ITHRCOMANDA ADD CONSTRAINT PK_ITHRCOMANDA PRIMARY KEY (CDFILIAL, CDCAIXA, "
       "NRSEQVENDA, NRSEQUITEM)",
       {},
       {"PK_ITHRCOMANDA|4"},
       false,
       nullptr,
       "SELECT I.name, count(*) FROM sys.indexes I JOIN sys.index_columns C ON C.object_id = "
       "I.object_id AND C.index_id = I.index_id WHERE I.is_primary_key = 1 AND I.name = "
       "'PK_ITHRCOMANDA' GROUP BY I.name"},
      {"fixed, already absent",
       "ALTER TABLE SETORPRODUTO DROP CONSTRAINT PK_SETORPRODUTO",
       {},
       {},
       false,
       "SETORPRODUTO"},
      {"fixed",
       "ALTER TABLE MOVCAIXA DROP COLUMN IDTIPORECE",
       {},
       {"01|001|1|1|NULL"},
       false,
       nullptr,
       "SELECT * FROM MOVCAIXA"},
      {"fixed, second run",
       "ALTER TABLE MOVCAIXA DROP COLUMN IDTIPORECE",
       {},
       {},
       false,
       "IDTIPORECE"},
      {"index probe, absent", consultaIndex, {{"P_NAME", "IDX_MOVCAIXA"}}, {}, true},
      {"fixed", "CREATE NONCLUSTERED INDEX IDX_MOVCAIXA ON MOVCAIXA (CDFILIAL,NRSEQVENDA)"},
      {"index probe", consultaIndex, {{"P_NAME", "IDX_MOVCAIXA"}}, {"IDX_MOVCAIXA"}, true},
      {"index probe, primary key", consultaIndex, {{"P_NAME", "PK_CAIXA"}}, {"PK_CAIXA"}, true},
      // The query matches index columns by index id alone, so a primary key (index 1) whose
      // fourth column has the column id of NRORG matches too, exactly as on the server.
      {"NRORG indexes", nrorgIndexes, {{"P_NMTABELA", "VENDA"}}, {"PK_VENDA", "VENDA_ORG"}, true},
      {"NRORG repair", "DROP INDEX VENDA_ORG ON VENDA"},
      {"type change",
       "ALTER TABLE VENDA ALTER COLUMN NRORG DECIMAL(10,0) NULL",
       {},
       {"NRORG|DECIMAL(10,0)|NULL|"},
       false,
       nullptr,
       "SELECT C.NAME, 'DECIMAL(' + CAST(C.XPREC AS VARCHAR) + ',' + CAST(C.XSCALE AS VARCHAR) + "
       "')', CASE C.ISNULLABLE WHEN '0' THEN 'NOT NULL' ELSE 'NULL' END, '' FROM SYSCOLUMNS C, "
       "SYSOBJECTS O WHERE C.ID = O.ID AND O.NAME = 'VENDA' AND C.NAME = 'NRORG'"},
      {"missing column",
       "ALTER TABLE MOVCAIXA ADD DSOBS VARCHAR(20) NOT NULL DEFAULT ' ' WITH VALUES",
       {},
       {"01|001|1|1|NULL| "},
       false,
       nullptr,
       "SELECT * FROM MOVCAIXA"},
      {"type differs, NOT NULL", "ALTER TABLE MOVCAIXA ALTER COLUMN NRSEQUMOVI VARCHAR(6)"},
      {"type differs, NOT NULL", "UPDATE MOVCAIXA SET NRSEQUMOVI = '0' WHERE NRSEQUMOVI IS NULL"},
      {"type differs, NOT NULL",
       "ALTER TABLE MOVCAIXA ALTER COLUMN NRSEQUMOVI VARCHAR(6) NOT NULL"},
      {"active default",
       "ALTER TABLE MOVCAIXA ADD DEFAULT 'S'  FOR IDATIVO",
       {},
       {"IDATIVO|('S')", "DSOBS|(' ')"},
       false,
       nullptr,
       "SELECT C.NAME, CO.TEXT FROM SYSCOLUMNS C JOIN SYSCOMMENTS CO ON CO.ID = C.CDEFAULT JOIN "
       "SYSOBJECTS O ON O.ID = C.ID WHERE O.NAME = 'MOVCAIXA' ORDER BY C.COLID"},
      {"foreign keys of the package",
       "ALTER TABLE MOVCAIXA ADD CONSTRAINT FKVND00008VENDA FOREIGN KEY (CDFILIAL, CDCAIXA, "
       "NRSEQVENDA) REFERENCES VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA)",
       {},
       {"DF__MOVCAIXA__DSOBS|D", "DF__MOVCAIXA__IDATIVO|D", "FKVND00008VENDA|F"},
       false,
       nullptr,
       "SELECT NAME, XTYPE FROM SYSOBJECTS WHERE PARENT_OBJ = (SELECT ID FROM SYSOBJECTS WHERE "
       "NAME = 'MOVCAIXA') ORDER BY NAME"},
      {"fixed",
       "ALTER TABLE CTRLBAIXATAB DROP CONSTRAINT PK_CTRLBAIXATAB",
       {},
       {"0"},
       false,
       nullptr,
       "SELECT COUNT(*) FROM sys.objects WHERE type = 'PK' AND name = 'PK_CTRLBAIXATAB'"},
  });
}

TEST_F(CatalogCorpus, ProceduresTriggersAndSnapshot) {
  const char* dropProcedure =
      "IF EXISTS (SELECT * FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME = 'NOVO_CODIGO' AND TYPE = "
      "'P' AND U.UID = O.UID AND U.NAME = USER) DROP PROCEDURE NOVO_CODIGO";
  const char* dropTrigger =
      "IF EXISTS(SELECT * FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME = 'UTILIZA_TRILOBIT' AND "
      "TYPE = 'TR' AND U.UID = O.UID AND U.NAME = USER) DROP TRIGGER UTILIZA_TRILOBIT;";
  const char* countProcedures = "SELECT COUNT(*) FROM SYSOBJECTS WHERE TYPE IN ('P', 'TR')";
  run({
      {"drop when absent", dropProcedure, {}, {"0"}, false, nullptr, countProcedures},
      {"create",
       "CREATE PROCEDURE NOVO_CODIGO (@P_CONTADOR VARCHAR(100), @P_SEQUENCIAL CHAR(20) OUTPUT, "
       "@P_QTDE INT = 1) AS BEGIN DECLARE @V CHAR(20); SELECT @V = NRSEQUENCIAL FROM NOVOCODIGO "
       "WITH (UPDLOCK) WHERE CDCONTADOR = @P_CONTADOR; END",
       {},
       {"1"},
       false,
       nullptr,
       countProcedures},
      {"drop when present", dropProcedure, {}, {"0"}, false, nullptr, countProcedures},
      {"trigger",
       "CREATE TRIGGER UTILIZA_TRILOBIT ON MOVICLIE FOR INSERT, DELETE AS BEGIN "
       "UPDATE WSP.DBO.PESSOAS SET PESHABILITADO = 1; END",
       {},
       {"1"},
       false,
       nullptr,
       countProcedures},
      {"trigger drop", dropTrigger, {}, {"0"}, false, nullptr, countProcedures},
      {"copy trigger",
       "CREATE TRIGGER MOVICLIE_CENTRAL \r\nON MOVICLIE \r\nFOR INSERT \r\nAS "
       "\r\nDECLARE @V_CDCLIENTE VARCHAR(21) BEGIN SELECT @V_CDCLIENTE= "
       "INSERTED.CDCLIENTE FROM INSERTED; END;"},
      {"trigger probe",
       "SELECT name, parent_class_desc, type, is_disabled FROM sys.triggers WHERE Name = "
       "'MOVICLIE_CENTRAL'",
       {},
       {"MOVICLIE_CENTRAL|OBJECT_OR_COLUMN|TR|0"},
       true},
      {"operator disables it",
       "DISABLE TRIGGER MOVICLIE_CENTRAL ON MOVICLIE",
       {},
       {"MOVICLIE_CENTRAL|1"},
       false,
       nullptr,
       "SELECT name, is_disabled FROM sys.triggers"},
      {"enable",
       "ENABLE TRIGGER MOVICLIE_CENTRAL ON MOVICLIE",
       {},
       {"MOVICLIE_CENTRAL|0"},
       false,
       nullptr,
       "SELECT Name, is_disabled FROM sys.triggers WHERE Name = 'MOVICLIE_CENTRAL'"},
      {"snapshot query",
       "SELECT is_read_committed_snapshot_on as CONFIG FROM sys.databases WHERE name= :P_BASE",
       {{"P_BASE", "main"}},
       {"0"},
       true},
      {"single user", "ALTER DATABASE [main] SET SINGLE_USER WITH ROLLBACK IMMEDIATE"},
      {"snapshot on", "ALTER DATABASE [main] SET READ_COMMITTED_SNAPSHOT ON"},
      {"multi user",
       "ALTER DATABASE [main] SET MULTI_USER",
       {},
       {"1|MULTI_USER"},
       false,
       nullptr,
       "SELECT is_read_committed_snapshot_on, user_access_desc FROM sys.databases WHERE name = "
       "'main'"},
      // An object name cannot be bound: the caller writes the name into the text.
      {"name bound as a parameter",
       "ALTER DATABASE :P_BASE SET MULTI_USER",
       {{"P_BASE", "main"}},
       {},
       false,
       ""},
      {"validity probe, new layout",
       "SELECT DISTINCT DTINIVIGENCIA FROM CONFTELA",
       {},
       {},
       false,
       "DTINIVIGENCIA"},
      {"validity probe, new layout",
       "SELECT NRSEQGRPROMO FROM GRUPROMOCPROD WHERE 1 = 2",
       {},
       {},
       true},
      {"validity probe, old layout",
       "SELECT NRSEQROTFAB FROM ROTFABRICA WHERE 1 = 2",
       {},
       {},
       false,
       "ROTFABRICA"},
      {"column type probe",
       "SELECT T.NAME AS Tipo FROM sys.columns C INNER JOIN sys.types T ON T.user_type_id = "
       "C.user_type_id WHERE C.object_id = (SELECT object_id FROM sys.objects WHERE name = "
       "'VENDA') AND C.name = 'DSARQXMLNFCE'",
       {},
       {"image"},
       true},
      {"fiscal table probe",
       "SELECT TABLE_SCHEMA, TABLE_NAME FROM information_schema.tables WHERE table_name = "
       "'ARQSSINTEGRA'",
       {},
       {},
       true},
      {"image column probe",
       "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS WHERE "
       "TABLE_NAME = :P_NMTABELA AND COLUMN_NAME = :P_NMCOLUNA",
       {{"P_NMTABELA", "CAIXA"}, {"P_NMCOLUNA", "NMCAIXA"}},
       {"varchar|30"},
       true},
  });
}

TEST_F(CatalogCorpus, ForeignKeyApplication) {
  for (const char* sql : {
           "CREATE TABLE COMANDAVEN (CDFILIAL VARCHAR(4) NOT NULL, NRVENDAREST VARCHAR(10) NOT "
           "NULL, NRCOMANDA VARCHAR(10) NOT NULL, DSCOMANDA VARCHAR(20), CONSTRAINT "
           "PK_COMANDAVEN PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA))",
           "CREATE UNIQUE INDEX UN_NRCOMANDAEXT ON COMANDAVEN (DSCOMANDA)",
           "CREATE TABLE ITCOMANDAVEN (CDFILIAL VARCHAR(4) NOT NULL, NRVENDAREST VARCHAR(10) NOT "
           "NULL, NRCOMANDA VARCHAR(10) NOT NULL, NRPRODCOMVEN VARCHAR(4) NOT NULL, CONSTRAINT "
           "PK_ITCOMANDAVEN PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN))",
           "CREATE TABLE OBSITCOMANDAVEN (CDFILIAL VARCHAR(4) NOT NULL, NRVENDAREST VARCHAR(10) "
           "NOT NULL, NRCOMANDA VARCHAR(10) NOT NULL, NRPRODCOMVEN VARCHAR(4) NOT NULL, DSOBS "
           "VARCHAR(40))",
           "CREATE TABLE PROMOCOMANDA (CDFILIAL VARCHAR(4) NOT NULL, NRVENDAREST VARCHAR(10) NOT "
           "NULL, NRCOMANDA VARCHAR(10) NOT NULL)",
           "INSERT INTO COMANDAVEN VALUES ('01', '1', '1', 'A'), ('01', '1', '2', 'B')",
           "INSERT INTO ITCOMANDAVEN VALUES ('01', '1', '1', '1'), ('01', '1', '2', '1')",
           "INSERT INTO OBSITCOMANDAVEN VALUES ('01', '1', '1', '1', 'SEM SAL')",
           "INSERT INTO PROMOCOMANDA VALUES ('01', '1', '2')",
       })
    db->execute(sql);
  const char* itcKey =
      "alter table ITCOMANDAVEN add constraint FKPDV00306COMANDAV foreign key (CDFILIAL, "
      "NRVENDAREST, NRCOMANDA) references COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA)";
  run({
      {"drop unique index", "drop index UN_NRCOMANDAEXT on comandaven"},
      {"drop unique index, steady state",
       "drop index UN_NRCOMANDAEXT on comandaven",
       {},
       {},
       false,
       "UN_NRCOMANDAEXT"},
      {"key", itcKey},
      {"index", "create index PDV00306_FK on ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA)"},
      {"cascade",
       "ALTER TABLE OBSITCOMANDAVEN ADD CONSTRAINT FKPDV00001ITCOMANDAVEN FOREIGN KEY (CDFILIAL, "
       "NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) REFERENCES ITCOMANDAVEN (CDFILIAL, NRVENDAREST, "
       "NRCOMANDA, NRPRODCOMVEN) ON DELETE CASCADE"},
      {"cascade",
       "ALTER TABLE PROMOCOMANDA ADD CONSTRAINT FKPDV00003COMANDAVEN FOREIGN KEY (CDFILIAL, "
       "NRVENDAREST, NRCOMANDA) REFERENCES COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA) ON "
       "DELETE CASCADE"},
      {"steady state: the key exists", itcKey, {}, {}, false, "FKPDV00306COMANDAV"},
      {"deleting an item cascades",
       "DELETE FROM ITCOMANDAVEN WHERE NRCOMANDA = '1'",
       {},
       {"0"},
       false,
       nullptr,
       "SELECT COUNT(*) FROM OBSITCOMANDAVEN"},
      {"a tab with items is protected",
       "DELETE FROM COMANDAVEN WHERE NRCOMANDA = '2'",
       {},
       {},
       false,
       "FOREIGN KEY"},
      {"deleting a tab cascades", "DELETE FROM ITCOMANDAVEN", {}, {}, false, nullptr, nullptr},
      {"deleting a tab cascades",
       "DELETE FROM COMANDAVEN WHERE NRCOMANDA = '2'",
       {},
       {"0"},
       false,
       nullptr,
       "SELECT COUNT(*) FROM PROMOCOMANDA"},
  });
}

}  // namespace
}  // namespace db::embedded
