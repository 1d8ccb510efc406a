// The table reconciliation on a local Oracle database, against a double of its catalogue: the
// statements it sends, byte for byte.
#include "schema/oracle_reconciler.h"

#include <gtest/gtest.h>

#include "oracle_catalogue.h"
#include "package_writer.h"

namespace {

using schema::LocalColumn;
using schema_test::column;
using Texts = std::vector<std::string>;

// A package table whose Oracle columns are given; key and indexes as adqIndices rows.
schema::PackageTable oracleTable(
    const std::string& name, std::vector<schema::PackageColumn> columns,
    std::vector<std::string> key = {},
    std::vector<std::pair<std::string, std::vector<std::string>>> indexes = {}) {
  schema::PackageTable t = schema_test::table(name, {}, {}, std::move(indexes));
  t.oracleColumns = std::move(columns);
  // The key rows carry the table's name as stored, SA_ included.
  for (const auto& k : key) t.indexes.push_back({"PK_" + name, k, "ASC"});
  return t;
}

class OracleReconciliation : public ::testing::Test {
 protected:
  void reconcile(std::vector<schema::PackageTable> tables,
                 std::optional<std::vector<schema::ForeignKeyRow>> constraints = std::nullopt) {
    schema::StructurePackage package{std::move(tables), std::move(constraints), true};
    schema::OracleReconciler(local, "LOJA").reconcile(package);
  }

