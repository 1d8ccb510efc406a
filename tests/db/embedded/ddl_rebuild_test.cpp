#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalog_test_support.h"
#include "db/core/error.h"

namespace db::embedded {
namespace {

using test_support::CatalogDb;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A sale and its items: rows, a secondary index, a foreign key with cascade from a note table
// to the items, and one from the items to the sale.
class DdlRebuild : public ::testing::Test {
 protected:
  void SetUp() override {
    db.exec(R"sql(
      CREATE TABLE VENDA (CDFILIAL VARCHAR(4) COLLATE NOCASE NOT NULL,
                          NRSEQVENDA VARCHAR(10) COLLATE NOCASE NOT NULL, VRTOTAL DECIMAL(17,3),
                          CONSTRAINT PK_VENDA PRIMARY KEY (CDFILIAL, NRSEQVENDA));
      CREATE TABLE ITEMVENDA (CDFILIAL VARCHAR(4) COLLATE NOCASE NOT NULL,
                              NRSEQVENDA VARCHAR(10) COLLATE NOCASE NOT NULL, NRITEM INT NOT NULL,
                              DSITEM VARCHAR(20) COLLATE NOCASE DEFAULT 'X', QTITEM DECIMAL(17,3),
                              CONSTRAINT PK_ITEMVENDA PRIMARY KEY (CDFILIAL, NRSEQVENDA, NRITEM),
                              CONSTRAINT FK_ITEM_VENDA FOREIGN KEY (CDFILIAL, NRSEQVENDA)
                                REFERENCES VENDA (CDFILIAL, NRSEQVENDA));
      CREATE TABLE OBSITEM (CDFILIAL VARCHAR(4) COLLATE NOCASE NOT NULL,
                            NRSEQVENDA VARCHAR(10) COLLATE NOCASE NOT NULL, NRITEM INT NOT NULL,
                            DSOBS VARCHAR(50),
                            CONSTRAINT FK_OBS_ITEM FOREIGN KEY (CDFILIAL, NRSEQVENDA, NRITEM)
                              REFERENCES ITEMVENDA (CDFILIAL, NRSEQVENDA, NRITEM)
                              ON DELETE CASCADE);
      CREATE INDEX IX_ITEM_DS ON ITEMVENDA (DSITEM);
      INSERT INTO VENDA VALUES ('01', '1', 10.5), ('01', '2', 20);
      INSERT INTO ITEMVENDA VALUES ('01', '1', 1, 'CAFE', 1), ('01', '1', 2, NULL, 2),
                                   ('01', '2', 1, 'PAO', 3);
      INSERT INTO OBSITEM VALUES ('01', '1', 1, 'SEM ACUCAR');)sql");
  }

  std::vector<std::string> items() {
    return db.rows("SELECT * FROM ITEMVENDA ORDER BY NRSEQVENDA, NRITEM");
  }
  std::vector<std::string> indexes(const std::string& table) {
    return db.rows("SELECT name FROM pragma_index_list('" + table + "') ORDER BY name");
  }
  std::vector<std::string> constraints(const std::string& table) {
    return db.rows(
        "SELECT O.name || ':' || O.xtype FROM kivtab_sysobjects O, kivtab_sysobjects "
        "P WHERE O.parent_obj = P.id AND P.name = '" +
        table + "' ORDER BY O.name");
  }
  std::string column(const std::string& table, const std::string& name) {
    return db.scalar(
        "SELECT DATA_TYPE || ':' || COALESCE(CHARACTER_MAXIMUM_LENGTH, '') || ':' || "
        "IS_NULLABLE || ':' || COALESCE(COLUMN_DEFAULT, '') FROM kivtab_is_columns "
        "WHERE TABLE_NAME = '" +
        table + "' AND COLUMN_NAME = '" + name + "'");
  }
  // Everything a rebuild must keep, apart from the change itself.
  void expectKept() {
    EXPECT_THAT(db.rows("SELECT * FROM VENDA ORDER BY NRSEQVENDA"),
                ElementsAre("01|1|10.5", "01|2|20"));
    EXPECT_EQ(items().size(), 3u);
    EXPECT_EQ(db.scalar("SELECT count(*) FROM OBSITEM"), "1");
    EXPECT_THAT(indexes("ITEMVENDA"), ::testing::Contains("IX_ITEM_DS"));
    EXPECT_EQ(db.scalar("PRAGMA foreign_key_check"), "");
    EXPECT_THROW(db.exec("INSERT INTO ITEMVENDA (CDFILIAL, NRSEQVENDA, NRITEM) VALUES ('01', "
                         "'9', 1)"),
                 Error);  // the sale does not exist
    EXPECT_THROW(db.exec("INSERT INTO ITEMVENDA (CDFILIAL, NRSEQVENDA, NRITEM) VALUES ('01', "
                         "'1', 1)"),
                 Error);  // duplicate key
  }

