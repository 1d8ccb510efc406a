// T-SQL behaviour of the embedded engine: each case runs through db::Connection and checks
// what SQL Server would answer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "embedded_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

class EmbeddedTSql : public MemoryDatabaseTest {
 protected:
  void SetUp() override {
    db->execute(
        "CREATE TABLE CTRLBAIXATAB (CDFILIAL VARCHAR(4) NOT NULL, NMTABELA VARCHAR(30) NOT NULL, "
        "DTULTATUTAB DATETIME, QTREG INT, VRTOT DECIMAL(17,3), CONSTRAINT PK_CTRL PRIMARY KEY "
        "CLUSTERED (CDFILIAL, NMTABELA))");
  }
};

TEST_F(EmbeddedTSql, DayArithmeticWorksOnStoredDates) {
  db->execute(
      "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, DTULTATUTAB) VALUES ('1', 'A', "
      "'2026-01-10 06:00:00')");
  EXPECT_EQ(scalar(*db, "SELECT DTULTATUTAB-5 FROM CTRLBAIXATAB").asDateTime(),
            DateTime::fromParts(2026, 1, 5, 6));
  const DateTime before = DateTime::now().addDays(-30);
  const DateTime got = scalar(*db, "SELECT GETDATE() - 30").asDateTime();
  EXPECT_LE(before, got);
  EXPECT_LE(got, before.addMs(5000));
  EXPECT_EQ(scalar(*db, "SELECT DATEDIFF(day, '2026-01-01', DTULTATUTAB) FROM CTRLBAIXATAB"),
            Value(int64_t{9}));
  EXPECT_EQ(
      scalar(*db, "SELECT DATEADD(month, 1, CONVERT(DATETIME, '31/01/2026', 103))").asDateTime(),
      DateTime::fromParts(2026, 2, 28));
}

TEST_F(EmbeddedTSql, ConvertFormatsAndParsesDatesByStyle) {
  db->execute(
      "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, DTULTATUTAB) VALUES ('1', 'A', "
      "'2026-03-04 05:06:07')");
  EXPECT_THAT(rowsOf(*db,
                     "SELECT CONVERT(VARCHAR, DTULTATUTAB, 103), CONVERT(VARCHAR(8), "
                     "DTULTATUTAB, 108), CONVERT(VARCHAR, DTULTATUTAB, 120), "
                     "CONVERT(VARCHAR(10), DTULTATUTAB, 120) FROM CTRLBAIXATAB"),
              ElementsAre("04/03/2026|05:06:07|2026-03-04 05:06:07|2026-03-04"));
  // The zero date is a real value: day 0.
  EXPECT_EQ(scalar(*db, "SELECT CONVERT(DATETIME,'30/12/1899',103)"), Value(0.0));
  EXPECT_EQ(scalar(*db, "SELECT CAST('2026-01-02' AS DATETIME)").asDateTime(),
            DateTime::fromParts(2026, 1, 2));
  EXPECT_EQ(scalar(*db, "SELECT CONVERT(INT, '42') + 1"), Value(int64_t{43}));
  EXPECT_EQ(scalar(*db, "SELECT CONVERT(VARCHAR, 12) + 'x'"), Value("12x"));
  // Without a length the result has at most 30 characters.
  EXPECT_EQ(scalar(*db, "SELECT LEN(CAST(REPLICATE('a', 40) AS VARCHAR))"), Value(int64_t{30}));
  EXPECT_EQ(scalar(*db, "SELECT LEN(CONVERT(VARCHAR(MAX), REPLICATE('a', 40)))"),
            Value(int64_t{40}));
  const Error error =
      errorOf([&] { db->query("SELECT CONVERT(DATETIME, 'not a date', 103)")->next(); });
  EXPECT_THAT(error.what(), HasSubstr("Conversion failed"));
}

