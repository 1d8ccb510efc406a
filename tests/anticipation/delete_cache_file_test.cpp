#include "download/anticipation/delete_cache_file.h"

#include <gtest/gtest.h>

#include "anticipation_fixture.h"

namespace download::anticipation_testing {
namespace {

class ProdutoSegFileTest : public AnticipationFixture {
 protected:
  ProdutoSegFileTest() {
    db.execute(
        "CREATE TABLE PRODUTOSEG (CDSEGMER VARCHAR(4) NOT NULL, CDPRODUTO VARCHAR(20) NOT NULL, "
        "VRPRECO DECIMAL(17,3) NOT NULL, DTULTATUPSEG DATETIME NOT NULL, CONSTRAINT "
        "PK_PRODUTOSEG PRIMARY KEY (CDSEGMER, CDPRODUTO))");
    for (const char* row : {"('01', 'GONE', 1, '2026-01-01')", "('01', 'NEWER', 1, '2026-06-01')",
                            "('02', 'GONE', 1, '2026-01-01')", "('01', 'O''K', 1, '2026-01-01')"})
      db.execute(std::string("INSERT INTO PRODUTOSEG VALUES ") + row);
    state.vectors.vDatasBase[10] = db::DateTime::fromParts(2026, 3, 3);
    // The image holds only keys and deletion times: every other column must accept NULL.
    fetcher.entries = {
        {"DELCACHEPRODUTOSEG.sql",
         "INSERT INTO DELCACHEPRODUTOSEG (CDSEGMER, CDPRODUTO, DTULTATUCACH) VALUES ('01', "
         "'GONE', '2026-04-01 00:00:00')\r\n"
         "INSERT INTO DELCACHEPRODUTOSEG (CDSEGMER, CDPRODUTO, DTULTATUCACH) VALUES ('01', "
         "'NEWER', '2026-04-01 00:00:00')\r\n"
         "INSERT INTO DELCACHEPRODUTOSEG (CDSEGMER, CDPRODUTO, DTULTATUCACH) VALUES ('01', "
         "'MISSING', '2026-04-01 00:00:00')\r\n"}};
  }
  std::vector<std::string> remaining() {
    std::vector<std::string> out;
    auto rows = db.query("SELECT CDSEGMER + '/' + CDPRODUTO FROM PRODUTOSEG ORDER BY 1");
    while (rows->next()) out.push_back(rows->at(0).asText());
    return out;
  }
  ProdutoSegDeleteCacheFile file{db, transfer, services, state.vectors};
};

TEST_F(ProdutoSegFileTest, DeletesRowsDeletedCentrallyAfterTheirLastUpdate) {
  file.run("0001", "005");
  EXPECT_EQ(remaining(), (std::vector<std::string>{"01/NEWER", "01/O'K", "02/GONE"}));
  EXPECT_TRUE(logged("3", "Linhas da PRODUTOSEG apagadas -> 1"));
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM DELCACHEPRODUTOSEG").asInt(), 3);
  for (const auto& call : server.calls) {
    if (call.method != "setGeraArquivo") continue;
    EXPECT_EQ(call.args.at(1).asText(), "DELCACHEPRODUTOSEG");
    EXPECT_EQ(call.args.at(4).asText(), "005");
    EXPECT_EQ(call.args.at(5).getArray().at(2), db::Value(db::DateTime::fromParts(2026, 3, 3)));
  }
  // A second pass starts from a fresh image.
  fetcher.entries = {{"DELCACHEPRODUTOSEG.sql", ""}};
  file.run("0001", "005");
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM DELCACHEPRODUTOSEG").asInt(), 0);
}

TEST_F(ProdutoSegFileTest, FailingFileIsReportedAndDeletesNothing) {
  fetcher.fail = true;
  EXPECT_NO_THROW(file.run("0001", "005"));
  EXPECT_EQ(remaining().size(), 4u);
  EXPECT_FALSE(db.inTransaction());
  bool reported = false;
  for (const auto& line : lines) reported |= line.starts_with("2|ERRO Except: ");
  EXPECT_TRUE(reported);
}

TEST_F(ProdutoSegFileTest, AFailingRollbackIsLoggedAndDoesNotEscape) {
  fetcher.fail = true;
  db.begin();
  db.rollbackFails = true;
  EXPECT_NO_THROW(file.run("0001", "005"));
  db.rollbackFails = false;
  db.rollback();
  bool reported = false, rollbackReported = false;
  for (const auto& line : lines) {
    reported |= line.starts_with("2|ERRO Except: ");
    rollbackReported |= line.find("rollback failed") != std::string::npos;
  }
  EXPECT_TRUE(reported);
  EXPECT_TRUE(rollbackReported);
}

TEST_F(AnticipationFixture, DeleteCacheImageCopiesTheSourceWithEveryColumnNullable) {
  db.execute("CREATE TABLE SRC (CDA VARCHAR(7) NOT NULL, NRB INT NOT NULL, DTC DATETIME)");
  db.execute("CREATE TABLE IMG (OLD INT)");
  disponibilizaDelCache(db, "IMG", "SRC", services);
  db.execute("INSERT INTO IMG (CDA, DTULTATUCACH) VALUES ('1234567', '2026-01-01')");
  auto rows = db.query(
      "SELECT COLUMN_NAME, IS_NULLABLE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS "
      "WHERE TABLE_NAME = 'IMG' ORDER BY ORDINAL_POSITION");
  std::vector<std::string> columns;
  while (rows->next()) {
    columns.push_back(rows->at(0).asText());
    EXPECT_EQ(rows->at(1).asText(), "YES") << rows->at(0).asText();
    if (rows->at(0).asText() == "CDA") {
      EXPECT_EQ(rows->at(2).asInt(), 7);
    }
  }
  EXPECT_EQ(columns, (std::vector<std::string>{"CDA", "NRB", "DTC", "DTULTATUCACH"}));
}

}  // namespace
}  // namespace download::anticipation_testing