  CatalogDb db;
};

TEST_F(DdlRebuild, AlterColumnChangesTypeAndNullabilityAndKeepsTheRest) {
  db.exec("UPDATE ITEMVENDA SET DSITEM = 'X' WHERE DSITEM IS NULL");
  db.ddl("ALTER TABLE ITEMVENDA ALTER COLUMN DSITEM VARCHAR(40) NOT NULL");
  EXPECT_EQ(column("ITEMVENDA", "DSITEM"), "varchar:40:NO:('X')");
  expectKept();
  EXPECT_THAT(constraints("ITEMVENDA"),
              ElementsAre("DF__ITEMVENDA__DSITEM:D", "FK_ITEM_VENDA:F", "PK_ITEMVENDA:PK"));
  // Without NULL or NOT NULL the column allows NULL again; texts still compare without case.
  db.ddl("ALTER TABLE ITEMVENDA ALTER COLUMN DSITEM VARCHAR(30)");
  EXPECT_EQ(column("ITEMVENDA", "DSITEM"), "varchar:30:YES:('X')");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM ITEMVENDA WHERE DSITEM = 'cafe'"), "1");
  db.ddl("ALTER TABLE VENDA ALTER COLUMN VRTOTAL DECIMAL(19,4) NULL");
  EXPECT_EQ(column("VENDA", "VRTOTAL"), "decimal::YES:");
  expectKept();
}

TEST_F(DdlRebuild, ViewsOverARebuiltTableKeepWorking) {
  db.exec(
      "CREATE VIEW ITENS AS SELECT I.DSITEM, V.VRTOTAL FROM ITEMVENDA I JOIN VENDA V ON "
      "V.CDFILIAL = I.CDFILIAL AND V.NRSEQVENDA = I.NRSEQVENDA");
  db.ddl("ALTER TABLE ITEMVENDA ALTER COLUMN DSITEM VARCHAR(40)");
  db.ddl("ALTER TABLE VENDA ADD IDSTATUS VARCHAR(1) DEFAULT 'A'");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM ITENS"), "3");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM kivtab_sysobjects WHERE name = 'ITENS' AND xtype = "
                      "'V'"),
            "1");
}

TEST_F(DdlRebuild, AFailedRebuildChangesNothing) {
  // A NULL in the column: the server refuses NOT NULL, and so does the rebuild.
  EXPECT_THROW(db.ddl("ALTER TABLE ITEMVENDA ALTER COLUMN DSITEM VARCHAR(40) NOT NULL"), Error);
  EXPECT_EQ(column("ITEMVENDA", "DSITEM"), "varchar:20:YES:('X')");
  expectKept();
  // The same inside the caller's transaction, which stays open and usable.
  db.exec("BEGIN");
  db.exec("INSERT INTO VENDA VALUES ('01', '3', 1)");
  EXPECT_THROW(db.ddl("ALTER TABLE ITEMVENDA ALTER COLUMN DSITEM VARCHAR(40) NOT NULL"), Error);
  db.ddl("ALTER TABLE VENDA ALTER COLUMN VRTOTAL DECIMAL(19,4)");
  db.exec("ROLLBACK");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM VENDA"), "2");
  EXPECT_EQ(column("VENDA", "VRTOTAL"), "decimal::YES:");
  EXPECT_EQ(db.scalar("SELECT xprec FROM kivtab_syscolumns WHERE name = 'VRTOTAL'"), "17");
}