TEST_F(EmbeddedTSql, TextsMeetingDateColumnsAreConverted) {
  db->execute(
      "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, DTULTATUTAB) VALUES ('1', 'A', "
      "'2026-01-01 00:00:00')");
  db->execute("INSERT INTO CTRLBAIXATAB VALUES ('1', 'B', '20260215', 0, 0)");
  db->execute("INSERT INTO CTRLBAIXATAB VALUES ('1', 'C', :P_DT, 0, 0)",
              {{"P_DT", "01/03/2026 10:30:00"}});
  // Each filter: its query, its parameters and the rows it selects.
  const std::tuple<std::string, Params, std::vector<std::string>> filters[] = {
      {"SELECT NMTABELA FROM CTRLBAIXATAB WHERE DTULTATUTAB = '2026-01-01'", {}, {"A"}},
      {"SELECT NMTABELA FROM CTRLBAIXATAB WHERE DTULTATUTAB BETWEEN '2026-02-01' AND "
       "'2026-03-31' ORDER BY 1",
       {},
       {"B", "C"}},
      {"SELECT NMTABELA FROM CTRLBAIXATAB WHERE DTULTATUTAB IN ('2026-02-15', :P_X) ORDER BY "
       "NMTABELA",
       {{"P_X", "2026-03-01 10:30:00.000"}},
       {"B", "C"}}};
  for (const auto& [query, params, selected] : filters)
    EXPECT_EQ(rowsOf(*db, query, params), selected) << query;
  EXPECT_EQ(db->execute("UPDATE CTRLBAIXATAB SET DTULTATUTAB = '2027-01-01' WHERE "
                        "'2026-01-01' = DTULTATUTAB"),
            1);
  EXPECT_EQ(scalar(*db, "SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'A'"),
            Value(DateTime::fromParts(2027, 1, 1)));
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM CTRLBAIXATAB WHERE DTULTATUTAB > :P_D",
                   {{"P_D", "2026-02-20"}}),
            Value(int64_t{2}));
  // A scalar subquery has the type of its column: the text is compared as a date, not as a
  // text (which SQLite would order after every number).
  EXPECT_EQ(db->execute("UPDATE CTRLBAIXATAB SET QTREG = 5 WHERE (SELECT MAX(DTULTATUTAB) FROM "
                        "CTRLBAIXATAB) < :P_D",
                        {{"P_D", "2020-01-01"}}),
            0);
  EXPECT_EQ(kindOf([&] { db->execute("DELETE FROM CTRLBAIXATAB WHERE DTULTATUTAB = 'tomorrow'"); }),
            ErrorKind::Conversion);
}

