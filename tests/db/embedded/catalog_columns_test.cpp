#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "catalog_test_support.h"

namespace db::embedded {
namespace {

using test_support::CatalogDb;
using ::testing::ElementsAre;

// The server column query the schema reconciliation compares tables with, as the translator
// hands it to SQLite: catalogue names replaced by their views, '+' by '||', LEN and SUBSTRING
// by their SQLite spellings.
constexpr const char* kColumnQuery = R"sql(
SELECT C.NAME AS COL_NAME,
       CASE UPPER(T.NAME) WHEN 'VARCHAR' THEN 'VARCHAR(' || CAST(C.LENGTH AS TEXT) || ')'
                          WHEN 'DECIMAL' THEN 'DECIMAL(' || CAST(C.XPREC AS TEXT) || ',' ||
                                              CAST(C.XSCALE AS TEXT) || ')'
                          ELSE UPPER(T.NAME) END AS FIELD_TYPE,
       CASE C.ISNULLABLE WHEN '0' THEN 'NOT NULL' ELSE 'NULL' END AS NULLABLE,
       CASE UPPER(T.NAME) WHEN 'VARCHAR' THEN substr(CO.TEXT, 2, length(CO.TEXT) - 2)
            ELSE CASE substr(CO.TEXT, 2, 1) WHEN '''' THEN substr(CO.TEXT, 3, length(CO.TEXT) - 4)
                 ELSE substr(CO.TEXT, 2, length(CO.TEXT) - 2) END END AS COL_DEFAULT
FROM kivtab_syslogins L, kivtab_syscolumns C LEFT JOIN kivtab_syscomments CO ON (CO.ID = C.CDEFAULT),
     kivtab_sysobjects O, kivtab_systypes T, kivtab_sysusers U
WHERE C.ID = O.ID AND O.XTYPE = 'U' AND C.XTYPE = T.XTYPE AND U.SID = L.SID AND L.NAME = :P_OWNER
  AND O.UID = U.UID AND O.NAME = :P_TABLE AND ((UPPER(T.NAME) <> 'IMAGE') OR (:P_TABLE = 'VENDA'))
ORDER BY C.COLID, C.NAME)sql";

TEST(CatalogColumns, ColumnQueryAnswersAsTheServerDoes) {
  CatalogDb db("sa");
  db.exec(
      "CREATE TABLE T (A VARCHAR(10) NOT NULL DEFAULT 'X', B DECIMAL(17,3) NULL DEFAULT 0, "
      "C DATETIME NULL)");
  // The owner is upper-cased by the caller; the login was written in lower case.
  EXPECT_THAT(db.rows(kColumnQuery, {"SA", "t"}),
              ElementsAre("A|VARCHAR(10)|NOT NULL|'X'", "B|DECIMAL(17,3)|NULL|(0)",
                          "C|DATETIME|NULL|NULL"));
  EXPECT_TRUE(db.rows(kColumnQuery, {"OTHER", "T"}).empty());
  EXPECT_TRUE(db.rows(kColumnQuery, {"SA", "CAIXA"}).empty());
}

TEST(CatalogColumns, TypesAndDefaultsAreRenderedTheServerWay) {
  CatalogDb db;
  db.exec(
      "CREATE TABLE K (N NVARCHAR(20), M VARCHAR(-1), I INTEGER PRIMARY KEY, D DECIMAL(5), "
      "Q CHAR(3) DEFAULT ('A'), G DATETIME DEFAULT (julianday('now','localtime') - 2415018.5), "
      "Z IMAGE, W INT DEFAULT -1)");
  EXPECT_THAT(db.rows("SELECT name, xtype, length, xprec, xscale, isnullable FROM "
                      "kivtab_syscolumns WHERE id = (SELECT id FROM kivtab_sysobjects WHERE "
                      "name = 'k') ORDER BY colid"),
              ElementsAre("N|231|40|0|0|1", "M|167|-1|0|0|1", "I|56|4|10|0|0", "D|106|5|5|0|1",
                          "Q|175|3|0|0|1", "G|61|8|23|3|1", "Z|34|16|0|0|1", "W|56|4|10|0|1"));
  EXPECT_THAT(db.rows("SELECT CO.text FROM kivtab_syscolumns C JOIN kivtab_syscomments CO ON "
                      "CO.id = C.cdefault ORDER BY C.colid"),
              ElementsAre("('A')", "(getdate())", "((-1))"));
  EXPECT_THAT(db.rows("SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                      "NUMERIC_PRECISION, IS_NULLABLE FROM kivtab_is_columns WHERE TABLE_NAME = "
                      "'K' AND COLUMN_NAME IN ('N', 'M', 'D', 'I')"),
              ElementsAre("N|nvarchar|20|NULL|YES", "M|varchar|-1|NULL|YES", "I|int|NULL|10|NO",
                          "D|decimal|NULL|5|YES"));
  EXPECT_EQ(db.scalar("SELECT is_identity FROM kivtab_sys_columns WHERE name = 'I'"), "1");
  EXPECT_EQ(db.scalar("SELECT T.name FROM kivtab_sys_columns C JOIN kivtab_sys_types T ON "
                      "T.user_type_id = C.user_type_id WHERE C.name = 'Z'"),
            "image");
}

TEST(CatalogSnapshot, FollowsEverySchemaChangeIncludingRollbacks) {
  CatalogDb db;
  const std::string tables = "SELECT name FROM kivtab_sysobjects WHERE xtype = 'U' ORDER BY name";
  db.exec("BEGIN; CREATE TABLE A1 (X INT)");
  EXPECT_THAT(db.rows(tables), ElementsAre("A1"));
  db.exec("ROLLBACK");
  EXPECT_TRUE(db.rows(tables).empty());
  // Same length, same position in the schema: still seen as a different schema.
  db.exec("BEGIN; CREATE TABLE B1 (X INT)");
  EXPECT_THAT(db.rows(tables), ElementsAre("B1"));
  db.exec("COMMIT");
  db.ddl("CREATE PROCEDURE P1 AS SELECT 1");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM kivtab_sysobjects WHERE name = 'P1'"), "1");
  db.ddl("DROP PROCEDURE P1");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM kivtab_sysobjects WHERE name = 'P1'"), "0");
  // A query left open keeps its rows while the schema changes under it.
  sqlite::Stmt open(db.get(), "SELECT name FROM kivtab_syscolumns");
  ASSERT_TRUE(open.step());
  db.exec("CREATE TABLE C1 (Y INT, Z INT)");
  EXPECT_EQ(open.text(0), "X");
  EXPECT_FALSE(open.step());
  EXPECT_EQ(db.scalar("SELECT count(*) FROM kivtab_syscolumns"), "3");
}

// A schema change reads again only the tables it touched; what each kept table lists must still
// be current: its indexes (which leave the table's own text alone), its id, and the views over it.
TEST(CatalogSnapshot, KeepsUntouchedTablesAndRereadsChangedOnes) {
  CatalogDb db;
  db.exec(
      "CREATE TABLE A (X INT); CREATE TABLE B (Y VARCHAR(5)); CREATE VIEW V AS SELECT Y FROM B");
  const std::string columns =
      "SELECT O.name, C.name, T.name, C.length FROM kivtab_syscolumns C JOIN kivtab_sysobjects O "
      "ON O.id = C.id JOIN kivtab_systypes T ON T.xtype = C.xtype ORDER BY O.name, C.colid";
  const std::string indexes =
      "SELECT I.name, C.column_id FROM kivtab_sys_indexes I JOIN kivtab_sys_index_columns C ON "
      "C.object_id = I.object_id AND C.index_id = I.index_id ORDER BY I.name";
  EXPECT_THAT(db.rows(columns), ElementsAre("A|X|int|4", "B|Y|varchar|5", "V|Y|varchar|5"));
  const std::string idOfA = db.scalar("SELECT id FROM kivtab_sysobjects WHERE name = 'A'");

  db.exec("CREATE INDEX IX_A ON A (X)");
  EXPECT_THAT(db.rows(indexes), ElementsAre("IX_A|1"));
  db.ddl("ALTER TABLE B ALTER COLUMN Y VARCHAR(9) NOT NULL");
  EXPECT_THAT(db.rows(columns), ElementsAre("A|X|int|4", "B|Y|varchar|9", "V|Y|varchar|9"));
  db.ddl("ALTER TABLE B ADD CONSTRAINT PK_B PRIMARY KEY (Y)");
  EXPECT_THAT(db.rows(indexes), ElementsAre("IX_A|1", "PK_B|1"));
  EXPECT_EQ(db.scalar("SELECT id FROM kivtab_sysobjects WHERE name = 'A'"), idOfA);

  // The same text again is another table: a new id, and none of the old one's indexes.
  db.exec("DROP TABLE A; CREATE TABLE A (X INT)");
  EXPECT_NE(db.scalar("SELECT id FROM kivtab_sysobjects WHERE name = 'A'"), idOfA);
  EXPECT_THAT(db.rows(indexes), ElementsAre("PK_B|1"));
}

// Connections share the tables they have read; a database whose table of the same name differs
// lists its own.
TEST(CatalogSnapshot, ConnectionsShareOnlyTablesOfTheSameText) {
  CatalogDb first, second;
  first.exec("CREATE TABLE T (A INT); CREATE TABLE U (B INT)");
  second.exec("CREATE TABLE T (A VARCHAR(3)); CREATE TABLE U (B INT)");
  const std::string columns =
      "SELECT O.name, C.name, C.length FROM kivtab_syscolumns C JOIN kivtab_sysobjects O ON "
      "O.id = C.id ORDER BY O.name";
  EXPECT_THAT(first.rows(columns), ElementsAre("T|A|4", "U|B|4"));
  EXPECT_THAT(second.rows(columns), ElementsAre("T|A|3", "U|B|4"));
  EXPECT_THAT(first.rows(columns), ElementsAre("T|A|4", "U|B|4"));
}

// Another connection's change reaches this one's catalogue on its next query.
TEST(CatalogSnapshot, SeesChangesMadeByAnotherConnection) {
  const std::string path = ::testing::TempDir() + "catalog_snapshot_other.db";
  std::remove(path.c_str());
  CatalogDb mine("sa", path), other("sa", path);
  mine.exec("CREATE TABLE T (A INT)");
  EXPECT_EQ(mine.scalar("SELECT count(*) FROM kivtab_syscolumns"), "1");
  other.exec("DROP TABLE T; CREATE TABLE T (A INT, B INT)");
  EXPECT_EQ(mine.scalar("SELECT count(*) FROM kivtab_syscolumns"), "2");
  // Procedures change no SQLite schema, only the engine's object table.
  other.ddl("CREATE PROCEDURE P AS SELECT 1");
  EXPECT_EQ(mine.scalar("SELECT count(*) FROM kivtab_sysobjects WHERE name = 'P'"), "1");
  other.ddl("ALTER PROCEDURE P AS SELECT 2");
  EXPECT_EQ(mine.scalar("SELECT C.text FROM kivtab_syscomments C JOIN kivtab_sysobjects O ON "
                        "O.id = C.id WHERE O.name = 'P'"),
            "ALTER PROCEDURE P AS SELECT 2");
  std::remove(path.c_str());
}

// Unnamed constraints get the names the server would give, numbered per kind in the order of the
// definition, and ids in their kind's block of the table's ids.
TEST(CatalogSnapshot, NamesUnnamedConstraintsPerKindInDefinitionOrder) {
  CatalogDb db;
  db.exec(
      "CREATE TABLE P (K INT PRIMARY KEY); CREATE TABLE T (A INT UNIQUE REFERENCES P (K), "
      "B INT DEFAULT 1 CHECK (B > 0), C INT CONSTRAINT UQ_NAMED UNIQUE, UNIQUE (A, B), "
      "FOREIGN KEY (C) REFERENCES P (K), CHECK (C < 9))");
  EXPECT_THAT(
      db.rows("SELECT O.name, O.xtype, O.id - P.id * 65536 FROM kivtab_sysobjects O, "
              "kivtab_sysobjects P WHERE O.parent_obj = P.id AND P.name = 'T' "
              "ORDER BY O.id"),
      ElementsAre("DF__T__B|D|2", "UQ__T__1|UQ|33001", "UQ_NAMED|UQ|33002", "UQ__T__3|UQ|33003",
                  "FK__T__1|F|40001", "FK__T__2|F|40002", "CK__T__1|C|50001", "CK__T__2|C|50002"));
}

}  // namespace
}  // namespace db::embedded