TEST_F(DdlRebuild, RebuildingAParentNeverCascadesIntoItsChildren) {
  db.ddl("ALTER TABLE ITEMVENDA ALTER COLUMN QTITEM DECIMAL(19,4)");
  db.ddl("ALTER TABLE ITEMVENDA DROP CONSTRAINT FK_ITEM_VENDA");
  db.ddl(
      "ALTER TABLE VENDA ADD CONSTRAINT FK_NOTHING_PARENT FOREIGN KEY (CDFILIAL, NRSEQVENDA) "
      "REFERENCES VENDA (CDFILIAL, NRSEQVENDA)");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM OBSITEM"), "1");
  EXPECT_EQ(items().size(), 3u);
}

TEST_F(DdlRebuild, PrimaryKeyDroppedAndAddedAgain) {
  // The note table's foreign key references the key: it goes first, as on the server.
  EXPECT_THAT(db.refusal("ALTER TABLE ITEMVENDA DROP CONSTRAINT PK_ITEMVENDA"),
              HasSubstr("FK_OBS_ITEM"));
  db.ddl("ALTER TABLE OBSITEM DROP CONSTRAINT FK_OBS_ITEM");
  EXPECT_EQ(db.ddl("ALTER TABLE ITEMVENDA DROP CONSTRAINT PK_ITEMVENDA"), 0);
  EXPECT_EQ(db.scalar("SELECT count(*) FROM kivtab_sys_indexes I, kivtab_sysobjects O "
                      "WHERE I.object_id = O.id AND O.name = 'ITEMVENDA' AND I.is_primary_key = 1"),
            "0");
  db.exec("INSERT INTO ITEMVENDA (CDFILIAL, NRSEQVENDA, NRITEM) VALUES ('01', '2', 1)");
  // Duplicates now present: the server's refusal, and nothing changes.
  const Error duplicate = db.refused(
      "ALTER TABLE ITEMVENDA ADD CONSTRAINT PK_ITEMVENDA PRIMARY KEY CLUSTERED "
      "(CDFILIAL, NRSEQVENDA, NRITEM)");
  EXPECT_EQ(duplicate.kind(), ErrorKind::DuplicateKey);
  db.exec("DELETE FROM ITEMVENDA WHERE rowid = (SELECT max(rowid) FROM ITEMVENDA)");
  db.ddl(
      "ALTER TABLE ITEMVENDA ADD CONSTRAINT PK_ITEMVENDA PRIMARY KEY (CDFILIAL, NRSEQVENDA, "
      "NRITEM)");
  EXPECT_THAT(db.rows("SELECT I.name, I.index_id, C.name, IC.key_ordinal FROM kivtab_sys_indexes "
                      "I JOIN kivtab_sys_index_columns IC ON IC.object_id = I.object_id AND "
                      "IC.index_id = I.index_id JOIN kivtab_sys_columns C ON C.object_id = "
                      "IC.object_id AND C.column_id = IC.column_id WHERE I.is_primary_key = 1 "
                      "AND I.object_id = (SELECT id FROM kivtab_sysobjects WHERE name = "
                      "'itemvenda') ORDER BY IC.key_ordinal"),
              ElementsAre("PK_ITEMVENDA|1|CDFILIAL|1", "PK_ITEMVENDA|1|NRSEQVENDA|2",
                          "PK_ITEMVENDA|1|NRITEM|3"));
  expectKept();
}