// Texts copied into a date column, by INSERT ... SELECT, UPDATE from a subquery or a change of
// the column's type, become dates: kept as texts they would sort after every date.
TEST_F(EmbeddedTSql, TextsCopiedIntoDateColumnsBecomeDates) {
  db->execute("CREATE TABLE SOURCE (NMTABELA VARCHAR(30), DSDATA VARCHAR(30))");
  db->execute("INSERT INTO SOURCE VALUES ('A', '2026-01-01'), ('B', '15/02/2026 10:30')");
  db->execute(
      "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, DTULTATUTAB) SELECT '1', NMTABELA, DSDATA "
      "FROM SOURCE");
  db->execute("INSERT INTO CTRLBAIXATAB VALUES ('1', 'C', '2026-03-01', 0, 0)");
  db->execute(
      "UPDATE CTRLBAIXATAB SET DTULTATUTAB = (SELECT DSDATA FROM SOURCE WHERE NMTABELA = 'A') "
      "WHERE NMTABELA = 'C'");
  EXPECT_EQ(rowsOf(*db, "SELECT NMTABELA FROM CTRLBAIXATAB WHERE DTULTATUTAB < :P_D ORDER BY 1",
                   {{"P_D", "2026-02-16"}}),
            (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(scalar(*db, "SELECT MAX(DTULTATUTAB) FROM CTRLBAIXATAB").asDateTime(),
            DateTime::fromParts(2026, 2, 15, 10, 30));
  EXPECT_EQ(rowsOf(*db,
                   "SELECT NMTABELA FROM SOURCE WHERE DSDATA = (SELECT DTULTATUTAB FROM "
                   "CTRLBAIXATAB WHERE NMTABELA = 'A')"),
            (std::vector<std::string>{"A"}));

  db->execute("ALTER TABLE SOURCE ALTER COLUMN DSDATA DATETIME NULL");
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM SOURCE WHERE DSDATA < '2026-02-01'"),
            Value(int64_t{1}));
  db->execute("ALTER TABLE CTRLBAIXATAB ALTER COLUMN DTULTATUTAB VARCHAR(30) NULL");
  EXPECT_EQ(scalar(*db, "SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'B'"),
            Value("Feb 15 2026 10:30AM"));

  // The texts a date becomes read back as the same dates.
  db->execute("ALTER TABLE SOURCE ALTER COLUMN DSDATA VARCHAR(30) NULL");
  db->execute("ALTER TABLE SOURCE ALTER COLUMN DSDATA DATETIME NULL");
  EXPECT_EQ(scalar(*db, "SELECT MAX(DSDATA) FROM SOURCE").asDateTime(),
            DateTime::fromParts(2026, 2, 15, 10, 30));

  // A text that is not a date is refused, as on the server, and nothing is written.
  db->execute("ALTER TABLE SOURCE ALTER COLUMN DSDATA VARCHAR(30) NULL");
  db->execute("INSERT INTO SOURCE VALUES ('X', 'soon')");
  EXPECT_EQ(kindOf([&] { db->execute("ALTER TABLE SOURCE ALTER COLUMN DSDATA DATETIME NULL"); }),
            ErrorKind::Conversion);
  db->execute("CREATE TABLE DATED (NMTABELA VARCHAR(30), DTDATA DATETIME)");
  EXPECT_EQ(kindOf([&] { db->execute("INSERT INTO DATED SELECT NMTABELA, DSDATA FROM SOURCE"); }),
            ErrorKind::Conversion);
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DATED"), Value(int64_t{0}));
  EXPECT_EQ(scalar(*db, "SELECT DSDATA FROM SOURCE WHERE NMTABELA = 'X'"), Value("soon"));
}

TEST_F(EmbeddedTSql, TopLimitsEachSelect) {
  for (const char* n : {"A", "B", "C"})
    db->execute("INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA) VALUES ('1', :P_N)", {{"P_N", n}});
  EXPECT_THAT(rowsOf(*db, "SELECT TOP 1 NMTABELA FROM CTRLBAIXATAB ORDER BY NMTABELA DESC"),
              ElementsAre("C"));
  EXPECT_THAT(rowsOf(*db,
                     "SELECT NMTABELA FROM CTRLBAIXATAB WHERE NMTABELA IN (SELECT TOP (2) "
                     "NMTABELA FROM CTRLBAIXATAB ORDER BY NMTABELA) ORDER BY 1"),
              ElementsAre("A", "B"));
}

// Several aggregates of one table are answered one subquery each; the row must not change.
TEST_F(EmbeddedTSql, CountAndNewestDateOfATableAnswerAsOneRow) {
  const std::string countMax =
      "SELECT COUNT(*) AS CONT, MAX(DTULTATUTAB) AS DTULTATU FROM CTRLBAIXATAB";
  auto read = [&](const std::string& text, const Params& params = {}) {
    auto rows = db->query(text, params);
    EXPECT_TRUE(rows->next());
    std::string got = (*rows)["CONT"].asText() + "|" +
                      ((*rows)["DTULTATU"].isNull() ? std::string("NULL")
                                                    : (*rows)["DTULTATU"].asDateTime().iso());
    EXPECT_FALSE(rows->next());
    return got;
  };
  EXPECT_EQ(read(countMax), "0|NULL");
  db->execute("INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA) VALUES ('1', 'A')");
  EXPECT_EQ(read(countMax), "1|NULL");
  for (const char* when : {"2026-01-10 06:00:00", "2026-03-02 07:08:09"})
    db->execute(
        "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, DTULTATUTAB) VALUES ('2', :P_W, :P_W)",
        {{"P_W", when}});
  EXPECT_EQ(read(countMax), "3|2026-03-02 07:08:09.000");
  EXPECT_EQ(read("SELECT COUNT(*) CONT, MIN(DTULTATUTAB) DTULTATU FROM dbo.CTRLBAIXATAB C WHERE "
                 "C.CDFILIAL = :P_F AND (DTULTATUTAB > :P_D OR :P_D IS NULL)",
                 {{"P_F", "2"}, {"P_D", "2026-02-01"}}),
            "1|2026-03-02 07:08:09.000");
  EXPECT_THAT(rowsOf(*db,
                     "SELECT COUNT(*), MAX(QTREG) FROM CTRLBAIXATAB GROUP BY CDFILIAL "
                     "ORDER BY 1"),
              ElementsAre("1|NULL", "2|NULL"));
}

TEST_F(EmbeddedTSql, PlusJoinsTextsAndAddsNumbers) {
  db->execute("INSERT INTO CTRLBAIXATAB VALUES ('1', 'A', NULL, 2, 1.5)");
  EXPECT_THAT(rowsOf(*db,
                     "SELECT CDFILIAL + '-' + NMTABELA, QTREG + 1, QTREG + VRTOT, "
                     "'#' + CONVERT(VARCHAR, QTREG), REPLICATE('0', 3 - LEN(QTREG)) + "
                     "CAST(QTREG AS VARCHAR(5)) FROM dbo.CTRLBAIXATAB WITH (NOLOCK)"),
              ElementsAre("1-A|3|3.5|#2|002"));
}

TEST_F(EmbeddedTSql, TextFunctionsBehaveAsOnSqlServer) {
  EXPECT_THAT(rowsOf(*db,
                     "SELECT LEN('ab  '), LEFT('abcdef', 2), RIGHT('abcdef', 2), RIGHT('ab', 5), "
                     "CHARINDEX('C', 'abcabc'), CHARINDEX('c', 'abcabc', 4), CHARINDEX('z', 'a'), "
                     "ISNULL(NULL, 'x'), REPLICATE('ab', 3), SUBSTRING('abcdef', 2, 3), USER"),
              ElementsAre("2|ab|ef|ab|3|6|0|x|ababab|bcd|sa"));
  EXPECT_THAT(rowsOf(*db, "SELECT CONVERT(VARCHAR, SERVERPROPERTY('productversion')) AS VERSAO"),
              ElementsAre("10.50.1600.1"));
}

TEST_F(EmbeddedTSql, TextsCompareWithoutRegardToCase) {
  db->execute("INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA) VALUES ('1', 'Produto')");
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM CTRLBAIXATAB WHERE NMTABELA = 'PRODUTO'"),
            Value(int64_t{1}));
  EXPECT_EQ(kindOf([&] {
              db->execute("INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA) VALUES ('1', 'PRODUTO')");
            }),
            ErrorKind::DuplicateKey);
}