  schema_test::OracleCatalogue local;
};

TEST_F(OracleReconciliation, NewTableIsCreatedWithItsKeyThenItsIndexes) {
  reconcile({oracleTable(
      "SA_PRECO",
      {column("CDPRODUTO", "VARCHAR2(20)"), column("QTITEM", "NUMBER", "NOT NULL", " 0 "),
       column("DSITEM", "VARCHAR2(40)", "NULL", "'x'"),
       column("DTULTATU", "DATE", "NULL", "trunc(sysdate)"),
       column("DTULTATUEXT", "DATE", "NULL", "SYSDATE"),
       column("DTULTATUCSUM", "DATE", "NOT NULL", "SYSDATE"),
       column("VRPRECO", "NUMBER(17,3)", "NULL", "   ")},
      {"CDPRODUTO"}, {{"IX_PRECO_QT", {"QTITEM", "DTULTATU"}}})});
  EXPECT_EQ(local.executed,
            (Texts{"CREATE TABLE SA_PRECO (\r\n"
                   "CDPRODUTO VARCHAR2(20) NOT NULL,\r\n"
                   "QTITEM NUMBER DEFAULT 0 NOT NULL,\r\n"
                   "DSITEM VARCHAR2(40) DEFAULT 'x',\r\n"
                   "DTULTATU DATE DEFAULT SYSDATE,\r\n"
                   "DTULTATUEXT DATE,\r\n"
                   "DTULTATUCSUM DATE NOT NULL,\r\n"
                   "VRPRECO NUMBER(17,3))",
                   "ALTER TABLE SA_PRECO ADD CONSTRAINT PK_SA_PRECO PRIMARY KEY (CDPRODUTO)",
                   "DROP INDEX IX_PRECO_QT",
                   "CREATE INDEX IX_PRECO_QT ON SA_PRECO (QTITEM ASC, DTULTATU ASC)"}));
  // The table is looked up under its stored name and the login's owner.
  EXPECT_EQ(local.queried, (Texts{std::string(schema::sql::kExisteTabelaOracle)}));
}

TEST_F(OracleReconciliation, ExistingColumnsAreAddedAndModifiedAsTheyDiffer) {
  local.tables["ITEM"] = {
      {"cdproduto", "VARCHAR2(20)", "NOT NULL", ""},  // the same, in another case
      {"DSITEM", "VARCHAR2(10)", "NULL", ""},         // wider, stays nullable
      {"QTITEM", "VARCHAR2(5)", "NULL", ""},          // a number now, NOT NULL, with a default
      {"CDGRUPO", "VARCHAR2(2)", "NULL", ""},         // wider, NOT NULL, no default
      {"IDATIVO", "VARCHAR2(1)", "NULL", ""},         // only becomes NOT NULL, with a default
      {"NMITEM", "VARCHAR2(30)", "NOT NULL", ""},     // only becomes nullable
      {"DTULTATU", "DATE", "NULL", "SYSDATE"},        // nothing differs
  };
  reconcile({oracleTable(
      "ITEM",
      {column("CDPRODUTO", "VARCHAR2(20)", "NOT NULL"), column("DSITEM", "VARCHAR2(40)"),
       column("QTITEM", "NUMBER", "NOT NULL", "1"), column("CDGRUPO", "VARCHAR2(4)", "NOT NULL"),
       column("IDATIVO", "VARCHAR2(1)", "NOT NULL", "'S'"),
       column("NMITEM", "VARCHAR2(30)", "NULL"), column("DTULTATU", "DATE", "NULL", "SYSDATE"),
       column("IDNOVO", "VARCHAR2(1)", "NOT NULL", " 'N' "), column("DSNOVO", "VARCHAR2(9)")},
      {"CDPRODUTO"})});
  EXPECT_EQ(local.executed, (Texts{"ALTER TABLE ITEM     MODIFY DSITEM VARCHAR2(40) NULL",
                                   "ALTER TABLE ITEM MODIFY QTITEM NUMBER",
                                   "UPDATE ITEM   SET QTITEM = 1 WHERE QTITEM IS NULL",
                                   "ALTER TABLE ITEM     MODIFY QTITEM NUMBER NOT NULL",
                                   "ALTER TABLE ITEM     MODIFY CDGRUPO VARCHAR2(4) NOT NULL",
                                   "UPDATE ITEM   SET IDATIVO = 'S' WHERE IDATIVO IS NULL",
                                   "ALTER TABLE ITEM     MODIFY IDATIVO VARCHAR2(1) NOT NULL",
                                   "ALTER TABLE ITEM     MODIFY NMITEM VARCHAR2(30) NULL",
                                   "ALTER TABLE ITEM ADD IDNOVO VARCHAR2(1) NOT NULL DEFAULT 'N'",
                                   "ALTER TABLE ITEM ADD DSNOVO VARCHAR2(9)"}));
}

TEST_F(OracleReconciliation, IndexesAreRebuiltOnEveryRunAndFailuresPassSilently) {
  local.tables["ITEM"] = {{"CDPRODUTO", "VARCHAR2(20)", "NOT NULL", ""}};
  // No index exists yet: every DROP INDEX fails, and so does one creation.
  local.failWith = [](const std::string& sql) -> std::optional<std::string> {
    if (sql.rfind("DROP INDEX", 0) == 0 || sql.find("IX_B") != std::string::npos)
      return "ORA-01418: specified index does not exist";
    return std::nullopt;
  };
  const auto item = oracleTable("ITEM", {column("CDPRODUTO", "VARCHAR2(20)", "NOT NULL")},
                                {"CDPRODUTO"}, {{"IX_A", {"CDPRODUTO"}}, {"IX_B", {"CDPRODUTO"}}});
  reconcile({item});
  local.failWith = nullptr;
  reconcile({item});
  const Texts once{"DROP INDEX IX_A", "CREATE INDEX IX_A ON ITEM (CDPRODUTO ASC)",
                   "DROP INDEX IX_B", "CREATE INDEX IX_B ON ITEM (CDPRODUTO ASC)"};
  Texts twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(local.executed, twice);
}

TEST_F(OracleReconciliation, ForeignKeysFollowEveryTableWithTheirOwnSpacing) {
  local.tables["PAI"] = {{"CDPAI", "VARCHAR2(4)", "NOT NULL", ""}};
  local.tables["FILHO"] = {{"CDPAI", "VARCHAR2(4)", "NOT NULL", ""},
                           {"CDFILHO", "VARCHAR2(4)", "NOT NULL", ""}};
  reconcile({oracleTable("PAI", {column("CDPAI", "VARCHAR2(4)", "NOT NULL")}),
             oracleTable("FILHO", {column("CDPAI", "VARCHAR2(4)", "NOT NULL"),
                                   column("CDFILHO", "VARCHAR2(4)", "NOT NULL")})},
            std::vector<schema::ForeignKeyRow>{{"FILHO", "FK_FILHO_PAI", "PK_PAI", "CDPAI"},
                                               {"FILHO", "FK_FILHO_PAI", "PK_PAI", "CDFILHO"},
                                               {"FILHO", "FK_FILHO_2", "PK_OUTRO", "CDFILHO"},
                                               {"OUTRA", "FK_OUTRA", "PK_PAI", "CDPAI"}});
  EXPECT_EQ(local.executed,
            (Texts{"ALTER TABLE     FILHO ADD CONSTRAINT FK_FILHO_PAI   FOREIGN KEY (CDPAI, "
                   "CDFILHO)     REFERENCES PK_PAI",
                   "ALTER TABLE     FILHO ADD CONSTRAINT FK_FILHO_2   FOREIGN KEY (CDFILHO)     "
                   "REFERENCES PK_OUTRO"}));
}

TEST_F(OracleReconciliation, OnlyAFailingCreateTableEndsTheReconciliation) {
  local.failWith = [](const std::string& sql) -> std::optional<std::string> {
    if (sql.rfind("CREATE TABLE B ", 0) == 0) return "ORA-00902: invalid datatype";
    if (sql.rfind("ALTER TABLE A ADD CONSTRAINT", 0) == 0) return "ORA-02260: table has a key";
    return std::nullopt;
  };
  EXPECT_THROW(reconcile({oracleTable("A", {column("CD", "VARCHAR2(1)")}, {"CD"}),
                          oracleTable("B", {column("CD", "VARCHAR2(1)")}),
                          oracleTable("C", {column("CD", "VARCHAR2(1)")})}),
               db::Error);
  ASSERT_EQ(local.executed.size(), 3u);
  EXPECT_EQ(local.executed[2].rfind("CREATE TABLE B ", 0), 0u);
  EXPECT_TRUE(local.startingWith("CREATE TABLE C").empty());
}

TEST_F(OracleReconciliation, PackagesWithoutOracleColumnsOrWithUnsafeTextsAreRefused) {
  schema::StructurePackage withoutOracle{
      {oracleTable("A", {column("CD", "VARCHAR2(1)")})}, {}, false};
  EXPECT_THROW(schema::OracleReconciler(local, "LOJA").reconcile(withoutOracle),
               std::runtime_error);
  EXPECT_THROW(reconcile({oracleTable(
                   "A", {column("CD", "VARCHAR2(1)", "NULL", "0); DROP TABLE VENDA; --")})}),
               std::runtime_error);
  EXPECT_TRUE(local.executed.empty());
}

}  // namespace