// A new, empty table gets its key without a copy: what a rebuild keeps must stay all the same.
TEST_F(DdlRebuild, KeyAddedToAnEmptyTableKeepsItsIndexesViewsAndReferences) {
  db.exec(R"sql(
    CREATE TABLE NOVA (CDNOVA VARCHAR(4) COLLATE NOCASE NOT NULL, DSNOVA VARCHAR(20) DEFAULT 'N');
    CREATE INDEX IX_NOVA_DS ON NOVA (DSNOVA);
    CREATE VIEW NOVAS AS SELECT CDNOVA FROM NOVA;)sql");
  db.ddl("ALTER TABLE NOVA ADD CONSTRAINT PK_NOVA PRIMARY KEY (CDNOVA)");
  EXPECT_THAT(indexes("NOVA"), ::testing::Contains("IX_NOVA_DS"));
  EXPECT_THAT(constraints("NOVA"), ElementsAre("DF__NOVA__DSNOVA:D", "PK_NOVA:PK"));
  db.exec("INSERT INTO NOVA (CDNOVA) VALUES ('a')");
  EXPECT_THROW(db.exec("INSERT INTO NOVA (CDNOVA) VALUES ('A')"), Error);
  EXPECT_EQ(db.scalar("SELECT CDNOVA || DSNOVA FROM NOVAS JOIN NOVA USING (CDNOVA)"), "aN");
  // Emptied again and rolled back with the caller's transaction, the key goes with it.
  db.exec("DELETE FROM NOVA");
  db.ddl("ALTER TABLE NOVA DROP CONSTRAINT PK_NOVA");
  db.exec("BEGIN");
  db.ddl("ALTER TABLE NOVA ADD CONSTRAINT PK_NOVA PRIMARY KEY (CDNOVA)");
  db.exec("ROLLBACK");
  EXPECT_THAT(constraints("NOVA"), ElementsAre("DF__NOVA__DSNOVA:D"));
  EXPECT_THAT(indexes("NOVA"), ElementsAre("IX_NOVA_DS"));
}

TEST_F(DdlRebuild, PrimaryKeyRulesOfTheServer) {
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA ADD CONSTRAINT PK_OTHER PRIMARY KEY (CDFILIAL)"),
              HasSubstr("already has a primary key"));
  db.exec("CREATE TABLE LIVRE (A VARCHAR(2) NOT NULL, B VARCHAR(2))");
  EXPECT_THAT(db.refusal("ALTER TABLE LIVRE ADD CONSTRAINT PK_LIVRE PRIMARY KEY (A, B)"),
              HasSubstr("nullable column"));
  EXPECT_THAT(db.refusal("ALTER TABLE LIVRE ADD CONSTRAINT PK_VENDA PRIMARY KEY (A)"),
              HasSubstr("already an object named"));
  // A key still referenced by another table's foreign key cannot go.
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA DROP CONSTRAINT PK_VENDA"), HasSubstr("FK_ITEM_VENDA"));
  // Also when the reference spells the table in another case, in brackets.
  db.exec(
      "CREATE TABLE PAGTO (F VARCHAR(4), S VARCHAR(10), CONSTRAINT FK_PAGTO FOREIGN KEY (F, S) "
      "REFERENCES [venda] (CDFILIAL, NRSEQVENDA))");
  db.ddl("ALTER TABLE ITEMVENDA DROP CONSTRAINT FK_ITEM_VENDA");
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA DROP CONSTRAINT PK_VENDA"), HasSubstr("FK_PAGTO"));
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA DROP CONSTRAINT PK_NONE"),
              HasSubstr("is not a constraint"));
  EXPECT_THAT(db.refusal("ALTER TABLE NOSUCH DROP CONSTRAINT PK_NONE"), HasSubstr("NOSUCH"));
}

TEST_F(DdlRebuild, ForeignKeyAddedWithCascadeWorks) {
  db.exec(
      "CREATE TABLE PROMOITEM (CDFILIAL VARCHAR(4) NOT NULL, NRSEQVENDA VARCHAR(10) NOT NULL, "
      "NRITEM INT NOT NULL, VRDESC DECIMAL(17,3))");
  db.exec("CREATE INDEX IX_PROMO ON PROMOITEM (NRITEM)");
  db.exec("INSERT INTO PROMOITEM VALUES ('01', '1', 2, 1), ('01', '2', 1, 2)");
  db.ddl(
      "ALTER TABLE PROMOITEM ADD CONSTRAINT FKPDV001ITEM FOREIGN KEY (CDFILIAL, NRSEQVENDA, "
      "NRITEM) REFERENCES ITEMVENDA (CDFILIAL, NRSEQVENDA, NRITEM) ON DELETE CASCADE");
  EXPECT_THAT(constraints("PROMOITEM"), ElementsAre("FKPDV001ITEM:F"));
  EXPECT_THAT(indexes("PROMOITEM"), ElementsAre("IX_PROMO"));
  db.exec("DELETE FROM ITEMVENDA WHERE NRSEQVENDA = '1' AND NRITEM = 2");
  EXPECT_THAT(db.rows("SELECT NRSEQVENDA FROM PROMOITEM"), ElementsAre("2"));
  EXPECT_THROW(db.exec("INSERT INTO PROMOITEM VALUES ('01', '7', 1, 0)"), Error);
  // Applying the same key again fails, as it does on every later run against the server.
  EXPECT_THAT(
      db.refusal(
          "ALTER TABLE PROMOITEM ADD CONSTRAINT FKPDV001ITEM FOREIGN KEY (CDFILIAL, NRSEQVENDA, "
          "NRITEM) REFERENCES ITEMVENDA (CDFILIAL, NRSEQVENDA, NRITEM) ON DELETE CASCADE"),
      HasSubstr("already an object named 'FKPDV001ITEM'"));
}