TEST_F(EmbeddedTSql, SelectIntoCopiesRowsAndColumnTypes) {
  db->execute("INSERT INTO CTRLBAIXATAB VALUES ('1', 'A', '2026-01-01', 1, 2)");
  db->execute("INSERT INTO CTRLBAIXATAB VALUES ('1', 'B', '2026-01-02', 1, 2)");
  EXPECT_EQ(db->execute("SELECT * INTO CTRL_COPIA FROM CTRLBAIXATAB WHERE NMTABELA = :P_N",
                        {{"P_N", "b"}}),
            1);
  auto rows = db->query("SELECT * FROM CTRL_COPIA");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ((*rows)["DTULTATUTAB"], Value(DateTime::fromParts(2026, 1, 2)));
  EXPECT_EQ((*rows)["VRTOT"], Value(2.0));
  EXPECT_EQ(rows->columns()[1].declaredType, "VARCHAR(30)");
  rows.reset();
  // A text column of the copy still compares without regard to case.
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM CTRL_COPIA WHERE NMTABELA = 'b'"), Value(int64_t{1}));
  // An existing table is not overwritten, and a failure leaves nothing behind.
  EXPECT_THROW(db->execute("SELECT * INTO CTRL_COPIA FROM CTRLBAIXATAB"), Error);
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM CTRL_COPIA"), Value(int64_t{1}));
}

