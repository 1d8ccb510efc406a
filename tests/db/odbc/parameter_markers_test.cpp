#include "db/odbc/parameter_markers.h"

#include <gtest/gtest.h>

#include "db/odbc/diagnostics.h"

namespace {

using db::odbc::markParameters;

TEST(ParameterMarkers, NamedParametersBecomePositionalMarkers) {
  const auto m = markParameters("UPDATE T SET A = :P_A, B = :p_b WHERE K = :P_K AND A <> :P_A");
  EXPECT_EQ(m.text, "UPDATE T SET A = ?, B = ? WHERE K = ? AND A <> ?");
  EXPECT_EQ(m.names, (std::vector<std::string>{"P_A", "p_b", "P_K"}));
  EXPECT_EQ(m.markers, (std::vector<size_t>{0, 1, 2, 0}));
}

TEST(ParameterMarkers, LiteralsCommentsAndScopeQualifiersAreLeftAlone) {
  const std::string sql =
      "SELECT ':P_X', \"a:P_Y\", [b:P_Z], 'it''s :P_Q' -- :P_LINE\n"
      "/* outer /* :P_NESTED */ still :P_COMMENT */ ::P_SCOPE, :P_REAL";
  const auto m = markParameters(sql);
  EXPECT_EQ(m.names, (std::vector<std::string>{"P_REAL"}));
  EXPECT_EQ(m.text.substr(m.text.size() - 12), "::P_SCOPE, ?");
  EXPECT_EQ(markParameters("SELECT 'unterminated :P_X").names.size(), 0u);
  EXPECT_EQ(markParameters("SELECT 10:30").names.size(), 0u);
}

TEST(Diagnostics, SqlStatesMapToErrorKinds) {
  using db::ErrorKind;
  using db::odbc::Diagnostic;
  using db::odbc::errorKindFor;
  EXPECT_EQ(errorKindFor({"23000", 2627, "Violation of PRIMARY KEY"}), ErrorKind::DuplicateKey);
  EXPECT_EQ(errorKindFor({"23000", 2601, "Cannot insert duplicate key row"}),
            ErrorKind::DuplicateKey);
  EXPECT_EQ(errorKindFor({"23000", 515, "Cannot insert the value NULL"}), ErrorKind::Constraint);
  EXPECT_EQ(errorKindFor({"23000", 547, "conflicted with the FOREIGN KEY constraint"}),
            ErrorKind::Constraint);
  EXPECT_EQ(errorKindFor({"08S01", 0, "Communication link failure"}), ErrorKind::Connection);
  EXPECT_EQ(errorKindFor({"08001", 0, "Unable to connect"}), ErrorKind::Connection);
  EXPECT_EQ(errorKindFor({"IM002", 0, "Data source name not found"}), ErrorKind::Connection);
  EXPECT_EQ(errorKindFor({"42000", 102, "Incorrect syntax near"}), ErrorKind::Syntax);
  EXPECT_EQ(errorKindFor({"22007", 241, "Conversion failed"}), ErrorKind::Conversion);
  EXPECT_EQ(errorKindFor({"40001", 1205, "deadlock victim"}), ErrorKind::Busy);
  EXPECT_EQ(errorKindFor({"HY000", 19, "UNIQUE constraint failed: T.K"}), ErrorKind::DuplicateKey);
  EXPECT_EQ(errorKindFor({"HY000", 5, "database is locked"}), ErrorKind::Busy);
  EXPECT_EQ(errorKindFor({"HY000", 1, "something else"}), ErrorKind::General);
}

TEST(Diagnostics, ScrubRemovesEveryOccurrenceOfTheSecret) {
  EXPECT_EQ(db::odbc::scrub("login pw failed, pw wrong", "pw"), "login *** failed, *** wrong");
  EXPECT_EQ(db::odbc::scrub("a*b", ""), "a*b");
  EXPECT_EQ(db::odbc::scrub("xxxx", "x"), "************");
}

}  // namespace
