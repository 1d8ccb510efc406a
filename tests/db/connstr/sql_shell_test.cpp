#include <gtest/gtest.h>

#include <sstream>

#include "options.h"
#include "result_printer.h"
#include "script.h"

namespace {

using kivtab_sql::splitScript;
using Strings = std::vector<std::string>;

TEST(SplitScript, OnlyGoLinesSeparateBatches) {
  EXPECT_EQ(splitScript("CREATE TABLE T (A INT)\nGO\nINSERT INTO T\nVALUES (1);\n"
                        "INSERT INTO T VALUES (2);  -- second\n  go  \n\nSELECT * FROM T"),
            (Strings{"CREATE TABLE T (A INT)",
                     "INSERT INTO T\nVALUES (1);\nINSERT INTO T VALUES (2);  -- second",
                     "SELECT * FROM T"}));
  EXPECT_EQ(splitScript("\xEF\xBB\xBFSELECT 1;\r\nSELECT 2\r\nGO\r\n"),
            (Strings{"SELECT 1;\nSELECT 2"}));
  // "GO n" sends the batch n times; GOTO and a GO with other text are no separators.
  EXPECT_EQ(splitScript("INSERT INTO T VALUES (1)\nGO 3\nGOTO x\nGO x\n"),
            (Strings{"INSERT INTO T VALUES (1)", "INSERT INTO T VALUES (1)",
                     "INSERT INTO T VALUES (1)", "GOTO x\nGO x"}));
}

TEST(SplitScript, SeparatorsInsideLiteralsAndCommentsDoNotCount) {
  EXPECT_EQ(splitScript("INSERT INTO T VALUES ('a;\nGO\nb;');\n"
                        "/* a comment;\nGO\n*/ SELECT [x;\n] FROM T;"),
            (Strings{"INSERT INTO T VALUES ('a;\nGO\nb;');\n"
                     "/* a comment;\nGO\n*/ SELECT [x;\n] FROM T;"}));
  // A batch of nothing but blanks and comments is skipped.
  EXPECT_EQ(splitScript("SELECT 1; SELECT 2\n;\n-- only a note\nGO\n-- note\nGO\n"),
            (Strings{"SELECT 1; SELECT 2\n;\n-- only a note"}));
  EXPECT_EQ(splitScript("SELECT 'it''s;'\nGO"), (Strings{"SELECT 'it''s;'"}));
}

TEST(FormatValue, EveryKindPrintsOnOneField) {
  using db::Value;
  using kivtab_sql::formatValue;
  EXPECT_EQ(formatValue(Value()), "NULL");
  EXPECT_EQ(formatValue(Value(db::DateTime::fromParts(2026, 1, 2, 3, 4, 5, 6))),
            "2026-01-02 03:04:05.006");
  EXPECT_EQ(formatValue(Value(db::DateTime())), "1899-12-30 00:00:00.000");
  EXPECT_EQ(formatValue(Value(true)), "1");
  EXPECT_EQ(formatValue(Value(int64_t{-42})), "-42");
  EXPECT_EQ(formatValue(Value(2.5)), "2.5");
  EXPECT_EQ(formatValue(Value(db::Bytes{0x00, 0xAB})), "0x00AB");
  EXPECT_EQ(formatValue(Value("a\tb\nc\\d\r")), "a\\tb\\nc\\\\d\\r");
  EXPECT_EQ(formatValue(Value("Ação")), "Ação");
}

class FakeRows : public db::Rows {
 public:
  const std::vector<db::Column>& columns() const override { return columns_; }
  bool next() override { return ++row_ < 2; }
  const db::Value& at(size_t i) const override { return values_[static_cast<size_t>(row_)][i]; }

 private:
  std::vector<db::Column> columns_{{"CD", ""}, {"DT", ""}};
  std::vector<std::vector<db::Value>> values_{{"1", db::Value()}, {"2", db::DateTime()}};
  int row_ = -1;
};

TEST(PrintRows, HeaderThenTabSeparatedRows) {
  FakeRows rows;
  std::ostringstream out;
  kivtab_sql::printRows(rows, out);
  EXPECT_EQ(out.str(), "CD\tDT\n1\tNULL\n2\t1899-12-30 00:00:00.000\n");
}

TEST(PrintBatch, EveryResultSetThenTheMessages) {
  db::BatchResult batch;
  batch.resultSets.push_back({{{"A", ""}}, {{db::Value(int64_t{1})}}});
  batch.resultSets.push_back({{{"B", ""}, {"C", ""}}, {}});
  batch.messages = {"done"};
  std::ostringstream out;
  kivtab_sql::printBatch(batch, out);
  EXPECT_EQ(out.str(), "A\n1\nB\tC\ndone\n");
}

TEST(ParseOptions, KeepsJobsInOrderAndRejectsBadLines) {
  const auto o =
      kivtab_sql::parseOptions({"-e", "SELECT 1", "--connection", "Provider=SQLite;Data Source=x",
                                "-f", "a.sql", "-e", "SELECT 2"});
  EXPECT_EQ(o.connection, "Provider=SQLite;Data Source=x");
  ASSERT_EQ(o.jobs.size(), 3u);
  EXPECT_EQ(o.jobs[1].kind, kivtab_sql::Job::Kind::File);
  EXPECT_EQ(o.jobs[2].text, "SELECT 2");
  EXPECT_EQ(kivtab_sql::parseOptions({"--connection=A=B;C=D"}).connection, "A=B;C=D");
  EXPECT_TRUE(kivtab_sql::parseOptions({"--help"}).help);
  EXPECT_THROW(kivtab_sql::parseOptions({"-e", "SELECT 1"}), std::invalid_argument);
  EXPECT_THROW(kivtab_sql::parseOptions({"--connection", "x", "-e"}), std::invalid_argument);
  EXPECT_THROW(kivtab_sql::parseOptions({"--connection", "x", "--verbose"}), std::invalid_argument);
}

}  // namespace