TEST_F(EmbeddedTSql, IndexesAreCreatedReplacedAndDroppedTheSqlServerWay) {
  const char* create =
      "CREATE NONCLUSTERED INDEX IX_CTRL ON dbo.CTRLBAIXATAB (NMTABELA ASC) WITH (PAD_INDEX = "
      "OFF, DROP_EXISTING = ON) ON [PRIMARY]";
  db->execute(create);
  db->execute(create);
  db->execute(
      "CREATE UNIQUE INDEX IX_CTRL ON CTRLBAIXATAB (NMTABELA, DTULTATUTAB) WITH "
      "DROP_EXISTING");
  auto indexCount = [&] {
    return scalar(*db, "SELECT COUNT(*) FROM sys.indexes WHERE name = 'IX_CTRL'").asInt();
  };
  EXPECT_EQ(indexCount(), 1);
  db->execute("DROP INDEX IX_CTRL ON CTRLBAIXATAB");
  EXPECT_EQ(indexCount(), 0);
  db->execute("CREATE INDEX IX_CTRL ON CTRLBAIXATAB (QTREG)");
  db->execute("DROP INDEX CTRLBAIXATAB.IX_CTRL");
  EXPECT_EQ(indexCount(), 0);
}

TEST_F(EmbeddedTSql, CreateTableKeepsDeclaredTypesAndNumbersIdentityRows) {
  db->execute(
      "CREATE TABLE CTRLEXECREM ( IDCTRLEXECREM INT IDENTITY PRIMARY KEY, CDAPP VARCHAR(16), "
      "DSOPERACAO NVARCHAR(MAX), DTINCLUSAO DATETIME DEFAULT GETDATE(), VR NUMERIC(5,2) DEFAULT "
      "(0))");
  db->execute("INSERT INTO CTRLEXECREM (CDAPP) VALUES ('A')");
  db->execute("INSERT INTO CTRLEXECREM (CDAPP) VALUES ('B')");
  EXPECT_THAT(rowsOf(*db, "SELECT IDCTRLEXECREM, CDAPP, VR FROM CTRLEXECREM ORDER BY 1"),
              ElementsAre("1|A|0", "2|B|0"));
  db->execute(
      "CREATE TABLE SEQ (ID INT IDENTITY(100, 1) NOT NULL, A CHAR(1), CONSTRAINT PK_SEQ "
      "PRIMARY KEY (ID))");
  db->execute("INSERT INTO SEQ (A) VALUES ('x')");
  db->execute("INSERT INTO SEQ (A) VALUES ('y')");
  EXPECT_THAT(rowsOf(*db, "SELECT ID FROM SEQ ORDER BY ID"), ElementsAre("100", "101"));
  auto rows = db->query("SELECT DSOPERACAO, DTINCLUSAO FROM CTRLEXECREM");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->columns()[0].declaredType, "NVARCHAR(-1)");
  EXPECT_EQ((*rows)["DTINCLUSAO"].kind(), Value::Kind::DateTime);
}

