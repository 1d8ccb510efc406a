#include "db/core/sql_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace db::sql {
namespace {

const std::vector<std::string> kColumns = {"CDFILIAL", "NMTABELA", "DTULTATU"};
const std::vector<std::string> kKeys = {"CDFILIAL", "NMTABELA"};

TEST(SqlText, ListsAndConditionsNameEachParameterAfterItsColumn) {
  EXPECT_EQ(joined(kColumns), "CDFILIAL, NMTABELA, DTULTATU");
  EXPECT_EQ(joined(kKeys, " | "), "CDFILIAL | NMTABELA");
  EXPECT_EQ(parameterList(kKeys), ":P_CDFILIAL, :P_NMTABELA");
  EXPECT_EQ(assignmentList(kKeys), "CDFILIAL = :P_CDFILIAL, NMTABELA = :P_NMTABELA");
  EXPECT_EQ(keyCondition(kKeys, "K_"), "CDFILIAL = :K_CDFILIAL AND NMTABELA = :K_NMTABELA");
  EXPECT_EQ(joined({}), "");
  EXPECT_EQ(keyCondition({}, "K_"), "");
}

TEST(SqlText, StatementsReadAsTheDatabaseExpectsThem) {
  EXPECT_EQ(insertStatement("CTRLBAIXATAB", kColumns),
            "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, DTULTATU) "
            "VALUES (:P_CDFILIAL, :P_NMTABELA, :P_DTULTATU)");
  EXPECT_EQ(insertStatement("T", {kColumns.begin(), 1}, "X_"),
            "INSERT INTO T (CDFILIAL) VALUES (:X_CDFILIAL)");
  EXPECT_EQ(
      updateStatement("T", assignmentList({kColumns.begin() + 2, 1}), keyCondition(kKeys, "K_")),
      "UPDATE T SET DTULTATU = :P_DTULTATU WHERE CDFILIAL = :K_CDFILIAL AND NMTABELA = "
      ":K_NMTABELA");
  EXPECT_EQ(deleteStatement("T", "A = :K_A"), "DELETE FROM T WHERE A = :K_A");
}

}  // namespace
}  // namespace db::sql
