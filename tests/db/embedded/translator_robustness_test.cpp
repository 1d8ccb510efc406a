// Malformed texts: every cut and every one-token deletion of real statements either translates
// or fails with db::Error; nothing crashes, hangs or throws anything else.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "db/core/error.h"
#include "db/embedded/tokenizer.h"
#include "db/embedded/translate/translator.h"

namespace db::embedded {
namespace {

constexpr const char* kStatements[] = {
    "SELECT TOP 1 CDCLIENTE, CONVERT(VARCHAR, DTX, 103) + ' ' + NMX FROM dbo.T WITH (NOLOCK) "
    "WHERE DTX BETWEEN '2026-01-01' AND :P_D AND NMX IN ('a', 'b') ORDER BY 1",
    "SELECT CONT, MIN(DTX) AS DTX FROM (SELECT COUNT(*) AS CONT, DTX FROM T WHERE "
    "CHARINDEX(NMX, :P_A) > 0 GROUP BY DTX UNION SELECT COUNT(*), B.DTX FROM (SELECT "
    "MAX(IT.DTX) AS DTX FROM T IT) B GROUP BY B.DTX) FINAL GROUP BY CONT",
    "IF EXISTS(SELECT * FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME = 'X' AND TYPE = 'TR' AND "
    "U.UID = O.UID AND U.NAME = USER) DROP TRIGGER X;",
    "IF OBJECT_ID('dbo.T', 'U') IS NOT NULL DROP TABLE T",
    "CREATE TABLE C ( ID INT IDENTITY PRIMARY KEY, A VARCHAR(16) NOT NULL DEFAULT 'X', B "
    "NVARCHAR(MAX), D DATETIME DEFAULT GETDATE(), E DECIMAL(17,3) CONSTRAINT DF_E DEFAULT ((0)), "
    "CONSTRAINT FK_C FOREIGN KEY (A) REFERENCES dbo.T (NMX) ON DELETE CASCADE)",
    "CREATE UNIQUE NONCLUSTERED INDEX IX ON dbo.T (NMX ASC, DTX DESC) INCLUDE (N) WITH "
    "(DROP_EXISTING = ON) ON [PRIMARY]",
    "INSERT INTO T (NMX, DTX, N) VALUES ('a', '2026-01-02 10:00:00', LEN(REPLICATE('0', 3))), "
    "(:P_N, :P_D, CAST(:P_X AS INT))",
    "UPDATE T SET DTX = DATEADD(day, -5, GETDATE()), NMX = LEFT(NMX, 2) + RIGHT(NMX, 1) WHERE "
    "ISNULL(N, 0) <> 0 AND CASE WHEN N > 1 THEN 'a' ELSE 'b' END = 'a'",
    "SELECT * INTO COPIA FROM T WHERE 1 = 2",
    "DELETE T WHERE DTX < CONVERT(DATETIME, '30/12/1899', 103)",
    "DROP INDEX IX ON dbo.T",
};

class EmbeddedRobustness : public ::testing::Test {
 protected:
  void SetUp() override {
    sqlite3_open(":memory:", &db_);
    sqlite3_exec(db_, "CREATE TABLE T (NMX VARCHAR(10), DTX DATETIME, N INT)", nullptr, nullptr,
                 nullptr);
    schema_ = std::make_unique<SchemaInfo>(db_);
  }
  void TearDown() override {
    schema_.reset();
    sqlite3_close(db_);
  }

  // Translates `sql`; true when it translated, false when it failed with db::Error.
  bool attempt(const std::string& sql) {
    try {
      translateStatement(sql, *schema_, "sa");
      return true;
    } catch (const Error& e) {
      EXPECT_EQ(e.statement(), sql);
      return false;
    } catch (const std::exception& e) {
      ADD_FAILURE() << "not a db::Error (" << e.what() << ") for: " << sql;
      return false;
    }
  }

  sqlite3* db_ = nullptr;
  std::unique_ptr<SchemaInfo> schema_;
};

TEST_F(EmbeddedRobustness, WholeStatementsTranslate) {
  for (const char* sql : kStatements) EXPECT_TRUE(attempt(sql)) << sql;
}

TEST_F(EmbeddedRobustness, CutAndThinnedStatementsFailCleanly) {
  for (const char* sql : kStatements) {
    const std::string text = sql;
    const auto tokens = tokenize(text);
    for (const auto& t : tokens) {
      attempt(text.substr(0, t.offset));
      attempt(text.substr(0, t.offset) + text.substr(t.offset + t.text.size()));
    }
  }
}

}  // namespace
}  // namespace db::embedded
