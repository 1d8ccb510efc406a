// The embedded engine's statement reuse as the structure update relies on it.
#include <gtest/gtest.h>

#include "db/embedded/embedded.h"

namespace {

TEST(SchemaEmbeddedStatementReuse, AParameterisedTextOnAMissingTableFailsEveryTimeThenWorksOnceItExists) {
  auto db = db::embedded::open({":memory:", "dbo"});
  const char* text = "DELETE FROM CTRLBAIXATAB WHERE NMTABELA = :P_NMTABELA";
  EXPECT_THROW(db->execute(text, {{"P_NMTABELA", "CONFTELA"}}), db::Error);
  EXPECT_THROW(db->execute(text, {{"P_NMTABELA", "ITMENUCONFTE"}}), db::Error);
  db->execute("CREATE TABLE CTRLBAIXATAB (NMTABELA VARCHAR(30) NULL)");
  db->execute("INSERT INTO CTRLBAIXATAB (NMTABELA) VALUES ('CONFTELA')");
  EXPECT_EQ(db->execute(text, {{"P_NMTABELA", "CONFTELA"}}), 1);
}

}  // namespace