TEST_F(DdlRebuild, ForeignKeyRefusedForOrphansAndNonKeys) {
  db.exec("CREATE TABLE ORFA (CDFILIAL VARCHAR(4), NRSEQVENDA VARCHAR(10))");
  db.exec("INSERT INTO ORFA VALUES ('01', '1'), ('01', NULL), ('02', '5')");
  const Error orphans = db.refused(
      "ALTER TABLE ORFA ADD CONSTRAINT FK_ORFA FOREIGN KEY (CDFILIAL, NRSEQVENDA) "
      "REFERENCES VENDA (CDFILIAL, NRSEQVENDA)");
  EXPECT_EQ(orphans.kind(), ErrorKind::Constraint);
  EXPECT_TRUE(constraints("ORFA").empty());
  db.exec("DELETE FROM ORFA WHERE CDFILIAL = '02'");
  // A key written without its columns references the parent's primary key.
  db.ddl(
      "ALTER TABLE ORFA ADD CONSTRAINT FK_ORFA FOREIGN KEY (CDFILIAL, NRSEQVENDA) "
      "REFERENCES VENDA");
  EXPECT_THAT(constraints("ORFA"), ElementsAre("FK_ORFA:F"));
  EXPECT_THAT(
      db.refusal("ALTER TABLE ORFA ADD CONSTRAINT FK_ORFA2 FOREIGN KEY (NRSEQVENDA) REFERENCES "
                 "VENDA (NRSEQVENDA)"),
      HasSubstr("no primary or candidate keys"));
  EXPECT_THAT(
      db.refusal("ALTER TABLE ORFA ADD CONSTRAINT FK_ORFA3 FOREIGN KEY (CDFILIAL) REFERENCES NADA"),
      HasSubstr("invalid table 'NADA'"));
  db.ddl("ALTER TABLE ORFA DROP CONSTRAINT FK_ORFA");
  db.exec("INSERT INTO ORFA VALUES ('09', '9')");
  EXPECT_TRUE(constraints("ORFA").empty());
}

TEST_F(DdlRebuild, DefaultsAddedNamedAndDropped) {
  db.ddl("ALTER TABLE VENDA ADD CONSTRAINT DF_VENDA_TOTAL DEFAULT 0 FOR VRTOTAL");
  EXPECT_EQ(column("VENDA", "VRTOTAL"), "decimal::YES:((0))");
  EXPECT_THAT(constraints("VENDA"), ElementsAre("DF_VENDA_TOTAL:D", "PK_VENDA:PK"));
  db.exec("INSERT INTO VENDA (CDFILIAL, NRSEQVENDA) VALUES ('01', '3')");
  EXPECT_EQ(db.scalar("SELECT VRTOTAL FROM VENDA WHERE NRSEQVENDA = '3'"), "0");
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA ADD DEFAULT 1 FOR VRTOTAL"),
              HasSubstr("already has a DEFAULT"));
  db.ddl("ALTER TABLE VENDA DROP CONSTRAINT DF_VENDA_TOTAL");
  EXPECT_EQ(column("VENDA", "VRTOTAL"), "decimal::YES:");
  // Unnamed: the catalogue's own name for it drops it again.
  db.ddl("ALTER TABLE VENDA ADD DEFAULT GETDATE()  FOR VRTOTAL");
  EXPECT_EQ(column("VENDA", "VRTOTAL"), "decimal::YES:(getdate())");
  db.ddl("ALTER TABLE VENDA DROP CONSTRAINT DF__VENDA__VRTOTAL");
  EXPECT_THAT(constraints("VENDA"), ElementsAre("PK_VENDA:PK"));
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA ADD DEFAULT SUSER_SNAME() FOR VRTOTAL"),
              HasSubstr("SUSER_SNAME"));
}

