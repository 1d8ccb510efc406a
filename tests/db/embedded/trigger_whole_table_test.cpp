#include <gtest/gtest.h>

#include "embedded_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

// SQLite empties a table without a DELETE trigger of its own by a shortcut that visits no row;
// a DELETE without WHERE must still hand every row to the table's triggers, as a full reload's
// wipe does.
TEST(TriggerWholeTable, DeleteWithoutWhereReachesDeletedWithEveryRow) {
  auto c = openMemory();
  c->execute("CREATE TABLE MSG (CD VARCHAR(4) PRIMARY KEY)");
  c->execute("CREATE TABLE GONE (CD VARCHAR(4))");
  c->execute("CREATE TRIGGER TR_MSG ON MSG FOR DELETE AS INSERT INTO GONE SELECT CD FROM deleted");
  c->execute("INSERT INTO MSG VALUES ('1'), ('2'), ('3')");
  EXPECT_EQ(c->execute("DELETE FROM MSG"), 3);
  EXPECT_EQ(rowsOf(*c, "SELECT CD FROM GONE ORDER BY CD"), (Lines{"1", "2", "3"}));
  // The table is still rebuilt and dropped as before with its trigger's marker in place.
  c->execute("ALTER TABLE MSG ADD NOTE VARCHAR(10) NULL");
  c->execute("INSERT INTO MSG (CD) VALUES ('4')");
  c->execute("DELETE FROM MSG");
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM GONE"), (Lines{"4"}));
}

}  // namespace
}  // namespace db::embedded
