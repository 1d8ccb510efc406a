#include "central/server/sql_literal.h"

#include <gtest/gtest.h>

#include "db/embedded/embedded.h"

namespace central::server {
namespace {

std::string sqlLiteral(const db::Value& value) {
  std::string literal = "VALUES (";
  appendSqlLiteral(literal, value);
  return literal.substr(8);
}

TEST(SqlLiteral, QuotesAndLineBreaksCannotBreakTheStatement) {
  EXPECT_EQ(sqlLiteral(db::Value("O'Brien")), "'O''Brien'");
  EXPECT_EQ(sqlLiteral(db::Value()), "NULL");
  EXPECT_EQ(sqlLiteral(db::Value(int64_t{-12})), "-12");
  EXPECT_EQ(sqlLiteral(db::Value(db::DateTime::fromParts(2026, 11, 2, 8, 30))),
            "'2026-11-02 08:30:00.000'");
  const std::string hostile = "a'; DELETE FROM T; --\r\nsecond line";
  const std::string literal = sqlLiteral(db::Value(hostile));
  EXPECT_EQ(literal.find('\n'), std::string::npos);

  // The literal reads back as the very text on the engine the register runs the lines on.
  auto db = db::embedded::open({.path = ":memory:"});
  db->execute("CREATE TABLE T (DS VARCHAR(100))");
  db->execute("INSERT INTO T (DS) VALUES (" + literal + ")");
  auto rows = db->query("SELECT DS FROM T");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asText(), hostile);
  EXPECT_FALSE(rows->next());
}

}  // namespace
}  // namespace central::server