TEST_F(EmbeddedTSql, AddedColumnsFillExistingRowsAsSqlServerDoes) {
  db->execute("INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA) VALUES ('1', 'A')");
  db->execute(
      "ALTER TABLE CTRLBAIXATAB ADD IDA CHAR(1) DEFAULT 'S', IDB CHAR(1) NOT NULL "
      "DEFAULT 'N'");
  db->execute("ALTER TABLE CTRLBAIXATAB ADD IDC CHAR(1) NULL DEFAULT 'X' WITH VALUES");
  db->execute("ALTER TABLE CTRLBAIXATAB ADD DTNOVA DATETIME");
  EXPECT_THAT(rowsOf(*db, "SELECT IDA, IDB, IDC FROM CTRLBAIXATAB"), ElementsAre("NULL|N|X"));
  // The new date column is known at once: its literals convert.
  db->execute("UPDATE CTRLBAIXATAB SET DTNOVA = '2026-05-06'");
  EXPECT_EQ(scalar(*db, "SELECT DTNOVA FROM CTRLBAIXATAB"), Value(DateTime::fromParts(2026, 5, 6)));
}

TEST_F(EmbeddedTSql, IfRunsItsStatementOnlyWhenTheProbeHolds) {
  const char* dropIfThere =
      "IF EXISTS (SELECT * FROM SYSOBJECTS WHERE NAME = 'TEMPX' AND TYPE = 'U') DROP TABLE TEMPX";
  EXPECT_EQ(db->execute(dropIfThere), 0);
  db->execute("CREATE TABLE TEMPX (A INT)");
  db->execute(dropIfThere);
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = 'TEMPX'"), Value(int64_t{0}));
  db->execute("IF OBJECT_ID('dbo.TEMPY') IS NULL CREATE TABLE TEMPY (A INT)");
  db->execute("IF OBJECT_ID('TEMPY') IS NULL CREATE TABLE TEMPY (A INT)");
  db->execute("IF OBJECT_ID('TEMPY', 'U') IS NOT NULL DELETE FROM TEMPY");
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM TEMPY"), Value(int64_t{0}));
}

// Constructs outside the subset are refused by name, never run as something else.
TEST_F(EmbeddedTSql, ConstructsOutsideTheSubsetAreRefusedByName) {
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT TOP 10 PERCENT NMTABELA FROM CTRLBAIXATAB", "PERCENT"},
      {"SELECT TOP 1 NMTABELA FROM CTRLBAIXATAB UNION SELECT 'x'", "TOP in a UNION"},
      {"SELECT FORMAT(GETDATE(), 'd')", "FORMAT"},
      {"SELECT @@VERSION", "@@VERSION"},
      {"EXEC sp_executesql N'SELECT 1'", "sp_executesql"},
      {"MERGE CTRLBAIXATAB USING X ON 1 = 1", "MERGE"},
      {"SELECT NMTABELA FROM CTRLBAIXATAB WHERE NMTABELA LIKE '[A-C]%'", "LIKE"},
      {"IF EXISTS (SELECT 1) BEGIN SET ROWCOUNT 10 END", "SET ROWCOUNT"},
      {"SELECT CONVERT(XML, NMTABELA) FROM CTRLBAIXATAB", "conversion to XML"},
      {"SELECT * FROM SRV.OUTRO.dbo.CTRLBAIXATAB", "SRV.OUTRO.dbo.CTRLBAIXATAB"},
      {"SELECT * FROM OUTRO.sales.CTRLBAIXATAB", "OUTRO.sales.CTRLBAIXATAB"},
      {"SELECT DATEADD(fortnight, 1, GETDATE())", "date part"},
      {"CREATE TABLE T (A INT IDENTITY, B INT)", "IDENTITY"},
      {"CREATE TABLE T (A INT IDENTITY(1, 2) PRIMARY KEY)", "IDENTITY increments"},
      {"IF OBJECT_ID('CTRLBAIXATAB') IS NOT NULL DELETE FROM CTRLBAIXATAB WHERE NMTABELA = :P_N",
       "parameters after IF"},
  };
  for (const auto& [sql, construct] : cases) {
    try {
      db->execute(sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const Error& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Unsupported) << sql << ": " << e.what();
      EXPECT_THAT(e.what(), HasSubstr(construct)) << sql;
      EXPECT_EQ(e.statement(), sql);
    }
  }
}

}  // namespace
}  // namespace db::embedded
