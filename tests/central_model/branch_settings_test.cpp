#include "central/world/branch_settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "central/model/central_ddl.h"
#include "central/world/world.h"
#include "db/embedded/embedded.h"

namespace central {
namespace {

const std::vector<std::string> kSwitches = {"IDDEBCONSCENTRAL", "IDEXTCONSCENTRAL",
                                            "IDSENCONSCENTRAL", "IDUTILTRILOBIT", "IDUTINTCATBIO"};

class BranchSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = db::embedded::open({":memory:"});
    createCentralDatabase(*db_, centralModel());
    generateWorld(*db_, centralModel(), 1, 1);
  }

  std::vector<std::string> row(const std::string& branch) {
    auto rows = db_->query(
        "SELECT IDDEBCONSCENTRAL, IDEXTCONSCENTRAL, IDSENCONSCENTRAL, IDUTILTRILOBIT, "
        "IDUTINTCATBIO, NMSQLNAMEDB, NMSQLSCHEMADB, NRDIASVERMOVCLI, DTULTATUPAVN "
        "FROM PARAVEND WHERE CDFILIAL = :P_CDFILIAL",
        {{"P_CDFILIAL", branch}});
    EXPECT_TRUE(rows->next());
    std::vector<std::string> values;
    for (size_t i = 0; i < 8; ++i) values.push_back(rows->at(i).asText());
    values.push_back(rows->at(8).asDateTime().iso());
    return values;
  }

  db::DateTime newestStamp() {
    auto rows = db_->query("SELECT MAX(DTULTATUPAVN) FROM PARAVEND");
    rows->next();
    return rows->at(0).asDateTime();
  }

  std::vector<SettingsChange> set(const std::string& branch, const std::vector<std::string>& texts,
                                  db::DateTime now) {
    std::vector<SettingAssignment> assignments;
    for (const std::string& t : texts) assignments.push_back(parseSettingAssignment(t));
    return setBranchSettings(*db_, centralModel(), branch, assignments, now);
  }

  std::unique_ptr<db::Connection> db_;
};

TEST_F(BranchSettingsTest, TheDemoWorldKeepsEveryOptionalFeatureOff) {
  for (const char* branch : {"0001", "0002"}) {
    auto rows =
        db_->query("SELECT * FROM PARAVEND WHERE CDFILIAL = :P_CDFILIAL", {{"P_CDFILIAL", branch}});
    ASSERT_TRUE(rows->next()) << branch;
    for (const std::string& column : kSwitches) EXPECT_EQ((*rows)[column].asText(), "N") << column;
    EXPECT_EQ((*rows)["NMSQLNAMEDB"].asText(), "");
  }
}

TEST_F(BranchSettingsTest, SwitchesOneBranchAndStampsItLaterThanAnyRowSoRegistersFetchIt) {
  const std::vector<std::string> otherBefore = row("0002");
  const db::DateTime before = newestStamp();
  const db::DateTime now = before.addDays(3);

  const auto changes = set(
      "0001",
      {"PARAVEND.IDUTILTRILOBIT=S", "paravend.nmsqlnamedb=CONSUMO", "PARAVEND.NRDIASVERMOVCLI=45"},
      now);

  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].rows, 1);
  EXPECT_EQ(changes[0].stampedAt, now);
  const std::vector<std::string> after = row("0001");
  EXPECT_EQ(after[3], "S");
  EXPECT_EQ(after[5], "CONSUMO");
  EXPECT_EQ(after[7], "45");
  EXPECT_EQ(after[8], now.iso());
  EXPECT_EQ(row("0002"), otherBefore);

  // An operator's clock behind the table's newest stamp still moves the row past it.
  const auto again = set("0001", {"PARAVEND.IDUTILTRILOBIT=N"}, before);
  EXPECT_GT(again[0].stampedAt, now);
  EXPECT_EQ(row("0001")[3], "N");
}

TEST_F(BranchSettingsTest, ValuesAreBoundNeverQuotedIntoTheStatement) {
  const std::string hostile = "X'; DROP TABLE PARAVEND; --";
  set("0002", {"PARAVEND.NMSQLSCHEMADB=" + hostile}, newestStamp().addDays(1));
  EXPECT_EQ(row("0002")[6], hostile);
}

TEST_F(BranchSettingsTest, RefusesWhatItCannotSetAndWritesNothing) {
  const std::vector<std::string> before = row("0001");
  const db::DateTime now = newestStamp().addDays(1);
  const std::vector<std::vector<std::string>> refused = {
      {"CAIXA.IDAUTOIMPTAB=S"},                                    // not a switch table
      {"NOSUCHTABLE.X=1"},                                         // unknown table
      {"PARAVEND.IDNOTTHERE=S"},                                   // unknown column
      {"PARAVEND.CDFILIAL=0009"},                                  // the branch itself
      {"PARAVEND.CDPARAVEND=2"},                                   // key
      {"PARAVEND.DTULTATUPAVN=2026-01-01"},                        // the stamp
      {"PARAVEND.IDUTILTRILOBIT=SS"},                              // too long for VARCHAR(1)
      {"PARAVEND.NRDIASVERMOVCLI=ten"},                            // not a number
      {"PARAVEND.NRDIASVERMOVCLI="},                               // empty number
      {"PARAVEND.IDUTILTRILOBIT=S", "PARAVEND.IDUTILTRILOBIT=N"},  // twice
      {"PARAVEND.IDUTILTRILOBIT=S", "PARAVEND.NOPE=1"},            // one bad spoils all
  };
  for (const auto& texts : refused) {
    EXPECT_THROW(set("0001", texts, now), std::invalid_argument) << texts.back();
    EXPECT_EQ(row("0001"), before) << texts.back();
  }
  EXPECT_THROW(set("0009", {"PARAVEND.IDUTILTRILOBIT=S"}, now), std::invalid_argument);
  EXPECT_FALSE(db_->inTransaction());
}

TEST(SettingAssignmentTest, SplitsTableColumnAndValueAtTheFirstDotAndEquals) {
  const SettingAssignment a = parseSettingAssignment("PARAVEND.NMSQLNAMEDB=A.B=C");
  EXPECT_EQ(a.table, "PARAVEND");
  EXPECT_EQ(a.column, "NMSQLNAMEDB");
  EXPECT_EQ(a.value, "A.B=C");
  EXPECT_EQ(parseSettingAssignment("PARAVEND.NMSQLNAMEDB=").value, "");
  for (const char* bad : {"PARAVEND", "PARAVEND=S", ".IDUTILTRILOBIT=S", "PARAVEND.=S", "=S"})
    EXPECT_THROW(parseSettingAssignment(bad), std::invalid_argument) << bad;
}

}  // namespace
}  // namespace central