TEST_F(DdlRebuild, DropColumnRefusedWhileInUse) {
  EXPECT_THAT(db.refusal("ALTER TABLE ITEMVENDA DROP COLUMN DSITEM"),
              HasSubstr("DF__ITEMVENDA__DSITEM"));
  db.ddl("ALTER TABLE ITEMVENDA DROP CONSTRAINT DF__ITEMVENDA__DSITEM");
  EXPECT_THAT(db.refusal("ALTER TABLE ITEMVENDA DROP COLUMN DSITEM"), HasSubstr("IX_ITEM_DS"));
  EXPECT_THAT(db.refusal("ALTER TABLE ITEMVENDA DROP COLUMN NRITEM"), HasSubstr("PK_ITEMVENDA"));
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA DROP COLUMN NRSEQVENDA"), HasSubstr("PK_VENDA"));
  db.ddl("ALTER TABLE ITEMVENDA DROP COLUMN QTITEM");
  EXPECT_EQ(column("ITEMVENDA", "QTITEM"), "");
  EXPECT_THAT(items(), ElementsAre("01|1|1|CAFE", "01|1|2|NULL", "01|2|1|PAO"));
  expectKept();
}

TEST_F(DdlRebuild, AddedColumnsGetDefaultsAsOnTheServer) {
  // A nullable column with a default leaves the existing rows NULL unless WITH VALUES.
  db.ddl("ALTER TABLE VENDA ADD IDSTATUS VARCHAR(1) DEFAULT 'A'");
  db.ddl("ALTER TABLE VENDA ADD IDTIPO VARCHAR(1) NULL DEFAULT 'T' WITH VALUES");
  db.ddl("ALTER TABLE VENDA ADD NRVIAS INT NOT NULL DEFAULT 1, DSNOTA VARCHAR(MAX)");
  db.ddl(
      "ALTER TABLE VENDA ADD DTULTATU DATETIME DEFAULT CONVERT(DATETIME,CONVERT(VARCHAR,"
      "GETDATE(),103) + ' ' + CONVERT(VARCHAR,GETDATE(),108)) WITH VALUES");
  EXPECT_THAT(db.rows("SELECT IDSTATUS, IDTIPO, NRVIAS, DSNOTA, DTULTATU > 40000 FROM VENDA"),
              ElementsAre("NULL|T|1|NULL|1", "NULL|T|1|NULL|1"));
  db.exec("INSERT INTO VENDA (CDFILIAL, NRSEQVENDA) VALUES ('01', '3')");
  EXPECT_EQ(db.scalar("SELECT IDSTATUS || IDTIPO || NRVIAS FROM VENDA WHERE NRSEQVENDA = '3'"),
            "AT1");
  EXPECT_EQ(column("VENDA", "DSNOTA"), "varchar:-1:YES:");
  EXPECT_EQ(column("VENDA", "NRVIAS"), "int::NO:((1))");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM VENDA WHERE IDSTATUS = 'a'"), "1");
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA ADD NRNOVO INT NOT NULL"),
              HasSubstr("non-empty table"));
  EXPECT_THAT(db.refusal("ALTER TABLE VENDA ADD IDSTATUS INT"), HasSubstr("more than once"));
  EXPECT_EQ(items().size(), 3u);
  EXPECT_EQ(db.scalar("PRAGMA foreign_key_check"), "");
  EXPECT_THROW(db.exec("INSERT INTO VENDA (CDFILIAL, NRSEQVENDA) VALUES ('01', '3')"), Error);
}

}  // namespace
}  // namespace db::embedded
